// The board server and the native demo program run the demo's test as the editor would start them:
// in the test folder, without being told the INI file, read through a pipe.
#include "simtestutil.h"

#include <QFileInfo>
#include <QTemporaryDir>

class TestBoardServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void runFollowsIni_data();
    void runFollowsIni();
    void valuesReadWithEditorsCommentRule_data();
    void valuesReadWithEditorsCommentRule();
    void dataFileNamedInIni();
    void commandLineOverridesIni();
    void stalePartsRemoved();
    void continuousRunsUntilKilled_data();
    void continuousRunsUntilKilled();
    void secondServerRefused();
    void refusals_data();
    void refusals();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString ini() const { return m_dir->filePath(QStringLiteral("demo.ini")); }
};

void TestBoardServer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    copyDemo(m_dir->path());
}

void TestBoardServer::runFollowsIni_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("freq");
    QTest::addColumn<int>("rate");

    QTest::newRow("server, ADC image") << "kelda.exe" << QStringList{"-u", "adc_test.x55"} << 1500 << 48000;
    QTest::newRow("server, filter image") << "kelda.exe" << QStringList{"-u", "filter_test.dxe"} << 2000 << 48000;
    QTest::newRow("server, generator image") << "kelda.exe" << QStringList{"-u", "gen_test.ldr"} << 700 << 32000;
    QTest::newRow("native program") << "dsptest.exe" << QStringList{} << 1200 << 96000;
}

void TestBoardServer::runFollowsIni()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, freq);
    QFETCH(int, rate);
    setIniLine(ini(), "Freq", QByteArray::number(freq));
    setIniLine(ini(), "SampleRate", QByteArray::number(rate));
    setIniLine(ini(), "Blocks", "8");

    Program run(program, args, m_dir->path(), simEnvironment());
    QVERIFY(run.finish());
    QCOMPARE(run.exitCode(), 0);

    const QVector<qint16> samples = readSamples(m_dir->filePath(QStringLiteral("data.bin")));
    QCOMPARE(samples.size(), 8 * 1024);
    const double measured = crossingFrequency(samples, rate);
    QVERIFY2(std::fabs(measured - freq) < 0.02 * freq, qPrintable(QString::number(measured)));

    // Progress returns the carriage; each block's result then overwrites it on a line of its own.
    const QString text = run.text();
    QVERIFY2(text.contains(QStringLiteral("Блок 3 из 8\rБлок 3 из 8: ")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("\rБлок 8 из 8: ")));
    QVERIFY(text.contains(QStringLiteral("\nТест завершён.\n")));
}

void TestBoardServer::valuesReadWithEditorsCommentRule_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("blocks");

    QTest::newRow("tabs and slashes") << QByteArray("Blocks=3\t\t// \xf7\xe8\xf1\xeb\xee") << 3;
    QTest::newRow("semicolon") << QByteArray("Blocks=4;\xf2\xf0\xe8") << 4;
    QTest::newRow("slashes before semicolon") << QByteArray("Blocks=5 // a ; b") << 5;
    QTest::newRow("disabled key: default") << QByteArray("@Blocks=3\t\t// off") << 20;
    QTest::newRow("only a comment: default") << QByteArray("Blocks=// 3") << 20;
    QTest::newRow("not a number: default") << QByteArray("Blocks=many") << 20;
}

void TestBoardServer::valuesReadWithEditorsCommentRule()
{
    QFETCH(QByteArray, line);
    QFETCH(int, blocks);
    setIniLine(ini(), "BlockSize", "256");
    setIniLine(ini(), "Blocks", line, true);

    Program run(QStringLiteral("dsptest.exe"), {}, m_dir->path(), simEnvironment());
    QVERIFY(run.finish());
    QCOMPARE(run.exitCode(), 0);
    QCOMPARE(QFileInfo(m_dir->filePath(QStringLiteral("data.bin"))).size(), qint64(blocks) * 256 * 2);
    QVERIFY(run.text().contains(QStringLiteral("Блок %1 из %1: ").arg(blocks)));
}

void TestBoardServer::dataFileNamedInIni()
{
    setIniLine(ini(), "DataFile", "result.bin");
    setIniLine(ini(), "Blocks", "2");
    Program run(QStringLiteral("kelda.exe"), {"-u", "adc_test.x55"}, m_dir->path(), simEnvironment());
    QVERIFY(run.finish());
    QCOMPARE(QFileInfo(m_dir->filePath(QStringLiteral("result.bin"))).size(), qint64(2 * 1024 * 2));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("data.bin"))));
}

void TestBoardServer::commandLineOverridesIni()
{
    // Words after the image reach the program: Section.Key=value wins over the INI file.
    Program run(QStringLiteral("kelda.exe"), {"-u", "adc_test.x55", "Test.Blocks=2", "Test.BlockSize=512"},
                m_dir->path(), simEnvironment());
    QVERIFY(run.finish());
    QCOMPARE(run.exitCode(), 0);
    QCOMPARE(QFileInfo(m_dir->filePath(QStringLiteral("data.bin"))).size(), qint64(2 * 512 * 2));
}

void TestBoardServer::stalePartsRemoved()
{
    // A writer killed between writing and renaming leaves its part; the next run clears it away.
    const QString stale = m_dir->filePath(QStringLiteral("data.bin.999999999.part"));
    QFile part(stale);
    QVERIFY(part.open(QIODevice::WriteOnly));
    part.write("half");
    part.close();
    setIniLine(ini(), "Blocks", "1");
    Program run(QStringLiteral("dsptest.exe"), {}, m_dir->path(), simEnvironment());
    QVERIFY(run.finish());
    QVERIFY(!QFileInfo::exists(stale));
    QVERIFY(QFileInfo::exists(m_dir->filePath(QStringLiteral("data.bin"))));
}

void TestBoardServer::continuousRunsUntilKilled_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("server") << "kelda.exe" << QStringList{"-u", "adc_test.x55"};
    QTest::newRow("native program") << "dsptest.exe" << QStringList{};
}

void TestBoardServer::continuousRunsUntilKilled()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    setIniLine(ini(), "Continuous", "1");
    setIniLine(ini(), "Blocks", "4");
    setIniLine(ini(), "BlockSize", "256");

    Program run(program, args, m_dir->path(), simEnvironment(1));
    // Far past the configured number of blocks: the file keeps the newest four.
    QTRY_VERIFY_WITH_TIMEOUT(run.contains(QStringLiteral("\rБлок 40: ")), 60000);
    QVERIFY(run.running());
    run.kill();
    QCOMPARE(QFileInfo(m_dir->filePath(QStringLiteral("data.bin"))).size(), qint64(4 * 256 * 2));
    QVERIFY(!run.contains(QStringLiteral("Тест завершён.")));
}

void TestBoardServer::secondServerRefused()
{
    setIniLine(ini(), "Continuous", "1");
    auto first = std::make_unique<Program>(QStringLiteral("kelda.exe"), QStringList{"-u", "adc_test.x55"},
                                           m_dir->path(), simEnvironment(20));
    QTRY_VERIFY_WITH_TIMEOUT(first->contains(QStringLiteral("Блок 1")), 30000);

    for (const QStringList& args : {QStringList{"-u", "filter_test.dxe"}, QStringList{"-reset"}}) {
        Program second(QStringLiteral("kelda.exe"), args, m_dir->path(), simEnvironment());
        QVERIFY(second.finish());
        QVERIFY(second.exitCode() > 0);
        QVERIFY2(second.text().contains(QStringLiteral("уже запущен")), qPrintable(second.text()));
    }
    QVERIFY(first->running());

    // Killed, the first server leaves no lock behind.
    first.reset();
    Program reset(QStringLiteral("kelda.exe"), {"-reset"}, m_dir->path(), simEnvironment());
    QVERIFY(reset.finish());
    QCOMPARE(reset.exitCode(), 0);
    QVERIFY(reset.text().contains(QStringLiteral("Плата сброшена.")));
}

void TestBoardServer::refusals_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("imageBytes"); // written to bad.x55 when not empty
    QTest::addColumn<bool>("removeInis");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing image") << "kelda.exe" << QStringList{"-u", "none.x55"} << QByteArray() << false
                                   << "не найден";
    QTest::newRow("not an image") << "kelda.exe" << QStringList{"-u", "bad.x55"}
                                  << QByteArray("\x7f"
                                                "ELF\x02\x01\x01\0\0\0",
                                                10)
                                  << false << "не является программой DSP";
    QTest::newRow("unknown test") << "kelda.exe" << QStringList{"-u", "bad.x55"}
                                  << QByteArray("KELDA-IMAGE 1\r\ntest: fft\r\n") << false << "неизвестный тест";
    QTest::newRow("image names a missing INI")
        << "kelda.exe" << QStringList{"-u", "bad.x55"} << QByteArray("KELDA-IMAGE 1\ntest: adc\nini: other.ini\n")
        << false << "other.ini не найден";
    QTest::newRow("folder without INI") << "dsptest.exe" << QStringList{} << QByteArray() << true
                                        << "нет файла параметров";
    QTest::newRow("image in place of a folder")
        << "kelda.exe" << QStringList{"-u", "."} << QByteArray() << false << "не читается";
    QTest::newRow("no command") << "kelda.exe" << QStringList{} << QByteArray() << false << "не указана команда";
}

void TestBoardServer::refusals()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, imageBytes);
    QFETCH(bool, removeInis);
    QFETCH(QString, message);
    if (!imageBytes.isEmpty()) {
        QFile image(m_dir->filePath(QStringLiteral("bad.x55")));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(imageBytes);
    }
    if (removeInis)
        QVERIFY(QFile::remove(ini()));

    Program run(program, args, m_dir->path(), simEnvironment());
    QVERIFY(run.finish());
    QVERIFY(run.exitCode() > 0);
    QVERIFY2(run.text().contains(message), qPrintable(run.text()));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("data.bin"))));
}

QTEST_GUILESS_MAIN(TestBoardServer)
#include "tst_boardserver.moc"
