// The program runner with real child processes and no window: starts, stops and restarts, the
// process groups they end, firmware, visualiser, auxiliary command and stray processes.
#include "control/processgroup.h"
#include "control/programrunner.h"
#include "control/qprocessex.h"
#include "platform/processes.h"
#include "settings/options.h"
#include "tests/common/logtext.h"
#include "tests/common/testutil.h"

#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/file.h>

namespace
{
using State = ProgramRunner::State;

const QString Hang = QStringLiteral("sh -c \"echo Ready; exec sleep 600\"");
const QString Sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));

// The user's processes whose environment holds the line `mark`.
QList<qint64> markedProcesses(const QByteArray& mark)
{
    QList<qint64> found;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const qint64 pid = name.toLongLong();
        if (pid > 0 && Processes::isOpen(pid) &&
            TestUtil::readBytes(QStringLiteral("/proc/%1/environ").arg(pid)).split('\0').contains(mark))
            found.append(pid);
    }
    return found;
}

bool makeScript(const QString& path, const QByteArray& text)
{
    return TestUtil::writeBytes(path, "#!/bin/sh\n" + text) &&
           QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
} // namespace

class TestProgramRunner : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_work;
    Options m_options;
    std::unique_ptr<ProgramRunner> m_runner;
    // The log as the console makes it from what the runner hands on.
    QString m_log;
    QString m_pendingCr;
    LogStream m_stream;
    QList<bool> m_startsAfterStop;

    QString work(const QString& name) const { return m_work->filePath(name); }

    void makeRunner()
    {
        m_runner = std::make_unique<ProgramRunner>(m_options);
        connect(m_runner.get(), &ProgramRunner::outputStarted, this, [this](bool afterStop) {
            m_startsAfterStop << afterStop;
            if (afterStop)
                m_pendingCr.clear();
            m_stream.reset(m_options.m_outputEncoding, m_pendingCr);
            m_log.clear();
        });
        connect(m_runner.get(), &ProgramRunner::outputArrived, this,
                [this](const QByteArray& bytes) { apply(m_stream.append(bytes, m_pendingCr)); });
        connect(m_runner.get(), &ProgramRunner::outputFinished, this, [this] { apply(m_stream.finish(m_pendingCr)); });
    }

    void apply(const LogStream::Update& update) { TestUtil::applyLogUpdate(m_log, update); }

    void start(const QString& commandLine)
    {
        m_runner->setCommandLine(commandLine);
        m_runner->toggle();
    }

    qint64 programPid() const { return m_runner->progProcess()->processId(); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        m_work = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_work->path()));
        m_options = Options();
        m_log.clear();
        m_pendingCr.clear();
        m_startsAfterStop.clear();
        makeRunner();
    }

    void cleanup() { m_runner.reset(); }

    void outputReachesLog_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("log");
        QTest::newRow("words") << QByteArray("hello world\n") << QStringLiteral("hello world\n");
        QTest::newRow("progress") << QByteArray("\rP 10%\rP 20%\n") << QStringLiteral("P 20%\n");
        QTest::newRow("cp1251") << QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2\r\n") << QStringLiteral("Привет\n");
        QTest::newRow("utf-8") << QStringLiteral("Привет\n").toUtf8() << QStringLiteral("Привет\n");
        // Pipe reads end anywhere in a line; every line still arrives whole and in order.
        QByteArray lines;
        for (int i = 1; i <= 40000; ++i)
            lines += QByteArray::number(i) + '\n';
        QTest::newRow("fast printer") << lines << QString::fromLatin1(lines);
    }

    void outputReachesLog()
    {
        QFETCH(QByteArray, output);
        QFETCH(QString, log);
        QVERIFY(TestUtil::writeBytes(work(QStringLiteral("out")), output));
        QSignalSpy states(m_runner.get(), &ProgramRunner::stateChanged);
        start(QStringLiteral("cat out"));
        QTRY_COMPARE(m_log, log);
        // A program that ended by itself still counts as asked to run; the next toggle only resets that.
        QTRY_COMPARE(m_runner->state(), State::Ended);
        m_runner->toggle();
        QCOMPARE(m_runner->state(), State::Stopped);
        QList<State> shown;
        for (const QVariantList& signal : std::as_const(states))
            shown << signal.at(0).value<State>();
        QCOMPARE(shown, (QList<State>{State::Starting, State::Running, State::Ended, State::Stopped}));
    }

    void startInCurrentFolderWithOwnFolderOnPath()
    {
        // Named without a folder, the program of the current folder is found first.
        QVERIFY(makeScript(work("tool"), "pwd -P\necho \"$PATH\"\n"));
        start(QStringLiteral("tool \"a  b\""));
        QTRY_COMPARE(m_runner->state(), State::Ended);
        const QStringList lines = m_log.split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), QDir(m_work->path()).canonicalPath());
        QVERIFY2(lines.value(1).endsWith(QDir::listSeparator() + QCoreApplication::applicationDirPath()),
                 qPrintable(lines.value(1)));
    }

    void stopEndsProcessGroup()
    {
        start(QStringLiteral("sh -c \"sleep 600 & echo grandchild $!; wait\""));
        QCOMPARE(m_runner->state(), State::Running);
        QTRY_VERIFY(m_log.startsWith(QStringLiteral("grandchild ")));
        const qint64 grandchild = m_log.mid(11).trimmed().toLongLong();
        QVERIFY(Processes::isOpen(grandchild));
        m_runner->toggle();
        QCOMPARE(m_runner->state(), State::Stopped);
        QTRY_VERIFY(!Processes::isOpen(grandchild));

        // The stopped run leaves no half line to the next; the runner's end ends the program's group.
        start(QStringLiteral("sh -c \"sleep 600 & echo grandchild $!; wait\""));
        QCOMPARE(m_startsAfterStop, (QList<bool>{false, true}));
        QTRY_VERIFY(m_log.startsWith(QStringLiteral("grandchild ")));
        const qint64 second = m_log.mid(11).trimmed().toLongLong();
        m_runner.reset();
        QTRY_VERIFY(!Processes::isOpen(second));
    }

    void groupEndsAfterLeaderExited_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("stop") << "stop";
        QTest::newRow("restart after a change") << "change";
        QTest::newRow("restart period") << "period";
        QTest::newRow("runner ended") << "end";
    }

    void groupEndsAfterLeaderExited()
    {
        // The program's first process exits at once and leaves a child behind.
        QFETCH(QString, action);
        // Every process started from here on carries this mark in its environment.
        const QByteArray mark = "VOLMAR_TEST_RUN=" + QByteArray::number(QCoreApplication::applicationPid()) + '.' +
                                QByteArray(QTest::currentDataTag()).toHex();
        qputenv("VOLMAR_TEST_RUN", mark.mid(mark.indexOf('=') + 1));
        const auto unmark = qScopeGuard([] { qunsetenv("VOLMAR_TEST_RUN"); });
        m_options.m_bRestart = action == QLatin1String("period");
        m_options.m_nRestartTimeout = 300;
        start(QStringLiteral("sh -c \"sleep 600 & echo $!\""));
        QTRY_COMPARE(m_runner->state(), State::Ended);
        QTRY_VERIFY(m_log.endsWith(QLatin1Char('\n')));
        const qint64 child = m_log.trimmed().toLongLong();
        QVERIFY(Processes::isOpen(child));
        if (action == QLatin1String("stop"))
            m_runner->toggle();
        else if (action == QLatin1String("change"))
            m_runner->restartAfterChange();
        else if (action == QLatin1String("end"))
            m_runner.reset();
        QTRY_VERIFY(!Processes::isOpen(child));
        // A run started again goes with the runner, however far it has come.
        m_runner.reset();
        QTRY_COMPARE(markedProcesses(mark), QList<qint64>());
    }

    void autoStartedProgramRestartsAfterChange()
    {
        // Started after opening, the program runs as if the button had started it.
        m_runner->setCommandLine(Hang);
        m_runner->autoStart();
        QCOMPARE(m_runner->state(), State::Running);
        QTRY_COMPARE(m_log, QStringLiteral("Ready\n"));
        const qint64 autoPid = programPid();
        m_runner->restartAfterChange();
        QVERIFY(programPid() != autoPid);
        QVERIFY(!Processes::isOpen(autoPid));
        QTRY_COMPARE(m_log, QStringLiteral("Ready\n"));

        // Without "Auto Reload" a change leaves it running.
        m_options.m_bAutoReload = false;
        const qint64 pid = programPid();
        m_runner->restartAfterChange();
        QCOMPARE(programPid(), pid);

        // One toggle stops it for good.
        m_options.m_bAutoReload = true;
        m_runner->toggle();
        QCOMPARE(m_runner->state(), State::Stopped);
        QCoreApplication::processEvents();
        QCOMPARE(m_runner->progProcess()->state(), QProcess::NotRunning);
        QVERIFY(!Processes::isOpen(pid));
        m_runner->restartAfterChange();
        QCOMPARE(m_runner->progProcess()->state(), QProcess::NotRunning);
    }

    void periodicRestart()
    {
        m_options.m_bRestart = true;
        m_options.m_nRestartTimeout = 50;
        QSignalSpy states(m_runner.get(), &ProgramRunner::stateChanged);
        start(Hang);
        // Each period stops the program and starts it again on the next pass of the event loop.
        QTRY_VERIFY(m_startsAfterStop.size() >= 3);
        QVERIFY(states.contains(QVariantList{QVariant::fromValue(State::Starting)}));
        QTRY_COMPARE(m_log, QStringLiteral("Ready\n"));
        const qint64 pid = programPid();
        m_runner->toggle();
        QCOMPARE(m_runner->state(), State::Stopped);
        QVERIFY(!Processes::isOpen(pid));
    }

    void separateWindowMode()
    {
        // A terminal that notes its command line and becomes the program it was given.
        const QString terminal = work(QStringLiteral("terminal"));
        QVERIFY(makeScript(terminal, "printf '%s\\n' \"$@\" > \"$0.args\"\n"
                                     "while [ \"$1\" != -e ]; do shift; done\nshift\nexec \"$@\"\n"));
        qputenv("TERMINAL", QFile::encodeName(terminal) + " --title x");
        m_options.m_bShowProgWindow = true;
        // Only single blanks separate words; the empty ones between doubled blanks are dropped.
        start(QStringLiteral("sleep  600  1"));
        qputenv("TERMINAL", "");
        QCOMPARE(m_runner->state(), State::Running);
        // The pid kept is the program's own, so the button ends the program, not just its terminal.
        const qint64 pid = m_runner->progPid();
        QTRY_COMPARE(Processes::executableName(pid), QByteArray("sleep"));
        QCOMPARE(TestUtil::readBytes(terminal + ".args"),
                 "--title\nx\n-e\n" + QFile::encodeName(QStandardPaths::findExecutable("sleep")) + "\n600\n1\n");
        m_runner->toggle();
        QCOMPARE(m_runner->state(), State::Stopped);
        QTRY_VERIFY(!Processes::isOpen(pid));
    }

    void endForClose_data()
    {
        QTest::addColumn<bool>("on"); // "Auto Exit Orvex" and "Show Prog Window"
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }

    void endForClose()
    {
        QFETCH(bool, on);
        QProcessEx* orvex = m_runner->orvexProcess();
        orvex->start(Sleep, {QStringLiteral("300")});
        QVERIFY(orvex->waitForStarted());
        const qint64 orvexPid = orvex->processId();
        m_options.m_bShowProgWindow = true;
        start(Sleep + QStringLiteral(" 300"));
        const qint64 progPid = m_runner->progPid();
        QVERIFY(Processes::isOpen(progPid));
        m_options.m_bAutoExitOrvex = m_options.m_bShowProgWindow = on;

        m_runner->endForClose();
        m_runner.reset();
        QCOMPARE(Processes::isOpen(orvexPid), !on);
        // The detached program is reaped by whoever adopted it.
        QTRY_COMPARE(Processes::isOpen(progPid), !on);
        if (!on) {
            // The runner leaves a running visualiser to itself.
            delete orvex;
            Processes::terminate(progPid);
        }
    }

    void auxCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<bool>("serverRunning"); // another board server holds the board
        QTest::addColumn<QString>("text");
        // A command that finished is the window's own test, down to the message shown.
        QTest::newRow("not started") << "no-such-command" << -1 << false << QString("\nПроверка не запустилась!");
        QTest::newRow("slow") << "sleep 600" << 200 << false
                              << QString("\nПроверка не завершилась в отведенное время!");
        // A failure is told as what happened, with the last lines the command wrote.
        QTest::newRow("exit code") << "sh -c \"echo 1 of 2; echo >&2 Ошибка: плата занята; exit 3\"" << -1 << false
                                   << QString(
                                          "\nПроверка завершилась с ошибкой (код 3).\n\n1 of 2\nОшибка: плата занята");
        QTest::newRow("killed") << "sh -c \"kill -9 $$\"" << -1 << false
                                << QString("\nПроверка завершилась аварийно (сигнал 9).");
        QTest::newRow("board server refuses")
            << QStringLiteral(VOLMAR_BIN_DIR "/kelda.exe -reset") << -1 << true
            << QString("\nПроверка завершилась с ошибкой (код 3).\n\nОшибка: сервер kelda уже запущен (процесс 4242). "
                       "Одиночный режим: завершите его и повторите.");
    }

    void auxCommand()
    {
        QFETCH(QString, command);
        QFETCH(int, timeout);
        QFETCH(bool, serverRunning);
        // The board server's single-mode lock, held as a running server holds it.
        const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
        const auto restoreRuntimeDir = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", runtimeDir); });
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_work->path()));
        QFile lock(work(QStringLiteral("kelda.lock")));
        if (serverRunning) {
            QVERIFY(lock.open(QIODevice::ReadWrite) && lock.write("4242\n") == 5 && lock.flush());
            QCOMPARE(flock(lock.handle(), LOCK_EX | LOCK_NB), 0);
        }
        // A timer expiring while the command is awaited runs only after the wait.
        QProcess::ProcessState whenFired = QProcess::Running;
        QTimer::singleShot(1, this, [&] { whenFired = m_runner->auxProcess()->state(); });
        const std::optional<CommandOutcome::Message> message =
            m_runner->runAuxCommand(QStringLiteral("Проверка"), command, timeout);
        QCOMPARE(m_runner->auxProcess()->state(), QProcess::NotRunning);
        QVERIFY(message);
        QVERIFY(message->kind != CommandOutcome::Kind::Finished);
        QTEST(message->text, "text");
        QTRY_COMPARE(whenFired, QProcess::NotRunning);
    }

    void loadPld_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<ProgramRunner::PldResult>("result");
        QTest::newRow("marker in a line") << "echo 3 OK: PLD is progammed!" << ProgramRunner::PldResult::Loaded;
        QTest::newRow("no marker") << "echo ok: pld is progammed" << ProgramRunner::PldResult::Failed;
        QTest::newRow("not startable") << "tprog-missing -f a.rbf" << ProgramRunner::PldResult::NotStarted;
    }

    void loadPld()
    {
        QFETCH(QString, entry);
        QFETCH(ProgramRunner::PldResult, result);
        // Around the loading the running program is stopped, and started again only after a success.
        start(Hang);
        const qint64 pid = programPid();
        // The outcome is told before the program starts again.
        QProcess::ProcessState whenTold = QProcess::Starting;
        connect(m_runner.get(), &ProgramRunner::pldFinished, this,
                [&] { whenTold = m_runner->progProcess()->state(); });
        QCOMPARE(m_runner->loadPldAroundProgram(entry), result);
        QCOMPARE(whenTold, QProcess::NotRunning);
        QVERIFY(!Processes::isOpen(pid));
        const bool loaded = result == ProgramRunner::PldResult::Loaded;
        QCOMPARE(m_runner->progProcess()->state(), loaded ? QProcess::Running : QProcess::NotRunning);
        // Asked to run all the same: the button still offers to stop.
        QVERIFY(m_runner->state() != State::Stopped);
    }

    void runOrvex()
    {
        // A visualiser that notes what it was given, and a copy of it started elsewhere.
        QVERIFY(makeScript(work(QStringLiteral("Orvex.exe")),
                           "printf '%s|' \"$VOLMAR_GEOMETRY\" \"$@\" > told.txt\nread line\n"));
        QVERIFY(QDir(m_work->path()).mkdir(QStringLiteral("other")));
        QVERIFY(QFile::copy(Sleep, work(QStringLiteral("other/Orvex.exe"))));
        QProcess outside;
        outside.start(work(QStringLiteral("other/Orvex.exe")), {QStringLiteral("600")});
        QVERIFY(outside.waitForStarted());
        const auto endOutside = qScopeGuard([&] {
            outside.kill();
            outside.waitForFinished();
        });
        m_options.m_sOrvexDirectory = m_work->path();
        const QRect frame(30, 40, 640, 480);
        QCOMPARE(m_runner->runOrvex(QStringLiteral("data.bin"), frame), ProgramRunner::OrvexStart::OthersRunning);
        QCOMPARE(m_runner->runOrvex(QStringLiteral("data.bin"), frame, true), ProgramRunner::OrvexStart::Started);
        QTRY_COMPARE(TestUtil::readBytes(work(QStringLiteral("told.txt"))),
                     "30,40,640,480|-r|" + QFile::encodeName(work(QStringLiteral("data.bin"))) + "|-j|");
        // The one started here runs: neither a second one nor stray processes.
        QCOMPARE(m_runner->runOrvex(QString(), frame, true), ProgramRunner::OrvexStart::AlreadyRunning);
        m_runner->setCommandLine(QStringLiteral("sleep"));
        QCOMPARE(m_runner->strayProcesses().count, 0);
        m_runner->orvexProcess()->kill();
        QVERIFY(m_runner->orvexProcess()->waitForFinished());

        // The visualiser's own setting stands in for an empty one; a wrong one fails.
        m_options.m_sOrvexDirectory.clear();
        m_options.m_sOrvexOwnDir = work(QStringLiteral("missing"));
        QCOMPARE(m_runner->runOrvex(QString(), frame, true), ProgramRunner::OrvexStart::Failed);
        QCOMPARE(m_runner->orvexProcess()->program(), work(QStringLiteral("missing/Orvex.exe")));
        QCOMPARE(m_runner->orvexProcess()->arguments(), (QStringList{"-r", "", "-j"}));
    }

    void groupEndedOnlyWhileItsOwn()
    {
        // A group outlives its first process while a child it left behind still runs; its number
        // counts as this group only for processes started between the first process's start and end.
        QProcess process;
        ProcessGroup* group = ProcessGroup::of(&process);
        const qint64 before = ProcessGroup::nowTicks();
        process.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("sleep 600 & echo $!")});
        QVERIFY(process.waitForStarted());
        const qint64 leader = process.processId();
        QVERIFY(process.waitForFinished());
        const qint64 child = process.readAllStandardOutput().trimmed().toLongLong();
        const auto endChild = qScopeGuard([child] { Processes::terminate(child); });
        const qint64 pgid = group->groupId();
        QCOMPARE(pgid, leader);
        QCOMPARE(ProcessGroup::members(pgid, before, -1), QList<qint64>{child});
        // Processes started after the first one ended, or before it started, are not the group's.
        QVERIFY(ProcessGroup::members(pgid, ProcessGroup::nowTicks() + 2, -1).isEmpty());
        QVERIFY(ProcessGroup::members(pgid, 0, before - 1).isEmpty());
        // Volmar's own group is never the one to end.
        QVERIFY(ProcessGroup::members(::getpgrp(), 0, -1).isEmpty());

        QVERIFY(group->hasMembers());
        QVERIFY(group->kill());
        QTRY_VERIFY(!Processes::isOpen(child));
        QVERIFY(!group->kill());
    }

    void strayProcesses()
    {
        // A name no other program of the user has, so that ending them stays within the test.
        const QString name = QStringLiteral("vt%1k.exe").arg(QCoreApplication::applicationPid() % 100000);
        // Those of that name are scripts, known by their own name rather than the shell's.
        QVERIFY(makeScript(work(name), "read line\n"));
        QProcess children[2];
        for (QProcess& child : children) {
            child.start(work(name));
            QVERIFY(child.waitForStarted());
        }
        // Arguments are part of the name: nothing matches.
        m_runner->setCommandLine(name + QStringLiteral(" -a"));
        QCOMPARE(m_runner->strayProcesses().count, 0);
        m_runner->setCommandLine(name);
        const ProgramRunner::StrayProcesses stray = m_runner->strayProcesses();
        QCOMPARE(stray.name, name);
        QCOMPARE(stray.count, 2);
        QCOMPARE(ProgramRunner::killProcesses(stray.name), 2);
        QTRY_VERIFY(children[0].state() == QProcess::NotRunning && children[1].state() == QProcess::NotRunning);
        // A server command line names the server.
        m_runner->setCommandLine(QStringLiteral("kelda.exe -u prog.x55"));
        QCOMPARE(m_runner->strayProcesses().name, QStringLiteral("kelda.exe"));
    }
};

QTEST_GUILESS_MAIN(TestProgramRunner)
#include "tst_programrunner.moc"
