#include "control/programlist.h"

#include <QDir>
#include <QFileInfo>

namespace ProgramList
{

QStringList programPatterns()
{
    return {QStringLiteral("*.exe"), QStringLiteral("*.x55"), QStringLiteral("*.x62"),
            QStringLiteral("*.x64"), QStringLiteral("*.x67"), QStringLiteral("*.dxe"),
            QStringLiteral("*.mxe"), QStringLiteral("*.tsx"), QStringLiteral("*.ldr")};
}

QStringList programFiles(const QString& dirPath)
{
    return QDir(dirPath).entryList(programPatterns(), QDir::Files, QDir::Type);
}

QStringList dataFiles(const QString& dirPath)
{
    return QDir(dirPath).entryList(QStringList{QStringLiteral("*.bin")}, QDir::AllEntries, QDir::Type);
}

int preferredDataFile(const QStringList& names)
{
    const qsizetype index = names.indexOf(QStringLiteral("data.bin"));
    return index < 0 ? 0 : int(index);
}

QString serverCommand(const QString& entry)
{
    const QString firstWord = entry.section(QLatin1Char(' '), 0, 0);
    const QString suffix = QFileInfo(firstWord).suffix();
    if (suffix.isEmpty() || suffix == QLatin1String("exe") || entry.contains(QLatin1String("kelda")))
        return entry;
    return QStringLiteral("kelda.exe -u ") + entry;
}

bool complete(QStringList& progList, const QString& curProg, int defList, const QString& firstIniFile,
              const QStringList& folderPrograms, const std::function<QString(const QString&)>& findProgram)
{
    if (progList.isEmpty() || defList != 0)
        progList += folderPrograms;
    if (progList.isEmpty() && defList != 0) {
        const QString found = findProgram(QFileInfo(firstIniFile).baseName() + QStringLiteral(".exe"));
        if (!found.isEmpty())
            progList.append(found);
    }
    const bool any = !progList.isEmpty();

    for (QString& entry : progList)
        entry = serverCommand(entry);
    progList.insert(0, curProg);
    progList.removeAll(QString());
    progList.removeDuplicates();
    return any;
}

QString findInPath(const QString& name, const QString& pathVariable)
{
    // Empty parts are kept: like the folder names, they are joined to the name as they are.
    for (const QString& dir : pathVariable.split(QDir::listSeparator())) {
        QString candidate = dir + QLatin1Char('/') + name;
        if (QFileInfo(candidate).isFile()) {
            candidate.replace(QStringLiteral("//"), QStringLiteral("/"));
            return QDir::toNativeSeparators(candidate);
        }
    }
    return QString();
}

QStringList pldEntries(const QString& batchText)
{
    QStringList entries;
    for (QStringView line : QStringView(batchText).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        qsizetype marker = line.indexOf(u"tprog");
        if (marker < 0)
            marker = line.indexOf(u"Tprog");
        if (marker >= 0)
            entries.append(line.mid(marker).toString());
    }
    return entries;
}

} // namespace ProgramList
