#include "description/descriptioncheck.h"

#include "description/descriptionmatch.h"
#include "description/descriptionmodel.h"
#include "description/descriptionoutline.h"
#include "document/inientry.h"
#include "document/inifilekeys.h"
#include "platform/parsedprofile.h"
#include "platform/profile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMultiHash>
#include <QSet>

#include <algorithm>
#include <memory>

QString CheckFinding::toString() const
{
    QString place = file + QLatin1Char(':') + QString::number(line);
    if (column > 0)
        place += QLatin1Char(':') + QString::number(column);
    return place + QLatin1String(": ") + message;
}

namespace
{
using Element = DescriptionOutline::Element;

QString attribute(const Element& element, QLatin1String name)
{
    return element.attributes.value(name).toString();
}

bool isInt(const QString& text)
{
    bool ok = false;
    text.toInt(&ok, 10);
    return ok;
}

bool isDouble(const QString& text)
{
    bool ok = false;
    text.toDouble(&ok);
    return ok;
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The parameter as the description names it, for messages.
QString paramName(const Element& element)
{
    const QString name = attribute(element, QLatin1String("name"));
    return name.isEmpty() ? QStringLiteral("<param> without a name") : QLatin1String("parameter ") + name;
}

class Checker
{
public:
    Checker(const QString& descPath, const QStringList& iniFiles) : m_descPath(descPath), m_iniFiles(iniFiles) {}

    CheckReport run()
    {
        CheckReport report;
        const QFileInfo desc(m_descPath);
        if (!desc.isFile() || !desc.isReadable()) {
            report.failure = QStringLiteral("cannot read %1").arg(m_descPath);
            return report;
        }
        for (const QString& ini : m_iniFiles) {
            const QFileInfo info(ini);
            if (!info.isFile() || !info.isReadable()) {
                report.failure = QStringLiteral("cannot read %1").arg(ini);
                return report;
            }
        }

        QString lastDir;
        m_model.readDescription(m_descPath, &lastDir, &m_outline);
        if (!m_outline.error.isEmpty()) {
            // The editor then reads nothing of the file, so nothing else in it matters.
            QString error = m_outline.error;
            if (error.endsWith(QLatin1Char('.')))
                error.chop(1);
            add(m_descPath, m_outline.errorLine,
                QStringLiteral("XML error: %1; the editor ignores the whole file").arg(error), m_outline.errorColumn);
        } else if (m_outline.rootName != QLatin1String("settings")) {
            add(m_descPath, m_outline.rootLine,
                QStringLiteral("the root element is <%1>, not <settings>; the editor ignores the whole file")
                    .arg(m_outline.rootName));
        } else {
            const bool haveIniFiles = !m_iniFiles.isEmpty() || findNamedIniFile();
            checkDescription();
            if (haveIniFiles)
                checkIniFiles();
        }
        sortByLine();
        report.findings = m_findings;
        return report;
    }

private:
    void add(const QString& file, qint64 line, const QString& message, qint64 column = 0)
    {
        m_findings.append(CheckFinding{file, line, column, message});
    }

    void addDesc(const Element& element, const QString& message) { add(m_descPath, element.line, message); }

    void badNumber(const Element& element, const QString& what, const QString& text, const QString& readAs)
    {
        addDesc(element, QStringLiteral("%1: %2 is not a number; it reads as %3").arg(what, quoted(text), readAs));
    }

    // An attribute that is present and holds no valid integer.
    void checkIntAttribute(const Element& element, const QString& owner, QLatin1String name)
    {
        if (element.attributes.hasAttribute(name) && !isInt(attribute(element, name)))
            badNumber(element, owner + QStringLiteral(" ") + name, attribute(element, name), QStringLiteral("0"));
    }

    void checkDoubleAttribute(const Element& element, const QString& owner, QLatin1String name)
    {
        if (element.attributes.hasAttribute(name) && !isDouble(attribute(element, name)))
            badNumber(element, owner + QStringLiteral(" ") + name, attribute(element, name), QStringLiteral("0"));
    }

    void checkDescription()
    {
        QHash<QString, qint64> firstSetting;
        // Per list parameter, the line of each value's first item.
        QHash<const ParamDescription*, QHash<QString, qint64>> itemValues;
        for (const Element& element : std::as_const(m_outline.elements)) {
            switch (element.role) {
            case Element::Setting:
                firstSetting.insert(element.name, element.line);
                checkSetting(element);
                break;
            case Element::Repeated:
                addDesc(element, QStringLiteral("<%1> repeated; only the first (line %2) counts")
                                     .arg(element.name)
                                     .arg(firstSetting.value(element.name)));
                break;
            case Element::Unknown:
                addDesc(element, QStringLiteral("unknown element <%1> is ignored").arg(element.name));
                break;
            case Element::Nested:
                addDesc(element,
                        QStringLiteral("<%1> inside a <group> is ignored, with everything in it").arg(element.name));
                break;
            case Element::Group:
                checkGroup(element);
                break;
            case Element::Param:
                m_paramElements.insert(element.param, &element);
                checkParam(element);
                break;
            case Element::Item: {
                QHash<QString, qint64>& values = itemValues[element.param];
                const QString val = attribute(element, QLatin1String("val"));
                const auto first = values.constFind(val);
                if (first != values.constEnd())
                    addDesc(element, QStringLiteral("list value %1 repeats the item of line %2; choosing it shows "
                                                    "and writes the same as that one")
                                         .arg(quoted(val))
                                         .arg(first.value()));
                else
                    values.insert(val, element.line);
                break;
            }
            case Element::Program:
                checkProgram(element);
                break;
            }
        }
    }

    void checkSetting(const Element& element)
    {
        if (element.name == QLatin1String("auxbutton")) {
            checkIntAttribute(element, QStringLiteral("<auxbutton>"), QLatin1String("timeout"));
            return;
        }
        const bool numeric = element.name == QLatin1String("check") || element.name == QLatin1String("tabs") ||
                             element.name == QLatin1String("deflist");
        // An empty element (<check/>) is the plain way to write 0.
        if (numeric && !element.text.isEmpty() && !isInt(element.text))
            badNumber(element, QLatin1Char('<') + element.name + QLatin1Char('>'), element.text, QStringLiteral("0"));
    }

    void checkGroup(const Element& element)
    {
        const QString owner = QStringLiteral("group %1").arg(quoted(attribute(element, QLatin1String("title"))));
        checkIntAttribute(element, owner, QLatin1String("open"));
        const QString color = attribute(element, QLatin1String("color"));
        if (color.isEmpty())
            return;
        const QStringList parts = color.split(QLatin1Char(','));
        bool valid = parts.size() >= 3;
        for (qsizetype i = 0; valid && i < 3; ++i) {
            bool ok = false;
            const int component = parts.at(i).toInt(&ok, 10);
            valid = ok && component >= 0 && component <= 255;
        }
        if (!valid)
            addDesc(element, QStringLiteral("%1 color %2 is not three numbers from 0 to 255 separated by commas")
                                 .arg(owner, quoted(color)));
    }

    void checkParam(const Element& element)
    {
        const ParamDescription* param = element.param;
        const QString owner = paramName(element);
        checkIntAttribute(element, owner, QLatin1String("invisible"));
        checkIntAttribute(element, owner, QLatin1String("noedit"));

        const QString type = attribute(element, QLatin1String("type"));
        // "text" is not a keyword, but free text is what it asks for.
        if (param->type == TypeText && !type.isEmpty() && type != QLatin1String("text"))
            addDesc(element, QStringLiteral("%1: unknown type %2; it is edited as free text (the types are spin-int, "
                                            "spin-double, list and file)")
                                 .arg(owner, quoted(type)));

        const QLatin1String limits[] = {QLatin1String("min"), QLatin1String("max"), QLatin1String("inc")};
        if (param->type == TypeSpinInt) {
            for (const QLatin1String name : limits)
                checkIntAttribute(element, owner, name);
            if (param->intMin > param->intMax)
                addDesc(element,
                        QStringLiteral("%1: min %2 is above max %3").arg(owner).arg(param->intMin).arg(param->intMax));
        } else if (param->type == TypeSpinDouble) {
            for (const QLatin1String name : limits)
                checkDoubleAttribute(element, owner, name);
            if (param->dblMin > param->dblMax)
                addDesc(element,
                        QStringLiteral("%1: min %2 is above max %3").arg(owner).arg(param->dblMin).arg(param->dblMax));
        } else if (param->type == TypeList && param->items.isEmpty()) {
            addDesc(element, QStringLiteral("%1: list without any <item>").arg(owner));
        }
    }

    // The editor looks for a dependence in the folder of the first INI file, its current folder.
    void checkProgram(const Element& element)
    {
        const QString dependence = attribute(element, QLatin1String("dependence"));
        if (dependence.isEmpty())
            return;
        const QString folder = QFileInfo(m_iniFiles.isEmpty() ? m_descPath : m_iniFiles.first()).absolutePath();
        if (!QFileInfo::exists(QDir(folder).filePath(dependence)))
            addDesc(element, QStringLiteral("program %1 is not offered: its dependence %2 does not exist in %3")
                                 .arg(quoted(attribute(element, QLatin1String("cmdline"))), quoted(dependence),
                                      QDir::toNativeSeparators(folder)));
    }

    void checkIniFiles()
    {
        QSet<const ParamDescription*> used;
        for (const QString& ini : std::as_const(m_iniFiles)) {
            checkIniStructure(ini);
            const QList<IniKeyLine> keys = IniFileKeys::read(ini);
            QList<IniEntry*> fileEntries;
            for (const IniKeyLine& key : keys) {
                auto entry = std::make_unique<IniEntry>();
                entry->section = key.section;
                entry->key = key.key;
                fileEntries.append(entry.get());
                m_entries.push_back(std::move(entry));
            }
            ::matchDescriptions(fileEntries, m_model.m_params);
            for (qsizetype i = 0; i < keys.size(); ++i) {
                const IniEntry* entry = fileEntries.at(i);
                if (entry->desc) {
                    used.insert(entry->desc);
                    m_described.insert(entry->key.toLower(), entry);
                } else
                    add(ini, keys.at(i).line,
                        QStringLiteral("key %1 of [%2] has no description").arg(entry->key, entry->section));
            }
        }

        QStringList iniNames;
        for (const QString& ini : std::as_const(m_iniFiles))
            iniNames.append(QFileInfo(ini).fileName());
        for (const ParamDescription* param : std::as_const(m_model.m_params)) {
            if (used.contains(param))
                continue;
            const Element* element = m_paramElements.value(param);
            const ParamDescription* first = earlierDescription(param);
            if (first)
                addDesc(*element, QStringLiteral("%1 describes a key already described on line %2, which the "
                                                 "editor uses")
                                      .arg(paramName(*element))
                                      .arg(m_paramElements.value(first)->line));
            else
                addDesc(*element, QStringLiteral("%1 names no key of %2")
                                      .arg(paramName(*element), iniNames.join(QLatin1String(", "))));
        }
    }

    // The description the editor gave to a key that param would match as well, if any.
    const ParamDescription* earlierDescription(const ParamDescription* param) const
    {
        for (auto it = m_described.constFind(param->key.toLower());
             it != m_described.constEnd() && it.key() == param->key.toLower(); ++it) {
            if (param->section.isEmpty() || param->section == it.value()->section)
                return it.value()->desc;
        }
        return nullptr;
    }

    // Opening a description edits the INI file it names, relative to the description's folder.
    bool findNamedIniFile()
    {
        const QString name = DescriptionModel::iniFileNamedBy(m_descPath);
        const QString path = QDir::cleanPath(QFileInfo(m_descPath).dir().filePath(name));
        if (!name.isEmpty() && QFileInfo(path).isFile()) {
            m_iniFiles.append(path);
            return true;
        }
        qint64 line = m_outline.rootLine;
        for (const Element& element : std::as_const(m_outline.elements)) {
            if (element.role == Element::Setting && element.name == QLatin1String("inifile"))
                line = element.line;
        }
        add(m_descPath, line,
            QStringLiteral("the INI file this description opens, %1, does not exist; keys were not checked")
                .arg(quoted(path)));
        return false;
    }

    // Lines that neither the editor nor the test programs read: keys above the first header, a
    // section that repeats an earlier one, a key that repeats an earlier key of its section.
    void checkIniStructure(const QString& ini)
    {
        const QList<ParsedProfile::OutlineLine> lines = Profile::outline(ini);
        const bool hasHeader = std::any_of(lines.begin(), lines.end(), [](const ParsedProfile::OutlineLine& line) {
            return line.kind == ParsedProfile::OutlineLine::Header && !line.name.isEmpty();
        });
        QHash<QString, int> sections; // folded name -> line of its first header
        QHash<QString, int> keys;     // folded key of the current section -> its first line
        bool reachable = true;        // the part before the first header, or a section read first
        for (const ParsedProfile::OutlineLine& line : lines) {
            if (line.kind == ParsedProfile::OutlineLine::Header) {
                keys.clear();
                const QString folded = ParsedProfile::foldCase(line.name);
                const auto first = sections.constFind(folded);
                reachable = !line.name.isEmpty() && first == sections.constEnd();
                if (first != sections.constEnd())
                    add(ini, line.number,
                        QStringLiteral("section [%1] repeats the one of line %2; its keys are never read")
                            .arg(line.name)
                            .arg(first.value()));
                else if (!line.name.isEmpty())
                    sections.insert(folded, line.number);
                continue;
            }
            // The editor drops key names starting with "//" as comments.
            if (line.kind != ParsedProfile::OutlineLine::Key || line.name.startsWith(QLatin1String("//")) || !reachable)
                continue;
            if (hasHeader && sections.isEmpty()) {
                add(ini, line.number,
                    QStringLiteral("key %1 stands above the first section header; it is never read").arg(line.name));
                continue;
            }
            const QString folded = ParsedProfile::foldCase(line.name);
            const auto first = keys.constFind(folded);
            if (first != keys.constEnd())
                add(ini, line.number,
                    QStringLiteral("key %1 repeats the one of line %2; only that one is read")
                        .arg(line.name)
                        .arg(first.value()));
            else
                keys.insert(folded, line.number);
        }
    }

    // File by file in the order named, the description first; within a file by line.
    void sortByLine()
    {
        QStringList order{m_descPath};
        order += m_iniFiles;
        std::stable_sort(m_findings.begin(), m_findings.end(), [&](const CheckFinding& a, const CheckFinding& b) {
            const qsizetype fa = order.indexOf(a.file);
            const qsizetype fb = order.indexOf(b.file);
            return fa != fb ? fa < fb : a.line < b.line;
        });
    }

    const QString m_descPath;
    QStringList m_iniFiles;
    DescriptionModel m_model;
    DescriptionOutline m_outline;
    QHash<const ParamDescription*, const Element*> m_paramElements;
    std::vector<std::unique_ptr<IniEntry>> m_entries; // every key of every INI file
    QMultiHash<QString, const IniEntry*> m_described; // the keys given a description, by lower-case key
    QList<CheckFinding> m_findings;
};
} // namespace

namespace DescriptionCheck
{
CheckReport check(const QString& descPath, const QStringList& iniFiles)
{
    return Checker(descPath, iniFiles).run();
}
} // namespace DescriptionCheck
