// volmar-ini as scripts use it: its output, its exit codes and what it leaves on disk.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace
{
struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result volmarIni(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(VOLMAR_BIN_DIR "/volmar-ini"), arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
        return {};
    return {tool.exitCode(), tool.readAllStandardOutput(), tool.readAllStandardError()};
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// CP1251: "[Частота]", "Ключ=Значение // Гц".
const QByteArray Cp1251File = "; lab settings\r\n[\xD7\xE0\xF1\xF2\xEE\xF2\xE0]\r\n"
                              "\xCA\xEB\xFE\xF7=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5 // \xC3\xF6\r\n"
                              "[Amp]\r\nGain=5\r\n";
} // namespace

class TestVolmarIni : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reads();
    void getOfMissingKeyExitsOne();
    void setWritesOneLine();
    void deleteKeyAndSection();
    void wrongArgumentsExitTwo_data();
    void wrongArgumentsExitTwo();
    void helpIsForPeople();
    void failedWriteExitsThree();
    void malformedScriptChangesNothing();

private:
    QString m_file;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestVolmarIni::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_file = m_dir->filePath("lab.ini");
    QVERIFY(writeAll(m_file, Cp1251File));
}

void TestVolmarIni::reads()
{
    Result r = volmarIni({"sections", m_file});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("Частота\nAmp\n"));

    r = volmarIni({"keys", m_file, QStringLiteral("ЧАСТОТА")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("Ключ\n"));

    r = volmarIni({"get", m_file, QStringLiteral(" частота "), QStringLiteral("КЛЮЧ")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("Значение // Гц\n"));
    QCOMPARE(r.err, QByteArray());
}

void TestVolmarIni::getOfMissingKeyExitsOne()
{
    for (const QStringList& args :
         {QStringList{"get", m_file, "Amp", "Nope"}, QStringList{"get", m_file, "Nope", "Gain"},
          QStringList{"get", m_dir->filePath("missing.ini"), "Amp", "Gain"}}) {
        const Result r = volmarIni(args);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QByteArray());
    }
}

void TestVolmarIni::setWritesOneLine()
{
    Result r = volmarIni({"set", m_file, "amp", "GAIN", " 7\t\t// dB"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray());
    QByteArray expected = Cp1251File;
    expected.replace("Gain=5", "Gain= 7\t\t// dB");
    QCOMPARE(readAll(m_file), expected);

    // Cyrillic from the command line lands in the file's own code page.
    r = volmarIni({"set", m_file, QStringLiteral("Новая"), QStringLiteral("Имя"), QStringLiteral("Ёж")});
    QCOMPARE(r.exitCode, 0);
    expected += "[\xCD\xEE\xE2\xE0\xFF]\r\n\xC8\xEC\xFF=\xA8\xE6\r\n";
    QCOMPARE(readAll(m_file), expected);
}

void TestVolmarIni::deleteKeyAndSection()
{
    Result r = volmarIni({"delete", m_file, "Amp", "Gain"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(!readAll(m_file).contains("Gain"));

    r = volmarIni({"delete", m_file, "Amp", "Gain"});
    QCOMPARE(r.exitCode, 1);

    r = volmarIni({"delete", m_file, QStringLiteral("частота")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(readAll(m_file), QByteArray("; lab settings\r\n[Amp]\r\n"));

    r = volmarIni({"delete", m_file, "Gone"});
    QCOMPARE(r.exitCode, 1);
}

void TestVolmarIni::wrongArgumentsExitTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown command") << QStringList{"show", "x.ini"};
    QTest::newRow("get without key") << QStringList{"get", "x.ini", "S"};
    QTest::newRow("set without value") << QStringList{"set", "x.ini", "S", "K"};
    QTest::newRow("delete with extra") << QStringList{"delete", "x.ini", "S", "K", "V"};
    QTest::newRow("sections without file") << QStringList{"sections"};
    QTest::newRow("run without script") << QStringList{"run", "x.ini"};
}

void TestVolmarIni::wrongArgumentsExitTwo()
{
    QFETCH(QStringList, arguments);
    const Result r = volmarIni(arguments);
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.out, QByteArray());
    QVERIFY(r.err.startsWith("Usage: volmar-ini"));
    QCOMPARE(readAll(m_file), Cp1251File);
}

void TestVolmarIni::helpIsForPeople()
{
    const Result r = volmarIni({"--help"});
    QCOMPARE(r.exitCode, 0);
    for (const char* part : {"sections FILE", "get FILE SECTION KEY", "Exit status", "Examples", "run FILE OPS"})
        QVERIFY2(r.out.contains(part), part);
}

void TestVolmarIni::failedWriteExitsThree()
{
    const QString underAFile = m_file + "/sub.ini";
    Result r = volmarIni({"set", underAFile, "S", "K", "1"});
    QCOMPARE(r.exitCode, 3);
    QVERIFY(r.err.contains("sub.ini"));
    QCOMPARE(readAll(m_file), Cp1251File);

    const QString ops = m_dir->filePath("ops.txt");
    QVERIFY(writeAll(ops, "put\tS\tK\t1\nget\tS\tK\n"));
    r = volmarIni({"run", underAFile, ops});
    QCOMPARE(r.exitCode, 3);
    QCOMPARE(r.out, QByteArray("{\"line\":1,\"op\":\"put\",\"file_hex\":null}\n"
                               "{\"line\":2,\"op\":\"get\",\"found\":false}\n"));
}

void TestVolmarIni::malformedScriptChangesNothing()
{
    const QString ops = m_dir->filePath("ops.txt");
    QVERIFY(writeAll(ops, "put\tAmp\tGain\t9\n# fine so far\nreplace\tAmp\tGain\n"));
    const Result r = volmarIni({"run", m_file, ops});
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.out, QByteArray());
    QVERIFY(r.err.contains("line 3"));
    QCOMPARE(readAll(m_file), Cp1251File);
}

QTEST_GUILESS_MAIN(TestVolmarIni)
#include "tst_volmarini.moc"
