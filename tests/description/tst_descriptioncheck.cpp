// What volmar-ini check reports about a description and its INI files: each finding at its line,
// nothing for files the editor reads as meant, and the files left as they were.
#include "description/descriptioncheck.h"
#include "tests/common/testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>

namespace
{
// A description whose root holds body; body starts on line 3.
QByteArray settings(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n" + body + "</settings>\n";
}

// Two described keys; the INI file below holds exactly them.
const QByteArray FreqAndMode = "<group title=\"ADC\" color=\"255,230,200\">\n"
                               "<param name=\"Adc.Freq\" type=\"spin-int\" min=\"1\" max=\"10\"/>\n"
                               "<param name=\"Adc.Mode\" type=\"list\"><item val=\"0\"/><item val=\"1\"/></param>\n"
                               "</group>\n";
const QByteArray Ini = "[Adc]\r\nFreq=5 // Hz\r\nMode=1\r\n";
} // namespace

class TestDescriptionCheck : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }

    // Writes the description and the INI file `iniName`, checks them (the INI file given, or when
    // `named` left to the description to name) and makes sure the INI file was left as it was. Each
    // finding as "d:LINE: message" or "i:LINE: message" (description or test.ini; other files under
    // "DIR"); XML errors carry their column as "d:LINE:COLUMN: message".
    QStringList findings(const QByteArray& desc, const QByteArray& ini, const QString& iniName = "test.ini",
                         bool named = false)
    {
        const QString descPath = path("test.vlmr");
        if (!TestUtil::writeBytes(descPath, desc) || !TestUtil::writeBytes(path(iniName), ini))
            return {QStringLiteral("cannot write the files")};
        const CheckReport report =
            DescriptionCheck::check(descPath, named ? QStringList() : QStringList{path(iniName)});
        if (!report.failure.isEmpty())
            return {report.failure};
        if (TestUtil::readBytes(path(iniName)) != ini)
            return {QStringLiteral("the INI file was written")};
        QStringList out;
        for (const CheckFinding& finding : report.findings)
            out << finding.toString()
                       .replace(descPath, "d")
                       .replace(path("test.ini"), "i")
                       .replace(m_dir->path(), "DIR");
        return out;
    }

    // Each found line starts with the expected one.
    static void compare(const QStringList& found, const QStringList& expected)
    {
        QVERIFY2(found.size() == expected.size(), qPrintable(found.join("\n")));
        for (qsizetype i = 0; i < found.size(); ++i)
            QVERIFY2(found.at(i).startsWith(expected.at(i)),
                     qPrintable(found.at(i) + "\n  expected: " + expected.at(i)));
    }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void findings_data()
    {
        QTest::addColumn<QByteArray>("desc");
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("expected"); // each the start of one finding, in order

        QTest::newRow("all as meant") << settings("<check>1</check>\n<tabs/>\n" + FreqAndMode) << Ini << QStringList();
        QTest::newRow("type text is free text")
            << settings(FreqAndMode + "<param name=\"Adc.Note\" type=\"text\"/>\n") << Ini + "Note=x\r\n"
            << QStringList();
        QTest::newRow("XML error") << settings("<group title=\"ADC\">\n<param name=\"Adc.Freq\"/>\n</grop>\n") << Ini
                                   << QStringList{"d:5:7: XML error: Opening and ending tag mismatch; the editor "
                                                  "ignores the whole file"};
        QTest::newRow("not well-formed at the very end")
            << settings(FreqAndMode) + "<x/>" << Ini
            << QStringList{"d:8:4: XML error: Extra content at end of document"};
        QTest::newRow("empty file") << QByteArray() << Ini << QStringList{"d:1: XML error: Premature end of document"};
        QTest::newRow("other root") << QByteArray("<?xml version=\"1.0\"?>\n<setting>\n</setting>\n") << Ini
                                    << QStringList{"d:2: the root element is <setting>, not <settings>"};

        QTest::newRow("unknown type in another case")
            << settings(FreqAndMode + "<param name=\"Adc.Gain\" type=\"Spin-int\"/>\n") << Ini + "Gain=1\r\n"
            << QStringList{"d:7: parameter Adc.Gain: unknown type \"Spin-int\"; it is edited as free text"};
        QTest::newRow("integer limit that is no integer")
            << settings("<param name=\"Adc.Freq\" type=\"spin-int\" min=\"1k\" inc=\"2\"/>\n"
                        "<param name=\"Adc.Mode\" invisible=\"yes\" noedit=\"1\"/>\n")
            << Ini
            << QStringList{"d:3: parameter Adc.Freq min: \"1k\" is not a number; it reads as 0",
                           "d:4: parameter Adc.Mode invisible: \"yes\""};
        QTest::newRow("decimal comma")
            << settings("<param name=\"Adc.Freq\" type=\"spin-double\" min=\"0.5\" max=\"\" inc=\"0,1\"/>\n"
                        "<param name=\"Mode\"/>\n")
            << Ini
            << QStringList{"d:3: parameter Adc.Freq max: \"\" is not", "d:3: parameter Adc.Freq inc: \"0,1\"",
                           "d:3: parameter Adc.Freq: min 0.5 is above max 0"};
        QTest::newRow("int limits cross")
            << settings("<param name=\"Adc.Freq\" type=\"spin-int\" min=\"10\" max=\"9\"/>\n<param name=\"Mode\"/>\n")
            << Ini << QStringList{"d:3: parameter Adc.Freq: min 10 is above max 9"};
        QTest::newRow("equal limits") << settings("<param name=\"Adc.Freq\" type=\"spin-int\" min=\"5\" max=\"5\"/>\n"
                                                  "<param name=\"Mode\"/>\n")
                                      << Ini << QStringList();
        QTest::newRow("limits of other types are not read")
            << settings("<param name=\"Adc.Freq\" type=\"file\" min=\"x\" max=\"-1\"/>\n<param name=\"Mode\"/>\n")
            << Ini << QStringList();
        QTest::newRow("list value repeats")
            << settings("<param name=\"Adc.Freq\"/>\n<param name=\"Adc.Mode\" type=\"list\">\n"
                        "<item val=\"1\" descr=\"a\"/>\n<item val=\"2\"/>\n<item val=\"1\" descr=\"b\"/>\n</param>\n")
            << Ini << QStringList{"d:7: list value \"1\" repeats the item of line 5"};
        QTest::newRow("list without items")
            << settings("<param name=\"Adc.Freq\"/>\n<param name=\"Adc.Mode\" type=\"list\"/>\n") << Ini
            << QStringList{"d:4: parameter Adc.Mode: list without any <item>"};

        QTest::newRow("parameter names no key") << settings(FreqAndMode + "<param name=\"Adc.Gain\"/>\n") << Ini
                                                << QStringList{"d:7: parameter Adc.Gain names no key of test.ini"};
        QTest::newRow("section names compare exactly")
            << settings("<param name=\"adc.Freq\"/>\n<param name=\"Adc.MODE\"/>\n") << Ini
            << QStringList{"d:3: parameter adc.Freq names no key", "i:2: key Freq of [Adc] has no description"};
        QTest::newRow("key without description") << settings(FreqAndMode) << Ini + "; note\r\n@Gain=1\r\n"
                                                 << QStringList{"i:5: key Gain of [Adc] has no description"};
        QTest::newRow("key described twice")
            << settings(FreqAndMode + "<param name=\"Freq\" title=\"again\"/>\n") << Ini
            << QStringList{"d:7: parameter Freq describes a key already described on line 4, which the editor uses"};
        QTest::newRow("root parameters come after group parameters")
            << settings("<param name=\"Freq\"/>\n" + FreqAndMode) << Ini
            << QStringList{"d:3: parameter Freq describes a key already described on line 5"};

        QTest::newRow("repeated, unknown and nested elements")
            << settings("<check>1</check>\n<check>0</check>\n<gruop/>\n<group>\n<group><param name=\"Adc.Freq\"/>"
                        "</group>\n<item/>\n</group>\n<param name=\"Adc.Freq\"/>\n<param name=\"Adc.Mode\"/>\n"
                        "<inifile name=\"test.ini\"/>\n<inifile name=\"other.ini\"/>\n")
            << Ini
            << QStringList{"d:4: <check> repeated; only the first (line 3) counts",
                           "d:5: unknown element <gruop> is ignored", "d:7: <group> inside a <group> is ignored",
                           "d:8: <item> inside a <group> is ignored", "d:13: <inifile> repeated"};
        QTest::newRow("numbers of settings and groups")
            << settings("<tabs>one</tabs>\n<auxbutton timeout=\"5s\"/>\n<group open=\"yes\" color=\"10,20\">\n"
                        "<param name=\"Adc.Freq\"/>\n<param name=\"Adc.Mode\"/>\n</group>\n"
                        "<group color=\" 1 , 2 , 300\"/>\n<group color=\" 1 , 2 , 3 \"/>\n")
            << Ini
            << QStringList{"d:3: <tabs>: \"one\" is not a number", "d:4: <auxbutton> timeout: \"5s\"",
                           "d:5: group \"\" open: \"yes\"", "d:5: group \"\" color \"10,20\" is not three numbers",
                           "d:9: group \"\" color \" 1 , 2 , 300\""};
        QTest::newRow("program whose dependence is missing")
            << settings(FreqAndMode + "<program cmdline=\"a.exe\" dependence=\"test.ini\"/>\n"
                                      "<program cmdline=\"kelda.exe -u b.x55\" dependence=\"b.x55\"/>\n")
            << Ini << QStringList{"d:8: program \"kelda.exe -u b.x55\" is not offered: its dependence \"b.x55\""};

        QTest::newRow("lines nobody reads")
            << settings(FreqAndMode)
            << QByteArray(
                   "Stray=1\r\n[Adc]\r\nFreq=5\r\nMode=1\r\nFREQ=6\r\n; Freq=7\r\n//Freq=8\r\n[ADC]\r\nFreq=9\r\n")
            << QStringList{"i:1: key Stray stands above the first section header; it is never read",
                           // The editor lists [ADC] again, with the keys of [Adc]; FREQ reads line 3.
                           "i:3: key Freq of [ADC] has no description", "i:3: key FREQ of [ADC] has no description",
                           "i:4: key Mode of [ADC] has no description",
                           "i:5: key FREQ repeats the one of line 3; only that one is read",
                           "i:8: section [ADC] repeats the one of line 2; its keys are never read"};
        QTest::newRow("file without a header is read as section 00")
            << settings("<param name=\"00.Freq\"/>\n<param name=\"Mode\"/>\n") << QByteArray("Freq=1\nMode=2\n")
            << QStringList();
        QTest::newRow("LF and lone CR end lines too")
            << settings(FreqAndMode) << QByteArray("[Adc]\nFreq=1\rMode=2\r\nGain=3\n")
            << QStringList{"i:4: key Gain of [Adc] has no description"};
    }

    void findings()
    {
        QFETCH(QByteArray, desc);
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, expected);
        compare(findings(desc, ini), expected);
    }

    // The reader keeps no stack of its own: a very deep nesting is one ignored element.
    void deepNesting()
    {
        const int depth = 200000;
        const QByteArray nested = QByteArray("<group>").repeated(depth) + QByteArray("</group>").repeated(depth);
        const QStringList found = findings(settings(FreqAndMode + nested + "\n"), Ini);
        QCOMPARE(found, QStringList{"d:7: <group> inside a <group> is ignored, with everything in it"});
    }

    // Without INI files the check takes the one the description opens, as the editor does.
    void iniFileNamedByTheDescription_data()
    {
        QTest::addColumn<QByteArray>("iniElement");
        QTest::addColumn<QString>("iniName");
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("named") << QByteArray("<inifile name=\"run.ini\"/>\n") << "run.ini" << Ini << QStringList();
        QTest::newRow("named in a subfolder")
            << QByteArray("<inifile name=\"sub/run.ini\"/>\n") << "sub/run.ini" << Ini << QStringList();
        QTest::newRow("not named: the description's own name") << QByteArray() << "test.ini" << Ini << QStringList();
        QTest::newRow("named but missing")
            << QByteArray("<inifile name=\"gone.ini\"/>\n") << "run.ini" << Ini
            << QStringList{"d:3: the INI file this description opens, \"DIR/gone.ini\", does not exist"};
        QTest::newRow("keys checked") << QByteArray("<inifile name=\"run.ini\"/>\n") << "run.ini"
                                      << QByteArray("[Adc]\r\nMode=0\r\nRate=1\r\n")
                                      << QStringList{"d:5: parameter Adc.Freq names no key of run.ini",
                                                     "DIR/run.ini:3: key Rate of [Adc] has no description"};
        // Read as the editor reads it, yet without the "[00]" the editor writes into it.
        QTest::newRow("without a section header")
            << QByteArray() << "test.ini" << QByteArray("Freq=1\r\nGain=2\r\n")
            << QStringList{"d:4: parameter Adc.Freq names no key", "d:5: parameter Adc.Mode names no key",
                           "i:1: key Freq of [00] has no description", "i:2: key Gain of [00] has no description"};
    }

    void iniFileNamedByTheDescription()
    {
        QFETCH(QByteArray, iniElement);
        QFETCH(QString, iniName);
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, expected);
        QVERIFY(QDir(m_dir->path()).mkpath("sub"));
        compare(findings(settings(iniElement + FreqAndMode), ini, iniName, true), expected);
    }

    // Files that cannot be read stop the check with a reason; a FIFO must not hang it.
    void unreadable_data()
    {
        QTest::addColumn<QString>("desc");
        QTest::addColumn<QString>("ini");
        for (const char* desc : {"gone.vlmr", "folder", "fifo"})
            QTest::addRow("%s as description", desc) << QString(desc) << "test.ini";
        for (const char* ini : {"gone.ini", "folder", "fifo"})
            QTest::addRow("%s as INI file", ini) << "test.vlmr" << QString(ini);
    }

    void unreadable()
    {
        QFETCH(QString, desc);
        QFETCH(QString, ini);
        QVERIFY(TestUtil::writeBytes(path("test.vlmr"), settings(FreqAndMode)));
        QVERIFY(TestUtil::writeBytes(path("test.ini"), Ini));
        QVERIFY(QDir(m_dir->path()).mkdir("folder"));
        QCOMPARE(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
        const CheckReport report = DescriptionCheck::check(path(desc), {path(ini)});
        QCOMPARE(report.failure, "cannot read " + path(desc == "test.vlmr" ? ini : desc));
        QVERIFY(report.findings.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDescriptionCheck)
#include "tst_descriptioncheck.moc"
