// The options as the settings store holds them: defaults, unreadable values, the older key of the
// visualiser directory, and a save that a load reads back.
#include "settings/options.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

namespace
{
QSettings store(const char* application = "Volmar")
{
    return QSettings("Korvane", application);
}

Options load()
{
    QSettings volmar = store();
    return Options::load(volmar, store("Orvex"));
}

// Every flag with its key and the value a first start gives it.
const struct Flag
{
    const char* key;
    bool Options::*member;
    bool firstStart;
} flags[] = {
    {"Auto Load Orvex", &Options::m_bAutoLoadOrvex, true},
    {"Auto Exit Orvex", &Options::m_bAutoExitOrvex, true},
    {"Auto Load PLD", &Options::m_bAutoLoadPld, false},
    {"Auto Save", &Options::m_bAutoSave, true},
    {"Auto Run Program", &Options::m_bAutoRunProgram, true},
    {"Auto Reload", &Options::m_bAutoReload, true},
    {"Spin Apply", &Options::m_bSpinApply, false},
    {"Single Mode Off", &Options::m_bSingleModeOff, false},
    {"Show Prog Window", &Options::m_bShowProgWindow, false},
    {"Restart", &Options::m_bRestart, false},
};
} // namespace

class TestOptions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        store().clear();
        store("Orvex").clear();
    }

    void invalidValuesRead()
    {
        store().setValue("Auto Save", "yes");
        store().setValue("Restart Timeout", "soon");
        store().setValue("WidthColumn", "wide");
        const Options options = load();
        QVERIFY(!options.m_bAutoSave);
        QCOMPARE(options.m_nRestartTimeout, 0u);
        QCOMPARE(options.m_nWidthColumn, 0);
    }

    void savedOptionsReadBack()
    {
        Options options = load();
        for (const Flag& flag : flags) {
            QVERIFY2(options.*flag.member == flag.firstStart, flag.key);
            options.*flag.member = !flag.firstStart;
        }
        QCOMPARE(options.m_nRestartTimeout, 0u);
        QVERIFY(options.m_sFont.isEmpty());
        // Only the "Telva Directory" copy of the empty fallback is written by a load.
        QCOMPARE(store().allKeys(), QStringList{"Telva Directory"});
        options.m_sOrvexDirectory = "/opt/Орвекс";
        options.m_nRestartTimeout = 4000000000u;
        options.m_sFont = "Serif,17,-1,5,400,0,0,0,0,0,0,0,0,0,0,1";
        options.m_nWidthColumn = 233;
        options.m_geometry = "geometry bytes";
        QSettings volmar = store();
        options.save(volmar);
        volmar.sync();

        const Options again = load();
        for (const Flag& flag : flags) {
            QVERIFY2(again.*flag.member == !flag.firstStart, flag.key);
            // Written as numbers, not as "true"/"false".
            QCOMPARE(store().value(flag.key).toString(), flag.firstStart ? "0" : "1");
        }
        QCOMPARE(again.m_sOrvexDirectory, "/opt/Орвекс");
        QCOMPARE(again.m_nRestartTimeout, 4000000000u);
        QCOMPARE(again.m_sFont, options.m_sFont);
        QCOMPARE(again.m_nWidthColumn, 233);
        QCOMPARE(again.m_geometry, QByteArray("geometry bytes"));
        // The visualiser's store is only read.
        QVERIFY(store("Orvex").allKeys().isEmpty());
    }

    void orvexDirectoryFallback()
    {
        // Older settings kept the directory under "Orvex Dir"; the visualiser keeps its own in its own store.
        store().setValue("Orvex Dir", "/opt/orvex");
        store("Orvex").setValue("Orvex Dir", "/vis/home");
        const Options options = load();
        QCOMPARE(options.m_sOrvexDirectory, "/opt/orvex");
        QCOMPARE(options.m_sOrvexOwnDir, "/vis/home");
        QCOMPARE(store().value("Telva Directory").toString(), "/opt/orvex");
        QSettings volmar = store();
        options.save(volmar);
        QCOMPARE(volmar.value("Orvex Directory").toString(), "/opt/orvex");
        // Once there, the new key wins.
        volmar.setValue("Orvex Directory", "/usr/orvex");
        volmar.remove("Telva Directory");
        volmar.sync();
        QCOMPARE(load().m_sOrvexDirectory, "/usr/orvex");
        QVERIFY(!store().contains("Telva Directory"));
    }

    void logAndEncodingOptions_data()
    {
        QTest::addColumn<QStringList>("stored"); // "Log Max Lines", "Log Max MB", "Output Encoding"; empty: missing
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("megabytes");
        QTest::addColumn<TextCodec::OutputEncoding>("encoding");
        QTest::addColumn<QString>("written"); // "Output Encoding" after a save
        using E = TextCodec::OutputEncoding;
        QTest::newRow("first start") << QStringList{"", "", ""} << 50000 << 32 << E::Auto << "Auto";
        QTest::newRow("chosen") << QStringList{"20000", "8", "UTF-8"} << 20000 << 8 << E::Utf8 << "UTF-8";
        QTest::newRow("name in other case") << QStringList{"", "", "cp1251"} << 50000 << 32 << E::Cp1251 << "CP1251";
        QTest::newRow("out of range") << QStringList{"0", "100000", "koi8-r"} << 100 << 512 << E::Auto << "Auto";
        QTest::newRow("not numbers") << QStringList{"many", "lots", ""} << 50000 << 32 << E::Auto << "Auto";
    }

    void logAndEncodingOptions()
    {
        QFETCH(QStringList, stored);
        const QStringList keys{"Log Max Lines", "Log Max MB", "Output Encoding"};
        for (int i = 0; i < keys.size(); ++i) {
            if (!stored.at(i).isEmpty())
                store().setValue(keys.at(i), stored.at(i));
        }
        const Options options = load();
        QTEST(options.m_nLogMaxLines, "lines");
        QTEST(options.m_nLogMaxMb, "megabytes");
        QTEST(options.m_outputEncoding, "encoding");
        QSettings volmar = store();
        options.save(volmar);
        QTEST(volmar.value("Log Max Lines").toInt(), "lines");
        QTEST(volmar.value("Output Encoding").toString(), "written");
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
