#include "description/descriptionwriter.h"

#include "platform/profile.h"
#include "platform/textcodec.h"
#include "platform/userfile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace DescriptionWriter
{
namespace
{
// Indentation of one nesting level in a document serialised by the document model;
// fixDescriptionIndent turns each such run into a tab.
constexpr int IndentWidth = 10;

// How a description's text is stored: a BOM when it has one, else the encoding its declaration
// names (UTF-8 when it names none), as the reader decodes it.
class Storage
{
public:
    explicit Storage(const QByteArray& bytes)
    {
        if (bytes.startsWith("\xEF\xBB\xBF")) {
            m_bom = bytes.left(3);
            m_name = "UTF-8";
        } else if (bytes.startsWith("\xFF\xFE")) {
            m_bom = bytes.left(2);
            m_name = "UTF-16LE";
        } else if (bytes.startsWith("\xFE\xFF")) {
            m_bom = bytes.left(2);
            m_name = "UTF-16BE";
        } else {
            QXmlStreamReader xml(bytes);
            xml.readNext();
            const QString declared = xml.documentEncoding().toString();
            m_name = declared.isEmpty() ? QByteArray("UTF-8") : declared.toLatin1();
        }
        const QByteArray lower = m_name.toLower();
        // The code page of the lab's files goes through the INI engine's converter, which keeps
        // the bytes the code page leaves undefined.
        m_bCp1251 = lower == "windows-1251" || lower == "cp1251" || lower == "x-cp1251";
        m_bValid = m_bCp1251 || QStringEncoder(m_name.constData()).isValid();
    }

    bool isValid() const { return m_bValid; }

    // The text of a file, or nothing when the text would not encode back to the very same bytes.
    std::optional<QString> decode(const QByteArray& bytes) const
    {
        const QString text = decodeLeniently(bytes);
        if (m_bom + encodeBody(text) != bytes)
            return std::nullopt;
        return text;
    }

    QString decodeLeniently(const QByteArray& bytes) const
    {
        const QByteArray body = bytes.mid(m_bom.size());
        if (m_bCp1251)
            return TextCodec::fromCp1251(body);
        QStringDecoder decoder(m_name.constData());
        return decoder.isValid() ? decoder.decode(body) : QString();
    }

    QByteArray encode(const QString& text) const { return m_bom + encodeBody(text); }

    // Whether one character (a surrogate pair counts as one) survives the file's encoding.
    bool canEncode(QStringView character) const
    {
        const QString text = character.toString();
        return decodeLeniently(encode(text)) == text;
    }

private:
    QByteArray encodeBody(const QString& text) const
    {
        if (m_bCp1251)
            return TextCodec::toCp1251(text);
        QStringEncoder encoder(m_name.constData());
        return encoder.isValid() ? QByteArray(encoder.encode(text)) : QByteArray();
    }

    QByteArray m_bom;
    QByteArray m_name;
    bool m_bCp1251 = false;
    bool m_bValid = false;
};

// A file whose first line ends with CR LF keeps CR LF everywhere.
QString lineEnd(const QString& text)
{
    const qsizetype lf = text.indexOf(QLatin1Char('\n'));
    return lf > 0 && text.at(lf - 1) == QLatin1Char('\r') ? QStringLiteral("\r\n") : QStringLiteral("\n");
}

// Where closing writes the chosen program: the element's start tag, or the place for a new one.
struct ElementPlace
{
    bool found = false;
    qsizetype tagBegin = 0; // the element's start tag, "<" to ">"
    qsizetype tagEnd = 0;
    bool hasAttribute = false;
    QString value;              // the attribute's value as the reader decodes it
    qsizetype rootTagBegin = 0; // the root's start tag
    qsizetype rootTagEnd = 0;
    qsizetype rootEndTag = -1; // "</" of the root's end tag; -1 for an empty root element
    QString indent;            // what the root's children are indented with, "" when none begins a line
    bool indentKnown = false;
};

// The start of the markup that ends at `end`: neither a start tag nor an end tag holds another "<".
qsizetype markupBegin(const QString& text, qsizetype end)
{
    return end > 0 ? text.lastIndexOf(QLatin1Char('<'), end - 1) : -1;
}

// Whether [begin, end) of the text is the start or end tag of `name` itself. An element that an
// entity of the document type brings in has no tag of its own in the text.
bool isTagOf(const QString& text, qsizetype begin, qsizetype end, QStringView opener, QStringView name)
{
    const qsizetype after = begin + opener.size() + name.size();
    return begin >= 0 && end > after && end <= text.size() && text.at(end - 1) == QLatin1Char('>') &&
           QStringView(text).mid(begin, opener.size()) == opener &&
           QStringView(text).mid(begin + opener.size(), name.size()) == name &&
           (text.at(after).isSpace() || text.at(after) == QLatin1Char('/') || text.at(after) == QLatin1Char('>'));
}

// Reads the whole document; nothing when it is not well-formed, its root is not "settings", or a tag
// to be edited is not in the text as written.
std::optional<ElementPlace> placeOf(const QString& text, const QString& element, const QString& attribute)
{
    ElementPlace place;
    QXmlStreamReader xml(text);
    xml.setNamespaceProcessing(false);
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const qsizetype end = xml.characterOffset();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            const qsizetype begin = markupBegin(text, end);
            const bool literal = isTagOf(text, begin, end, u"<", xml.qualifiedName());
            if (depth == 1) {
                if (xml.qualifiedName() != QLatin1String("settings") || !literal)
                    return std::nullopt;
                place.rootTagBegin = begin;
                place.rootTagEnd = end;
            } else if (depth == 2) {
                // Only the blanks right before the tag are looked at: searching back to the line start
                // for every child of a file on one long line would cost the square of its length.
                if (literal && !place.indentKnown) {
                    qsizetype lineStart = begin;
                    while (lineStart > 0 && text.at(lineStart - 1) != QLatin1Char('\n') &&
                           text.at(lineStart - 1).isSpace())
                        --lineStart;
                    if (lineStart == 0 || text.at(lineStart - 1) == QLatin1Char('\n')) {
                        place.indent = text.mid(lineStart, begin - lineStart);
                        place.indentKnown = true;
                    }
                }
                if (!place.found && xml.qualifiedName() == element) {
                    if (!literal)
                        return std::nullopt;
                    place.found = true;
                    place.tagBegin = begin;
                    place.tagEnd = end;
                    place.hasAttribute = xml.attributes().hasAttribute(attribute);
                    place.value = xml.attributes().value(attribute).toString();
                }
            }
        } else if (token == QXmlStreamReader::EndElement) {
            // An empty root element ends where it starts, without an end tag of its own.
            if (depth == 1 && end != place.rootTagEnd) {
                place.rootEndTag = markupBegin(text, end);
                if (!isTagOf(text, place.rootEndTag, end, u"</", u"settings"))
                    return std::nullopt;
            }
            --depth;
        }
    }
    if (xml.hasError() || depth != 0)
        return std::nullopt;
    return place;
}

// Where an attribute's value stands inside a start tag: [begin, end) between its quotes, or nothing.
struct ValueSpan
{
    qsizetype begin = -1;
    qsizetype end = -1;
    QChar quote;
};

ValueSpan attributeValue(const QString& text, qsizetype tagBegin, qsizetype tagEnd, const QString& attribute)
{
    // The reader has accepted the tag, so names, "=" and quoted values follow each other plainly.
    qsizetype at = tagBegin + 1;
    while (at < tagEnd && !text.at(at).isSpace() && text.at(at) != QLatin1Char('/') && text.at(at) != QLatin1Char('>'))
        ++at;
    while (at < tagEnd) {
        while (at < tagEnd && text.at(at).isSpace())
            ++at;
        const qsizetype nameBegin = at;
        while (at < tagEnd && text.at(at) != QLatin1Char('=') && !text.at(at).isSpace() &&
               text.at(at) != QLatin1Char('/') && text.at(at) != QLatin1Char('>'))
            ++at;
        const QStringView name = QStringView(text).mid(nameBegin, at - nameBegin);
        if (name.isEmpty())
            break;
        const qsizetype equals = text.indexOf(QLatin1Char('='), at);
        if (equals < 0 || equals >= tagEnd)
            break;
        at = equals + 1;
        while (at < tagEnd && text.at(at).isSpace())
            ++at;
        const QChar quote = at < tagEnd ? text.at(at) : QChar();
        const qsizetype close = text.indexOf(quote, at + 1);
        if (close < 0 || close >= tagEnd)
            break;
        if (name == attribute)
            return ValueSpan{at + 1, close, quote};
        at = close + 1;
    }
    return {};
}

// An attribute value as markup: what XML reserves, and characters the file's encoding cannot hold, as
// references.
QString escapeAttribute(const QString& value, QChar quote, const Storage& storage)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('&'))
            out += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            out += QLatin1String("&lt;");
        else if (c == quote)
            out += c == QLatin1Char('"') ? QLatin1String("&quot;") : QLatin1String("&apos;");
        // Literal line ends and tabs would read back as blanks.
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("&#xa;");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("&#xd;");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("&#x9;");
        else if (c.unicode() < 0x80)
            out += c;
        else {
            const qsizetype length =
                c.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate() ? 2 : 1;
            const QStringView character = QStringView(value).mid(i, length);
            if (storage.canEncode(character))
                out += character;
            else
                out += QLatin1String("&#") + QString::number(character.toUcs4().value(0)) + QLatin1Char(';');
            i += length - 1;
        }
    }
    return out;
}

// Reads a description to change it. A missing file is created empty, as opening it for reading and
// writing would; a folder, a FIFO, a file that may not be read or written is left alone, and a FIFO
// is never opened.
std::optional<QByteArray> readForUpdate(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    QByteArray bytes;
    switch (UserFile::read(path, &bytes)) {
    case UserFile::Status::Regular:
        if (::access(QFile::encodeName(path).constData(), W_OK) != 0)
            return std::nullopt;
        return bytes;
    case UserFile::Status::Missing: {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
            return std::nullopt;
        ::close(fd);
        return bytes;
    }
    default:
        return std::nullopt;
    }
}

bool replaceIfChanged(const QString& path, const QByteArray& old, const QByteArray& bytes)
{
    return bytes == old || Profile::replaceFile(path, bytes);
}
} // namespace

std::optional<QByteArray> withAttribute(const QByteArray& bytes, const QString& element, const QString& attribute,
                                        const QString& value)
{
    const Storage storage(bytes);
    if (!storage.isValid())
        return std::nullopt;
    std::optional<QString> decoded = storage.decode(bytes);
    if (!decoded)
        return std::nullopt;
    QString& text = *decoded;
    const std::optional<ElementPlace> place = placeOf(text, element, attribute);
    if (!place)
        return std::nullopt;
    // Already there: the file is not touched at all.
    if (place->found && place->hasAttribute && place->value == value)
        return bytes;

    const QString eol = lineEnd(text);
    if (place->found) {
        const ValueSpan span = attributeValue(text, place->tagBegin, place->tagEnd, attribute);
        if (span.begin >= 0) {
            text.replace(span.begin, span.end - span.begin, escapeAttribute(value, span.quote, storage));
        } else {
            // A new attribute goes last, before "/>" or ">" and the blanks in front of them.
            qsizetype at = place->tagEnd - 1;
            if (text.at(at - 1) == QLatin1Char('/'))
                --at;
            while (text.at(at - 1).isSpace())
                --at;
            text.insert(at, QLatin1Char(' ') + attribute + QLatin1String("=\"") +
                                escapeAttribute(value, QLatin1Char('"'), storage) + QLatin1Char('"'));
        }
    } else {
        const QString indent = place->indentKnown ? place->indent : QStringLiteral("\t");
        const QString line = indent + QLatin1Char('<') + element + QLatin1Char(' ') + attribute + QLatin1String("=\"") +
                             escapeAttribute(value, QLatin1Char('"'), storage) + QLatin1String("\"/>");
        if (place->rootEndTag < 0) {
            // "<settings/>" opens up around the new line.
            const qsizetype slash = text.lastIndexOf(QLatin1Char('/'), place->rootTagEnd - 1);
            text.replace(slash, place->rootTagEnd - slash,
                         QLatin1Char('>') + eol + line + eol + QLatin1String("</settings>"));
        } else {
            // One line of its own before the root's end tag.
            const qsizetype lineStart = text.lastIndexOf(QLatin1Char('\n'), place->rootEndTag - 1) + 1;
            if (QStringView(text).mid(lineStart, place->rootEndTag - lineStart).trimmed().isEmpty())
                text.insert(lineStart, line + eol);
            else
                text.insert(place->rootEndTag, eol + line + eol);
        }
    }
    return storage.encode(text);
}

bool writeDescription(const QString& path, const QString& element, const QString& attribute, const QString& value)
{
    const std::optional<QByteArray> bytes = readForUpdate(path);
    if (!bytes)
        return false;
    const std::optional<QByteArray> rewritten = withAttribute(*bytes, element, attribute, value);
    return rewritten && replaceIfChanged(path, *bytes, *rewritten);
}

QString fixDescriptionIndent(const QString& text)
{
    QString fixed = text;
    fixed.replace(QString(IndentWidth, QLatin1Char(' ')), QStringLiteral("\t"));
    fixed.replace(QLatin1String("<!--"), QLatin1String("\t<!--"));
    return fixed;
}

std::optional<QByteArray> withGroupState(const QByteArray& bytes, const QString& title, bool open, int red, int green,
                                         int blue)
{
    const Storage storage(bytes);
    if (!storage.isValid())
        return std::nullopt;
    std::optional<QString> decoded = storage.decode(bytes);
    if (!decoded)
        return std::nullopt;
    QString& text = *decoded;

    bool found = false;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype lf = text.indexOf(QLatin1Char('\n'), start);
        qsizetype end = lf < 0 ? text.size() : lf;
        if (end > start && text.at(end - 1) == QLatin1Char('\r'))
            --end;
        const QStringView line = QStringView(text).mid(start, end - start);
        if (line.contains(title) && line.contains(QLatin1String("title")) && line.contains(QLatin1String("group"))) {
            QString changed = line.toString();
            setAttrInLine(changed, QStringLiteral("open"), QString::number(open ? 1 : 0));
            setAttrInLine(changed, QStringLiteral("color"), QStringLiteral("%1,%2,%3").arg(red).arg(green).arg(blue));
            text.replace(start, end - start, changed);
            found = true;
            break;
        }
        if (lf < 0)
            break;
        start = lf + 1;
    }
    if (!found) {
        const QString eol = lineEnd(text);
        if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
            text += eol;
        text += eol;
    }
    return storage.encode(text);
}

bool saveGroupState(const QString& path, const QString& title, bool open, int red, int green, int blue)
{
    const std::optional<QByteArray> bytes = readForUpdate(path);
    if (!bytes)
        return false;
    const std::optional<QByteArray> rewritten = withGroupState(*bytes, title, open, red, green, blue);
    return rewritten && replaceIfChanged(path, *bytes, *rewritten);
}

void setAttrInLine(QString& line, const QString& attr, const QString& value)
{
    const QString assignment = attr + QLatin1String("=\"") + value + QLatin1Char('"');
    const qsizetype p = line.indexOf(attr + QLatin1Char('='));
    if (p < 0) {
        qsizetype close = line.indexOf(QLatin1Char('>'));
        if (close < 0)
            return;
        // In an empty-element tag the attribute goes before the "/", so that the tag stays one.
        if (close > 0 && line.at(close - 1) == QLatin1Char('/'))
            --close;
        line.insert(close, QLatin1Char(' ') + assignment);
        return;
    }
    // The value runs to the quote that matches the one it opens with.
    qsizetype open = p + attr.size() + 1;
    while (open < line.size() && line.at(open).isSpace())
        ++open;
    const QChar quote = open < line.size() && line.at(open) == QLatin1Char('\'') ? QLatin1Char('\'') : QLatin1Char('"');
    const qsizetype first = line.indexOf(quote, p);
    const qsizetype last = first < 0 ? -1 : line.indexOf(quote, first + 1);
    if (last < 0)
        return;
    line.replace(p, last - p + 1, assignment);
}
} // namespace DescriptionWriter
