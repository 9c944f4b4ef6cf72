#include "description/descriptionwriter.h"

#include "platform/profile.h"
#include "platform/textcodec.h"
#include "platform/userfile.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace DescriptionWriter
{
namespace
{
// Indentation of one nesting level in the serialised document; fixDescriptionIndent turns each
// such run into a tab.
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

// The XML declaration exactly as the file writes it, or "" when it has none.
QString declarationOf(const QString& text)
{
    if (!text.startsWith(QLatin1String("<?xml")))
        return QString();
    const qsizetype end = text.indexOf(QLatin1String("?>"));
    return end < 0 ? QString() : text.left(end + 2);
}

// One piece of a parsed document, in document order. Blank-only text is not kept, as a parsed
// document model drops it; the layout is the serialiser's.
struct Node
{
    enum Kind : quint8
    {
        Start,
        End,
        Text,
        CData,
        Comment,
        Instruction,
        EntityReference,
        Doctype
    };
    Kind kind = Text;
    QString name;                              // element, instruction target or entity name
    QString value;                             // text, comment, instruction data, or the whole DOCTYPE declaration
    QList<QPair<QString, QString>> attributes; // Start only, in the order the file writes them
};

// The document as a flat list of nodes, read without recursion however deep it nests. Nothing
// when it is not well-formed. The XML declaration is not a node: the writer keeps the file's own.
std::optional<QList<Node>> parseNodes(const QByteArray& bytes)
{
    QList<Node> nodes;
    QXmlStreamReader xml(bytes);
    xml.setNamespaceProcessing(false);
    while (!xml.atEnd()) {
        Node node;
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            node.kind = Node::Start;
            node.name = xml.qualifiedName().toString();
            const QXmlStreamAttributes attributes = xml.attributes();
            for (const QXmlStreamAttribute& attribute : attributes)
                node.attributes.append({attribute.qualifiedName().toString(), attribute.value().toString()});
            break;
        }
        case QXmlStreamReader::EndElement:
            node.kind = Node::End;
            node.name = xml.qualifiedName().toString();
            break;
        case QXmlStreamReader::Characters:
            if (xml.isWhitespace() || xml.text().trimmed().isEmpty())
                continue;
            node.kind = xml.isCDATA() ? Node::CData : Node::Text;
            node.value = xml.text().toString();
            break;
        case QXmlStreamReader::Comment:
            node.kind = Node::Comment;
            node.value = xml.text().toString();
            break;
        case QXmlStreamReader::ProcessingInstruction:
            node.kind = Node::Instruction;
            node.name = xml.processingInstructionTarget().toString();
            node.value = xml.processingInstructionData().toString();
            break;
        case QXmlStreamReader::EntityReference:
            node.kind = Node::EntityReference;
            node.name = xml.name().toString();
            break;
        case QXmlStreamReader::DTD:
            node.kind = Node::Doctype;
            node.value = xml.text().toString();
            break;
        default:
            continue;
        }
        nodes.append(std::move(node));
    }
    if (xml.hasError())
        return std::nullopt;
    return nodes;
}

bool isTextLike(const Node& node)
{
    return node.kind == Node::Text || node.kind == Node::CData;
}

// Writes the nodes the way the document model lays a document out (one element per line, indented
// by one tab per level, text kept inline), in one pass with a depth counter. Whether a node starts
// or ends a line depends on its neighbours only, which in a flat list are the nodes beside it.
class Serializer
{
public:
    explicit Serializer(const Storage& storage) : m_storage(storage) {}

    QString document(const QList<Node>& nodes, const QString& declaration)
    {
        m_out.clear();
        if (!declaration.isEmpty())
            m_out += declaration + QLatin1Char('\n');
        int depth = 0;
        const auto textLikeAt = [&nodes](qsizetype i) { return i >= 0 && i < nodes.size() && isTextLike(nodes.at(i)); };
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            const Node& n = nodes.at(i);
            switch (n.kind) {
            case Node::Start: {
                if (!textLikeAt(i - 1))
                    indent(depth);
                m_out += QLatin1Char('<') + n.name;
                for (const auto& [name, value] : n.attributes)
                    m_out += QLatin1Char(' ') + name + QLatin1String("=\"") + escape(value, true) + QLatin1Char('"');
                if (nodes.value(i + 1).kind == Node::End) {
                    m_out += QLatin1String("/>");
                    ++i;
                    if (!textLikeAt(i + 1))
                        m_out += QLatin1Char('\n');
                    break;
                }
                m_out += QLatin1Char('>');
                if (!textLikeAt(i + 1))
                    m_out += QLatin1Char('\n');
                ++depth;
                break;
            }
            case Node::End:
                --depth;
                if (!textLikeAt(i - 1))
                    indent(depth);
                m_out += QLatin1String("</") + n.name + QLatin1Char('>');
                if (!textLikeAt(i + 1))
                    m_out += QLatin1Char('\n');
                break;
            case Node::Text:
                m_out += escape(n.value, false);
                break;
            case Node::CData:
                m_out += QLatin1String("<![CDATA[") + n.value + QLatin1String("]]>");
                break;
            case Node::Comment:
                if (!textLikeAt(i - 1))
                    indent(depth);
                // A comment may not end in "--->".
                m_out += QLatin1String("<!--") + n.value +
                         (n.value.endsWith(QLatin1Char('-')) ? QLatin1String(" -->") : QLatin1String("-->"));
                if (!textLikeAt(i + 1))
                    m_out += QLatin1Char('\n');
                break;
            case Node::Instruction:
                m_out += QLatin1String("<?") + n.name + QLatin1Char(' ') + n.value + QLatin1String("?>\n");
                break;
            case Node::EntityReference:
                m_out += QLatin1Char('&') + n.name + QLatin1Char(';');
                break;
            case Node::Doctype:
                m_out += n.value + QLatin1Char('\n');
                break;
            }
        }
        return m_out;
    }

private:
    // Tabs straight away: ten blanks a level, turned into tabs afterwards, would cost ten times the
    // memory of a deeply nested file.
    void indent(int depth) { m_out += QString(depth, QLatin1Char('\t')); }

    // Markup characters as the document model escapes them, and characters the file's encoding
    // cannot hold as character references.
    QString escape(const QString& text, bool attribute)
    {
        QString out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            switch (c.unicode()) {
            case '<':
                out += QLatin1String("&lt;");
                continue;
            case '&':
                out += QLatin1String("&amp;");
                continue;
            case '>':
                out += i >= 2 && text.at(i - 1) == QLatin1Char(']') && text.at(i - 2) == QLatin1Char(']')
                           ? QLatin1String("&gt;")
                           : QLatin1String(">");
                continue;
            case '\r':
                out += QLatin1String("&#xd;");
                continue;
            default:
                break;
            }
            if (attribute) {
                // Literal line ends and tabs would read back as blanks.
                if (c == QLatin1Char('"')) {
                    out += QLatin1String("&quot;");
                    continue;
                }
                if (c == QLatin1Char('\n')) {
                    out += QLatin1String("&#xa;");
                    continue;
                }
                if (c == QLatin1Char('\t')) {
                    out += QLatin1String("&#x9;");
                    continue;
                }
            }
            if (c.unicode() < 0x80) {
                out += c;
                continue;
            }
            const qsizetype length =
                c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
            const QStringView character = QStringView(text).mid(i, length);
            if (encodable(character))
                out += character;
            else
                out += QLatin1String("&#") + QString::number(character.toUcs4().value(0)) + QLatin1Char(';');
            i += length - 1;
        }
        return out;
    }

    bool encodable(QStringView character)
    {
        const QString key = character.toString();
        const auto known = m_encodable.constFind(key);
        if (known != m_encodable.constEnd())
            return *known;
        const bool result = m_storage.canEncode(character);
        m_encodable.insert(key, result);
        return result;
    }

    const Storage& m_storage;
    QHash<QString, bool> m_encodable;
    QString m_out;
};

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
    std::optional<QList<Node>> parsed = parseNodes(bytes);
    if (!parsed)
        return std::nullopt;
    QList<Node>& nodes = *parsed;
    const Storage storage(bytes);
    if (!storage.isValid())
        return std::nullopt;

    // The root and its first child of that name, found with a depth counter. A root of another name
    // takes no change, and a file that already says what would be written is not rewritten.
    const qsizetype root =
        std::find_if(nodes.cbegin(), nodes.cend(), [](const Node& n) { return n.kind == Node::Start; }) -
        nodes.cbegin();
    if (root >= nodes.size() || nodes.at(root).name != QLatin1String("settings"))
        return bytes;
    qsizetype found = -1;
    qsizetype rootEnd = -1;
    int depth = 0;
    for (qsizetype i = root + 1; i < nodes.size() && rootEnd < 0; ++i) {
        const Node& n = nodes.at(i);
        if (n.kind == Node::Start) {
            if (depth == 0 && found < 0 && n.name == element)
                found = i;
            ++depth;
        } else if (n.kind == Node::End) {
            if (depth == 0)
                rootEnd = i;
            --depth;
        }
    }
    if (found < 0) {
        Node added;
        added.kind = Node::Start;
        added.name = element;
        added.attributes.append({attribute, value});
        Node end;
        end.kind = Node::End;
        end.name = element;
        nodes.insert(rootEnd, std::move(end));
        nodes.insert(rootEnd, std::move(added));
    } else {
        auto& attributes = nodes[found].attributes;
        auto it =
            std::find_if(attributes.begin(), attributes.end(), [&](const auto& a) { return a.first == attribute; });
        if (it != attributes.end() && it->second == value)
            return bytes;
        if (it != attributes.end())
            it->second = value;
        else
            attributes.append({attribute, value});
    }

    const QString original = storage.decodeLeniently(bytes);
    Serializer serializer(storage);
    QString text = fixDescriptionIndent(serializer.document(nodes, declarationOf(original)));
    const QString eol = lineEnd(original);
    if (eol != QLatin1String("\n"))
        text.replace(QLatin1Char('\n'), eol);

    // A name or comment the encoding cannot hold has no escape: such a file is left alone.
    const QByteArray rewritten = storage.encode(text);
    if (storage.decodeLeniently(rewritten) != text)
        return std::nullopt;
    return rewritten;
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
