// The window's program controls with real child processes: the log, the buttons and what they say.
#include "app/volmar.h"
#include "control/qprocessex.h"
#include "platform/processes.h"
#include "tests/common/testutil.h"
#include "widgets/logpane.h"
#include "widgets/messagebox.h"

#include <QDir>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <sys/file.h>

namespace
{
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

QString lastShown()
{
    const Dialogs::Shown& shown = Dialogs::shown().last();
    return shown.kind + QLatin1Char('|') + shown.title + QLatin1Char('|') + shown.text;
}

// Notes whether a widget is painted while a program runs, and the program's state when a timer fires.
struct WaitProbe : QObject
{
    explicit WaitProbe(QProcess* program) : program(program) {}
    void fire() { stateWhenFired = program->state(); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        painted = painted || (e->type() == QEvent::Paint && program->state() == QProcess::Running);
        return false;
    }
    QProcess* program;
    bool painted = false;
    QProcess::ProcessState stateWhenFired = QProcess::Running;
};
} // namespace

class TestProgramControl : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<Volmar> m_window;

    QString work(const QString& name) const { return m_work->filePath(name); }
    QString logText() const { return m_window->m_pLogTextEdit->toPlainText(); }
    void setProgram(const QString& commandLine)
    {
        m_window->m_pProgComboBox->clear();
        m_window->m_pProgComboBox->addItem(commandLine);
    }
    void start(const QString& commandLine)
    {
        setProgram(commandLine);
        m_window->m_pStartButton->click();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        Dialogs::clearShown();
        Dialogs::clearPendingAnswers();
        m_work = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_work->path()));
        m_window = std::make_unique<Volmar>();
        m_window->m_pStartButton->setEnabled(true);
    }

    void cleanup() { m_window.reset(); }

    void startInCurrentFolderWithOwnFolderOnPath()
    {
        // Named without a folder, the program of the current folder is found first.
        QVERIFY(TestUtil::writeBytes(work("tool"), "#!/bin/sh\npwd -P\necho \"$PATH\"\n") &&
                QFile::setPermissions(work("tool"), QFile::ReadOwner | QFile::ExeOwner));
        QProcess process;
        QVERIFY(Processes::startCommand(process, QStringLiteral("tool \"a  b\"")));
        QVERIFY(process.waitForFinished());
        const QStringList lines = QString::fromLocal8Bit(process.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), QDir(m_work->path()).canonicalPath());
        QVERIFY2(lines.value(1).endsWith(QDir::listSeparator() + QCoreApplication::applicationDirPath()),
                 qPrintable(lines.value(1)));
        QCOMPARE(Processes::startDetached(QStringLiteral("volmar-no-such-program"), {}), qint64(0));
    }

    void outputReachesLog_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("log");
        QTest::newRow("words") << QByteArray("hello world\n") << QStringLiteral("hello world\n");
        QTest::newRow("progress") << QByteArray("\rP 10%\rP 20%\n") << QStringLiteral("P 20%\n");
        QTest::newRow("cp1251") << QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2\r\n") << QStringLiteral("Привет\n");
        QTest::newRow("utf-8") << QStringLiteral("Привет\n").toUtf8() << QStringLiteral("Привет\n");
    }

    void outputReachesLog()
    {
        QFETCH(QByteArray, output);
        QFETCH(QString, log);
        QVERIFY(TestUtil::writeBytes(work(QStringLiteral("out")), output));
        start(QStringLiteral("cat out"));
        QTRY_COMPARE(logText(), log);
        // A program that ended by itself leaves the button as it was; the next press only resets it.
        QTRY_COMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
        QCOMPARE(m_window->m_pStartButton->text(), QStringLiteral("Стоп"));
        m_window->m_pStartButton->click();
        QCOMPARE(m_window->m_pStartButton->text(), QStringLiteral("Старт"));
    }

    void stopAndCloseEndProcessGroup()
    {
        QPushButton* button = m_window->m_pStartButton;
        start(QStringLiteral("sh -c \"sleep 600 & echo grandchild $!; wait\""));
        QCOMPARE(button->text(), QStringLiteral("Стоп"));
        QCOMPARE(button->styleSheet(), QStringLiteral("background-color: red"));
        QTRY_VERIFY(logText().startsWith(QStringLiteral("grandchild ")));
        const QString log = logText();
        const qint64 grandchild = log.mid(11).trimmed().toLongLong();
        QVERIFY(Processes::isOpen(grandchild));
        button->click();
        QCOMPARE(button->text(), QStringLiteral("Старт"));
        QCOMPARE(button->styleSheet(), QStringLiteral("background-color: #00FF00"));
        QCOMPARE(logText(), log);
        QTRY_VERIFY(!Processes::isOpen(grandchild));

        // Closing the window ends the program and whatever it started.
        button->click();
        QTRY_VERIFY(logText().startsWith(QStringLiteral("grandchild ")));
        const qint64 second = logText().mid(11).trimmed().toLongLong();
        m_window.reset();
        QTRY_VERIFY(!Processes::isOpen(second));
    }

    void autoStartedProgramRuns()
    {
        // Started by the options after opening, the program is running as if the button started it.
        m_window->m_bAutoLoadOrvex = false;
        m_window->m_bAutoRunProgram = true;
        setProgram(Hang);
        m_window->slotPrepare();
        QPushButton* button = m_window->m_pStartButton;
        QCOMPARE(button->text(), QStringLiteral("Стоп"));
        QCOMPARE(button->styleSheet(), QStringLiteral("background-color: red"));
        QTRY_COMPARE(logText(), QStringLiteral("Ready\n"));

        // A changed parameter restarts it with a fresh log.
        const qint64 autoPid = m_window->m_pProgProcess->processId();
        m_window->restartAfterChange();
        QVERIFY(m_window->m_pProgProcess->processId() != autoPid);
        QVERIFY(!Processes::isOpen(autoPid));
        QTRY_COMPARE(logText(), QStringLiteral("Ready\n"));

        // One press stops it for good.
        const qint64 pid = m_window->m_pProgProcess->processId();
        button->click();
        QCOMPARE(button->text(), QStringLiteral("Старт"));
        QCOMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
        QCoreApplication::processEvents();
        QCOMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
        QVERIFY(!Processes::isOpen(pid));
        m_window->restartAfterChange();
        QCOMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
    }

    void startButtonLooksDisabled()
    {
        QPushButton* button = m_window->m_pStartButton;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        // The colour behind the text, as the user sees it.
        const auto look = [button] {
            const QImage image = button->grab().toImage();
            const QColor c = image.pixelColor(image.width() / 8, image.height() / 2);
            return c.green() > 200 && c.red() < 150   ? QStringLiteral("green")
                   : c.red() > 200 && c.green() < 150 ? QStringLiteral("red")
                                                      : QStringLiteral("other");
        };
        QCOMPARE(look(), QStringLiteral("green"));
        button->setEnabled(false);
        QCOMPARE(look(), QStringLiteral("other"));
        // Disabled through its parent too.
        button->setEnabled(true);
        button->parentWidget()->setEnabled(false);
        QCOMPARE(look(), QStringLiteral("other"));
        button->parentWidget()->setEnabled(true);
        QCOMPARE(look(), QStringLiteral("green"));
        start(Hang);
        QCOMPARE(look(), QStringLiteral("red"));
    }

    void groupEndsAfterLeaderExited_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("stop button") << "stop";
        QTest::newRow("restart after a change") << "change";
        QTest::newRow("restart period") << "period";
        QTest::newRow("window closed") << "close";
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
        start(QStringLiteral("sh -c \"sleep 600 & echo $!\""));
        QTRY_COMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
        QTRY_VERIFY(logText().endsWith(QLatin1Char('\n')));
        const qint64 child = logText().trimmed().toLongLong();
        QVERIFY(Processes::isOpen(child));
        if (action == QLatin1String("stop"))
            m_window->m_pStartButton->click();
        else if (action == QLatin1String("change"))
            m_window->restartAfterChange();
        else if (action == QLatin1String("period"))
            m_window->slotStartButton(); // as the restart timer calls it
        else
            m_window.reset();
        QTRY_VERIFY(!Processes::isOpen(child));
        // A run started again goes with the window, however far it has come.
        m_window.reset();
        QTRY_COMPARE(markedProcesses(mark), QList<qint64>());
    }

    void fastPrinterLinesArriveWhole()
    {
        // Pipe reads end anywhere in a line; every line still arrives whole and in order.
        start(QStringLiteral("seq 1 40000"));
        QString expected;
        for (int i = 1; i <= 40000; ++i)
            expected += QString::number(i) + QLatin1Char('\n');
        QTRY_COMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
        QTRY_COMPARE(logText().size(), expected.size());
        QCOMPARE(logText(), expected);
    }

    void logKeepsNewestLines()
    {
        // The limit of the options: the newest lines stay, the line at the top counts the others.
        m_window->m_nLogMaxLines = 1000;
        start(QStringLiteral("seq 1 100000"));
        QTRY_COMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
        QTRY_VERIFY(logText().endsWith(QStringLiteral("\n100000\n")));
        const QStringList lines = logText().split(QLatin1Char('\n'));
        // The note, the lines kept (an eighth of the limit goes at a time), and the empty last line.
        const int kept = int(lines.size()) - 1;
        QVERIFY2(kept >= 875 && kept <= 1000, qPrintable(QString::number(kept)));
        const int first = 100000 - kept + 2;
        QCOMPARE(lines.first(), LogPane::droppedNote(first - 1));
        for (int i = 1; i < kept; ++i)
            QCOMPARE(lines.at(i).toInt(), first + i - 1);
        // The next run starts with an empty log again.
        m_window->m_pStartButton->click();
        start(QStringLiteral("echo next"));
        QTRY_COMPARE(logText(), QStringLiteral("next\n"));
    }

    void separateWindowMode()
    {
        // A terminal that notes its command line and becomes the program it was given.
        const QString terminal = work(QStringLiteral("terminal"));
        QVERIFY(TestUtil::writeBytes(terminal, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n"
                                               "while [ \"$1\" != -e ]; do shift; done\nshift\nexec \"$@\"\n"));
        QVERIFY(QFile::setPermissions(terminal, QFile::ReadOwner | QFile::ExeOwner));
        qputenv("TERMINAL", QFile::encodeName(terminal) + " --title x");
        m_window->m_bShowProgWindow = true;
        // Only single blanks separate words; the empty ones between doubled blanks are dropped.
        start(QStringLiteral("sleep  600  1"));
        qputenv("TERMINAL", "");
        // The pid kept is the program's own, so the button ends the program, not just its terminal.
        const qint64 pid = m_window->m_progPid;
        QTRY_COMPARE(Processes::executableName(pid), QByteArray("sleep"));
        QCOMPARE(TestUtil::readBytes(terminal + ".args"),
                 "--title\nx\n-e\n" + QFile::encodeName(QStandardPaths::findExecutable("sleep")) + "\n600\n1\n");
        m_window->m_pStartButton->click();
        QTRY_VERIFY(!Processes::isOpen(pid));
    }

    void largeLogLaidOutLazily()
    {
        // More lines than the pane lays out at once: it follows the end, and the scroll range and
        // clicks cover every line.
        QTextEdit edit;
        LogPane pane(&edit);
        pane.setLimits({100000, 64 * 1024 * 1024});
        QString pendingCr;
        QByteArray output;
        for (int i = 1; i <= 60000; ++i)
            output += "line " + QByteArray::number(i) + '\n';
        pane.append(output, pendingCr);
        pane.flush();
        QCOMPARE(edit.toPlainText(), QString::fromLatin1(output));
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QTRY_VERIFY(edit.viewport()->rect().contains(edit.cursorRect().center()));
        QVERIFY(edit.verticalScrollBar()->maximum() > 59000 * QFontMetricsF(edit.font()).lineSpacing());
        QTextCursor cursor = edit.document()->find(QStringLiteral("line 30001"));
        cursor.setPosition(cursor.selectionStart() + 3);
        edit.setTextCursor(cursor);
        edit.ensureCursorVisible();
        const QPoint center = edit.cursorRect().center();
        QVERIFY(edit.viewport()->rect().contains(center));
        QCOMPARE(edit.cursorForPosition(center + QPoint(1, 0)).position(), cursor.position());
    }

    void auxButtonMessages_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<bool>("serverRunning"); // another board server holds the board
        QTest::addColumn<QString>("shown");
        QTest::newRow("not started") << "no-such-command" << -1 << false
                                     << QString("warning|Volmar|\nПроверка не запустилась!");
        QTest::newRow("slow") << "sleep 600" << 200 << false
                              << QString("warning|Volmar|\nПроверка не завершилась в отведенное время!");
        QTest::newRow("finished") << "sleep 0.05" << -1 << false << QString("about|Volmar|\nПроверка завершилась.");
        // A failure is told as what happened, with the last lines the command wrote.
        QTest::newRow("exit code") << "sh -c \"echo 1 of 2; echo >&2 Ошибка: плата занята; exit 3\"" << -1 << false
                                   << QString("warning|Volmar|\nПроверка завершилась с ошибкой (код 3).\n\n"
                                              "1 of 2\nОшибка: плата занята");
        QTest::newRow("killed") << "sh -c \"kill -9 $$\"" << -1 << false
                                << QString("warning|Volmar|\nПроверка завершилась аварийно (сигнал 9).");
        QTest::newRow("board server refuses")
            << QStringLiteral(VOLMAR_BIN_DIR "/kelda.exe -reset") << -1 << true
            << QString("warning|Volmar|\nПроверка завершилась с ошибкой (код 3).\n\nОшибка: сервер kelda уже "
                       "запущен (процесс 4242). Одиночный режим: завершите его и повторите.");
    }

    void auxButtonMessages()
    {
        QFETCH(QString, command);
        QFETCH(int, timeout);
        QFETCH(bool, serverRunning);
        QFETCH(QString, shown);
        // The board server's single-mode lock, held as a running server holds it.
        const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
        const auto restoreRuntimeDir = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", runtimeDir); });
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_work->path()));
        QFile lock(work(QStringLiteral("kelda.lock")));
        if (serverRunning) {
            QVERIFY(lock.open(QIODevice::ReadWrite) && lock.write("4242\n") == 5 && lock.flush());
            QCOMPARE(flock(lock.handle(), LOCK_EX | LOCK_NB), 0);
        }
        m_window->m_sAuxTitle = QStringLiteral("Проверка");
        m_window->m_sAuxCmdLine = command;
        m_window->m_nAuxTimeout = timeout;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        // While the command is awaited the window is painted, but a timer expiring meanwhile runs
        // only after the wait, like every other window event.
        WaitProbe probe(m_window->m_pAuxProcess);
        QTimer::singleShot(1, &probe, &WaitProbe::fire);
        m_window->installEventFilter(&probe);
        m_window->update();
        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->m_pAuxButton->click();
        QCOMPARE(m_window->m_pAuxProcess->state(), QProcess::NotRunning);
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(lastShown(), shown);
        QVERIFY(probe.painted || timeout < 0);
        QTRY_COMPARE(probe.stateWhenFired, QProcess::NotRunning);
    }

    void loadPldResult_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("shown");
        QTest::newRow("marker in a line")
            << "echo 3 OK: PLD is progammed!" << true << QString("information|Volmar|\nПрошивка успешно загружена!");
        QTest::newRow("no marker") << "echo ok: pld is progammed" << false
                                   << QString("critical|Volmar|\nПрошивка не загружена!");
        QTest::newRow("not startable") << "tprog-missing -f a.rbf" << false << QString();
    }

    void loadPldResult()
    {
        QFETCH(QString, entry);
        QFETCH(bool, loaded);
        QFETCH(QString, shown);
        m_window->m_pPldComboBox->addItem(entry);
        // Around the loading the running program is stopped, and started again only after a success.
        start(Hang);
        const qint64 pid = m_window->m_pProgProcess->processId();
        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->slotLoadPld();
        QVERIFY(!Processes::isOpen(pid));
        QCOMPARE(m_window->m_pProgProcess->state(), loaded ? QProcess::Running : QProcess::NotRunning);
        QCOMPARE(m_window->m_pStartButton->text(), QStringLiteral("Стоп"));
        QCOMPARE(Dialogs::shown().isEmpty() ? QString() : lastShown(), shown);
    }

    void firmwareControlsFollowList_data()
    {
        QTest::addColumn<QByteArray>("batch"); // pld.bat; empty: there is none
        QTest::addColumn<bool>("enabled");
        QTest::newRow("no batch file") << QByteArray() << false;
        QTest::newRow("no firmware command") << QByteArray("@echo off\r\nrem nothing to load\r\n") << false;
        QTest::newRow("one command") << QByteArray("call tprog.exe -f board.rbf\r\n") << true;
    }

    void firmwareControlsFollowList()
    {
        // Whatever an earlier file left enabled, an empty list offers nothing to load.
        QFETCH(QByteArray, batch);
        QFETCH(bool, enabled);
        if (!batch.isEmpty())
            QVERIFY(TestUtil::writeBytes(work(QStringLiteral("pld.bat")), batch));
        for (QWidget* control :
             {static_cast<QWidget*>(m_window->m_pPldComboBox), static_cast<QWidget*>(m_window->m_pPldButton),
              static_cast<QWidget*>(m_window->m_pHelpPld)})
            control->setEnabled(true);
        m_window->m_pActionLoadPld->setEnabled(true);
        m_window->fillPldList();
        QCOMPARE(m_window->m_pPldComboBox->count(), enabled ? 1 : 0);
        QCOMPARE(m_window->m_pPldButton->isEnabled(), enabled);
        QCOMPARE(m_window->m_pActionLoadPld->isEnabled(), enabled);
        QCOMPARE(m_window->m_pPldComboBox->isEnabled(), enabled);
        QCOMPARE(m_window->m_pHelpPld->isEnabled(), enabled);
    }

    void runOrvex()
    {
        // A visualiser copy started outside the editor: the editor asks before starting another.
        const QString orvex = work(QStringLiteral("Orvex.exe"));
        QVERIFY(QFile::copy(Sleep, orvex));
        QProcess outside;
        outside.start(orvex, {QStringLiteral("600")});
        QVERIFY(outside.waitForStarted());
        m_window->m_pBinComboBox->addItem(QStringLiteral("data.bin"));
        m_window->m_sOrvexDirectory = m_work->path();
        Dialogs::setNextAnswer(QMessageBox::No);
        m_window->runOrvex();
        QCOMPARE(lastShown(),
                 QStringLiteral("question|Volmar|Orvex уже запущена!\nЗагрузить ещё один экземпляр программы?"));
        QCOMPARE(Dialogs::shown().last().defaultButton, QMessageBox::Yes);

        Dialogs::setNextAnswer(QMessageBox::Yes);
        m_window->runOrvex();
        QCOMPARE(m_window->m_pOrvexProcess->program(), orvex);
        QCOMPARE(m_window->m_pOrvexProcess->arguments(), (QStringList{"-r", work("data.bin"), "-j"}));

        // The visualiser's own setting stands in for an empty one; a wrong one is reported.
        m_window->m_pOrvexProcess->waitForFinished();
        m_window->m_pBinComboBox->clear();
        m_window->m_sOrvexDirectory.clear();
        m_window->m_sOrvexOwnDir = work(QStringLiteral("missing"));
        Dialogs::setNextAnswer(QMessageBox::Yes);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->runOrvex();
        QCOMPARE(lastShown(), QStringLiteral("warning|Volmar|\nНеверно указана директория Orvex!"));
        QCOMPARE(m_window->m_pOrvexProcess->arguments(), (QStringList{"-r", "", "-j"}));
        outside.kill();
        outside.waitForFinished();
    }

    void terminateProcesses()
    {
        // A name no other program of the user has, so that ending them stays within the test.
        const QString name = QStringLiteral("vt%1k.exe").arg(QCoreApplication::applicationPid() % 100000);
        // Those of that name are scripts, known by their own name rather than the shell's.
        QVERIFY(TestUtil::writeBytes(work(name), "#!/bin/sh\nread line\n"));
        QVERIFY(QFile::setPermissions(work(name), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(QFile::copy(Sleep, work(QStringLiteral("kelda.exe"))));
        QProcess children[3];
        for (int i = 0; i < 3; ++i) {
            children[i].start(work(i < 2 ? name : QStringLiteral("kelda.exe")), {QStringLiteral("600")});
            QVERIFY(children[i].waitForStarted());
        }
        // Arguments are part of the name: nothing matches, nothing is asked.
        setProgram(name + QStringLiteral(" -a"));
        m_window->slotTerminate();
        QVERIFY(Dialogs::shown().isEmpty());

        setProgram(name);
        Dialogs::setNextAnswer(QMessageBox::No);
        m_window->slotTerminate();
        QCOMPARE(lastShown(), QStringLiteral("question||Хотите завершить все процессы %1(2)?").arg(name));
        QCOMPARE(Dialogs::shown().last().defaultButton, QMessageBox::No);
        QCOMPARE(children[0].state(), QProcess::Running);
        Dialogs::setNextAnswer(QMessageBox::Yes);
        m_window->slotTerminate();
        QTRY_VERIFY(children[0].state() == QProcess::NotRunning && children[1].state() == QProcess::NotRunning);

        // A server command line names the server (other servers of this user may run too).
        setProgram(QStringLiteral("kelda.exe -u prog.x55"));
        Dialogs::setNextAnswer(QMessageBox::No);
        m_window->slotTerminate();
        QVERIFY(lastShown().startsWith(QStringLiteral("question||Хотите завершить все процессы kelda.exe(")));

        // The editor's own visualiser running: the button does nothing.
        Dialogs::clearShown();
        QVERIFY(Processes::startCommand(*m_window->m_pOrvexProcess, QStringLiteral("sleep 600")));
        m_window->slotTerminate();
        QVERIFY(Dialogs::shown().isEmpty());
        for (QProcess* process : {&children[2], static_cast<QProcess*>(m_window->m_pOrvexProcess)}) {
            process->kill();
            process->waitForFinished();
        }
    }
};

QTEST_MAIN(TestProgramControl)
#include "tst_programcontrol.moc"
