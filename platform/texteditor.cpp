#include "platform/texteditor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace TextEditor
{

namespace
{
QStringList commandFrom(const QProcessEnvironment& env, const QString& name)
{
    return QProcess::splitCommand(env.value(name).trimmed());
}

QString findProgram(const QString& name, const QProcessEnvironment& env)
{
    if (name.contains(QLatin1Char('/')))
        return QFileInfo(name).isExecutable() ? name : QString();
    return QStandardPaths::findExecutable(
        name, env.value(QStringLiteral("PATH")).split(QDir::listSeparator(), Qt::SkipEmptyParts));
}

QString tr(const char* text)
{
    return QCoreApplication::translate("TextEditor", text);
}
} // namespace

Plan plan(const QString& file, const QProcessEnvironment& env)
{
    Plan plan;
    QStringList editor = commandFrom(env, QStringLiteral("VISUAL"));
    if (editor.isEmpty())
        editor = commandFrom(env, QStringLiteral("EDITOR"));
    QStringList terminal = commandFrom(env, QStringLiteral("TERMINAL"));
    if (terminal.isEmpty())
        terminal = QStringList{QStringLiteral("x-terminal-emulator")};
    const QString terminalPath = findProgram(terminal.first(), env);

    if (!editor.isEmpty() && !terminalPath.isEmpty()) {
        terminal.first() = terminalPath;
        plan.commands << terminal + QStringList{QStringLiteral("-e")} + editor + QStringList{file};
    } else if (editor.isEmpty()) {
        plan.missing << tr("не заданы $VISUAL и $EDITOR");
    } else {
        plan.missing << tr("нет терминала ($TERMINAL или x-terminal-emulator) для редактора %1").arg(editor.first());
    }

    const QString opener = findProgram(QStringLiteral("xdg-open"), env);
    if (opener.isEmpty())
        plan.missing << tr("не найдена программа xdg-open");
    else if (!QFileInfo::exists(file))
        plan.missing << tr("файл %1 не найден").arg(file);
    else
        plan.commands << QStringList{opener, file};
    return plan;
}

} // namespace TextEditor
