// Orvex.exe: the signal visualiser. "-r FILE" names the data file (16-bit little-endian samples),
// "-j" follows it while the DSP program rewrites it.
#include "simulators/orvexwindow.h"
#include "simulators/windowplacement.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace
{
void usage()
{
    std::fputs("Orvex.exe - signal visualiser\n"
               "Usage: Orvex.exe -r DATAFILE [-j] [-s RATE]\n"
               "  -r FILE   data file: 16-bit little-endian samples (\\ separators are accepted)\n"
               "  -j        follow the file: redraw whenever it is written again\n"
               "  -s RATE   sample rate in Hz for the axes (default: fractions of the sample rate)\n"
               "Opens beside the window whose frame VOLMAR_GEOMETRY gives as x,y,width,height.\n"
               "Prints where its window stands, then \"ready\" when it is up, and one line per\n"
               "(re)load of the file.\n",
               stdout);
}

// The editor takes Windows-style paths from its own settings; on this system they name the same file
// with "/" in place of "\".
QString localPath(const QString& path)
{
    if (path.isEmpty() || QFileInfo::exists(path) || !path.contains(QLatin1Char('\\')))
        return path;
    return QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvex"));
    QApplication::setOrganizationName(QStringLiteral("Korvane"));
    const QStringList args = QApplication::arguments();

    QString path;
    bool follow = false;
    double sampleRate = 0;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help") || arg == QLatin1String("/?")) {
            usage();
            return 0;
        }
        if (arg == QLatin1String("-r")) {
            // "-r" may come with an empty name, or with none at all before "-j".
            if (i + 1 < args.size() && args[i + 1] != QLatin1String("-j"))
                path = localPath(args[++i]);
        } else if (arg == QLatin1String("-j")) {
            follow = true;
        } else if (arg == QLatin1String("-s") && i + 1 < args.size()) {
            sampleRate = std::max(0.0, args[++i].toDouble());
        } else {
            std::fprintf(stderr, "Orvex.exe: unknown argument ignored: %s\n", qPrintable(arg));
        }
    }

    // The editor finds the visualiser through the folder it keeps here; it only ever reads it.
    QSettings settings;
    const QString ownDir = QApplication::applicationDirPath();
    if (settings.value(QStringLiteral("Orvex Dir")).toString() != ownDir)
        settings.setValue(QStringLiteral("Orvex Dir"), ownDir);
    settings.sync();

    // Beside the editor that started it, whose window it would otherwise cover where no window
    // manager places new windows.
    const QRect editor = WindowPlacement::parseFrame(qEnvironmentVariable(WindowPlacement::EditorVariable));
    const QScreen* screen = editor.isValid() ? QGuiApplication::screenAt(editor.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect place =
        WindowPlacement::besideEditor(editor, screen->availableGeometry(), QSize(800, 600), QSize(320, 240));

    OrvexWindow window(path, follow, sampleRate);
    // The place is for the whole window, its frame included where the platform knows it already.
    window.winId();
    window.resize(place.size().shrunkBy(window.windowHandle()->frameMargins()));
    window.move(place.topLeft());
    window.show();
    QTimer::singleShot(0, &window, [&window] {
        const QRect frame = window.frameGeometry();
        std::printf("window %d,%d %dx%d\nready\n", frame.x(), frame.y(), frame.width(), frame.height());
        std::fflush(stdout);
    });
    return app.exec();
}
