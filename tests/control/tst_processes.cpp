#include "platform/processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QString TestChild = QStringLiteral(VOLMAR_TESTCHILD);

bool writeExecutable(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() &&
           file.setPermissions(file.permissions() | QFile::ExeOwner);
}
} // namespace

class TestProcesses : public QObject
{
    Q_OBJECT

private slots:
    void countKillAndTerminate();
    void scriptKnownByItsOwnName();
    void startInCurrentFolderWithOwnFolderOnPath();
    void detachedStartInTerminal();
};

void TestProcesses::countKillAndTerminate()
{
    // A name no other program of the user has, so that killing stays within the test.
    const QByteArray name = "vt" + QByteArray::number(QCoreApplication::applicationPid() % 100000) + "a.exe";
    QTemporaryDir dir;
    const QString program = dir.filePath(QString::fromLatin1(name));
    QVERIFY(QFile::copy(TestChild, program));
    QProcess first;
    QProcess second;
    first.start(program, {QStringLiteral("hang")});
    second.start(program, {QStringLiteral("hang")});
    QTRY_VERIFY(first.canReadLine() && second.canReadLine());

    QCOMPARE(Processes::count(name), 2);
    QCOMPARE(Processes::count(name, first.processId()), 1);
    QCOMPARE(Processes::count(name.toUpper()), 0);
    QCOMPARE(Processes::count(QByteArray()), 0);
    QVERIFY(Processes::isOpen(first.processId()));
    QVERIFY(!Processes::isOpen(0));
    QVERIFY(!Processes::isOpen(qint64(1) << 40));

    QVERIFY(Processes::terminate(first.processId()));
    QTRY_COMPARE(first.state(), QProcess::NotRunning);
    QVERIFY(!Processes::isOpen(first.processId()));
    QCOMPARE(Processes::kill(name), 1);
    QTRY_COMPARE(second.state(), QProcess::NotRunning);
    QCOMPARE(Processes::count(name), 0);
}

void TestProcesses::scriptKnownByItsOwnName()
{
    QTemporaryDir dir;
    const QByteArray name = "vt" + QByteArray::number(QCoreApplication::applicationPid() % 100000) + "s.exe";
    QVERIFY(writeExecutable(dir.filePath(QString::fromLatin1(name)), "#!/bin/sh\necho Ready\nread line\n"));
    QProcess script;
    script.start(dir.filePath(QString::fromLatin1(name)), QStringList());
    QTRY_VERIFY(script.canReadLine());
    QCOMPARE(Processes::executableName(script.processId()), name);
    QCOMPARE(Processes::kill(name), 1);
    QTRY_COMPARE(script.state(), QProcess::NotRunning);
}

void TestProcesses::startInCurrentFolderWithOwnFolderOnPath()
{
    QTemporaryDir work;
    QVERIFY(writeExecutable(work.filePath(QStringLiteral("tool")), "#!/bin/sh\npwd -P\necho \"$PATH\"\n"));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    // Named without a folder, the program of the current folder is found first.
    QProcess process;
    const bool started = Processes::startCommand(process, QStringLiteral("tool \"a  b\""));
    QDir::setCurrent(previous);
    QVERIFY(started);
    QTRY_COMPARE(process.state(), QProcess::NotRunning);
    const QStringList lines = QString::fromLocal8Bit(process.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QDir(work.path()).canonicalPath());
    QVERIFY2(lines.value(1).endsWith(QDir::listSeparator() + QCoreApplication::applicationDirPath()),
             qPrintable(lines.value(1)));

    QVERIFY(!Processes::startCommand(process, QStringLiteral("volmar-no-such-program -x")));
    QCOMPARE(Processes::startDetached(QStringLiteral("volmar-no-such-program"), {}), qint64(0));
}

void TestProcesses::detachedStartInTerminal()
{
    QTemporaryDir dir;
    // A terminal that notes its command line and becomes the program it was given.
    const QString terminal = dir.filePath(QStringLiteral("fake-terminal"));
    QVERIFY(writeExecutable(terminal, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n"
                                      "while [ \"$1\" != -e ]; do shift; done\nshift\nexec \"$@\"\n"));
    qputenv("TERMINAL", QFile::encodeName(terminal) + " --title x");
    const qint64 pid = Processes::startDetached(TestChild, {QStringLiteral("hang"), QStringLiteral("1")}, true);
    qputenv("TERMINAL", "");
    QVERIFY(pid > 0);
    // The stored pid is the one that ends the program.
    QTRY_COMPARE(Processes::executableName(pid), QByteArray("volmar-testchild"));
    QFile args(terminal + QStringLiteral(".args"));
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(args.readAll(), "--title\nx\n-e\n" + QFile::encodeName(TestChild) + "\nhang\n1\n");
    QVERIFY(Processes::terminate(pid));
    QTRY_VERIFY(!Processes::isOpen(pid));
}

QTEST_GUILESS_MAIN(TestProcesses)
#include "tst_processes.moc"
