// The firmware tool, the text editor launcher and the visualiser, run as the editor runs them.
#include "simtestutil.h"

#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

class TestSimTools : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firmwareTool_data();
    void firmwareTool();
    void demoBatchFileLoadsFirmware();
    void notepad_data();
    void notepad();
    void visualiserShowsAnyFile_data();
    void visualiserShowsAnyFile();
    void visualiserFollowsRewrites();
    void visualiserKeepsItsFolder();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void writeFile(const QString& name, const QByteArray& bytes);
    void writeScript(const QString& name, const QString& body);
    QByteArray samples(int count) const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSimTools::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSimTools::writeFile(const QString& name, const QByteArray& bytes)
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestSimTools::writeScript(const QString& name, const QString& body)
{
    writeFile(name, "#!/bin/sh\n" + body.toUtf8() + "\n");
    QVERIFY(QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QByteArray TestSimTools::samples(int count) const
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        const qint16 v = qint16(10000 * std::sin(i * 0.3));
        bytes.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    }
    return bytes;
}

void TestSimTools::firmwareTool_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");

    QTest::newRow("firmware present") << QStringList{"-f", "board.rbf", "-d", "0"} << true;
    QTest::newRow("device omitted") << QStringList{"-f", "board.rbf"} << true;
    QTest::newRow("missing firmware") << QStringList{"-f", "none.rbf", "-d", "0"} << false;
    QTest::newRow("empty firmware") << QStringList{"-f", "empty.rbf"} << false;
    QTest::newRow("folder as firmware") << QStringList{"-f", "."} << false;
    QTest::newRow("no such device") << QStringList{"-f", "board.rbf", "-d", "7"} << false;
    QTest::newRow("no arguments") << QStringList{} << false;
}

void TestSimTools::firmwareTool()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    writeFile(QStringLiteral("board.rbf"), QByteArray(300, '\xff'));
    writeFile(QStringLiteral("empty.rbf"), QByteArray());

    Program tool(QStringLiteral("tprog.exe"), args, m_dir->path(), simEnvironment());
    QVERIFY(tool.finish());
    QCOMPARE(tool.exitCode() == 0, ok);
    QCOMPARE(tool.output().contains("OK: PLD is progammed"), ok);
}

void TestSimTools::demoBatchFileLoadsFirmware()
{
    // The line the editor takes from the demo's pld.bat, started as one command string.
    copyDemo(m_dir->path());
    QFile batch(path(QStringLiteral("pld.bat")));
    QVERIFY(batch.open(QIODevice::ReadOnly | QIODevice::Text));
    QString command;
    while (!batch.atEnd() && command.isEmpty()) {
        const QString line = QString::fromLatin1(batch.readLine()).trimmed();
        if (line.contains(QLatin1String("tprog")))
            command = line.mid(line.indexOf(QLatin1String("tprog")));
    }
    QStringList words = QProcess::splitCommand(command);
    QVERIFY(!words.isEmpty());
    Program tool(words.takeFirst(), words, m_dir->path(), simEnvironment());
    QVERIFY(tool.finish());
    QVERIFY2(tool.output().contains("OK: PLD is progammed"), tool.output().constData());
}

void TestSimTools::notepad_data()
{
    QTest::addColumn<QString>("editor");
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<bool>("xdgOpen");
    QTest::addColumn<QString>("expected"); // arguments the started program got; empty: notepad fails

    QTest::newRow("editor in a terminal") << "myedit --wait" << true << true << "-e\nmyedit\n--wait\nFILE\n";
    QTest::newRow("no terminal: desktop default") << "myedit" << false << true << "FILE\n";
    QTest::newRow("no editor: desktop default") << "" << true << true << "FILE\n";
    QTest::newRow("nothing to open with") << "" << false << false << "";
}

void TestSimTools::notepad()
{
    QFETCH(QString, editor);
    QFETCH(bool, terminal);
    QFETCH(bool, xdgOpen);
    QFETCH(QString, expected);

    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("bin")));
    const QString record = path(QStringLiteral("args.txt"));
    const QString recorder = QStringLiteral("printf '%s\\n' \"$@\" > '%1'").arg(record);
    if (terminal)
        writeScript(QStringLiteral("bin/x-terminal-emulator"), recorder);
    if (xdgOpen)
        writeScript(QStringLiteral("bin/xdg-open"), recorder);
    writeFile(QStringLiteral("pld.bat"), "tprog.exe -f board.rbf\r\n");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), path(QStringLiteral("bin")));
    env.remove(QStringLiteral("VISUAL"));
    env.insert(QStringLiteral("EDITOR"), editor);
    env.remove(QStringLiteral("TERMINAL"));

    Program notepad(QStringLiteral("notepad.exe"), {path(QStringLiteral("pld.bat"))}, m_dir->path(), env);
    QVERIFY(notepad.finish());
    if (expected.isEmpty()) {
        QVERIFY(notepad.exitCode() > 0);
        const QString why = TextCodec::fromCp1251(notepad.process().readAllStandardError());
        QVERIFY2(why.contains(QLatin1String("xdg-open")) && why.contains(QLatin1String("$EDITOR")), qPrintable(why));
        QVERIFY(!QFileInfo::exists(record));
        return;
    }
    QCOMPARE(notepad.exitCode(), 0);
    QFile args(record);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()), QString(expected).replace(QLatin1String("FILE"), path("pld.bat")));
}

void TestSimTools::visualiserShowsAnyFile_data()
{
    QTest::addColumn<QString>("file"); // argument after -r; "DIR" stands for the test folder
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("samples") << "data.bin" << QByteArray("loaded 500 samples");
    QTest::newRow("backslash path") << "DIR\\data.bin" << QByteArray("loaded 500 samples");
    QTest::newRow("empty file") << "empty.bin" << QByteArray("no data: empty");
    QTest::newRow("missing file") << "none.bin" << QByteArray("no data: missing");
    QTest::newRow("odd size") << "odd.bin" << QByteArray("no data: odd-size");
    QTest::newRow("huge file") << "huge.bin" << QByteArray("no data: too-large");
    QTest::newRow("folder") << "sub" << QByteArray("no data: folder");
    QTest::newRow("no file given") << "" << QByteArray("no data: not-set");
}

void TestSimTools::visualiserShowsAnyFile()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, expected);
    writeFile(QStringLiteral("data.bin"), samples(500));
    writeFile(QStringLiteral("empty.bin"), QByteArray());
    writeFile(QStringLiteral("odd.bin"), QByteArray(7, '\x01'));
    QFile huge(path(QStringLiteral("huge.bin")));
    QVERIFY(huge.open(QIODevice::WriteOnly));
    QVERIFY(huge.resize(65 * 1024 * 1024)); // sparse: costs no disk
    huge.close();
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("sub")));

    if (!file.isEmpty())
        file = file.startsWith(QLatin1String("DIR"))
                   ? file.replace(QLatin1String("DIR"), m_dir->path()).replace(QLatin1Char('/'), QLatin1Char('\\'))
                   : path(file);
    Program orvex(QStringLiteral("Orvex.exe"), {"-r", file, "-j"}, m_dir->path());
    QTRY_VERIFY_WITH_TIMEOUT(orvex.output().contains("ready\n"), 30000);
    QVERIFY2(orvex.output().startsWith(expected + "\n"), orvex.output().constData());
    QVERIFY(orvex.running());
}

void TestSimTools::visualiserFollowsRewrites()
{
    const QString data = path(QStringLiteral("data.bin"));
    writeFile(QStringLiteral("data.bin"), samples(100));
    Program orvex(QStringLiteral("Orvex.exe"), {"-r", data, "-j"}, m_dir->path());
    QTRY_VERIFY_WITH_TIMEOUT(orvex.output().contains("ready\n"), 30000);

    // As the DSP programs write it: a new file renamed over the old one.
    writeFile(QStringLiteral("next.tmp"), samples(300));
    QVERIFY(::rename(QFile::encodeName(path("next.tmp")).constData(), QFile::encodeName(data).constData()) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(orvex.output().contains("loaded 300 samples\n"), 10000);

    writeFile(QStringLiteral("data.bin"), samples(200));
    QTRY_VERIFY_WITH_TIMEOUT(orvex.output().contains("loaded 200 samples\n"), 10000);

    QVERIFY(QFile::remove(data));
    QTRY_VERIFY_WITH_TIMEOUT(orvex.output().endsWith("no data: missing\n"), 10000);
    writeFile(QStringLiteral("data.bin"), samples(50));
    QTRY_VERIFY_WITH_TIMEOUT(orvex.output().endsWith("loaded 50 samples\n"), 10000);
    QVERIFY(orvex.running());
}

void TestSimTools::visualiserKeepsItsFolder()
{
    // The editor finds the visualiser through the folder it records in its own settings.
    Program orvex(QStringLiteral("Orvex.exe"), {"-r", "", "-j"}, m_dir->path());
    QTRY_VERIFY_WITH_TIMEOUT(orvex.output().contains("ready\n"), 30000);
    const QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Orvex"));
    QCOMPARE(settings.value(QStringLiteral("Orvex Dir")).toString(),
             QDir(QStringLiteral(VOLMAR_BIN_DIR)).canonicalPath());
}

QTEST_GUILESS_MAIN(TestSimTools)
#include "tst_simtools.moc"
