// The lab's stand-in programs run as the editor starts them: board server and native demo program (in
// the test folder, not told the INI file), firmware tool, text editor launcher, visualiser.
#include "control/logstream.h"
#include "platform/textcodec.h"
#include "simulators/windowplacement.h"
#include "tests/common/logtext.h"
#include "tests/common/testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>

namespace
{
// A simulator from the build's bin folder, its output (with its errors) kept as it arrives.
struct Program : QProcess
{
    Program(QStringList words, const QString& folder, int blockMs = 0,
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
    {
        env.insert(QStringLiteral("VOLMAR_SIM_BLOCK_MS"), QString::number(blockMs));
        setProcessEnvironment(env);
        setWorkingDirectory(folder);
        setProcessChannelMode(MergedChannels);
        connect(this, &QProcess::readyReadStandardOutput, this, [this] {
            reads.append(readAllStandardOutput());
            output += reads.last();
        });
        start(QStringLiteral(VOLMAR_BIN_DIR "/") + words.takeFirst(), words);
    }
    ~Program() override
    {
        kill();
        waitForFinished();
    }
    // The exit code once ended by itself; -1 for a crash or a hang.
    int finish()
    {
        return (state() == NotRunning || waitForFinished(60000)) && exitStatus() == NormalExit ? exitCode() : -1;
    }
    // Searched as bytes, so that waiting on a long output does not decode it again and again.
    bool has(const QString& text) const { return output.contains(TextCodec::toCp1251(text)); }

    QByteArray output;
    QList<QByteArray> reads; // the output as the pipe gave it
};

// The lines of the log pane after the output arrived in these reads.
QStringList logLines(const QList<QByteArray>& reads)
{
    LogStream stream;
    stream.reset(OutputDecoder::Encoding::Auto, QString());
    QString pendingCr;
    QString log;
    const auto apply = [&log](const LogStream::Update& update) { TestUtil::applyLogUpdate(log, update); };
    for (const QByteArray& read : reads)
        apply(stream.append(read, pendingCr));
    apply(stream.finish(pendingCr));
    return log.split(QLatin1Char('\n'));
}

// Sets the value of the line "KEY=..." up to its comment (a tab), or the whole line.
void setIniLine(const QString& path, const QString& key, const QByteArray& text, bool wholeLine = false)
{
    QString bytes = QString::fromLatin1(TestUtil::readBytes(path)); // byte for byte
    const QRegularExpression line(
        QStringLiteral("(?m)^%1=[^\\r\\n%2]*").arg(key, wholeLine ? QString() : QStringLiteral("\\t")));
    QVERIFY2(bytes.contains(line), qPrintable(key));
    bytes.replace(line, (wholeLine ? QString() : key + '=') + QString::fromLatin1(text));
    QVERIFY(TestUtil::writeBytes(path, bytes.toLatin1()));
}

} // namespace

class TestSimulators : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString ini() const { return path(QStringLiteral("demo.ini")); }

private slots:
    void init()
    {
        // The demo folder's files, copied so that a test may change them.
        m_dir = std::make_unique<QTemporaryDir>();
        const QDir demo(QStringLiteral(VOLMAR_DEMO_DIR));
        for (const QString& name : demo.entryList(QDir::Files)) {
            if (name != QLatin1String("data.bin"))
                QVERIFY(QFile::copy(demo.filePath(name), path(name)));
        }
    }

    void runFollowsIni_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("freq");
        QTest::addColumn<int>("rate");
        QTest::newRow("server, ADC image") << "kelda.exe -u adc_test.x55" << 1500 << 48000;
        QTest::newRow("server, filter image") << "kelda.exe -u filter_test.dxe" << 2000 << 48000;
        QTest::newRow("server, generator image") << "kelda.exe -u gen_test.ldr" << 700 << 32000;
        QTest::newRow("native program") << "dsptest.exe" << 1200 << 96000;
    }

    void runFollowsIni()
    {
        QFETCH(QString, command);
        QFETCH(int, freq);
        QFETCH(int, rate);
        setIniLine(ini(), "Freq", QByteArray::number(freq));
        setIniLine(ini(), "SampleRate", QByteArray::number(rate));
        setIniLine(ini(), "Blocks", "8");
        Program run(command.split(' '), m_dir->path());
        QCOMPARE(run.finish(), 0);
        const QByteArray samples = TestUtil::readBytes(path("data.bin"));
        QCOMPARE(samples.size(), 8 * 1024 * 2);
        // Upward zero crossings, each after the signal was well below zero (not noise about it).
        int crossings = 0;
        bool low = false;
        for (qsizetype i = 0; i < samples.size() / 2; ++i) {
            const int v = qFromLittleEndian<qint16>(samples.constData() + 2 * i);
            crossings += low && v >= 0 ? 1 : 0;
            low = v < -2000 || (low && v < 0);
        }
        const double measured = crossings * double(rate) / (samples.size() / 2);
        QVERIFY2(std::fabs(measured - freq) < 0.02 * freq, qPrintable(QString::number(measured)));
        // Progress returns the carriage; each block's result then overwrites it on a line of its own.
        QVERIFY2(run.has(QStringLiteral("Блок 3 из 8\rБлок 3 из 8: ")), run.output.constData());
        QVERIFY(run.has(QStringLiteral("\rБлок 8 из 8: ")) && run.has(QStringLiteral("\r\nТест завершён.\r\n")));

        // The log shows every block's result on a line of its own, whatever the reads were: as the
        // pipe gave them, a line a read, or a byte a read.
        QList<QByteArray> lineReads;
        for (qsizetype start = 0; start < run.output.size();) {
            const qsizetype end = run.output.indexOf('\n', start);
            lineReads.append(run.output.mid(start, end < 0 ? -1 : end + 1 - start));
            start = end < 0 ? run.output.size() : end + 1;
        }
        QList<QByteArray> byteReads;
        for (const char c : std::as_const(run.output))
            byteReads.append(QByteArray(1, c));

        // One result a line, and nothing of the next block's progress after it.
        const QRegularExpression blockLine(QStringLiteral("^Блок (\\d+) из 8: (?!.*Блок)[^\\r]*$"));
        for (const QList<QByteArray>& reads : {run.reads, lineReads, byteReads}) {
            const QStringList lines = logLines(reads);
            QStringList blocks;
            for (const QString& line : lines) {
                if (line.contains(QRegularExpression(QStringLiteral("Блок \\d"))))
                    blocks.append(line);
            }
            QCOMPARE(blocks.size(), 8);
            for (int n = 1; n <= 8; ++n) {
                const QRegularExpressionMatch match = blockLine.match(blocks.at(n - 1));
                QVERIFY2(match.hasMatch() && match.captured(1).toInt() == n, qPrintable(blocks.at(n - 1)));
            }
            QCOMPARE(lines.value(lines.size() - 2), QStringLiteral("Тест завершён."));
            QCOMPARE(lines.last(), QString());
        }
    }

    void settingsAsTheEditorReadsThem_data()
    {
        // The line put in place of "Blocks=..." (blocks of 256 samples), words after the image.
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("words");
        QTest::addColumn<int>("samples");
        QTest::addColumn<QString>("file");
        QTest::newRow("tabs and slashes") << QByteArray("Blocks=3\t\t// \xf7\xe8") << "" << 768 << "data.bin";
        QTest::newRow("semicolon") << QByteArray("Blocks=4;\xf2\xf0\xe8") << "" << 1024 << "data.bin";
        QTest::newRow("slashes before semicolon") << QByteArray("Blocks=5 // a ; b") << "" << 1280 << "data.bin";
        QTest::newRow("disabled key: default") << QByteArray("@Blocks=3\t\t// off") << "" << 5120 << "data.bin";
        QTest::newRow("only a comment: default") << QByteArray("Blocks=// 3") << "" << 5120 << "data.bin";
        QTest::newRow("not a number: default") << QByteArray("Blocks=many") << "" << 5120 << "data.bin";
        QTest::newRow("data file named") << QByteArray("Blocks=2\nDataFile=x.bin") << "" << 512 << "x.bin";
        // Section.Key=value after the image wins over the INI file.
        QTest::newRow("command line wins")
            << QByteArray("Blocks=3") << " Test.Blocks=2 Test.BlockSize=128" << 256 << "data.bin";
    }

    void settingsAsTheEditorReadsThem()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, words);
        QFETCH(QString, file);
        QFETCH(int, samples);
        setIniLine(ini(), "BlockSize", "256");
        setIniLine(ini(), "Blocks", line, true);
        // A writer killed between writing and renaming leaves its part; the next run clears it away.
        QVERIFY(TestUtil::writeBytes(path(file + ".999999999.part"), "half"));
        Program run(QString("kelda.exe -u adc_test.x55" + words).split(' '), m_dir->path());
        QCOMPARE(run.finish(), 0);
        QCOMPARE(QFileInfo(path(file)).size(), qint64(samples) * 2);
        QCOMPARE(QDir(m_dir->path()).entryList({"*.bin*"}), QStringList{file});
    }

    void continuousServerIsTheBoardsOnly()
    {
        setIniLine(ini(), "Continuous", "1");
        setIniLine(ini(), "Blocks", "4");
        setIniLine(ini(), "BlockSize", "256");
        auto first = std::make_unique<Program>(QStringList{"kelda.exe", "-u", "adc_test.x55"}, m_dir->path(), 1);
        // Far past the configured number of blocks: the file keeps the newest four.
        QTRY_VERIFY_WITH_TIMEOUT(first->has(QStringLiteral("\rБлок 40: ")), 60000);
        QCOMPARE(QFileInfo(path("data.bin")).size(), qint64(4 * 256 * 2));
        QVERIFY(!first->has(QStringLiteral("Тест завершён.")));
        // The board takes one server: another image and a reset are refused while it runs.
        for (const QStringList& command :
             {QStringList{"kelda.exe", "-u", "filter_test.dxe"}, QStringList{"kelda.exe", "-reset"}}) {
            Program second(command, m_dir->path());
            QVERIFY(second.finish() > 0);
            QVERIFY2(second.has(QStringLiteral("уже запущен")), second.output.constData());
        }
        // Killed, the first server leaves no lock behind.
        first.reset();
        Program reset({"kelda.exe", "-reset"}, m_dir->path());
        QCOMPARE(reset.finish(), 0);
        QVERIFY(reset.has(QStringLiteral("Плата сброшена.")));
    }

    void answers_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("image"); // written to bad.x55 when not empty; "-" removes the INI file
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QByteArray none;
        QTest::newRow("firmware loaded") << "tprog.exe -f board.rbf -d 0" << none << 0 << "OK: PLD is progammed";
        QTest::newRow("missing firmware") << "tprog.exe -f none.rbf -d 0" << none << 1 << "none.rbf not found";
        QTest::newRow("empty firmware") << "tprog.exe -f empty.rbf" << none << 1 << "is empty";
        QTest::newRow("folder as firmware") << "tprog.exe -f ." << none << 1 << "cannot read";
        QTest::newRow("no such device") << "tprog.exe -f board.rbf -d 7" << none << 3 << "device 7 not found";
        QTest::newRow("no firmware given") << "tprog.exe" << none << 2 << "no firmware file given";
        QTest::newRow("missing image") << "kelda.exe -u none.x55" << none << 1 << "не найден";
        QTest::newRow("not an image") << "kelda.exe -u bad.x55" << QByteArray("\177ELF\2\1\1\0\0\0", 10) << 1
                                      << "не является программой DSP";
        QTest::newRow("folder without INI") << "dsptest.exe" << QByteArray("-") << 1 << "нет файла параметров";
        QTest::newRow("image in place of a folder") << "kelda.exe -u ." << none << 1 << "не читается";
        QTest::newRow("no command") << "kelda.exe" << none << 2 << "не указана команда";
    }

    void answers()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, image);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QVERIFY(TestUtil::writeBytes(path("empty.rbf"), ""));
        if (image == "-")
            QVERIFY(QFile::remove(ini()));
        else if (!image.isEmpty())
            QVERIFY(TestUtil::writeBytes(path("bad.x55"), image));
        Program run(command.split(' '), m_dir->path());
        QCOMPARE(run.finish(), exitCode);
        QVERIFY2(run.has(message), run.output.constData());
        // The editor takes only this line for a loaded firmware.
        QCOMPARE(run.output.contains("\nOK: PLD is progammed\r\n"), message.startsWith("OK"));
        QVERIFY(!QFileInfo::exists(path("data.bin")));
    }

    void notepad_data()
    {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("onPath");   // stand-ins that note their arguments, alone on PATH
        QTest::addColumn<QString>("expected"); // their arguments
        // With nothing to open the file with, the window's own test reads what notepad says.
        const QString both = QStringLiteral("x-terminal-emulator xdg-open"), xdg = QStringLiteral("xdg-open"), none;
        QTest::newRow("editor in a terminal") << "myedit --wait" << both << "-e\nmyedit\n--wait\npld.bat\n";
        QTest::newRow("no terminal: desktop default") << "myedit" << xdg << "pld.bat\n";
        QTest::newRow("no editor: desktop default") << none << both << "pld.bat\n";
    }

    void notepad()
    {
        QFETCH(QString, editor);
        QFETCH(QString, onPath);
        QFETCH(QString, expected);
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("bin")));
        const QByteArray recorder = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + path("args.txt").toUtf8() + "'\n";
        for (const QString& name : onPath.split(' ', Qt::SkipEmptyParts)) {
            QVERIFY(TestUtil::writeBytes(path("bin/" + name), recorder));
            QVERIFY(QFile::setPermissions(path("bin/" + name), QFile::ReadOwner | QFile::ExeOwner));
        }
        QProcessEnvironment env; // nothing but these
        env.insert(QStringLiteral("PATH"), path(QStringLiteral("bin")));
        env.insert(QStringLiteral("EDITOR"), editor);
        Program notepad({"notepad.exe", "pld.bat"}, m_dir->path(), 0, env);
        QCOMPARE(notepad.finish(), 0);
        QCOMPARE(QString::fromUtf8(TestUtil::readBytes(path("args.txt"))), expected);
    }

    void visualiserShowsAnyFile_data()
    {
        QTest::addColumn<QString>("file"); // argument after -r; "DIR" stands for the test folder
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("samples") << "data.bin" << QByteArray("loaded 500 samples");
        QTest::newRow("backslash path") << "DIR\\data.bin" << QByteArray("loaded 500 samples");
        QTest::newRow("empty file") << "empty.bin" << QByteArray("no data: empty");
        QTest::newRow("missing file") << "none.bin" << QByteArray("no data: missing");
        QTest::newRow("odd size") << "odd.bin" << QByteArray("no data: odd-size");
        QTest::newRow("huge file") << "huge.bin" << QByteArray("no data: too-large");
        QTest::newRow("folder") << "sub" << QByteArray("no data: folder");
        QTest::newRow("no file given") << "" << QByteArray("no data: not-set");
    }

    void visualiserShowsAnyFile()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, shown);
        QVERIFY(TestUtil::writeBytes(path("data.bin"), QByteArray(1000, 1)) &&
                TestUtil::writeBytes(path("empty.bin"), ""));
        QVERIFY(TestUtil::writeBytes(path("odd.bin"), QByteArray(7, 1)));
        QFile huge(path("huge.bin"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(65 * 1024 * 1024)); // sparse: costs no disk
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("sub")));
        if (!file.isEmpty())
            file = file.startsWith("DIR") ? QString(m_dir->path()).replace('/', '\\') + file.mid(3) : path(file);
        Program orvex(QStringList{"Orvex.exe", "-r", file, "-j"}, m_dir->path());
        QTRY_VERIFY_WITH_TIMEOUT(orvex.output.contains("ready\n"), 30000);
        QVERIFY2(orvex.output.contains(shown + "\n"), orvex.output.constData());
        QCOMPARE(orvex.state(), QProcess::Running);
    }

    void visualiserPlacement_data()
    {
        QTest::addColumn<QRect>("editor"); // invalid: not known
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("placed");
        const QRect screen(0, 0, 1280, 800);
        QTest::newRow("editor unknown") << QRect() << screen << QRect(480, 0, 800, 600);
        QTest::newRow("editor centred") << QRect(340, 187, 600, 426) << screen << QRect(940, 187, 340, 600);
        QTest::newRow("editor on the left") << QRect(0, 0, 700, 800) << screen << QRect(700, 0, 580, 600);
        QTest::newRow("editor on the right") << QRect(680, 300, 600, 500) << screen << QRect(0, 200, 680, 600);
        QTest::newRow("editor along the top") << QRect(0, 0, 1280, 300) << screen << QRect(0, 300, 800, 500);
        QTest::newRow("no room anywhere") << QRect(0, 0, 1280, 800) << screen << QRect(480, 0, 800, 600);
        QTest::newRow("strips below the minimum") << QRect(100, 100, 1080, 650) << screen << QRect(480, 0, 800, 600);
        QTest::newRow("second screen") << QRect(1600, 200, 600, 400) << QRect(1280, 0, 1920, 1080)
                                       << QRect(2200, 200, 800, 600);
        QTest::newRow("editor off the area") << QRect(-900, 0, 600, 400) << screen << QRect(480, 0, 800, 600);
        QTest::newRow("small screen") << QRect(0, 0, 400, 300) << QRect(0, 0, 640, 480) << QRect(0, 0, 640, 480);
    }

    void visualiserPlacement()
    {
        QFETCH(QRect, editor);
        QFETCH(QRect, area);
        QTEST(WindowPlacement::besideEditor(editor, area, QSize(800, 600), QSize(320, 240)), "placed");
    }

    void visualiserOpensBesideTheEditor_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QRect>("editor"); // invalid: not passed or unreadable
        QTest::newRow("passed") << "0,0,460,600" << QRect(0, 0, 460, 600);
        QTest::newRow("unreadable") << "0,0,big,600" << QRect();
    }

    void visualiserOpensBesideTheEditor()
    {
        QFETCH(QString, frame);
        QFETCH(QRect, editor);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VOLMAR_GEOMETRY"), frame);
        // A long path and the figures of a loaded file must not widen the window beyond its place.
        const QString data = path(QString(120, 'd') + ".bin");
        QVERIFY(TestUtil::writeBytes(data, QByteArray(1000, 1)));
        Program orvex({"Orvex.exe", "-r", data}, m_dir->path(), 0, env);
        QTRY_VERIFY_WITH_TIMEOUT(orvex.output.contains("ready\n"), 30000);
        const QRegularExpressionMatch m =
            QRegularExpression("window (-?\\d+),(-?\\d+) (\\d+)x(\\d+)\n").match(QString::fromLatin1(orvex.output));
        QVERIFY2(m.hasMatch(), orvex.output.constData());
        const QRect window(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
        // The offscreen screen is 800 by 600: beside a 460 pixel wide editor there is room for 340.
        QCOMPARE(window, editor.isValid() ? QRect(460, 0, 340, 600) : QRect(0, 0, 800, 600));
        QVERIFY(!window.intersects(editor));
    }

    void visualiserFollowsRewritesAndKeepsItsFolder()
    {
        const QString data = path("data.bin");
        QVERIFY(TestUtil::writeBytes(data, QByteArray(200, 1)));
        Program orvex({"Orvex.exe", "-r", data, "-j"}, m_dir->path());
        QTRY_VERIFY_WITH_TIMEOUT(orvex.output.contains("ready\n"), 30000);
        // The editor finds the visualiser through the folder it records in its own settings.
        const QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Orvex"));
        QCOMPARE(settings.value("Orvex Dir").toString(), QDir(QStringLiteral(VOLMAR_BIN_DIR)).canonicalPath());

        // As the DSP programs write it: a new file renamed over the old one; also rewritten in place.
        QVERIFY(TestUtil::writeBytes(path("next.tmp"), QByteArray(600, 1)));
        QVERIFY(::rename(QFile::encodeName(path("next.tmp")).constData(), QFile::encodeName(data).constData()) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(orvex.output.contains("loaded 300 samples\n"), 10000);
        QVERIFY(TestUtil::writeBytes(data, QByteArray(400, 1)));
        QTRY_VERIFY_WITH_TIMEOUT(orvex.output.contains("loaded 200 samples\n"), 10000);
    }
};

QTEST_GUILESS_MAIN(TestSimulators)
#include "tst_simulators.moc"
