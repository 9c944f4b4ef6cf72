// volmar-ini check and diff as a script or an editor runs them: what they print, where, and the exit
// status that tells "nothing found", "found something", "wrong arguments" and "cannot read".
#include "tests/common/testutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace
{
// Run in the test's folder, so that file names are printed as given.
TestUtil::Run volmarIni(const QString& dir, const QStringList& arguments)
{
    return TestUtil::volmarIni(arguments, dir);
}

const QByteArray Description = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n"
                               "<param name=\"Adc.Freq\" type=\"spin-int\" min=\"1\" max=\"100\"/>\n"
                               "</settings>\n";
// "[Частота]" in CP1251 with one key.
const QByteArray Cp1251Ini = "[\xD7\xE0\xF1\xF2\xEE\xF2\xE0]\r\nFreq=5\r\n";
} // namespace

class TestReports : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(TestUtil::writeBytes(m_dir.filePath("good.vlmr"), Description));
        QVERIFY(TestUtil::writeBytes(m_dir.filePath("good.ini"), "[Adc]\r\nFreq=5\r\n"));
        QByteArray broken = Description;
        broken.replace("</settings>", "</setings>");
        QVERIFY(TestUtil::writeBytes(m_dir.filePath("broken.vlmr"), broken));
        QVERIFY(TestUtil::writeBytes(m_dir.filePath("other.ini"), "[Adc]\r\n@Freq=7\r\nGain=1\r\n"));
        QVERIFY(TestUtil::writeBytes(m_dir.filePath("cyrillic.ini"), Cp1251Ini));
    }

    void exitStatusAndOutput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err"); // the start of standard error

        const auto row = [](const char* name, const QStringList& arguments, int exitCode, const char* out,
                            const char* err = "") {
            QTest::newRow(name) << arguments << exitCode << QByteArray(out) << QByteArray(err);
        };
        row("check: XML error at its line and column", {"check", "broken.vlmr", "good.ini"}, 1,
            "broken.vlmr:4:10: XML error: Opening and ending tag mismatch; the editor ignores the whole file\n");
        row("check: keys of the INI file named", {"check", "good.vlmr", "other.ini", "cyrillic.ini"}, 1,
            "other.ini:3: key Gain of [Adc] has no description\n"
            "cyrillic.ini:2: key Freq of [Частота] has no description\n");
        row("check: no description", {"check"}, 2, "", "Usage: volmar-ini check");
        row("check: missing description", {"check", "gone.vlmr"}, 3, "", "volmar-ini: cannot read gone.vlmr\n");
        row("diff: no differences", {"diff", "good.ini", "good.ini"}, 0, "");
        row("diff: table", {"diff", "good.ini", "other.ini"}, 1,
            "section  key   good.ini   other.ini\n"
            "Adc      Freq  5          @7\n"
            "Adc      Gain  (missing)  1\n");
        row("diff: one file", {"diff", "good.ini"}, 2, "", "Usage: volmar-ini diff");
        row("diff: missing file", {"diff", "good.ini", "gone.ini"}, 3, "", "volmar-ini: cannot read gone.ini\n");
    }

    void exitStatusAndOutput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        const TestUtil::Run run = volmarIni(m_dir.path(), arguments);
        QCOMPARE(run.out, out);
        QVERIFY2(run.err.startsWith(err) && (err.isEmpty() == run.err.isEmpty()), run.err.constData());
        QCOMPARE(run.exitCode, exitCode);
    }

    void diffAsJson()
    {
        const TestUtil::Run run = volmarIni(m_dir.path(), {"diff", "--json", "good.ini", "other.ini"});
        QCOMPARE(run.exitCode, 1);
        QJsonParseError error;
        const QJsonObject root = QJsonDocument::fromJson(run.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(root.value("a").toString(), "good.ini");
        QCOMPARE(root.value("b").toString(), "other.ini");
        const QJsonArray differences = root.value("differences").toArray();
        QCOMPARE(differences.size(), 2);
        const QJsonObject freq = differences.at(0).toObject();
        QCOMPARE(freq.value("section").toString(), "Adc");
        QCOMPARE(freq.value("key").toString(), "Freq");
        QCOMPARE(freq.value("changes").toArray(), (QJsonArray{"value", "switched"}));
        QCOMPARE(freq.value("a").toObject(), (QJsonObject{{"value", "5"}, {"enabled", true}, {"line", 2}}));
        QCOMPARE(freq.value("b").toObject(), (QJsonObject{{"value", "7"}, {"enabled", false}, {"line", 2}}));
        const QJsonObject gain = differences.at(1).toObject();
        QCOMPARE(gain.value("changes").toArray(), QJsonArray{"missing"});
        QVERIFY(gain.value("a").isNull());

        const TestUtil::Run same = volmarIni(m_dir.path(), {"diff", "good.ini", "good.ini", "--json"});
        QCOMPARE(same.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(same.out).object().value("differences").toArray(), QJsonArray());
    }
};

QTEST_GUILESS_MAIN(TestReports)
#include "tst_reports.moc"
