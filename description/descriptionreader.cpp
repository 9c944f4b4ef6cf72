#include "description/descriptionmodel.h"

#include "description/descriptionoutline.h"
#include "platform/userfile.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cfloat>
#include <optional>
#include <utility>

namespace
{
// An attribute by its name as written; def when the element does not carry it (a present but
// empty attribute gives "").
QString attribute(const QXmlStreamAttributes& attrs, QLatin1String name, const QString& def = QString())
{
    for (const QXmlStreamAttribute& attr : attrs) {
        if (attr.qualifiedName() == name)
            return attr.value().toString();
    }
    return def;
}

// Integers are base 10; text that is no integer (or does not fit an int) counts as 0.
int toInt(const QString& text)
{
    return text.toInt(nullptr, 10);
}

double toDouble(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0.0; // an overflow gives infinity with ok false; it counts as invalid too
}

// Flags are stored in a byte: 256 is off.
bool lowByteSet(int value)
{
    return (value & 0xff) != 0;
}

// The whole text content of the element the reader stands on, read up to its end. Blank-only
// text between child elements is left out, as a parsed document drops such nodes.
QString elementText(QXmlStreamReader& xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (!xml.isWhitespace() || xml.isCDATA())
                text += xml.text();
            break;
        default:
            break;
        }
    }
    return text;
}

using Element = DescriptionOutline::Element;

// Records the element the reader stands on; the editor's reads pass no outline.
void note(DescriptionOutline* outline, Element::Role role, const QXmlStreamReader& xml, qint64 line,
          const ParamDescription* param = nullptr, const QString& text = QString())
{
    if (outline)
        outline->elements.append(Element{role, xml.qualifiedName().toString(), line, xml.attributes(), text, param});
}

// Everything a description file says, collected before any member is touched: a parse error
// at the very end of the file still means that nothing was read.
struct ParsedDescription
{
    ParsedDescription() = default;
    ParsedDescription(const ParsedDescription&) = delete;
    ParsedDescription& operator=(const ParsedDescription&) = delete;
    ~ParsedDescription()
    {
        qDeleteAll(groupParams);
        qDeleteAll(rootParams);
        qDeleteAll(groups);
    }

    QList<ParamDescription*> groupParams;
    QList<ParamDescription*> rootParams;
    QList<GroupDescription*> groups;
    std::optional<QString> check;
    std::optional<QString> tabs;
    std::optional<QString> defList;
    bool auxButton = false;
    QString auxTitle;
    QString auxTimeout;
    QString auxCmdLine;
    QList<QPair<QString, QString>> programs; // cmdline, dependence
    std::optional<QString> curProg;
};

void noteError(DescriptionOutline* outline, const QXmlStreamReader& xml)
{
    if (outline && xml.hasError()) {
        outline->error = xml.errorString();
        outline->errorLine = xml.lineNumber();
        outline->errorColumn = xml.columnNumber();
    }
}

// Namespaces are not processed: "a:settings" is just another name.
bool isRootSettings(QXmlStreamReader& xml, DescriptionOutline* outline = nullptr)
{
    xml.setNamespaceProcessing(false);
    if (!xml.readNextStartElement()) {
        noteError(outline, xml);
        return false;
    }
    if (outline) {
        outline->rootName = xml.qualifiedName().toString();
        outline->rootLine = xml.lineNumber();
    }
    return xml.qualifiedName() == QLatin1String("settings");
}

// Reads past the root's end: trailing garbage makes the whole document invalid.
bool finishDocument(QXmlStreamReader& xml, DescriptionOutline* outline = nullptr)
{
    while (!xml.atEnd())
        xml.readNext();
    noteError(outline, xml);
    return !xml.hasError();
}

void readParamElement(QXmlStreamReader& xml, const QString& groupTitle, QString* lastDir,
                      QList<ParamDescription*>& into, DescriptionOutline* outline)
{
    ParamDescription* param = DescriptionModel::readParam(xml.attributes(), groupTitle, lastDir);
    into.append(param);
    note(outline, Element::Param, xml, xml.lineNumber(), param);
    if (param->type == TypeList)
        param->items = DescriptionModel::readListItems(xml, outline, param);
    else
        xml.skipCurrentElement();
}

void readGroupElement(QXmlStreamReader& xml, QString* lastDir, ParsedDescription& parsed, DescriptionOutline* outline)
{
    note(outline, Element::Group, xml, xml.lineNumber());
    const QXmlStreamAttributes attrs = xml.attributes();
    auto* group = new GroupDescription;
    parsed.groups.append(group);
    DescriptionModel::readGroupColor(attrs, group);
    group->title = attribute(attrs, QLatin1String("title"));
    group->open = lowByteSet(toInt(attribute(attrs, QLatin1String("open"), QStringLiteral("1"))));

    // Only direct "param" children count; a nested group is skipped with all it holds.
    while (xml.readNextStartElement()) {
        if (xml.qualifiedName() == QLatin1String("param")) {
            readParamElement(xml, group->title, lastDir, parsed.groupParams, outline);
        } else {
            note(outline, Element::Nested, xml, xml.lineNumber());
            xml.skipCurrentElement();
        }
    }
}

// The first of these elements counts; inifile is read only when a description is opened itself.
Element::Role settingRole(QStringView name, const ParsedDescription& parsed, bool& iniFileSeen)
{
    bool seen = false;
    if (name == QLatin1String("check"))
        seen = bool(parsed.check);
    else if (name == QLatin1String("tabs"))
        seen = bool(parsed.tabs);
    else if (name == QLatin1String("deflist"))
        seen = bool(parsed.defList);
    else if (name == QLatin1String("auxbutton"))
        seen = parsed.auxButton;
    else if (name == QLatin1String("curprog"))
        seen = bool(parsed.curProg);
    else if (name == QLatin1String("inifile"))
        seen = std::exchange(iniFileSeen, true);
    else
        return Element::Unknown;
    return seen ? Element::Repeated : Element::Setting;
}

bool parseDescription(const QByteArray& bytes, QString* lastDir, ParsedDescription& parsed, DescriptionOutline* outline)
{
    QXmlStreamReader xml(bytes);
    if (!isRootSettings(xml, outline))
        return false;
    const QString rootTitle = attribute(xml.attributes(), QLatin1String("title"));

    bool iniFileSeen = false;
    while (xml.readNextStartElement()) {
        const QStringView name = xml.qualifiedName();
        const qint64 line = xml.lineNumber();
        if (name == QLatin1String("group")) {
            readGroupElement(xml, lastDir, parsed, outline);
            continue;
        }
        if (name == QLatin1String("param")) {
            readParamElement(xml, rootTitle, lastDir, parsed.rootParams, outline);
            continue;
        }
        if (name == QLatin1String("program")) {
            note(outline, Element::Program, xml, line);
            const QXmlStreamAttributes attrs = xml.attributes();
            parsed.programs.append(
                {attribute(attrs, QLatin1String("cmdline")), attribute(attrs, QLatin1String("dependence"))});
            xml.skipCurrentElement();
            continue;
        }

        const Element::Role role = settingRole(name, parsed, iniFileSeen);
        if (role != Element::Setting) {
            note(outline, role, xml, line);
            xml.skipCurrentElement();
        } else if (name == QLatin1String("check")) {
            parsed.check = elementText(xml);
            note(outline, role, xml, line, nullptr, *parsed.check);
        } else if (name == QLatin1String("tabs")) {
            parsed.tabs = elementText(xml);
            note(outline, role, xml, line, nullptr, *parsed.tabs);
        } else if (name == QLatin1String("deflist")) {
            parsed.defList = elementText(xml);
            note(outline, role, xml, line, nullptr, *parsed.defList);
        } else {
            note(outline, role, xml, line);
            const QXmlStreamAttributes attrs = xml.attributes();
            if (name == QLatin1String("auxbutton")) {
                parsed.auxButton = true;
                parsed.auxTitle = attribute(attrs, QLatin1String("title"));
                parsed.auxTimeout = attribute(attrs, QLatin1String("timeout"), QStringLiteral("-1"));
                parsed.auxCmdLine = attribute(attrs, QLatin1String("cmdline"));
            } else if (name == QLatin1String("curprog")) {
                parsed.curProg = attribute(attrs, QLatin1String("cmdline"));
            }
            xml.skipCurrentElement();
        }
    }
    return finishDocument(xml, outline);
}
} // namespace

DescriptionReadResult DescriptionModel::readDescription(const QString& descPath, QString* lastDir,
                                                        DescriptionOutline* outline)
{
    // The bytes as they are: the parser normalises line ends itself, and dropping CR bytes would
    // break a UTF-16 file. A FIFO or a folder named like a description is not read at all.
    QByteArray bytes;
    if (UserFile::read(descPath, &bytes) != UserFile::Status::Regular) {
        clearDescriptions();
        return DescriptionReadResult();
    }
    return readDescriptionFrom(bytes, lastDir, outline);
}

DescriptionReadResult DescriptionModel::readDescriptionFrom(const QByteArray& bytes, QString* lastDir,
                                                            DescriptionOutline* outline)
{
    DescriptionReadResult result;
    clearDescriptions();
    ParsedDescription parsed;
    if (!parseDescription(bytes, lastDir, parsed, outline))
        return result;

    m_bCheck = parsed.check && lowByteSet(toInt(*parsed.check));
    m_nTabs = parsed.tabs ? toInt(*parsed.tabs) : 0;
    if (parsed.auxButton) {
        m_sAuxTitle = parsed.auxTitle;
        m_nAuxTimeout = toInt(parsed.auxTimeout);
        m_sAuxCmdLine = parsed.auxCmdLine;
    }
    m_nDefList = parsed.defList ? toInt(*parsed.defList) : 0;

    // Ownership moves to the members; group parameters come first wherever the root ones stand.
    m_params = parsed.groupParams + parsed.rootParams;
    m_groups = parsed.groups;
    parsed.groupParams.clear();
    parsed.rootParams.clear();
    parsed.groups.clear();

    // A dependence is looked for relative to the current directory (the folder of the INI file).
    m_progList.clear();
    for (const auto& [cmdLine, dependence] : std::as_const(parsed.programs)) {
        if (dependence.isEmpty() || QFile::exists(dependence))
            m_progList.append(cmdLine);
    }
    if (parsed.curProg)
        m_sCurProg = *parsed.curProg;

    result.read = true;
    result.auxButton = parsed.auxButton;
    result.check = m_bCheck;
    return result;
}

QString DescriptionModel::iniFileNamedBy(const QString& descPath)
{
    QByteArray bytes;
    if (UserFile::read(descPath, &bytes) != UserFile::Status::Regular)
        return QString();
    QXmlStreamReader xml(bytes);
    if (!isRootSettings(xml))
        return QString();

    std::optional<QString> name;
    while (xml.readNextStartElement()) {
        if (!name && xml.qualifiedName() == QLatin1String("inifile"))
            name = attribute(xml.attributes(), QLatin1String("name"));
        xml.skipCurrentElement();
    }
    if (!finishDocument(xml))
        return QString();
    if (name)
        return *name;
    return QFileInfo(descPath).completeBaseName() + QLatin1String(".ini");
}

ParamDescription* DescriptionModel::readParam(const QXmlStreamAttributes& param, const QString& groupTitle,
                                              QString* lastDir)
{
    auto* desc = new ParamDescription;
    desc->title = attribute(param, QLatin1String("title"));

    // Split at the first dot only, so a key may hold dots itself.
    const QString name = attribute(param, QLatin1String("name"));
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        desc->section = name.left(dot);
    desc->key = name.mid(dot + 1);

    desc->invisible = toInt(attribute(param, QLatin1String("invisible"), QStringLiteral("0")));
    desc->noedit = toInt(attribute(param, QLatin1String("noedit"), QStringLiteral("0")));

    // Type keywords are case-sensitive: "List" is free text.
    const QString type = attribute(param, QLatin1String("type"));
    if (type == QLatin1String("spin-int")) {
        desc->type = TypeSpinInt;
        desc->intMin = toInt(attribute(param, QLatin1String("min"), QString::number(INT_MIN)));
        desc->intMax = toInt(attribute(param, QLatin1String("max"), QString::number(INT_MAX)));
        desc->intStep = toInt(attribute(param, QLatin1String("inc"), QStringLiteral("1")));
    } else if (type == QLatin1String("spin-double")) {
        // The default limits go through their six-digit text, so they are just inside DBL_MAX.
        desc->type = TypeSpinDouble;
        desc->dblMin = toDouble(attribute(param, QLatin1String("min"), QString::number(-DBL_MAX, 'g', 6)));
        desc->dblMax = toDouble(attribute(param, QLatin1String("max"), QString::number(DBL_MAX, 'g', 6)));
        desc->dblStep = toDouble(attribute(param, QLatin1String("inc"), QStringLiteral("0.1")));
    } else if (type == QLatin1String("list")) {
        desc->type = TypeList; // the caller reads the items, which follow the attributes
    } else if (type == QLatin1String("file")) {
        desc->type = TypeFile;
        desc->pattern = attribute(param, QLatin1String("pattern"));
        desc->pLastDir = lastDir;
    } else {
        desc->type = TypeText;
    }

    desc->comment = attribute(param, QLatin1String("comment"));
    desc->groupTitle = groupTitle;
    return desc;
}

QVector<ListItem*> DescriptionModel::readListItems(QXmlStreamReader& xml, DescriptionOutline* outline,
                                                   const ParamDescription* owner)
{
    QVector<ListItem*> items;
    while (xml.readNextStartElement()) {
        if (xml.qualifiedName() == QLatin1String("item")) {
            note(outline, Element::Item, xml, xml.lineNumber(), owner);
            const QXmlStreamAttributes attrs = xml.attributes();
            auto* item = new ListItem;
            item->descr = attribute(attrs, QLatin1String("descr"));
            item->val = attribute(attrs, QLatin1String("val"));
            items.append(item);
        }
        xml.skipCurrentElement();
    }
    return items;
}

void DescriptionModel::readGroupColor(const QXmlStreamAttributes& attrs, GroupDescription* group)
{
    group->red = group->green = group->blue = 255;
    const QString color = attribute(attrs, QLatin1String("color"));
    // Empty parts are kept, so "10,,30" has a green of 0; fewer than three parts say nothing usable.
    const QStringList parts = color.split(QLatin1Char(','));
    if (color.isEmpty() || parts.size() < 3)
        return;
    group->red = toInt(parts.at(0));
    group->green = toInt(parts.at(1));
    group->blue = toInt(parts.at(2));
}
