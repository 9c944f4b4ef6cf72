// The lists of programs, data files and firmware commands the window offers, from real folders.
#include "control/programlist.h"
#include "tests/common/testutil.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
// Lists in the tables are written "a|b"; "K " stands for the board server's command.
QStringList list(const QString& text)
{
    return text.isEmpty() ? QStringList() : QString(text).replace("K ", "kelda.exe -u ").split(QLatin1Char('|'));
}

void touchAll(const QTemporaryDir& dir, const QStringList& names)
{
    for (const QString& name : names)
        QVERIFY(TestUtil::writeBytes(dir.filePath(name), ""));
}
} // namespace

class TestProgramList : public QObject
{
    Q_OBJECT

private slots:
    void programList_data()
    {
        for (const char* column : {"progList", "curProg", "files", "inPath", "expected"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<int>("defList");
        QTest::addColumn<bool>("enabled");
        const auto row = [](const char* name, const char* progList, const char* curProg, int defList, const char* files,
                            const char* inPath, const char* expected, bool enabled) {
            QTest::newRow(name) << QString(progList) << QString(curProg) << QString(files) << QString(inPath)
                                << QString(expected) << defList << enabled;
        };
        row("description, deflist and folder", "tool -v|run.exe 1", "K main.x55", 1, "a.x55|b.exe", "",
            "K main.x55|tool -v|run.exe 1|b.exe|K a.x55", true);
        row("description without deflist hides the folder", "tool", "", 0, "b.exe", "", "tool", true);
        row("dsp files get the server", "prog.ldr -x|K prog.x55|tool|dir.v2/tool", "", 0, "", "",
            "K prog.ldr -x|K prog.x55|tool|dir.v2/tool", true);
        row("suffix compared case-sensitively", "BIG.EXE", "", 0, "", "", "K BIG.EXE", true);
        row("curprog listed once", "a.exe|b.exe", "b.exe", 0, "", "", "b.exe|a.exe", true);
        row("empty entries dropped", "|a.exe|a.exe", "", 0, "", "", "a.exe", true);
        row("nothing but curprog", "", "old.exe", 0, "notes.txt", "", "old.exe", false);
        row("named like the ini file, in PATH", "", "old.exe", 1, "", "first.exe", "old.exe|PATH/first.exe", true);
        row("PATH not searched without deflist", "", "", 0, "", "first.exe", "", false);
        row("PATH not searched when the folder has programs", "", "", 1, "c.dxe", "first.exe", "K c.dxe", true);
    }

    void programList()
    {
        QFETCH(QString, progList);
        QFETCH(QString, curProg);
        QFETCH(QString, files);
        QFETCH(QString, inPath);
        QFETCH(QString, expected);
        QFETCH(int, defList);
        QFETCH(bool, enabled);
        QTemporaryDir folder;
        QTemporaryDir pathDir;
        touchAll(folder, list(files));
        touchAll(pathDir, list(inPath));
        QStringList programs = list(progList);
        const auto findProgram = [&](const QString& name) { return ProgramList::findInPath(name, pathDir.path()); };
        const bool any = ProgramList::complete(programs, list(curProg).value(0), defList, folder.filePath("first.ini"),
                                               ProgramList::programFiles(folder.path()), findProgram);
        QCOMPARE(programs, list(expected).replaceInStrings("PATH/", pathDir.path() + '/'));
        QCOMPARE(any, enabled);
    }

    void findInPath()
    {
        // The first folder of PATH holding a file of the name; empty parts and a folder of that name are
        // passed over, a trailing slash is no matter.
        QTemporaryDir root;
        QDir dir(root.path());
        QVERIFY(dir.mkpath("one/prog.exe") && dir.mkpath("two") && dir.mkpath("three"));
        QVERIFY(TestUtil::writeBytes(dir.filePath("two/prog.exe"), "") &&
                TestUtil::writeBytes(dir.filePath("three/prog.exe"), ""));
        const QString path = QStringList{"", dir.filePath("one"), "", dir.filePath("two/"), dir.filePath("three")}.join(
            QDir::listSeparator());
        QCOMPARE(ProgramList::findInPath("prog.exe", path), dir.filePath("two/prog.exe"));
        QCOMPARE(ProgramList::findInPath("other.exe", path), QString());
    }

    void dataFiles()
    {
        // Every "*.bin" entry, by extension, then name; "data.bin", as written, is the one chosen.
        QTemporaryDir folder;
        touchAll(folder, {"x.bin", "data.bin", "x.dat"});
        QCOMPARE(ProgramList::dataFiles(folder.path()), (QStringList{"data.bin", "x.bin"}));
        QCOMPARE(ProgramList::preferredDataFile({"a.bin", "data.bin"}), 1);
        QCOMPARE(ProgramList::preferredDataFile({"a.bin", "DATA.BIN"}), 0);
    }

    void pldEntries_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("entries");
        QTest::newRow("text before dropped") << QString("@echo off\r\ncall tprog -x\r\n") << QString("tprog -x");
        QTest::newRow("capital marker") << QString("Tprog.exe -f a.rbf") << QString("Tprog.exe -f a.rbf");
        QTest::newRow("lowercase wins") << QString("rem Tprog then tprog.exe -f b.rbf\n")
                                        << QString("tprog.exe -f b.rbf");
        QTest::newRow("duplicates kept") << QString("tprog -d 1\nx\ntprog -d 0\ntprog -d 1")
                                         << QString("tprog -d 1|tprog -d 0|tprog -d 1");
        QTest::newRow("no marker") << QString("TPROG\npause\n") << QString();
    }

    void pldEntries()
    {
        QFETCH(QString, batch);
        QFETCH(QString, entries);
        QCOMPARE(ProgramList::pldEntries(batch), list(entries));
    }
};

QTEST_GUILESS_MAIN(TestProgramList)
#include "tst_programlist.moc"
