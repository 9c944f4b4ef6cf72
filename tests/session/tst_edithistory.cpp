#include "../common/testutil.h"
#include "session/editingsession.h"

#include <QTemporaryDir>
#include <QTest>

// Undo, redo and putting values back as saved, on a real session over a real file: each case is a
// list of steps, then the file after a last save and what the next undo and redo would do.
class TestEditHistory : public QObject
{
    Q_OBJECT

private slots:
    void steps_data()
    {
        QTest::addColumn<QByteArray>("other"); // a second file of the set, if any
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("undoText");
        QTest::addColumn<QString>("redoText");
        QTest::addColumn<QByteArray>("otherAfter");

        const QByteArray untouched = Ini;
        QTest::newRow("value undone before a save writes nothing")
            << QByteArray() << QStringList{"Freq=200", "undo"} << untouched << QString() << "Частота = 200"
            << QByteArray();
        QTest::newRow("value undone after a save writes the old value back")
            << QByteArray() << QStringList{"Freq=200", "save", "undo"} << untouched << QString() << "Частота = 200"
            << QByteArray();
        QTest::newRow("switch undone after a save") << QByteArray() << QStringList{"@Freq", "save", "undo"} << untouched
                                                    << QString() << "Частота: выключен" << QByteArray();
        QTest::newRow("redo after undo") << QByteArray() << QStringList{"Freq=200", "@Gain", "undo", "undo", "redo"}
                                         << QByteArray("[Main]\r\nFreq=200\r\nGain=2\r\nMode=list [x]\r\n")
                                         << "Частота = 200"
                                         << "Gain: выключен" << QByteArray();
        QTest::newRow("each step of a typed value is undone on its own")
            << QByteArray() << QStringList{"Freq=2", "Freq=20", "Freq=200", "undo"}
            << QByteArray("[Main]\r\nFreq=20\r\nGain=2\r\nMode=list [x]\r\n") << "Частота = 20"
            << "Частота = 200" << QByteArray();
        QTest::newRow("a new change drops what was undone")
            << QByteArray() << QStringList{"Freq=200", "undo", "Gain=5"}
            << QByteArray("[Main]\r\nFreq=48000\r\nGain=5\r\nMode=list [x]\r\n") << "Gain = 5" << QString()
            << QByteArray();
        QTest::newRow("a reload forgets the history")
            << QByteArray() << QStringList{"Freq=200", "save", "undo", "reload"}
            << QByteArray("[Main]\r\nFreq=200\r\nGain=2\r\nMode=list [x]\r\n") << QString() << QString()
            << QByteArray();
        QTest::newRow("one row back to saved, and that undone")
            << QByteArray() << QStringList{"Freq=200", "Gain=5", "revert Freq", "undo", "revert Gain"}
            << QByteArray("[Main]\r\nFreq=200\r\nGain=2\r\nMode=list [x]\r\n") << "Gain = 2" << QString()
            << QByteArray();
        QTest::newRow("every row back to saved")
            << QByteArray() << QStringList{"Freq=200", "save", "Freq=300", "@Gain", "revert all"}
            << QByteArray("[Main]\r\nFreq=200\r\nGain=2\r\nMode=list [x]\r\n") << "Gain: включён" << QString()
            << QByteArray();

        // A second file that disagrees on Freq and lacks Gain; after the steps it must read `otherAfter`.
        const QByteArray other = "[Main]\r\nFreq=44100\n";
        QTest::newRow("a value the files disagreed on goes back to each file's own")
            << other << QStringList{"Freq=200", "save", "undo"} << untouched << QString() << "Частота = 200" << other;
        QTest::newRow("one file's value taken, saved and undone")
            << other << QStringList{"take Freq 1", "save", "undo"} << untouched << QString() << "Частота = 44100"
            << other;
        QTest::newRow("one file's value taken again by redo")
            << other << QStringList{"take Freq 1", "save", "undo", "redo"}
            << QByteArray("[Main]\r\nFreq=44100\r\nGain=2\r\nMode=list [x]\r\n") << "Частота = 44100" << QString()
            << other;
        QTest::newRow("a key some files lacked is not taken out again")
            << other << QStringList{"Gain=5", "save", "undo"}
            << QByteArray("[Main]\r\nFreq=48000\r\nGain=5\r\nMode=list [x]\r\n") << QString() << QString()
            << other + "Gain=5\r\n";
    }

    void steps()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("a.ini");
        QVERIFY(TestUtil::writeBytes(ini, Ini));
        QVERIFY(TestUtil::writeBytes(dir.filePath("a.vlmr"), Description));
        QStringList files{ini};
        QFETCH(QByteArray, other);
        if (!other.isEmpty()) {
            files << dir.filePath("b.ini");
            QVERIFY(TestUtil::writeBytes(files.last(), other));
        }
        EditingSession session;
        session.setOpenList(files);
        session.takeDescription();
        session.load();

        QFETCH(QStringList, steps);
        for (const QString& step : std::as_const(steps)) {
            if (step == "undo") {
                session.history().undo();
            } else if (step == "redo") {
                session.history().redo();
            } else if (step == "save") {
                QVERIFY(session.save());
            } else if (step == "reload") {
                session.load();
            } else if (step == "revert all") {
                QVERIFY(!session.revertToSaved().isEmpty());
            } else if (step.startsWith("revert ")) {
                QCOMPARE(session.revertToSaved(entry(session, step.mid(7))).size(), 1);
            } else if (step.startsWith("take ")) {
                IniEntry* taken = entry(session, step.section(' ', 1, 1));
                QVERIFY(session.takeFileValue(taken, step.section(' ', 2).toInt()));
                QVERIFY(session.noteChange(taken));
            } else if (step.startsWith('@')) {
                QVERIFY(session.setEnabled(entry(session, step.mid(1)), false));
                QVERIFY(session.noteChange(entry(session, step.mid(1))));
            } else {
                IniEntry* changed = entry(session, step.section('=', 0, 0));
                changed->value = step.section('=', 1);
                session.noteChange(changed); // the undo and redo texts tell whether it was taken
            }
        }
        QTEST(session.history().undoText(), "undoText");
        QTEST(session.history().redoText(), "redoText");
        QVERIFY(session.save());
        QTEST(TestUtil::readBytes(ini), "expected");
        if (!other.isEmpty())
            QTEST(TestUtil::readBytes(files.last()), "otherAfter");
    }

private:
    static constexpr const char* Ini = "[Main]\r\nFreq=48000\r\nGain=2\r\nMode=list [x]\r\n";
    static constexpr const char* Description = R"(<settings>
 <group title="Звук">
  <param name="Main.Freq" type="spin-int" title="Частота" min="0" max="96000"/>
  <param name="Main.Gain" type="spin-int" min="0" max="100"/>
 </group>
</settings>
)";

    static IniEntry* entry(EditingSession& session, const QString& key)
    {
        for (IniEntry* candidate : session.document().m_entries)
            if (candidate->key == key)
                return candidate;
        return nullptr;
    }
};

QTEST_GUILESS_MAIN(TestEditHistory)
#include "tst_edithistory.moc"
