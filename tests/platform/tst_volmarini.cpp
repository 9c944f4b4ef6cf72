// volmar-ini as scripts use it: every golden vector of the INI dialect run through it (and so through
// the profile engine), its exit codes and what it leaves on disk.

#include "tests/common/testutil.h"

#include <QDir>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace
{
using Result = TestUtil::Run;
using TestUtil::volmarIni;

const QString CasesDir = QStringLiteral(VOLMAR_TEST_DATA "/ini-dialect/cases");

QList<QByteArray> expectedLines(const QString& caseDir)
{
    QList<QByteArray> lines = TestUtil::readBytes(caseDir + "/expected.jsonl").split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

QString compact(const QByteArray& line)
{
    return QString::fromUtf8(line.size() > 400 ? line.left(400) + "..." : line);
}

// The field names of one output line in the order printed.
QStringList fieldOrder(const QByteArray& line)
{
    static const QRegularExpression field(QStringLiteral(R"re([{,]"(line|op|list|found|text|file_hex)":)re"));
    QStringList names;
    auto it = field.globalMatch(QString::fromUtf8(line));
    while (it.hasNext())
        names.append(it.next().captured(1));
    return names;
}

// CP1251: "[Частота]", "Ключ=Значение // Гц".
const QByteArray Cp1251File = "; lab settings\r\n[\xD7\xE0\xF1\xF2\xEE\xF2\xE0]\r\n"
                              "\xCA\xEB\xFE\xF7=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5 // \xC3\xF6\r\n"
                              "[Amp]\r\nGain=5\r\n";
} // namespace

class TestVolmarIni : public QObject
{
    Q_OBJECT

    QString m_file;
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_file = m_dir->filePath("lab.ini");
        QVERIFY(TestUtil::writeBytes(m_file, Cp1251File));
    }

    void goldenVectors_data()
    {
        QTest::addColumn<QString>("caseDir");
        const QStringList cases = QDir(CasesDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QVERIFY2(!cases.isEmpty(), qPrintable(CasesDir));
        for (const QString& name : cases)
            QTest::newRow(qPrintable(name)) << QDir(CasesDir).filePath(name);
    }

    void goldenVectors()
    {
        QFETCH(QString, caseDir);
        // The case's file in a fresh folder, writable whatever the checkout made of it.
        const QString path = m_dir->filePath(QStringLiteral("input.ini"));
        if (QFile::exists(caseDir + "/input.ini")) {
            QVERIFY(QFile::copy(caseDir + "/input.ini", path));
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        }
        const Result r = volmarIni({"run", path, caseDir + "/ops.txt"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QByteArray());
        QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.takeLast(), QByteArray()); // every line ends in LF
        const QList<QByteArray> expected = expectedLines(caseDir);
        QCOMPARE(lines.size(), expected.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QVERIFY2(QJsonDocument::fromJson(lines.at(i)) == QJsonDocument::fromJson(expected.at(i)),
                     qPrintable(
                         QStringLiteral("\n   got %1\n  want %2").arg(compact(lines.at(i)), compact(expected.at(i)))));
            QCOMPARE(fieldOrder(lines.at(i)), fieldOrder(expected.at(i)));
        }
    }

    void commands_data()
    {
        // Each runs on the file above; FILE stands for its path.
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::newRow("sections") << QStringList{"sections", "FILE"} << 0 << QStringLiteral("Частота\nAmp\n");
        QTest::newRow("keys, Cyrillic folded")
            << QStringList{"keys", "FILE", "ЧАСТОТА"} << 0 << QStringLiteral("Ключ\n");
        QTest::newRow("get, names trimmed")
            << QStringList{"get", "FILE", " частота ", "КЛЮЧ"} << 0 << QStringLiteral("Значение // Гц\n");
        QTest::newRow("get of a missing key") << QStringList{"get", "FILE", "Amp", "Nope"} << 1 << QString();
        QTest::newRow("get of a missing section") << QStringList{"get", "FILE", "Nope", "Gain"} << 1 << QString();
        QTest::newRow("delete of a missing key") << QStringList{"delete", "FILE", "Amp", "Nope"} << 1 << QString();
        QTest::newRow("delete of a missing section") << QStringList{"delete", "FILE", "Gone"} << 1 << QString();
    }

    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        arguments.replaceInStrings("FILE", m_file);
        const Result r = volmarIni(arguments);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(QString::fromUtf8(r.out), out);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(TestUtil::readBytes(m_file), Cp1251File);
    }

    void setAndDeleteChangeOneLine()
    {
        QCOMPARE(volmarIni({"set", m_file, "amp", "GAIN", " 7\t\t// dB"}).exitCode, 0);
        QByteArray expected = Cp1251File;
        expected.replace("Gain=5", "Gain= 7\t\t// dB");
        QCOMPARE(TestUtil::readBytes(m_file), expected);

        // Cyrillic from the command line lands in the file's own code page.
        QCOMPARE(volmarIni({"set", m_file, "Новая", "Имя", "Ёж"}).exitCode, 0);
        expected += "[\xCD\xEE\xE2\xE0\xFF]\r\n\xC8\xEC\xFF=\xA8\xE6\r\n";
        QCOMPARE(TestUtil::readBytes(m_file), expected);

        QCOMPARE(volmarIni({"delete", m_file, "Новая", "Имя"}).exitCode, 0);
        QCOMPARE(volmarIni({"delete", m_file, "частота"}).exitCode, 0);
        QCOMPARE(volmarIni({"delete", m_file, "Amp"}).exitCode, 0);
        QCOMPARE(TestUtil::readBytes(m_file), QByteArray("; lab settings\r\n[\xCD\xEE\xE2\xE0\xFF]\r\n"));
    }

    void wrongArgumentsExitTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("unknown command") << QStringList{"show", "x.ini"};
        QTest::newRow("get without key") << QStringList{"get", "x.ini", "S"};
        QTest::newRow("set without value") << QStringList{"set", "x.ini", "S", "K"};
        QTest::newRow("run without script") << QStringList{"run", "x.ini"};
        QTest::newRow("unknown option") << QStringList{"-x", "set", "x.ini", "S", "K", "1"};
        QTest::newRow("unknown long option") << QStringList{"--runs", "3", "x.ini"};
        QTest::newRow("option after the end of options") << QStringList{"--", "--help"};
    }

    void wrongArgumentsExitTwo()
    {
        QFETCH(QStringList, arguments);
        const Result r = volmarIni(arguments, m_dir->path());
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.out, QByteArray());
        QVERIFY2(r.err.contains("Usage: volmar-ini"), r.err.constData());
        // Nothing is created for names that were never meant as files.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"lab.ini"});
    }

    void optionsComeBeforeTheCommand()
    {
        QVERIFY(volmarIni({"--help"}).out.contains("Exit status"));
        QCOMPARE(volmarIni({"--version"}).out, QByteArray("volmar-ini " VOLMAR_VERSION "\n"));
        // After the command everything is an argument: a negative value, a file named like an option.
        QCOMPARE(volmarIni({"--", "set", m_file, "Amp", "Gain", "-5"}).exitCode, 0);
        QCOMPARE(volmarIni({"get", m_file, "Amp", "Gain"}).out, QByteArray("-5\n"));
        QCOMPARE(volmarIni({"set", "--help", "S", "K", "v"}, m_dir->path()).exitCode, 0);
        QCOMPARE(TestUtil::readBytes(m_dir->filePath("--help")), QByteArray("[S]\r\nK=v\r\n"));
    }

    void exitCodesTellWhatWentWrong_data()
    {
        // FILE stands for a name of the given kind in the test's folder.
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        const QStringList get{"get", "FILE", "Amp", "Gain"};
        QTest::newRow("missing file") << "missing" << get << 1;
        QTest::newRow("folder") << "folder" << get << 3;
        QTest::newRow("fifo, get") << "fifo" << get << 3;
        QTest::newRow("fifo, set") << "fifo" << QStringList{"set", "FILE", "S", "K", "1"} << 3;
        QTest::newRow("fifo, run") << "fifo" << QStringList{"run", "FILE", "OPS"} << 3;
        QTest::newRow("fifo as the script") << "lab" << QStringList{"run", "FILE", "FIFO"} << 3;
        QTest::newRow("link loop, set") << "link loop" << QStringList{"set", "FILE", "S", "K", "1"} << 3;
        QTest::newRow("write-only, get") << "write-only" << get << 3;
        QTest::newRow("write-only, set") << "write-only" << QStringList{"set", "FILE", "Amp", "Gain", "1"} << 3;
    }

    void exitCodesTellWhatWentWrong()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const QString file = m_dir->filePath("x.ini");
        QVERIFY(TestUtil::makeUnusualFile(m_dir->filePath("fifo"), "fifo"));
        QVERIFY(TestUtil::writeBytes(m_dir->filePath("ops.txt"), "put\tS\tK\t1\n"));
        if (kind == "write-only" && !TestUtil::permissionsApply())
            QSKIP("root reads files whatever their permissions");
        if (kind == "lab")
            QVERIFY(QFile::copy(m_file, file));
        else if (kind != "missing")
            QVERIFY(TestUtil::makeUnusualFile(file, kind));
        arguments.replaceInStrings("FILE", file)
            .replaceInStrings("OPS", m_dir->filePath("ops.txt"))
            .replaceInStrings("FIFO", m_dir->filePath("fifo"));
        const auto before = TestUtil::snapshot(m_dir->path());

        const Result r = volmarIni(arguments);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(TestUtil::snapshot(m_dir->path()), before);
        if (exitCode == 3)
            QVERIFY2(r.err.startsWith("volmar-ini: cannot read "), r.err.constData());
    }

    void namesAreTheRawBytes()
    {
        // A name that is not UTF-8 cannot be named through Qt's file API: it is refused, and no file
        // with a replacement character appears instead. A valid non-ASCII name works as any other.
        const Result shell = TestUtil::run("/bin/sh",
                                           {"-c",
                                            "\"$0\" set \"$(printf 'bad\\377.ini')\" S K 1; echo \"exit $?\"; "
                                            "\"$0\" set \"$(printf '\\320\\226.ini')\" S K 1; echo \"exit $?\"",
                                            VOLMAR_BIN_DIR "/volmar-ini"},
                                           m_dir->path());
        QCOMPARE(shell.out, QByteArray("exit 3\nexit 0\n"));
        QVERIFY(shell.err.contains("bad%FF.ini: the name is not valid"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"lab.ini", "Ж.ini"}));
    }

    void failedWriteExitsThree()
    {
        const QString underAFile = m_file + "/sub.ini";
        Result r = volmarIni({"set", underAFile, "S", "K", "1"});
        QCOMPARE(r.exitCode, 3);
        QVERIFY(r.err.contains("sub.ini"));
        QCOMPARE(TestUtil::readBytes(m_file), Cp1251File);

        const QString ops = m_dir->filePath("ops.txt");
        QVERIFY(TestUtil::writeBytes(ops, "put\tS\tK\t1\nget\tS\tK\n"));
        r = volmarIni({"run", underAFile, ops});
        QCOMPARE(r.exitCode, 3);
        QCOMPARE(r.out, QByteArray("{\"line\":1,\"op\":\"put\",\"file_hex\":null}\n"
                                   "{\"line\":2,\"op\":\"get\",\"found\":false}\n"));
    }

    void malformedScriptChangesNothing()
    {
        const QString ops = m_dir->filePath("ops.txt");
        QVERIFY(TestUtil::writeBytes(ops, "put\tAmp\tGain\t9\n# fine so far\nreplace\tAmp\tGain\n"));
        const Result r = volmarIni({"run", m_file, ops});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.out, QByteArray());
        QVERIFY(r.err.contains("line 3"));
        QCOMPARE(TestUtil::readBytes(m_file), Cp1251File);
    }
};

QTEST_GUILESS_MAIN(TestVolmarIni)
#include "tst_volmarini.moc"
