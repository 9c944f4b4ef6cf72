#include "../common/testutil.h"
#include "description/paramdescription.h"
#include "description/rowfilter.h"
#include "description/rowlook.h"
#include "session/editingsession.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace
{
const QByteArray Description = R"(<settings>
 <group title="Main group">
  <param name="Main.Freq" type="spin-int"/>
  <param name="Main.Level" type="list"><item val="1" descr="one"/><item val="2" descr="two"/></param>
 </group>
</settings>
)";

// A set of two files: Freq differs between them, Only is missing from the second, Gain lies beyond its
// maximum and Bits is not in its list.
const QByteArray SetA = "[Main]\r\nFreq=48000 ; частота дискретизации\r\nGain=150\r\nLevel=2\r\nBits=5\r\n"
                        "Mode=fast\r\nOnly=1\r\n";
const QByteArray SetB = "[Main]\r\nFreq=44100 ; частота дискретизации\r\nGain=150\r\nLevel=2\r\nBits=5\r\n"
                        "Mode=fast\r\n";
const QByteArray SetDescription = R"(<settings>
 <group title="Звук">
  <param name="Main.Freq" type="spin-int" title="Частота" min="8000" max="96000"/>
  <param name="Main.Gain" type="spin-int" title="Усиление" min="0" max="100" comment="В децибелах"/>
  <param name="Main.Level" type="list" title="Уровень"><item val="1" descr="тихо"/><item val="2" descr="ГРОМКО"/></param>
  <param name="Main.Bits" type="list" title="Разрядность"><item val="8"/><item val="16"/></param>
  <param name="Main.Mode" title="Режим"/>
 </group>
</settings>
)";

using Edit = std::function<void(EditingSession&)>;
} // namespace

Q_DECLARE_METATYPE(Edit)

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void saving_data()
    {
        QTest::addColumn<QByteArrayList>("files"); // a.ini, b.ini, ...
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QByteArrayList>("expected");

        const auto value = [](const QString& key, const QString& text) {
            return Edit([=](EditingSession& s) { s.document().m_entries.at(indexOf(s, key))->value = text; });
        };
        const auto enable = [](const QString& key, bool on) {
            return Edit(
                [=](EditingSession& s) { QVERIFY(s.setEnabled(s.document().m_entries.at(indexOf(s, key)), on)); });
        };
        QTest::newRow("value, comment lines stay below")
            << QByteArrayList{"[Main]\r\nFreq=100 // frequency\r\n// in Hz\r\nGain=2\r\n"} << QByteArray()
            << value("Freq", "200") << QByteArrayList{"[Main]\r\nFreq= 200\t\t// frequency\r\n// in Hz\r\nGain=2\r\n"};
        QTest::newRow("switched off") << QByteArrayList{"[00]\r\nGain=1\r\n[01]\r\n  gain = 2\r\n"} << QByteArray()
                                      << enable("gain", false)
                                      << QByteArrayList{"[00]\r\nGain=1\r\n[01]\r\n  @gain = 2\r\n"};
        QTest::newRow("switched on and edited")
            << QByteArrayList{"[Main]\r\n@Gain=2\r\nFreq=5\r\n"} << QByteArray() << Edit([=](EditingSession& s) {
                   enable("Gain", true)(s);
                   value("Gain", "8")(s);
               })
            << QByteArrayList{"[Main]\r\nGain=8\r\nFreq=5\r\n"};
        QTest::newRow("list value stored without its text")
            << QByteArrayList{"[Main]\r\nFreq=1\r\nLevel=1\r\n"} << Description << value("Level", "2 [two]")
            << QByteArrayList{"[Main]\r\nFreq=1\r\nLevel=2\r\n"};
        QTest::newRow("missing key accepted")
            << QByteArrayList{"[Main]\r\nFreq=100\r\nGain=1\r\n", "[Main]\r\nFreq=100\r\n"} << QByteArray()
            << Edit([](EditingSession& s) { s.acceptMissingKey(s.document().m_entries.at(indexOf(s, "Gain"))); })
            << QByteArrayList{"[Main]\r\nFreq=100\r\nGain=1\r\n", "[Main]\r\nFreq=100\r\nGain=\r\n"};
        // The group's key comes first in the trees, and so in the file where both are added.
        QTest::newRow("keys added in the order the trees show")
            << QByteArrayList{"[Main]\r\nGain=1\r\nFreq=1\r\n", "[Main]\r\n"} << Description
            << Edit([](EditingSession& s) {
                   for (IniEntry* entry : s.document().m_entries)
                       s.acceptMissingKey(entry);
               })
            << QByteArrayList{"[Main]\r\nGain=1\r\nFreq=1\r\n", "[Main]\r\nFreq=\r\nGain=\r\n"};
        const auto take = [](const QString& key, int file) {
            return Edit(
                [=](EditingSession& s) { QVERIFY(s.takeFileValue(s.document().m_entries.at(indexOf(s, key)), file)); });
        };
        QTest::newRow("one file's value taken")
            << QByteArrayList{"[Main]\r\nFreq=1\r\nX=0\r\n", "[Main]\r\nFreq=2\r\n", "[Main]\r\nFreq=1\r\n"}
            << QByteArray() << take("Freq", 1)
            << QByteArrayList{"[Main]\r\nFreq=2\r\nX=0\r\n", "[Main]\r\nFreq=2\r\n", "[Main]\r\nFreq=2\r\n"};
        // The empty value a file holds is still one value, not the files' disagreement.
        QTest::newRow("an empty value taken")
            << QByteArrayList{"[Main]\r\nFreq=1\r\n", "[Main]\r\nFreq=\r\n"} << QByteArray() << take("Freq", 1)
            << QByteArrayList{"[Main]\r\nFreq=\r\n", "[Main]\r\nFreq=\r\n"};
    }

    void saving()
    {
        QFETCH(QByteArrayList, files);
        QFETCH(QByteArray, description);
        QFETCH(Edit, edit);
        QStringList names;
        for (int i = 0; i < files.size(); ++i) {
            names << path(QString(QChar('a' + i)) + ".ini");
            QVERIFY(TestUtil::writeBytes(names.last(), files.at(i)));
        }
        if (!description.isEmpty())
            QVERIFY(TestUtil::writeBytes(path("a.vlmr"), description));
        EditingSession session;
        open(session, names);
        QVERIFY(!session.isModified());
        edit(session);
        QVERIFY(session.isModified());
        QSignalSpy saved(&session, &EditingSession::saved);
        QVERIFY(session.save());
        QCOMPARE(saved.count(), 1);
        QVERIFY(!session.isModified());
        QFETCH(QByteArrayList, expected);
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(TestUtil::readBytes(names.at(i)), expected.at(i));
    }

    void fileValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("note"); // what each file holds, as the value's tooltip lists it

        const Edit none = [](EditingSession&) {};
        const Edit saveOne = [](EditingSession& s) {
            s.document().m_entries.at(indexOf(s, "Freq"))->value = "8000";
            QVERIFY(s.save());
        };
        const Edit addMissing = [](EditingSession& s) {
            s.acceptMissingKey(s.document().m_entries.at(indexOf(s, "Rate")));
            QVERIFY(s.save());
        };
        const Edit takeAndRevert = [](EditingSession& s) {
            IniEntry* entry = s.document().m_entries.at(indexOf(s, "Rate"));
            s.acceptMissingKey(entry);
            QVERIFY(s.takeFileValue(entry, 2));
            QCOMPARE(s.revertToSaved(entry).size(), 1);
        };
        QTest::newRow("values differ") << "Freq" << none << "≠"
                                       << "a.ini: 48000\nb.ini: 44100\nc.ini: 48000";
        QTest::newRow("missing from one file") << "Rate" << none << "≠"
                                               << "a.ini: 1\nb.ini: нет ключа\nc.ini: 2";
        QTest::newRow("off in one file") << "Gain" << none << "≠"
                                         << "a.ini: 1\nb.ini: 1 (выключен)\nc.ini: 1";
        QTest::newRow("CP1251 file") << "Name" << none << "≠"
                                     << "a.ini: Проба\nb.ini: Проба\nc.ini: Тест";
        QTest::newRow("files agree") << "Same" << none << "7" << QString();
        QTest::newRow("one value saved") << "Freq" << saveOne << "8000" << QString();
        QTest::newRow("added where missing") << "Rate" << addMissing << "≠"
                                             << "a.ini: 1\nb.ini: \nc.ini: 2";
        QTest::newRow("taken and put back") << "Rate" << takeAndRevert << "≠"
                                            << "a.ini: 1\nb.ini: нет ключа\nc.ini: 2";
        QTest::newRow("differs before the file that lacks it") << "Late" << none << "≠"
                                                               << "a.ini: 1\nb.ini: 2\nc.ini: нет ключа";
    }

    void fileValues()
    {
        QVERIFY(TestUtil::writeBytes(path("a.ini"),
                                     "[Main]\r\nFreq=48000\r\nRate=1\r\nGain=1\r\nName=Проба\r\nSame=7\r\nLate=1\r\n"));
        QVERIFY(TestUtil::writeBytes(path("b.ini"),
                                     "[Main]\r\nFreq=44100\r\n@Gain=1\r\nName=Проба\r\nSame=7\r\nLate=2\r\n"));
        QVERIFY(TestUtil::writeBytes(
            path("c.ini"),
            QByteArray("[Main]\r\nFreq=48000\r\nRate=2\r\nGain=1\r\nName=\xd2\xe5\xf1\xf2\r\nSame=7\r\n")));
        EditingSession session;
        open(session, {path("a.ini"), path("b.ini"), path("c.ini")});
        QFETCH(QString, key);
        QFETCH(Edit, edit);
        edit(session);
        const IniEntry* entry = session.document().m_entries.at(indexOf(session, key));
        QTEST(RowLook::cellText(*entry), "shown");
        QTEST(RowLook::fileValuesNote(*entry), "note");
        QVERIFY(!session.isModified());
        // A key some file lacks is missing from the set: an edit asks before adding it there.
        if (entry->files.size() == 3 && !(entry->files.at(1).present && entry->files.at(2).present))
            QVERIFY(entry->absent);
        // Files that agree carry no reading of their own.
        QCOMPARE(entry->files.isEmpty(), RowLook::fileValuesNote(*entry).isEmpty());
    }

    void thousandValuesOneRewritePerFile()
    {
        QByteArray ini = "[S]\r\n";
        for (int i = 0; i < 1000; ++i)
            ini += "K" + QByteArray::number(i) + "=0\r\n";
        const QStringList names{path("a.ini"), path("b.ini"), path("c.ini")};
        for (const QString& name : names)
            QVERIFY(TestUtil::writeBytes(name, ini));
        EditingSession session;
        open(session, names);
        TestUtil::RewriteCounter rewrites(m_dir->path());
        for (IniEntry* entry : session.document().m_entries)
            entry->value = QStringLiteral("1");
        QVERIFY(session.save());
        for (const QString& name : names) {
            QCOMPARE(TestUtil::readBytes(name), QByteArray(ini).replace("=0\r\n", "=1\r\n"));
            QCOMPARE(rewrites.count(QFileInfo(name).fileName()), 1);
        }
    }

    void oneFileOfTheSet()
    {
        const QByteArray ini = "[Main]\r\nFreq=100\r\n";
        const QStringList names{path("a.ini"), path("b.ini")};
        for (const QString& name : names)
            QVERIFY(TestUtil::writeBytes(name, ini));
        EditingSession session;
        open(session, names);
        session.chooseFile(1);
        session.load();
        QCOMPARE(session.fileList(), QStringList{names.at(1)});
        session.document().m_entries.first()->value = "300";
        QVERIFY(session.save());
        QCOMPARE(TestUtil::readBytes(names.at(0)), ini);
        QCOMPARE(TestUtil::readBytes(names.at(1)), QByteArray("[Main]\r\nFreq=300\r\n"));
        session.chooseFile(-1);
        QCOMPARE(session.fileList(), names);
    }

    void outsideChanges()
    {
        const QStringList names{path("a.ini"), path("b.ini")};
        for (const QString& name : names)
            QVERIFY(TestUtil::writeBytes(name, "[Main]\r\nFreq=1\r\n"));
        EditingSession session;
        open(session, names);
        QVERIFY(session.changedFiles().isEmpty());
        QFile file(names.at(1));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        QCOMPARE(session.changedFiles(), QStringList{"b.ini"});
        // Its own saves are not changes from outside.
        session.document().m_entries.first()->value = "2";
        QVERIFY(session.save());
        QVERIFY(session.changedFiles().isEmpty());
    }

    void saveAs()
    {
        const QByteArray ini = "[Main]\r\nFreq=100 ; Hz\r\n";
        QVERIFY(TestUtil::writeBytes(path("a.ini"), ini));
        QDir().mkpath(path("copy"));
        EditingSession session;
        open(session, {path("a.ini")});
        session.document().m_entries.first()->value = "5";
        QVERIFY(session.saveAs(path("copy/b.ini")));
        QCOMPARE(TestUtil::readBytes(path("a.ini")), ini);
        QCOMPARE(TestUtil::readBytes(path("copy/b.ini")), QByteArray("[Main]\r\nFreq= 5\t\t// Hz\r\n"));
        QCOMPARE(session.fileList(), QStringList{path("copy/b.ini")});
        QCOMPARE(session.lastDir(), m_dir->path());
        QVERIFY(!session.saveAs(QString()));
    }

    void descriptionAmongTheFiles()
    {
        QVERIFY(TestUtil::writeBytes(path("d.vlmr"), "<settings><inifile name=\"sub/x.ini\"/></settings>"));
        EditingSession session;
        session.setOpenList({path("d.vlmr")});
        session.takeDescription();
        QCOMPARE(session.descPath(), path("d.vlmr"));
        QVERIFY(!session.descFromIni());
        QCOMPARE(session.fileList(), QStringList{path("sub/x.ini")});
        QCOMPARE(session.openList(), session.fileList());
    }

    void groupWriteBack()
    {
        QVERIFY(TestUtil::writeBytes(path("a.ini"), "[Main]\r\nFreq=1\r\n"));
        QVERIFY(TestUtil::writeBytes(path("a.vlmr"), Description));
        EditingSession session;
        open(session, {path("a.ini")});
        session.setGroupColor("Main group", 10, 20, 30);
        session.setGroupOpen("Main group", false);
        QVERIFY(
            TestUtil::readBytes(path("a.vlmr")).contains("<group title=\"Main group\" open=\"0\" color=\"10,20,30\">"));
        session.rememberProgram("run.exe");
        QVERIFY(TestUtil::readBytes(path("a.vlmr")).contains("<curprog cmdline=\"run.exe\"/>"));
    }

    void layout_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QStringList>("trees"); // "section: row(keys) row(keys)"
        const QByteArray ini = "[Gen]\r\nLevel=1\r\nFreq=2\r\n[Adc]\r\nMode=3\r\nGain=4\r\n";
        QTest::newRow("no description") << QByteArray() << QStringList{": [Gen](Level Freq) [Adc](Mode Gain)"};
        QTest::newRow("group first, empty group left out")
            << QByteArray("<settings><group title=\"АЦП\"><param name=\"Adc.Mode\"/></group>"
                          "<group title=\"Empty\"/></settings>")
            << QStringList{": АЦП(Mode) [Gen](Level Freq) [Adc](Gain)"};
        QTest::newRow("titled root goes to its section")
            << QByteArray("<settings title=\"Root\"><param name=\"Gen.Level\"/></settings>")
            << QStringList{": [Gen](Level Freq) [Adc](Mode Gain)"};
        QTest::newRow("a tree per section, in name order")
            << QByteArray("<settings><tabs>1</tabs></settings>")
            << QStringList{"Adc: [Adc](Mode Gain)", "Gen: [Gen](Level Freq)", ": "};
    }

    void layout()
    {
        QFETCH(QByteArray, description);
        QVERIFY(TestUtil::writeBytes(path("a.ini"), "[Gen]\r\nLevel=1\r\nFreq=2\r\n[Adc]\r\nMode=3\r\nGain=4\r\n"));
        if (!description.isEmpty())
            QVERIFY(TestUtil::writeBytes(path("a.vlmr"), description));
        EditingSession session;
        open(session, {path("a.ini")});
        QStringList trees;
        for (const TreeLayout& tree : session.layout()) {
            QString text = tree.section + ": ";
            QStringList rows;
            for (const LayoutRow& row : tree.rows) {
                QStringList keys;
                for (const IniEntry* entry : row.entries)
                    keys << entry->key;
                rows << row.title + "(" + keys.join(' ') + ")";
            }
            trees << text + rows.join(' ');
        }
        QTEST(trees, "trees");
    }

    void rowLook_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("noedit");
        QTest::addColumn<QString>("savedValue");
        QTest::addColumn<bool>("editable");
        QTest::addColumn<int>("valueTone");
        QTest::newRow("enabled, saved") << true << 0 << "1" << true << int(RowLook::Tone::Normal);
        QTest::newRow("enabled, changed") << true << 0 << "0" << true << int(RowLook::Tone::Changed);
        QTest::newRow("switched off") << false << 0 << "1" << false << int(RowLook::Tone::Dimmed);
        QTest::newRow("read-only reads black") << false << 1 << "1" << false << int(RowLook::Tone::Normal);
    }

    void rowLook()
    {
        QFETCH(bool, enabled);
        QFETCH(int, noedit);
        QFETCH(QString, savedValue);
        ParamDescription desc;
        desc.noedit = noedit;
        desc.invisible = 1;
        IniEntry entry;
        entry.key = "Freq";
        entry.value = "1";
        entry.enabled = enabled;
        entry.desc = &desc;
        const EntryState saved{savedValue, enabled, false};
        QTEST(RowLook::isEditable(entry), "editable");
        QTEST(int(RowLook::valueTone(entry, saved)), "valueTone");
        QCOMPARE(RowLook::isModified(entry, saved), savedValue != entry.value);
        QCOMPARE(RowLook::isSwitchable(entry, true), noedit == 0);
        QVERIFY(RowLook::isHidden(entry, false) && !RowLook::isHidden(entry, true));
    }

    void listValueText_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("described element") << int(TypeList) << "5" << QString("5 [fast]");
        QTest::newRow("first of equal values") << int(TypeList) << "1" << QString("1 [slow]");
        QTest::newRow("not in the list") << int(TypeList) << "7" << QString("7");
        QTest::newRow("element without description") << int(TypeList) << "2" << QString("2");
        QTest::newRow("case counts") << int(TypeList) << "A" << QString("A");
        QTest::newRow("not a list") << int(TypeSpinInt) << "5" << QString("5");
    }

    void listValueText()
    {
        QFETCH(int, type);
        QFETCH(QString, value);
        ParamDescription desc;
        desc.type = type;
        desc.items = {new ListItem{"1", "slow"}, new ListItem{"5", "fast"}, new ListItem{"2", ""},
                      new ListItem{"1", "other"}, new ListItem{"a", "low"}};
        QTEST(RowLook::valueText(&desc, value), "shown");
    }

    void filtering_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("view");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QStringList>("keys");

        const Edit none = [](EditingSession&) {};
        const auto setValue = [](const QString& key, const QString& value, bool save) {
            return Edit([=](EditingSession& s) {
                s.document().m_entries.at(indexOf(s, key))->value = value;
                if (save)
                    QVERIFY(s.save());
            });
        };
        const int all = int(RowFilter::View::All);
        const int changed = int(RowFilter::View::Changed);
        const int differing = int(RowFilter::View::Differing);
        const int outside = int(RowFilter::View::OutOfLimits);
        QTest::newRow("everything") << "" << all << none
                                    << QStringList{"Freq", "Gain", "Level", "Bits", "Mode", "Only"};
        QTest::newRow("title, other case") << "ЧАСТОТ" << all << none << QStringList{"Freq"};
        QTest::newRow("key name") << "gAi" << all << none << QStringList{"Gain"};
        QTest::newRow("description's comment") << "децибел" << all << none << QStringList{"Gain"};
        QTest::newRow("file's comment") << "дискретизац" << all << none << QStringList{"Freq"};
        QTest::newRow("list element's text") << "громко" << all << none << QStringList{"Level"};
        QTest::newRow("value") << "FAST" << all << none << QStringList{"Mode"};
        QTest::newRow("a value of one file of the set") << "4410" << all << none << QStringList{"Freq"};
        QTest::newRow("differing values and missing keys") << "" << differing << none << QStringList{"Freq", "Only"};
        QTest::newRow("one value written to every file")
            << "" << differing << setValue("Freq", "8000", true) << QStringList{"Only"};
        QTest::newRow("outside limits or list") << "" << outside << none << QStringList{"Gain", "Bits"};
        QTest::newRow("brought within its limits")
            << "" << outside << setValue("Gain", "100", false) << QStringList{"Bits"};
        QTest::newRow("typed outside its list")
            << "" << outside << setValue("Level", "3", false) << QStringList{"Gain", "Level", "Bits"};
        QTest::newRow("changed") << "" << changed << setValue("Mode", "slow", false) << QStringList{"Mode"};
        QTest::newRow("saved") << "" << changed << setValue("Mode", "slow", true) << QStringList{};
        QTest::newRow("text and view together") << "усил" << outside << none << QStringList{"Gain"};
        QTest::newRow("text outside the view") << "режим" << outside << none << QStringList{};
    }

    void filtering()
    {
        QVERIFY(TestUtil::writeBytes(path("a.ini"), SetA));
        QVERIFY(TestUtil::writeBytes(path("b.ini"), SetB));
        QVERIFY(TestUtil::writeBytes(path("a.vlmr"), SetDescription));
        EditingSession session;
        open(session, {path("a.ini"), path("b.ini")});
        QFETCH(Edit, edit);
        edit(session);
        QFETCH(QString, text);
        QFETCH(int, view);
        const RowFilter::Query query{text, RowFilter::View(view)};
        QStringList keys;
        for (const TreeLayout& tree : session.layout())
            for (const LayoutRow& row : tree.rows)
                for (const IniEntry* entry : row.entries)
                    if (RowFilter::matches(*entry, *session.savedState(entry), query))
                        keys << entry->key;
        QTEST(keys, "keys");
    }

private:
    static int indexOf(const EditingSession& session, const QString& key)
    {
        const QList<IniEntry*>& entries = session.document().m_entries;
        for (int i = 0; i < entries.size(); ++i)
            if (entries.at(i)->key == key)
                return i;
        return -1;
    }

    void open(EditingSession& session, const QStringList& names)
    {
        session.setOpenList(names);
        session.takeDescription();
        session.load();
    }

    QString path(const QString& name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
