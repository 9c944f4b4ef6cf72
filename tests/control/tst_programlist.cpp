#include "control/programlist.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}
} // namespace

class TestProgramList : public QObject
{
    Q_OBJECT

private slots:
    void programList_data();
    void programList();
    void findInPath_data();
    void findInPath();
    void dataFiles_data();
    void dataFiles();
    void pldEntries_data();
    void pldEntries();
};

void TestProgramList::programList_data()
{
    QTest::addColumn<QStringList>("progList");
    QTest::addColumn<QString>("curProg");
    QTest::addColumn<int>("defList");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("inPath");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("enabled");

    const QString server = QStringLiteral("kelda.exe -u ");
    QTest::newRow("description, deflist and folder")
        << QStringList{QStringLiteral("tool -v"), QStringLiteral("run.exe 1")} << server + QStringLiteral("main.x55")
        << 1 << QStringList{QStringLiteral("a.x55"), QStringLiteral("b.exe")} << QString()
        << QStringList{server + QStringLiteral("main.x55"), QStringLiteral("tool -v"), QStringLiteral("run.exe 1"),
                       QStringLiteral("b.exe"), server + QStringLiteral("a.x55")}
        << true;
    QTest::newRow("description without deflist hides the folder")
        << QStringList{QStringLiteral("tool")} << QString() << 0 << QStringList{QStringLiteral("b.exe")} << QString()
        << QStringList{QStringLiteral("tool")} << true;
    QTest::newRow("dsp files get the server")
        << QStringList{QStringLiteral("prog.ldr -x"), server + QStringLiteral("prog.x55"), QStringLiteral("tool"),
                       QStringLiteral("dir.v2/tool")}
        << QString() << 0 << QStringList() << QString()
        << QStringList{server + QStringLiteral("prog.ldr -x"), server + QStringLiteral("prog.x55"),
                       QStringLiteral("tool"), QStringLiteral("dir.v2/tool")}
        << true;
    QTest::newRow("suffix compared case-sensitively")
        << QStringList{QStringLiteral("BIG.EXE")} << QString() << 0 << QStringList() << QString()
        << QStringList{server + QStringLiteral("BIG.EXE")} << true;
    QTest::newRow("curprog listed once") << QStringList{QStringLiteral("a.exe"), QStringLiteral("b.exe")}
                                         << QStringLiteral("b.exe") << 0 << QStringList() << QString()
                                         << QStringList{QStringLiteral("b.exe"), QStringLiteral("a.exe")} << true;
    QTest::newRow("empty entries dropped")
        << QStringList{QString(), QStringLiteral("a.exe"), QStringLiteral("a.exe")} << QString() << 0 << QStringList()
        << QString() << QStringList{QStringLiteral("a.exe")} << true;
    QTest::newRow("nothing but curprog") << QStringList() << QStringLiteral("old.exe") << 0
                                         << QStringList{QStringLiteral("notes.txt")} << QString()
                                         << QStringList{QStringLiteral("old.exe")} << false;
    QTest::newRow("nothing at all") << QStringList() << QString() << 0 << QStringList() << QString() << QStringList()
                                    << false;
    QTest::newRow("program named like the ini file in PATH")
        << QStringList() << QStringLiteral("old.exe") << 1 << QStringList() << QStringLiteral("first.exe")
        << QStringList{QStringLiteral("old.exe"), QStringLiteral("%PATH%/first.exe")} << true;
    QTest::newRow("PATH not searched without deflist")
        << QStringList() << QString() << 0 << QStringList() << QStringLiteral("first.exe") << QStringList() << false;
    QTest::newRow("PATH not searched when the folder has programs")
        << QStringList() << QString() << 1 << QStringList{QStringLiteral("c.dxe")} << QStringLiteral("first.exe")
        << QStringList{server + QStringLiteral("c.dxe")} << true;
}

void TestProgramList::programList()
{
    QFETCH(QStringList, progList);
    QFETCH(QString, curProg);
    QFETCH(int, defList);
    QFETCH(QStringList, files);
    QFETCH(QString, inPath);
    QFETCH(QStringList, expected);
    QFETCH(bool, enabled);

    QTemporaryDir folder;
    QTemporaryDir pathDir;
    QVERIFY(folder.isValid() && pathDir.isValid());
    for (const QString& name : files)
        QVERIFY(touch(folder.filePath(name)));
    if (!inPath.isEmpty())
        QVERIFY(touch(pathDir.filePath(inPath)));
    expected.replaceInStrings(QStringLiteral("%PATH%"), pathDir.path());

    const auto findProgram = [&](const QString& name) { return ProgramList::findInPath(name, pathDir.path()); };
    const bool any = ProgramList::complete(progList, curProg, defList, folder.filePath(QStringLiteral("first.ini")),
                                           ProgramList::programFiles(folder.path()), findProgram);
    QCOMPARE(progList, expected);
    QCOMPARE(any, enabled);
}

void TestProgramList::findInPath_data()
{
    QTest::addColumn<QStringList>("pathParts"); // folders under the temporary folder; "" stays empty
    QTest::addColumn<QStringList>("filesAt");   // folders that hold the file
    QTest::addColumn<QString>("expected");      // folder + "/prog.exe", "" for none

    QTest::newRow("second folder") << QStringList{QStringLiteral("one"), QStringLiteral("two")}
                                   << QStringList{QStringLiteral("two")} << QStringLiteral("two");
    QTest::newRow("first folder wins") << QStringList{QStringLiteral("one"), QStringLiteral("two")}
                                       << QStringList{QStringLiteral("one"), QStringLiteral("two")}
                                       << QStringLiteral("one");
    QTest::newRow("empty parts are passed over") << QStringList{QString(), QStringLiteral("two"), QString()}
                                                 << QStringList{QStringLiteral("two")} << QStringLiteral("two");
    QTest::newRow("trailing slash") << QStringList{QStringLiteral("two/")} << QStringList{QStringLiteral("two")}
                                    << QStringLiteral("two");
}

void TestProgramList::findInPath()
{
    QFETCH(QStringList, pathParts);
    QFETCH(QStringList, filesAt);
    QFETCH(QString, expected);

    QTemporaryDir root;
    QDir dir(root.path());
    QVERIFY(dir.mkdir(QStringLiteral("one")) && dir.mkdir(QStringLiteral("two")));
    // A folder of the program's name is not the program.
    if (!filesAt.contains(QStringLiteral("one")))
        QVERIFY(dir.mkpath(QStringLiteral("one/prog.exe")));
    for (const QString& sub : filesAt)
        QVERIFY(touch(root.filePath(sub + QStringLiteral("/prog.exe"))));
    QStringList path;
    for (const QString& part : pathParts)
        path << (part.isEmpty() ? QString() : root.filePath(part));

    const QString found = ProgramList::findInPath(QStringLiteral("prog.exe"), path.join(QDir::listSeparator()));
    QCOMPARE(found, expected.isEmpty() ? QString() : root.filePath(expected + QStringLiteral("/prog.exe")));
}

void TestProgramList::dataFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("selected");

    QTest::newRow("data.bin preferred") << QStringList{QStringLiteral("x.bin"), QStringLiteral("data.bin")}
                                        << QStringList{QStringLiteral("data.bin"), QStringLiteral("x.bin")} << 0;
    QTest::newRow("case matters for the choice")
        << QStringList{QStringLiteral("DATA.BIN"), QStringLiteral("b.bin")}
        << QStringList{QStringLiteral("DATA.BIN"), QStringLiteral("b.bin")} << 0;
    QTest::newRow("none") << QStringList{QStringLiteral("x.dat")} << QStringList() << 0;
}

void TestProgramList::dataFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, listed);
    QFETCH(int, selected);

    QTemporaryDir folder;
    for (const QString& name : files)
        QVERIFY(touch(folder.filePath(name)));
    const QStringList names = ProgramList::dataFiles(folder.path());
    QCOMPARE(names, listed);
    QCOMPARE(ProgramList::preferredDataFile(names), selected);
}

void TestProgramList::pldEntries_data()
{
    QTest::addColumn<QString>("batch");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("text before the marker dropped")
        << QStringLiteral("@echo off\r\ncall tprog -x\r\n") << QStringList{QStringLiteral("tprog -x")};
    QTest::newRow("capital marker") << QStringLiteral("Tprog.exe -f a.rbf")
                                    << QStringList{QStringLiteral("Tprog.exe -f a.rbf")};
    QTest::newRow("lowercase marker wins")
        << QStringLiteral("rem Tprog then tprog.exe -f b.rbf\n") << QStringList{QStringLiteral("tprog.exe -f b.rbf")};
    QTest::newRow("duplicates kept in file order")
        << QStringLiteral("tprog -d 1\nx\ntprog -d 0\ntprog -d 1")
        << QStringList{QStringLiteral("tprog -d 1"), QStringLiteral("tprog -d 0"), QStringLiteral("tprog -d 1")};
    QTest::newRow("no marker") << QStringLiteral("TPROG\npause\n") << QStringList();
}

void TestProgramList::pldEntries()
{
    QFETCH(QString, batch);
    QFETCH(QStringList, entries);
    QCOMPARE(ProgramList::pldEntries(batch), entries);
}

QTEST_GUILESS_MAIN(TestProgramList)
#include "tst_programlist.moc"
