#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What the window writes back into a description file: the program chosen last, and a group's open
// state and colour. Both edit the text of the one element concerned, so that the rest of a
// hand-written file, its layout, comments and blank lines, stays byte for byte as it was.
//
// Both keep the file's encoding (its BOM, else the encoding its declaration names, else UTF-8) and its
// line ends, and replace the file through a temporary file and a rename: a failed write leaves the
// old file whole. Nothing is reported; false means that the file could not be changed as asked.
namespace DescriptionWriter
{
// Sets `attribute` = `value` on the root's first child element named `element`, in that element's
// start tag only. Without such an element, one line holding it is inserted before the root's end tag,
// indented like the root's other children and ended like the file's lines. A file that already holds
// the value is not touched at all. A file that is not well-formed XML, or whose root is not
// "settings", is left alone; a missing file is created empty (and stays empty), as opening it for
// reading and writing would.
bool writeDescription(const QString& path, const QString& element, const QString& attribute, const QString& value);

// The indentation of a re-serialised document: every run of ten spaces becomes one tab, and every
// comment opener gets a tab in front.
QString fixDescriptionIndent(const QString& text);

// Writes open="1"/"0" and color="r,g,b" into the first line that holds `title`, "title" and "group",
// leaving every other byte of the file as it was. When no line matches, the file only gains one empty
// line at its end.
bool saveGroupState(const QString& path, const QString& title, bool open, int red, int green, int blue);

// What the two writes make of a description's bytes, without the file: the new bytes (the same bytes
// when nothing changes), or nothing when the file would be left alone.
std::optional<QByteArray> withAttribute(const QByteArray& bytes, const QString& element, const QString& attribute,
                                        const QString& value);
std::optional<QByteArray> withGroupState(const QByteArray& bytes, const QString& title, bool open, int red, int green,
                                         int blue);

// Sets attr="value" in one line of XML text: replaces the value of the first "attr=" in place, or
// appends the attribute to the first start tag of the line. A line without ">" stays as it is.
void setAttrInLine(QString& line, const QString& attr, const QString& value);
} // namespace DescriptionWriter
