// dsptest.exe: the demo DSP program that runs its test natively, without the board server. Like the
// lab's programs it is not told its INI file: it reads "<its own name>.ini" of the current folder,
// or else the first *.ini there.
#include "simulators/simconsole.h"
#include "simulators/testconfig.h"
#include "simulators/testrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace
{
void usage()
{
    SimConsole::line(QStringLiteral(
        "Демонстрационная программа ЦОС dsptest.exe\n"
        "Использование: dsptest.exe [--test adc|filter|gen] [--block-ms N] [ФАЙЛ.ini] [Секция.Ключ=значение ...]\n"
        "Без ФАЙЛА.ini читает dsptest.ini текущей папки, а если его нет, первый *.ini по имени.\n"
        "--block-ms N или переменная VOLMAR_SIM_BLOCK_MS: пауза на блок, мс (по умолчанию 80)."));
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();

    TestRun run;
    int delayOption = -1;
    QString iniName;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help") || arg == QLatin1String("/?")) {
            usage();
            return 0;
        }
        if (arg == QLatin1String("--test") && i + 1 < args.size()) {
            const QString kind = args[++i];
            if (kind == QLatin1String("adc")) {
                run.kind = TestRun::Adc;
            } else if (kind == QLatin1String("filter")) {
                run.kind = TestRun::Filter;
            } else if (kind == QLatin1String("gen")) {
                run.kind = TestRun::Generator;
            } else {
                SimConsole::line(QStringLiteral("Ошибка: неизвестный тест ") + kind);
                return 2;
            }
        } else if (arg == QLatin1String("--block-ms") && i + 1 < args.size()) {
            bool ok = false;
            delayOption = args[++i].toInt(&ok);
            if (!ok || delayOption < 0) {
                SimConsole::line(QStringLiteral("Ошибка: неверное значение --block-ms: ") + args[i]);
                return 2;
            }
        } else if (arg.contains(QLatin1Char('='))) {
            run.overrides.append(arg);
        } else if (iniName.isEmpty() && !arg.startsWith(QLatin1Char('-'))) {
            iniName = arg;
        } else {
            SimConsole::line(QStringLiteral("Ошибка: непонятный аргумент ") + arg);
            usage();
            return 2;
        }
    }

    const QString base = QFileInfo(args.value(0)).baseName();
    run.iniPath = findIniFile(QDir::currentPath(), base, iniName);
    if (run.iniPath.isEmpty()) {
        SimConsole::line(iniName.isEmpty()
                             ? QStringLiteral("Ошибка: в папке %1 нет файла параметров (%2.ini или другого *.ini)")
                                   .arg(QDir::toNativeSeparators(QDir::currentPath()), base)
                             : QStringLiteral("Ошибка: файл параметров %1 не найден").arg(iniName));
        return 1;
    }
    run.blockDelayMs = blockDelay(delayOption);
    return runTest(run);
}
