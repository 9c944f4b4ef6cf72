#include "document/inifilekeys.h"

#include "document/inidocument.h"
#include "platform/profile.h"

#include <QFileInfo>

#include <memory>

namespace IniFileKeys
{
QList<IniKeyLine> read(const QString& fileName)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    // Without the file in its list the document reads no continuation comments, which only the
    // comment would hold, and never writes.
    const IniDocument document;
    QStringList sections;
    document.readSectionNames(path, sections);
    sections.removeDuplicates();
    const bool headerless = sections.isEmpty();
    if (headerless)
        sections.append(QString());

    QList<IniKeyLine> keys;
    for (const QString& section : std::as_const(sections)) {
        QStringList names;
        document.readKeys(path, section, names);
        names.removeDuplicates();
        // A blank section name reads the part before the first header, where a headerless
        // file keeps its keys: an empty one would make readEntry search the (no) sections.
        const QString readSection = headerless ? QStringLiteral(" ") : section;
        for (const QString& name : std::as_const(names)) {
            QString foundIn = readSection;
            const std::unique_ptr<IniEntry> entry(document.readEntry(path, foundIn, name));
            keys.append(IniKeyLine{headerless ? QStringLiteral("00") : section, entry->key, entry->value,
                                   entry->enabled, Profile::keyLine(path, readSection, name)});
        }
    }
    return keys;
}
} // namespace IniFileKeys
