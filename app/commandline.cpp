#include "app/commandline.h"

#include "platform/userfile.h"

#include <QCoreApplication>

CommandLine CommandLine::parse(int argc, const char* const* argv)
{
    CommandLine result;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        if (options && raw == "--") {
            options = false;
            continue;
        }
        // A lone "-" is a name, as with most programs that take files.
        if (options && raw.startsWith('-') && raw != "-") {
            // Whatever was named before, nothing is opened.
            CommandLine answer;
            if (raw == "-h" || raw == "--help") {
                answer.action = Action::Help;
            } else if (raw == "-v" || raw == "--version") {
                answer.action = Action::Version;
            } else {
                answer.action = Action::Error;
                answer.error = QStringLiteral("volmar: unknown option '%1'").arg(QString::fromLocal8Bit(raw));
            }
            return answer;
        }
        if (const std::optional<QString> name = UserFile::nameFromBytes(raw))
            result.files.append(*name);
        else
            result.refused.append(raw);
    }
    return result;
}

QString CommandLine::usageText()
{
    return QStringLiteral("Usage: volmar [OPTION]... [--] [FILE]...\n"
                          "Try 'volmar --help' for more.\n");
}

QString CommandLine::helpText()
{
    return QStringLiteral("Usage: volmar [OPTION]... [--] [FILE]...\n"
                          "Edit the INI files of DSP-board test programs and run the programs that read them.\n"
                          "\n"
                          "  volmar FILE.ini            edit one INI file; its description is FILE.vlmr beside it\n"
                          "  volmar A.ini B.ini ...     edit several INI files together (one tab per file and a\n"
                          "                             tab whose edits go to all of them); they are sorted by name\n"
                          "  volmar FILE.vlmr           edit the INI file that the description names\n"
                          "  volmar                     start with an empty window\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help     show this text and exit\n"
                          "  -v, --version  show the version and exit\n"
                          "  --             end of options: every later argument is a file name, even one that\n"
                          "                 begins with '-'\n"
                          "\n"
                          "A folder, a FIFO, a device, a link loop or a file that cannot be read is not opened (the\n"
                          "window says why), and a file name whose bytes are not valid in the system's encoding is\n"
                          "refused. Qt's own settings come from its environment variables (QT_QPA_PLATFORM,\n"
                          "QT_SCALE_FACTOR, ...), not from the command line.\n"
                          "\n"
                          "Exit status: 0 after the window closed or after --help and --version; 2 for an unknown\n"
                          "option (nothing is opened or created).\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("volmar %1\n").arg(QStringLiteral(VOLMAR_VERSION));
}

QString CommandLine::refusedText(const QList<QByteArray>& names)
{
    QStringList shown;
    for (const QByteArray& name : names)
        shown.append(QString::fromLatin1(name.toPercentEncoding("/ .-_~")));
    const char* text = names.size() == 1 ? "Файл не открыт: в его имени есть байты, недопустимые в кодировке "
                                           "системы (они показаны как %XX):\n%1"
                                         : "Файлы не открыты: в их именах есть байты, недопустимые в кодировке "
                                           "системы (они показаны как %XX):\n%1";
    return QCoreApplication::translate("CommandLine", text).arg(shown.join(QLatin1Char('\n')));
}
