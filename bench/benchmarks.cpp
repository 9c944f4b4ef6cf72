// volmar-bench: times the editor's heavy paths on a generated lab folder and prints one JSON line
// per figure. The anchors (inih, qsettings, pipe) run in the same process on the same data, so
// their ratios hold on a noisy machine.
#include "app/editactions.h"
#include "app/volmar.h"
#include "bench/workload.h"
#include "document/inidocument.h"
#include "platform/profile.h"
#include "widgets/logpane.h"
#include "widgets/paramsfilterbar.h"
#include "widgets/paramstreewidget.h"
#include "widgets/paramtreeitem.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <cstdio>
#include <functional>

#ifdef VOLMAR_HAVE_INIH
#include <ini.h>
#endif

namespace
{
struct BenchOptions
{
    int scale = 1;
    int runs = 5;
    QString only;
    bool big = false;
    QString program; // this benchmark's own path, for the child that measures memory
};

bool wanted(const BenchOptions& options, const QString& figure)
{
    return options.only.isEmpty() || figure.startsWith(options.only);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// A figure in megabytes, next to the size of what it was measured on.
void reportMegabytes(const QString& figure, double mb, double inputMb, int scale)
{
    QJsonObject line{{"figure", figure},
                     {"mb", qRound(mb * 10) / 10.0},
                     {"inputMB", qRound(inputMb * 10) / 10.0},
                     {"perInputByte", qRound(mb / inputMb * 10) / 10.0},
                     {"scale", scale}};
    std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

// Kilobytes of one line ("VmRSS:", "VmHWM:") of /proc/self/status.
qint64 statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

void report(const QString& figure, QList<double> ms, int scale)
{
    std::sort(ms.begin(), ms.end());
    const double median = ms.at(ms.size() / 2);
    QJsonObject line{{"figure", figure},  {"ms", qRound(median * 100) / 100.0},
                     {"min", ms.first()}, {"max", ms.last()},
                     {"runs", ms.size()}, {"scale", scale}};
    std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

// Runs `prepare` untimed and `work` timed, `runs` times.
void measure(const BenchOptions& options, const QString& figure, const std::function<void()>& prepare,
             const std::function<void()>& work)
{
    if (!wanted(options, figure))
        return;
    QList<double> ms;
    for (int i = 0; i < options.runs; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        ms.append(timer.nsecsElapsed() / 1e6);
    }
    report(figure, ms, options.scale);
}

void copyFiles(const QStringList& from, const QStringList& to)
{
    for (int i = 0; i < from.size(); ++i) {
        QFile::remove(to.at(i));
        QFile::copy(from.at(i), to.at(i));
    }
}

void benchLoading(const BenchOptions& options, const Workload& work)
{
    auto readFiles = [&](int files) {
        IniDocument doc;
        doc.m_fileList = work.iniFiles.mid(0, files);
        doc.m_bSingleFile = files == 1;
        doc.readFiles();
    };
    measure(
        options, "readFiles.1", [] { Profile::clearCache(); }, [&] { readFiles(1); });
    measure(
        options, "readFiles.3", [] { Profile::clearCache(); }, [&] { readFiles(3); });
#ifdef VOLMAR_HAVE_INIH
    measure(
        options, "inih.1", [] {},
        [&] {
            int count = 0;
            ini_parse(
                QFile::encodeName(work.iniFiles.first()).constData(),
                [](void* user, const char*, const char*, const char*) -> int {
                    ++*static_cast<int*>(user);
                    return 1;
                },
                &count);
        });
#endif
    measure(
        options, "qsettings.1", [] {},
        [&] {
            QSettings settings(work.iniFiles.first(), QSettings::IniFormat);
            volatile auto keys = settings.allKeys().size();
            (void)keys;
        });
}

void benchWindow(const BenchOptions& options, const Workload& work)
{
    measure(
        options, "open.3", [] { Profile::clearCache(); },
        [&] {
            Volmar window;
            window.m_session.setOpenList(work.iniFiles);
            window.openFiles();
        });

    // Saving: values changed in the trees, then one save. The files are restored between runs.
    const QString saveDir = QDir(work.dir).filePath("save");
    QDir().mkpath(saveDir);
    QStringList copies;
    for (const QString& file : work.iniFiles)
        copies.append(QDir(saveDir).filePath(QFileInfo(file).fileName()));

    auto saveFigure = [&](const QString& figure, int files, int changes) {
        std::unique_ptr<Volmar> window;
        measure(
            options, figure,
            [&] {
                copyFiles(work.iniFiles, copies);
                window = std::make_unique<Volmar>();
                window->m_options.m_bAutoSave = false;
                window->m_session.setOpenList(copies.mid(0, files));
                window->openFiles();
                int changed = 0;
                ParamsTreeWidget* tree = window->m_view.m_pParamsTree;
                for (int g = 0; g < tree->topLevelItemCount() && changed < changes; ++g) {
                    QTreeWidgetItem* group = tree->topLevelItem(g);
                    for (int c = 0; c < group->childCount() && changed < changes; c += 7, ++changed) {
                        auto* row = static_cast<ParamTreeItem*>(group->child(c));
                        row->m_pEntry->value = QString::number(1000 + changed);
                    }
                }
            },
            [&] { window->slotActionSave(); });
        window.reset();
    };
    saveFigure("save.1", 1, 1);
    saveFigure("save.1000x3", 3, 1000);
}

// One keystroke into the filter box of the shown window, until the tree has laid out what it shows:
// the first letter, which hides the most rows.
void benchFilter(const BenchOptions& options, const Workload& work)
{
    if (!wanted(options, "filter.20k"))
        return;
    Volmar window;
    window.m_session.setOpenList(work.iniFiles);
    window.openFiles();
    window.show();
    QCoreApplication::processEvents();
    auto* bar = window.findChild<ParamsFilterBar*>();
    if (!bar)
        return;
    measure(
        options, "filter.20k",
        [&] {
            bar->m_pEdit->clear();
            QCoreApplication::processEvents();
        },
        [&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, QStringLiteral("7"));
            QCoreApplication::sendEvent(bar->m_pEdit, &press);
            QCoreApplication::processEvents();
        });
}

// One undo in the shown window, Auto Save off: the value back in every tree and the actions' texts
// and the Save action brought up to date, until the tree has painted.
void benchUndo(const BenchOptions& options, const Workload& work)
{
    if (!wanted(options, "undo.20k"))
        return;
    Volmar window;
    window.m_options.m_bAutoSave = false;
    window.m_session.setOpenList(work.iniFiles);
    window.openFiles();
    window.show();
    QCoreApplication::processEvents();
    // A value all the files hold alike: one they disagree on is not taken back.
    ParamTreeItem* row = nullptr;
    for (QTreeWidgetItemIterator it(window.m_view.m_pParamsTree); *it && !row; ++it) {
        auto* candidate = dynamic_cast<ParamTreeItem*>(*it);
        if (candidate && candidate->m_pEntry && !candidate->m_pEntry->differs && candidate->m_pEntry->enabled)
            row = candidate;
    }
    if (!row)
        return;
    measure(
        options, "undo.20k",
        [&] {
            row->m_pEntry->value += QLatin1Char('1');
            window.slotParamChanged(row);
            QCoreApplication::processEvents();
        },
        [&] {
            window.m_pEdit->slotUndo();
            QCoreApplication::processEvents();
        });
}

// Opening files whose sections share their key names must cost what opening unique names costs.
void benchOpening(const BenchOptions& options, const Workload& work)
{
    const auto openWindow = [](const QString& file) {
        Volmar window;
        window.m_session.setOpenList({file});
        window.openFiles();
    };
    for (const bool repeated : {true, false}) {
        const QString file =
            QDir(work.dir).filePath(repeated ? QStringLiteral("repeated.ini") : QStringLiteral("unique.ini"));
        writeFile(file, makeSectionsFile(8000 * options.scale, 10, repeated));
        measure(
            options, repeated ? "open.repeatedKeys" : "open.uniqueKeys", [] { Profile::clearCache(); },
            [&] { openWindow(file); });
    }

    // The peak is taken in a child of its own, which has done nothing else before.
    if (wanted(options, "open.peakMB")) {
        QProcess child;
        child.start(options.program, QStringList{"--open-peak"} + work.iniFiles);
        child.waitForFinished(-1);
        qint64 setBytes = 0;
        for (const QString& file : work.iniFiles)
            setBytes += QFileInfo(file).size();
        const double mb = child.readAllStandardOutput().trimmed().toDouble();
        reportMegabytes("open.peakMB", mb, setBytes / 1048576.0, options.scale);
    }

    if (options.big && wanted(options, "open.100MB")) {
        const QString file = QDir(work.dir).filePath(QStringLiteral("big.ini"));
        // Sections of 400 keys, as in the lab's largest files, up to about 100 MB.
        writeFile(file, makeSectionsFile(8500, 400, false));
        BenchOptions once = options;
        once.runs = 1;
        measure(
            once, "open.100MB", [] { Profile::clearCache(); }, [&] { openWindow(file); });
        QFile::remove(file);
    }
}

// The child of open.peakMB: megabytes of resident memory added at the peak of opening the files.
int openPeak(const QStringList& files)
{
    Volmar window;
    const qint64 before = statusKb("VmRSS:");
    window.m_session.setOpenList(files);
    window.openFiles();
    std::printf("%.1f\n", (statusKb("VmHWM:") - before) / 1024.0);
    return 0;
}

void benchLog(const BenchOptions& options, const QString& dir)
{
    const qint64 size = 20LL * 1024 * 1024 * options.scale;
    const QString outputFile = QDir(dir).filePath("output.txt");
    {
        QFile file(outputFile);
        if (file.open(QIODevice::WriteOnly))
            file.write(makeProgramOutput(size));
    }
    // Both figures read the stream as the window does: through the event loop, chunk by chunk as
    // the process signals it.
    auto runCat = [&](const std::function<void(const QByteArray&)>& take) {
        QProcess cat;
        QEventLoop loop;
        QObject::connect(&cat, &QProcess::readyReadStandardOutput, [&] { take(cat.readAllStandardOutput()); });
        QObject::connect(&cat, &QProcess::finished, &loop, &QEventLoop::quit);
        cat.start(QStringLiteral("cat"), {outputFile});
        loop.exec();
        take(cat.readAllStandardOutput());
    };
    measure(
        options, "pipe.20MB", [] {}, [&] { runCat([](const QByteArray&) {}); });

    // The longest time the event loop did not turn while the stream was shown: the largest gap
    // between the beats of a zero-interval timer.
    double maxStallMs = 0;
    measure(
        options, "log.20MB", [] {},
        [&] {
            QTextEdit edit;
            edit.setReadOnly(true);
            edit.resize(800, 400);
            edit.show();
            LogPane pane(&edit);
            QString pendingCr;
            QElapsedTimer sinceBeat;
            QTimer beat;
            QObject::connect(&beat, &QTimer::timeout, [&] {
                maxStallMs = std::max(maxStallMs, sinceBeat.nsecsElapsed() / 1e6);
                sinceBeat.restart();
            });
            sinceBeat.start();
            beat.start(0);
            runCat([&](const QByteArray& chunk) { pane.append(chunk, pendingCr); });
            pane.finish(pendingCr);
            while (pane.hasPending())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });
    if (options.only.isEmpty() || QStringLiteral("log.maxStall").startsWith(options.only))
        report("log.maxStall", {maxStallMs}, options.scale);
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true); // the options of the real user stay untouched
    // Qt sees the program's name only, so it takes none of the benchmark's own options.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QCoreApplication::setOrganizationName("Korvane");
    QCoreApplication::setApplicationName("volmar-bench");
    // The windows opened here start no program, firmware load or visualiser by themselves, whatever
    // an earlier run left in the bench's store: a question about a second visualiser would wait for
    // an answer nobody gives.
    {
        QSettings store(QStringLiteral("Korvane"), QStringLiteral("Volmar"));
        store.clear();
        for (const char* option : {"Auto Load Orvex", "Auto Run Program", "Auto Load PLD"})
            store.setValue(QLatin1String(option), 0);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription("Times Volmar's loading, opening, saving and log on a generated workload.");
    parser.addHelpOption();
    parser.addOption({"scale", "Multiply keys, parameters and output bytes by N.", "N", "1"});
    parser.addOption({"only", "Run only the figures whose name starts with NAME.", "NAME"});
    parser.addOption({"runs", "Repeat each figure N times (the median is reported).", "N", "5"});
    parser.addOption({"big", "Also time opening a generated INI file of about 100 MB (open.100MB)."});
    QCommandLineOption openPeakOption("open-peak", "Open the files given and print the peak memory it added.");
    openPeakOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(openPeakOption);
    parser.process(arguments);
    if (parser.isSet(openPeakOption))
        return openPeak(parser.positionalArguments());

    BenchOptions options;
    options.scale = std::max(1, parser.value("scale").toInt());
    options.runs = std::max(1, parser.value("runs").toInt());
    options.only = parser.value("only");
    options.big = parser.isSet("big");
    options.program = QCoreApplication::applicationFilePath();

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "volmar-bench: cannot create a temporary folder\n");
        return 1;
    }
    const Workload work = makeWorkload(dir.path(), options.scale, 3);
    benchLoading(options, work);
    benchWindow(options, work);
    benchFilter(options, work);
    benchUndo(options, work);
    benchOpening(options, work);
    benchLog(options, dir.path());
    return 0;
}
