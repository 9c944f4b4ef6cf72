// notepad.exe: opens a file in the user's text editor. A terminal editor ($VISUAL or $EDITOR) runs
// in a terminal window ($TERMINAL or x-terminal-emulator); without one the desktop's default
// application opens the file (xdg-open).
#include "simulators/simconsole.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace
{
QStringList commandFromEnv(const char* name)
{
    return QProcess::splitCommand(qEnvironmentVariable(name).trimmed());
}

QString findProgram(const QString& name)
{
    if (name.contains(QLatin1Char('/')))
        return QFileInfo(name).isExecutable() ? name : QString();
    return QStandardPaths::findExecutable(name);
}

// Replaces this process by the command; returns only when that failed.
QString execute(const QStringList& command)
{
    std::vector<QByteArray> words;
    for (const QString& word : command)
        words.push_back(QFile::encodeName(word));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    return QString::fromLocal8Bit(std::strerror(errno));
}

int fail(const QString& text)
{
    SimConsole::error(QStringLiteral("notepad.exe: ") + text);
    return 1;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        SimConsole::line(
            QStringLiteral("Использование: notepad.exe ФАЙЛ\n"
                           "Открывает ФАЙЛ в редакторе $VISUAL или $EDITOR в окне терминала ($TERMINAL или "
                           "x-terminal-emulator), а без них - в программе по умолчанию (xdg-open)."));
        return args.isEmpty() ? 2 : 0;
    }

    QString file = args.join(QLatin1Char(' ')); // Windows notepad takes the rest of its line as one name
    if (!QFileInfo::exists(file) && file.contains(QLatin1Char('\\')))
        file.replace(QLatin1Char('\\'), QLatin1Char('/'));

    QStringList editor = commandFromEnv("VISUAL");
    if (editor.isEmpty())
        editor = commandFromEnv("EDITOR");
    QStringList terminal = commandFromEnv("TERMINAL");
    if (terminal.isEmpty())
        terminal = QStringList{QStringLiteral("x-terminal-emulator")};
    const QString terminalPath = findProgram(terminal.first());

    QStringList reasons;
    if (!editor.isEmpty() && !terminalPath.isEmpty()) {
        terminal.first() = terminalPath;
        const QString error = execute(terminal + QStringList{QStringLiteral("-e")} + editor + QStringList{file});
        reasons << QStringLiteral("терминал %1 не запустился: %2").arg(terminalPath, error);
    } else if (editor.isEmpty()) {
        reasons << QStringLiteral("не заданы $VISUAL и $EDITOR");
    } else {
        reasons
            << QStringLiteral("нет терминала ($TERMINAL или x-terminal-emulator) для редактора %1").arg(editor.first());
    }

    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        reasons << QStringLiteral("не найдена программа xdg-open");
    } else if (!QFileInfo::exists(file)) {
        reasons << QStringLiteral("файл %1 не найден").arg(file);
    } else {
        const QString error = execute({opener, file});
        reasons << QStringLiteral("xdg-open не запустилась: %1").arg(error);
    }
    return fail(QStringLiteral("не удалось открыть %1: %2.").arg(file, reasons.join(QStringLiteral("; "))));
}
