// tprog.exe: the firmware programming tool named in a test folder's pld.bat. It writes a firmware
// file into the board's programmable logic; the editor looks for the success line on its output.
#include "simulators/simconsole.h"
#include "simulators/testrun.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <thread>

namespace
{
constexpr int DeviceCount = 4;
constexpr int Steps = 10;

void usage()
{
    SimConsole::line(QStringLiteral("tprog 2.1 - PLD programming tool\n"
                                    "Usage: tprog.exe -f FIRMWARE.rbf [-d DEVICE]\n"
                                    "  -f FILE    firmware image to program\n"
                                    "  -d N       device number, 0..%1 (default 0)\n"
                                    "The last line says OK when the device was programmed.\n"
                                    "VOLMAR_SIM_BLOCK_MS sets the pause per progress step in ms (default 30).")
                         .arg(DeviceCount - 1));
}

int fail(const QString& text, int code)
{
    SimConsole::error(QStringLiteral("Error: ") + text);
    return code;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);

    QString firmware;
    int device = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help") || arg == QLatin1String("/?")) {
            usage();
            return 0;
        }
        if (arg == QLatin1String("-f") && i + 1 < args.size()) {
            firmware = args[++i];
        } else if (arg == QLatin1String("-d") && i + 1 < args.size()) {
            bool ok = false;
            device = args[++i].toInt(&ok);
            if (!ok)
                return fail(QStringLiteral("bad device number: ") + args[i], 2);
        } else {
            usage();
            return fail(QStringLiteral("unexpected argument: ") + arg, 2);
        }
    }
    if (firmware.isEmpty()) {
        usage();
        return fail(QStringLiteral("no firmware file given (-f)"), 2);
    }
    if (device < 0 || device >= DeviceCount)
        return fail(QStringLiteral("device %1 not found").arg(device), 3);

    const QFileInfo info(firmware);
    if (!info.exists())
        return fail(QStringLiteral("firmware file %1 not found").arg(firmware), 1);
    QFile file(firmware);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read firmware file %1").arg(firmware), 1);
    const QByteArray image = file.read(64 * 1024 * 1024);
    if (image.isEmpty())
        return fail(QStringLiteral("firmware file %1 is empty").arg(firmware), 1);

    SimConsole::line(QStringLiteral("tprog 2.1: device %1, firmware %2 (%3 bytes)")
                         .arg(device)
                         .arg(info.fileName())
                         .arg(image.size()));
    const int stepMs = blockDelay(-1, 30);
    for (int step = 1; step <= Steps; ++step) {
        SimConsole::progress(QStringLiteral("Programming: %1%").arg(step * 100 / Steps));
        if (stepMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
    quint32 sum = 0;
    for (char c : image)
        sum = sum * 31 + quint8(c);
    SimConsole::line(QStringLiteral("Programming: done, checksum %1").arg(sum, 8, 16, QLatin1Char('0')));
    // The spelling is the tool's own and is what the editor looks for.
    SimConsole::line(QStringLiteral("OK: PLD is progammed"));
    return 0;
}
