// kelda.exe: the board server. "-u IMAGE [ARGS]" loads a DSP program image into the (simulated)
// board and runs its test; "-reset" resets the board. Like the real server in single mode it
// refuses to run twice.
#include "simulators/dspimage.h"
#include "simulators/simconsole.h"
#include "simulators/testconfig.h"
#include "simulators/testrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{
const char Version[] = "1.0";

void usage()
{
    SimConsole::line(
        QStringLiteral("Сервер платы kelda.exe %1\n"
                       "Использование:\n"
                       "  kelda.exe [--block-ms N] -u ПРОГРАММА [Секция.Ключ=значение ...]\n"
                       "      загрузить программу DSP (*.x55, *.dxe, *.ldr, ...) и выполнить её тест;\n"
                       "      параметры теста берутся из INI-файла, названного в заголовке программы,\n"
                       "      слова Секция.Ключ=значение заменяют значения из INI-файла\n"
                       "  kelda.exe -reset      сбросить плату\n"
                       "  kelda.exe --help      эта справка\n"
                       "--block-ms N или переменная VOLMAR_SIM_BLOCK_MS: пауза на блок, мс (по умолчанию 80).\n"
                       "Одновременно работает только один сервер (одиночный режим).")
            .arg(QLatin1String(Version)));
}

QString lockPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir().mkpath(runtime))
        return runtime + QLatin1String("/kelda.lock");
    return QStringLiteral("/tmp/kelda-%1.lock").arg(getuid());
}

// Single mode: the lock is held for the life of the process and released by the kernel however it
// ends, so a killed server never blocks the next one. Returns false when another server holds it.
bool takeServerLock(QString* holder)
{
    const QByteArray path = QFile::encodeName(lockPath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // without a lock file a second server is not detected, but this one still works
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int failure = errno;
        char buffer[32] = {};
        const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
        *holder = n > 0 ? QString::fromLatin1(buffer, n).trimmed() : QString();
        ::close(fd);
        return failure != EWOULDBLOCK;
    }
    // The holder's pid, for the message of a refused second server; fd stays open on purpose.
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
    if (ftruncate(fd, 0) == 0) {
        const ssize_t written = ::write(fd, pid.constData(), size_t(pid.size()));
        Q_UNUSED(written) // without it the refusal only names no process
    }
    return true;
}

int refuse(const QString& holder)
{
    QString text = QStringLiteral("Ошибка: сервер kelda уже запущен");
    if (!holder.isEmpty())
        text += QStringLiteral(" (процесс %1)").arg(holder);
    SimConsole::line(text + QStringLiteral(". Одиночный режим: завершите его и повторите."));
    return 3;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);

    int delayOption = -1;
    qsizetype i = 0;
    for (; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help") || arg == QLatin1String("/?")) {
            usage();
            return 0;
        }
        if (arg == QLatin1String("--block-ms") && i + 1 < args.size()) {
            bool ok = false;
            delayOption = args[++i].toInt(&ok);
            if (!ok || delayOption < 0) {
                SimConsole::line(QStringLiteral("Ошибка: неверное значение --block-ms: ") + args[i]);
                return 2;
            }
            continue;
        }
        break;
    }

    const QString command = i < args.size() ? args[i] : QString();
    if (command == QLatin1String("-reset")) {
        QString holder;
        if (!takeServerLock(&holder))
            return refuse(holder);
        SimConsole::line(QStringLiteral("Сервер kelda %1: сброс платы...").arg(QLatin1String(Version)));
        SimConsole::line(QStringLiteral("Плата сброшена."));
        return 0;
    }
    if (command != QLatin1String("-u") || i + 1 >= args.size()) {
        SimConsole::line(command.isEmpty() ? QStringLiteral("Ошибка: не указана команда.")
                                           : QStringLiteral("Ошибка: неизвестная команда ") + command);
        usage();
        return 2;
    }

    QString holder;
    if (!takeServerLock(&holder))
        return refuse(holder);

    const QString imagePath = localPath(args[i + 1]);
    DspImage image;
    QString error;
    if (!image.load(imagePath, &error)) {
        SimConsole::line(QStringLiteral("Ошибка: ") + error);
        return 1;
    }
    const QString iniPath = findIniFile(QDir::currentPath(), QFileInfo(imagePath).baseName(), image.iniFile);
    if (iniPath.isEmpty()) {
        SimConsole::line(image.iniFile.isEmpty()
                             ? QStringLiteral("Ошибка: в папке %1 нет INI-файла с параметрами теста")
                                   .arg(QDir::toNativeSeparators(QDir::currentPath()))
                             : QStringLiteral("Ошибка: файл параметров %1 не найден").arg(image.iniFile));
        return 1;
    }

    QString loading = QStringLiteral("Сервер kelda %1: загрузка %2 в плату %3")
                          .arg(QLatin1String(Version), QFileInfo(imagePath).fileName(),
                               image.board.isEmpty() ? QStringLiteral("DSP") : image.board);
    if (!image.title.isEmpty())
        loading += QStringLiteral(" (") + image.title + QLatin1Char(')');
    SimConsole::line(loading);
    SimConsole::line(QStringLiteral("Программа загружена, запуск теста."));

    TestRun run;
    run.iniPath = iniPath;
    for (const QString& word : args.mid(i + 2)) {
        if (word.contains(QLatin1Char('=')))
            run.overrides.append(word);
        else
            SimConsole::line(
                QStringLiteral("Предупреждение: аргумент \"%1\" пропущен, ожидается Секция.Ключ=значение").arg(word));
    }
    run.kind = image.kind;
    run.blockDelayMs = blockDelay(delayOption);
    return runTest(run);
}
