#include "description/descriptionwriter.h"

#include "platform/profile.h"
#include "platform/textcodec.h"

#include <QDomDocument>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>

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

struct ElementAttributes
{
    QString name;
    QStringList attributes; // in the order the file writes them
};

// Every element of a document, in document order, with its attribute names as written. The document
// model keeps attributes in a hash, whose order changes from run to run.
QList<ElementAttributes> attributeOrder(const QByteArray& bytes)
{
    QList<ElementAttributes> elements;
    QXmlStreamReader xml(bytes);
    xml.setNamespaceProcessing(false);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        ElementAttributes element;
        element.name = xml.qualifiedName().toString();
        const QXmlStreamAttributes attributes = xml.attributes();
        for (const QXmlStreamAttribute& attribute : attributes)
            element.attributes.append(attribute.qualifiedName().toString());
        elements.append(element);
    }
    return elements;
}

bool isTextLike(const QDomNode& node)
{
    return node.nodeType() == QDomNode::TextNode || node.nodeType() == QDomNode::CDATASectionNode;
}

// Writes a document tree the way the document model lays it out (one element per line, indented by
// nesting depth, text kept inline), with attributes in the file's order.
class Serializer
{
public:
    Serializer(const Storage& storage, QList<ElementAttributes> order) : m_storage(storage), m_order(std::move(order))
    {}

    QString document(const QDomDocument& doc, const QString& declaration)
    {
        m_out.clear();
        m_nextElement = 0;
        if (!declaration.isEmpty())
            m_out += declaration + QLatin1Char('\n');
        for (QDomNode child = doc.firstChild(); !child.isNull(); child = child.nextSibling()) {
            // The declaration is the file's own text, written above.
            if (child.isProcessingInstruction() && child.nodeName() == QLatin1String("xml"))
                continue;
            node(child, 0);
        }
        return m_out;
    }

private:
    void indent(int depth) { m_out += QString(depth * IndentWidth, QLatin1Char(' ')); }

    void node(const QDomNode& n, int depth)
    {
        switch (n.nodeType()) {
        case QDomNode::ElementNode:
            element(n.toElement(), depth);
            break;
        case QDomNode::TextNode:
            m_out += escape(n.nodeValue(), false);
            break;
        case QDomNode::CDATASectionNode:
            m_out += QLatin1String("<![CDATA[") + n.nodeValue() + QLatin1String("]]>");
            break;
        case QDomNode::CommentNode: {
            if (!isTextLike(n.previousSibling()))
                indent(depth);
            const QString value = n.nodeValue();
            // A comment may not end in "--->".
            m_out += QLatin1String("<!--") + value +
                     (value.endsWith(QLatin1Char('-')) ? QLatin1String(" -->") : QLatin1String("-->"));
            if (!isTextLike(n.nextSibling()))
                m_out += QLatin1Char('\n');
            break;
        }
        case QDomNode::ProcessingInstructionNode:
            m_out += QLatin1String("<?") + n.nodeName() + QLatin1Char(' ') + n.nodeValue() + QLatin1String("?>\n");
            break;
        case QDomNode::EntityReferenceNode:
            m_out += QLatin1Char('&') + n.nodeName() + QLatin1Char(';');
            break;
        case QDomNode::DocumentTypeNode:
            doctype(n.toDocumentType());
            break;
        default:
            break;
        }
    }

    void element(const QDomElement& e, int depth)
    {
        const QStringList names = attributeNames(e);
        if (!isTextLike(e.previousSibling()))
            indent(depth);
        const QString tag = e.tagName();
        m_out += QLatin1Char('<') + tag;
        for (const QString& name : names)
            m_out +=
                QLatin1Char(' ') + name + QLatin1String("=\"") + escape(e.attribute(name), true) + QLatin1Char('"');
        if (e.hasChildNodes()) {
            m_out += QLatin1Char('>');
            if (!isTextLike(e.firstChild()))
                m_out += QLatin1Char('\n');
            for (QDomNode child = e.firstChild(); !child.isNull(); child = child.nextSibling())
                node(child, depth + 1);
            if (!isTextLike(e.lastChild()))
                indent(depth);
            m_out += QLatin1String("</") + tag + QLatin1Char('>');
        } else {
            m_out += QLatin1String("/>");
        }
        if (!isTextLike(e.nextSibling()))
            m_out += QLatin1Char('\n');
    }

    void doctype(const QDomDocumentType& type)
    {
        if (type.name().isEmpty())
            return;
        m_out += QLatin1String("<!DOCTYPE ") + type.name();
        if (!type.publicId().isEmpty()) {
            m_out += QLatin1String(" PUBLIC \"") + type.publicId() + QLatin1Char('"');
            if (!type.systemId().isEmpty())
                m_out += QLatin1String(" \"") + type.systemId() + QLatin1Char('"');
        } else if (!type.systemId().isEmpty()) {
            m_out += QLatin1String(" SYSTEM \"") + type.systemId() + QLatin1Char('"');
        }
        if (!type.internalSubset().isEmpty())
            m_out += QLatin1String(" [") + type.internalSubset() + QLatin1Char(']');
        m_out += QLatin1String(">\n");
    }

    // The element's attributes in the order the file had them; attributes the file did not have
    // (one just set) follow, by name, so that the result does not depend on the hash.
    QStringList attributeNames(const QDomElement& e)
    {
        QStringList present;
        const QDomNamedNodeMap attributes = e.attributes();
        for (int i = 0; i < attributes.count(); ++i)
            present.append(attributes.item(i).nodeName());
        std::sort(present.begin(), present.end());

        const int index = m_nextElement++;
        if (index >= m_order.size() || m_order.at(index).name != e.tagName())
            return present;
        QStringList ordered;
        for (const QString& name : std::as_const(m_order.at(index).attributes))
            if (present.contains(name) && !ordered.contains(name))
                ordered.append(name);
        for (const QString& name : std::as_const(present))
            if (!ordered.contains(name))
                ordered.append(name);
        return ordered;
    }

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
    const QList<ElementAttributes> m_order;
    QHash<QString, bool> m_encodable;
    QString m_out;
    int m_nextElement = 0;
};

// Reads a file the way the original opened it for reading and writing: a missing file is created
// empty, and a file that cannot be opened so (a folder, a file without write permission) is not read.
std::optional<QByteArray> readForUpdate(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return std::nullopt;
    return file.readAll();
}

bool replaceIfChanged(const QString& path, const QByteArray& old, const QByteArray& bytes)
{
    return bytes == old || Profile::replaceFile(path, bytes);
}
} // namespace

bool writeDescription(const QString& path, const QString& element, const QString& attribute, const QString& value)
{
    const std::optional<QByteArray> bytes = readForUpdate(path);
    if (!bytes)
        return false;
    QDomDocument doc;
    if (!doc.setContent(*bytes, false))
        return false;
    const Storage storage(*bytes);
    if (!storage.isValid())
        return false;

    QDomElement root = doc.documentElement();
    if (root.tagName() == QLatin1String("settings")) {
        QDomElement e = root.firstChildElement(element);
        if (e.isNull()) {
            e = doc.createElement(element);
            root.appendChild(e);
        }
        e.setAttribute(attribute, value);
    }

    const QString original = storage.decodeLeniently(*bytes);
    Serializer serializer(storage, attributeOrder(*bytes));
    QString text = fixDescriptionIndent(serializer.document(doc, declarationOf(original)));
    const QString eol = lineEnd(original);
    if (eol != QLatin1String("\n"))
        text.replace(QLatin1Char('\n'), eol);

    // A name or comment the encoding cannot hold has no escape: such a file is left alone.
    const QByteArray rewritten = storage.encode(text);
    if (storage.decodeLeniently(rewritten) != text)
        return false;
    return replaceIfChanged(path, *bytes, rewritten);
}

QString fixDescriptionIndent(const QString& text)
{
    QString fixed = text;
    fixed.replace(QString(IndentWidth, QLatin1Char(' ')), QStringLiteral("\t"));
    fixed.replace(QLatin1String("<!--"), QLatin1String("\t<!--"));
    return fixed;
}

bool saveGroupState(const QString& path, const QString& title, bool open, int red, int green, int blue)
{
    const std::optional<QByteArray> bytes = readForUpdate(path);
    if (!bytes)
        return false;
    const Storage storage(*bytes);
    if (!storage.isValid())
        return false;
    std::optional<QString> decoded = storage.decode(*bytes);
    if (!decoded)
        return false;
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
    return replaceIfChanged(path, *bytes, storage.encode(text));
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
