// notepad.exe: opens a file in the user's text editor. A terminal editor ($VISUAL or $EDITOR) runs
// in a terminal window ($TERMINAL or x-terminal-emulator); without one the desktop's default
// application opens the file (xdg-open).
#include "platform/texteditor.h"
#include "simulators/simconsole.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace
{
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

    const TextEditor::Plan plan = TextEditor::plan(file, QProcessEnvironment::systemEnvironment());
    QStringList reasons = plan.missing;
    for (const QStringList& command : plan.commands) {
        const QString error = execute(command); // returns only when the program could not be run
        reasons << QStringLiteral("%1 не запустилась: %2").arg(command.first(), error);
    }
    return fail(QStringLiteral("не удалось открыть %1: %2.").arg(file, reasons.join(QStringLiteral("; "))));
}
