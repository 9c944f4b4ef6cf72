#include "app/volmar.h"
#include "control/logpane.h"
#include "control/qprocessex.h"
#include "platform/processes.h"
#include "widgets/messagebox.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace
{
const QString TestChild = QStringLiteral(VOLMAR_TESTCHILD);
const QString Stop = QStringLiteral("Стоп");
const QString Start = QStringLiteral("Старт");

bool writeFile(const QString& path, const QByteArray& content, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFile::ExeOwner);
}

bool copyTestChild(const QString& to)
{
    QFile::remove(to);
    return QFile::copy(TestChild, to) && QFile(to).setPermissions(QFile(to).permissions() | QFile::ExeOwner);
}

QString lastShown()
{
    const Dialogs::Shown& shown = Dialogs::shown().last();
    return shown.kind + QLatin1Char('|') + shown.title + QLatin1Char('|') + shown.text;
}

qint64 grandchildIn(const QString& log)
{
    return log.section(QStringLiteral("grandchild "), 1).section(QLatin1Char('\n'), 0, 0).toLongLong();
}
} // namespace

class TestProgramControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startStopAndLog();
    void outputReachesLog_data();
    void outputReachesLog();
    void stopAndCloseEndProcessGroup();
    void autoReloadAndAutoStart();
    void restartTimerRunsUntilStopped();
    void separateWindowMode();
    void largeLogLaidOutLazily();
    void auxButtonMessages_data();
    void auxButtonMessages();
    void notepadButtons();
    void loadPldResult_data();
    void loadPldResult();
    void loadPldWithStandInTool();
    void loadPldPaintsAndHoldsTimers();
    void runOrvex();
    void terminateProcesses();

private:
    void setProgram(const QString& commandLine);
    QString logText() const { return m_window->m_pLogTextEdit->toPlainText(); }

    std::unique_ptr<Volmar> m_window;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_startDir;
};

void TestProgramControl::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_startDir = QDir::currentPath();
    // The stand-ins of the external programs, as Volmar's own folder would provide them.
    qputenv("PATH", QFile::encodeName(QStringLiteral(VOLMAR_BIN_DIR)) + ':' + qgetenv("PATH"));
    qputenv("TERMINAL", "");
}

void TestProgramControl::init()
{
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Volmar")).clear();
    Dialogs::clearShown();
    Dialogs::clearPendingAnswers();
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(m_work->path()));
    m_window = std::make_unique<Volmar>();
    m_window->m_bShowProgWindow = false;
    m_window->m_bRestart = false;
    m_window->m_bAutoReload = true;
    m_window->m_pStartButton->setEnabled(true);
}

void TestProgramControl::cleanup()
{
    // The visualiser's process object has no parent and outlives the window on purpose.
    if (m_window && m_window->m_pOrvexProcess->state() != QProcess::NotRunning) {
        m_window->m_pOrvexProcess->kill();
        m_window->m_pOrvexProcess->waitForFinished();
    }
    m_window.reset();
    Dialogs::clearPendingAnswers();
    QDir::setCurrent(m_startDir);
}

void TestProgramControl::setProgram(const QString& commandLine)
{
    m_window->m_pProgComboBox->clear();
    m_window->m_pProgComboBox->addItem(commandLine);
}

void TestProgramControl::startStopAndLog()
{
    QPushButton* button = m_window->m_pStartButton;
    setProgram(TestChild + QStringLiteral(" hang"));
    button->click();
    QCOMPARE(button->text(), Stop);
    QCOMPARE(button->styleSheet(), QStringLiteral("background-color: red"));
    QCOMPARE(m_window->m_pProgProcess->state(), QProcess::Running);
    QTRY_COMPARE(logText(), QStringLiteral("Ready\n"));

    button->click();
    QCOMPARE(button->text(), Start);
    QCOMPARE(button->styleSheet(), QStringLiteral("background-color: #00FF00"));
    QCOMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
    QCOMPARE(logText(), QStringLiteral("Ready\n"));

    // A program that ends by itself leaves the button as it was; the next press only resets it.
    setProgram(TestChild + QStringLiteral(" echo done"));
    QSignalSpy finished(m_window->m_pProgProcess, &QProcess::finished);
    button->click();
    QVERIFY(finished.wait());
    QTRY_COMPARE(logText(), QStringLiteral("done\n"));
    QCOMPARE(button->text(), Stop);
    button->click();
    QCOMPARE(button->text(), Start);
    QCOMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
}

void TestProgramControl::outputReachesLog_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("log");
    QTest::newRow("echo") << QStringLiteral("echo hello world") << QStringLiteral("hello world\n");
    QTest::newRow("progress line") << QStringLiteral("progress") << QStringLiteral("P 20%\n");
    QTest::newRow("cp1251") << QStringLiteral("bytes cff0e8e2e5f20d0a") << QStringLiteral("Привет\n");
    QTest::newRow("utf-8") << QStringLiteral("bytes d09fd180d0b8d0b2d0b5d1820a") << QStringLiteral("Привет\n");
}

void TestProgramControl::outputReachesLog()
{
    QFETCH(QString, arguments);
    QFETCH(QString, log);
    setProgram(TestChild + QLatin1Char(' ') + arguments);
    m_window->m_pStartButton->click();
    QTRY_COMPARE(logText(), log);
}

void TestProgramControl::stopAndCloseEndProcessGroup()
{
    setProgram(TestChild + QStringLiteral(" fork"));
    m_window->m_pStartButton->click();
    QTRY_VERIFY(logText().contains(QStringLiteral("grandchild ")));
    const qint64 grandchild = grandchildIn(logText());
    QVERIFY(Processes::isOpen(grandchild));
    // A firmware tool left running after its time limit goes too.
    QVERIFY(Processes::startCommand(*m_window->m_pPldProcess, TestChild + QStringLiteral(" hang")));
    m_window->m_pStartButton->click();
    QCOMPARE(m_window->m_pPldProcess->state(), QProcess::NotRunning);
    QTRY_VERIFY(!Processes::isOpen(grandchild));

    // Closing the window ends the program and whatever it started.
    m_window->m_pStartButton->click();
    QTRY_VERIFY(logText().contains(QStringLiteral("grandchild ")));
    const qint64 second = grandchildIn(logText());
    m_window.reset();
    QTRY_VERIFY(!Processes::isOpen(second));
}

void TestProgramControl::autoReloadAndAutoStart()
{
    // Started automatically after opening: the button still offers a start, Auto Reload stays quiet.
    m_window->m_bAutoRunProgram = true;
    m_window->m_bAutoLoadOrvex = false;
    m_window->m_bAutoLoadPld = false;
    setProgram(TestChild + QStringLiteral(" hang"));
    m_window->slotPrepare();
    QCOMPARE(m_window->m_pStartButton->text(), Start);
    const qint64 autoPid = m_window->m_pProgProcess->processId();
    m_window->restartAfterChange();
    QCOMPARE(m_window->m_pProgProcess->processId(), autoPid);

    // The button restarts it.
    m_window->m_pStartButton->click();
    QCOMPARE(m_window->m_pStartButton->text(), Stop);
    QTRY_VERIFY(m_window->m_pProgProcess->processId() != autoPid);
    QTRY_COMPARE(logText(), QStringLiteral("Ready\n"));

    const qint64 pid = m_window->m_pProgProcess->processId();
    m_window->restartAfterChange();
    QVERIFY(m_window->m_pProgProcess->processId() != pid);
    QVERIFY(!Processes::isOpen(pid));
    QTRY_COMPARE(logText(), QStringLiteral("Ready\n"));
}

void TestProgramControl::restartTimerRunsUntilStopped()
{
    m_window->m_bRestart = true;
    m_window->m_nRestartTimeout = 0;
    setProgram(TestChild + QStringLiteral(" hang"));
    QSignalSpy started(m_window->m_pProgProcess, &QProcess::started);
    m_window->m_pStartButton->click();
    QTRY_VERIFY(started.count() >= 4);

    // Timers armed before the press still fire, but find the button off.
    m_window->m_pStartButton->click();
    QTRY_COMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
    QVERIFY(!started.wait(300));
}

void TestProgramControl::separateWindowMode()
{
    m_window->m_bShowProgWindow = true;
    // Only single blanks separate words; the empty ones between doubled blanks are dropped.
    setProgram(TestChild + QStringLiteral("  hang  x"));
    m_window->m_pStartButton->click();
    const qint64 pid = m_window->m_progPid;
    QCOMPARE(m_window->m_pStartButton->text(), Stop);
    QCOMPARE(m_window->m_pProgProcess->state(), QProcess::NotRunning);
    QTRY_COMPARE(Processes::executableName(pid), QByteArray("volmar-testchild"));
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    QVERIFY(cmdline.open(QIODevice::ReadOnly));
    QCOMPARE(cmdline.readAll().split('\0').mid(1), (QList<QByteArray>{"hang", "x", ""}));

    m_window->m_pStartButton->click();
    QCOMPARE(m_window->m_pStartButton->text(), Start);
    QTRY_VERIFY(!Processes::isOpen(pid));
}

void TestProgramControl::largeLogLaidOutLazily()
{
    QTextEdit edit;
    edit.resize(300, 200);
    LogPane pane(&edit);
    QString pendingCr;
    // More than the pane takes in at once, in one chunk, then a progress line.
    QByteArray output;
    for (int i = 1; i <= 60000; ++i)
        output += "line " + QByteArray::number(i) + '\n';
    output += QByteArray(400, 'w') + " end\n";
    pane.append(output, pendingCr);
    pane.append("\rP 1%", pendingCr);
    pane.append("\rP 2%", pendingCr);
    pane.flush();
    QCOMPARE(edit.toPlainText(), QString::fromLatin1(output) + QStringLiteral("P 2%"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));

    // Scrolled to the end, over a page as tall as all lines.
    QTRY_VERIFY(edit.viewport()->rect().contains(edit.cursorRect().center()));
    const qreal lineHeight = QFontMetricsF(edit.document()->defaultFont()).lineSpacing();
    QVERIFY(edit.verticalScrollBar()->maximum() > 59000 * lineHeight);

    // The long line wraps in a narrow pane, less in a wide one.
    const QTextBlock longLine = edit.document()->findBlockByNumber(60000);
    QAbstractTextDocumentLayout* layout = edit.document()->documentLayout();
    const qreal narrowHeight = layout->blockBoundingRect(longLine).height();
    QVERIFY(narrowHeight > 2 * lineHeight);
    edit.resize(900, 200);
    QTRY_VERIFY(layout->blockBoundingRect(longLine).height() < narrowHeight);

    // A click finds the character under the mouse anywhere in the log.
    for (const int number : {0, 17, 30000, 59999}) {
        QTextCursor cursor(edit.document()->findBlockByNumber(number));
        cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 3);
        edit.setTextCursor(cursor);
        edit.ensureCursorVisible();
        const QRect rect = edit.cursorRect(cursor);
        QVERIFY(edit.viewport()->rect().contains(rect.center()));
        QCOMPARE(edit.cursorForPosition(rect.center() + QPoint(1, 0)).position(), cursor.position());
    }

    // The lines shown are painted.
    const QImage image = edit.viewport()->grab().toImage();
    const QRgb background = image.pixel(image.width() - 2, image.height() - 2);
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width() / 2; ++x)
            inked += image.pixel(x, y) != background ? 1 : 0;
    }
    QVERIFY(inked > 50);
}

void TestProgramControl::auxButtonMessages_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<QString>("shown");
    QTest::newRow("not started") << QStringLiteral("volmar-no-such-command -a") << -1
                                 << QStringLiteral("warning|Volmar|\nПроверка не запустилась!");
    QTest::newRow("too slow") << TestChild + QStringLiteral(" hang") << 200
                              << QStringLiteral("warning|Volmar|\nПроверка не завершилась в отведенное время!");
    QTest::newRow("finished") << TestChild + QStringLiteral(" sleep 50 x") << -1
                              << QStringLiteral("about|Volmar|\nПроверка завершилась.");
}

void TestProgramControl::auxButtonMessages()
{
    QFETCH(QString, command);
    QFETCH(int, timeout);
    QFETCH(QString, shown);
    m_window->m_sAuxTitle = QStringLiteral("Проверка");
    m_window->m_sAuxCmdLine = command;
    m_window->m_nAuxTimeout = timeout;
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_window->m_pAuxButton->click();
    QCOMPARE(m_window->m_pAuxButton->text(), QStringLiteral("Проверка"));
    QCOMPARE(m_window->m_pAuxButton->width(), m_window->m_pAuxButton->sizeHint().width() + 10);
    QCOMPARE(m_window->m_pAuxProcess->state(), QProcess::NotRunning);
    QCOMPARE(Dialogs::shown().size(), 1);
    QCOMPARE(lastShown(), shown);
}

void TestProgramControl::notepadButtons()
{
    // A notepad of the folder's own, found there first, notes what it was asked to open.
    QVERIFY(writeFile(m_work->filePath(QStringLiteral("notepad.exe")),
                      "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(basename \"$1\").tmp\"\n"
                      "mv \"$(basename \"$1\").tmp\" \"$(basename \"$1\").opened\"\n",
                      true));
    m_window->m_fileList = QStringList{m_work->filePath(QStringLiteral("first.ini"))};
    m_window->slotClicked();
    m_window->slotHelpPld();
    QTRY_VERIFY(QFile::exists(m_work->filePath(QStringLiteral("pld.bat.opened"))));
    QTRY_VERIFY(QFile::exists(m_work->filePath(QStringLiteral("first.ini.opened"))));
    QFile opened(m_work->filePath(QStringLiteral("first.ini.opened")));
    QVERIFY(opened.open(QIODevice::ReadOnly));
    QCOMPARE(opened.readAll(), QFile::encodeName(m_work->filePath(QStringLiteral("first.ini"))) + '\n');
}

void TestProgramControl::loadPldResult_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("shown");
    QTest::newRow("marker inside a line") << QStringLiteral("tprog echo step 3 OK: PLD is progammed, bye") << true
                                          << QStringLiteral("information|Volmar|\nПрошивка успешно загружена!");
    QTest::newRow("no marker") << QStringLiteral("tprog echo ok: pld is progammed") << false
                               << QStringLiteral("critical|Volmar|\nПрошивка не загружена!");
    QTest::newRow("not startable") << QStringLiteral("tprog-missing -f a.rbf") << false << QString();
}

void TestProgramControl::loadPldResult()
{
    QFETCH(QString, entry);
    QFETCH(bool, loaded);
    QFETCH(QString, shown);
    // A "tprog" of the folder, found there first as Windows would find it.
    QVERIFY(copyTestChild(m_work->filePath(QStringLiteral("tprog"))));
    QVERIFY(writeFile(m_work->filePath(QStringLiteral("pld.bat")), "@echo off\r\ncall " + entry.toUtf8() + "\r\n"));
    m_window->fillPldList();
    QCOMPARE(m_window->m_pPldComboBox->currentText(), entry);
    QVERIFY(m_window->m_pPldButton->isEnabled() && m_window->m_pActionLoadPld->isEnabled());

    // Around the loading the running program is stopped, and started again only after a success.
    setProgram(TestChild + QStringLiteral(" hang"));
    m_window->m_pStartButton->click();
    const qint64 pid = m_window->m_pProgProcess->processId();
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_window->slotLoadPld();
    QVERIFY(!Processes::isOpen(pid));
    QCOMPARE(m_window->m_pProgProcess->state(), loaded ? QProcess::Running : QProcess::NotRunning);
    QCOMPARE(m_window->m_pStartButton->text(), Stop);
    QCOMPARE(Dialogs::shown().isEmpty() ? QString() : lastShown(), shown);
}

void TestProgramControl::loadPldWithStandInTool()
{
    if (QStandardPaths::findExecutable(QStringLiteral("tprog.exe")).isEmpty())
        QSKIP("the tprog.exe stand-in is not built");
    QVERIFY(writeFile(m_work->filePath(QStringLiteral("fw.rbf")), QByteArray(1000, 'f')));
    m_window->m_pPldComboBox->addItems({QStringLiteral("tprog.exe -f fw.rbf"), QStringLiteral("tprog.exe -f no.rbf")});
    Dialogs::setNextAnswer(QMessageBox::Ok);
    QVERIFY(m_window->loadPld());
    m_window->m_pPldComboBox->setCurrentIndex(1);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    QVERIFY(!m_window->loadPld());
    QCOMPARE(lastShown(), QStringLiteral("critical|Volmar|\nПрошивка не загружена!"));
}

void TestProgramControl::loadPldPaintsAndHoldsTimers()
{
    QVERIFY(copyTestChild(m_work->filePath(QStringLiteral("tprog"))));
    m_window->m_pPldComboBox->addItem(QStringLiteral("tprog sleep 300 OK: PLD is progammed"));
    QWidget* page = m_window->m_pLogTextEdit; // the page of the log, wherever opening has put it
    while (page && m_window->tabWidget->indexOf(page) < 0)
        page = page->parentWidget();
    QVERIFY(page);
    m_window->tabWidget->setCurrentWidget(page);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    // A timer that expires during the wait runs after it, like every other window event ...
    bool fired = false;
    QProcess::ProcessState toolWhenFired = QProcess::Running;
    QTimer::singleShot(1, m_window.get(), [&] {
        fired = true;
        toolWhenFired = m_window->m_pPldProcess->state();
    });
    // ... but the window is painted meanwhile.
    struct PaintProbe : QObject
    {
        QProcess* tool = nullptr;
        int paintsWhileRunning = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            paintsWhileRunning += e->type() == QEvent::Paint && tool->state() == QProcess::Running ? 1 : 0;
            return false;
        }
    } probe;
    probe.tool = m_window->m_pPldProcess;
    m_window->m_pLogTextEdit->viewport()->installEventFilter(&probe);
    m_window->m_pLogTextEdit->viewport()->update();

    Dialogs::setNextAnswer(QMessageBox::Ok);
    QVERIFY(m_window->loadPld());
    QVERIFY(probe.paintsWhileRunning > 0);
    QVERIFY(!fired);
    QTRY_VERIFY(fired);
    QCOMPARE(toolWhenFired, QProcess::NotRunning);
}

void TestProgramControl::runOrvex()
{
    // A visualiser copy started outside the editor: the editor asks before starting another.
    QVERIFY(copyTestChild(m_work->filePath(QStringLiteral("Orvex.exe"))));
    QProcess outside;
    outside.start(m_work->filePath(QStringLiteral("Orvex.exe")), {QStringLiteral("hang")});
    QTRY_VERIFY(outside.canReadLine());
    QVERIFY(writeFile(m_work->filePath(QStringLiteral("data.bin")), "data"));
    m_window->m_pBinComboBox->addItem(QStringLiteral("data.bin"));
    m_window->m_sOrvexDirectory = m_work->path();
    Dialogs::setNextAnswer(QMessageBox::No);
    m_window->runOrvex();
    QCOMPARE(lastShown(),
             QStringLiteral("question|Volmar|Orvex уже запущена!\nЗагрузить ещё один экземпляр программы?"));
    QCOMPARE(Dialogs::shown().last().defaultButton, QMessageBox::Yes);
    QCOMPARE(m_window->m_pOrvexProcess->state(), QProcess::NotRunning);

    Dialogs::setNextAnswer(QMessageBox::Yes);
    m_window->runOrvex();
    QCOMPARE(Dialogs::shown().size(), 2);
    QCOMPARE(m_window->m_pOrvexProcess->program(), m_work->filePath(QStringLiteral("Orvex.exe")));
    QCOMPARE(m_window->m_pOrvexProcess->arguments(),
             (QStringList{QStringLiteral("-r"), m_work->filePath(QStringLiteral("data.bin")), QStringLiteral("-j")}));

    // The visualiser's own setting stands in for an empty one; a wrong one is reported.
    m_window->m_pOrvexProcess->waitForFinished();
    m_window->m_pBinComboBox->clear();
    m_window->m_sOrvexDirectory.clear();
    m_window->m_sOrvexOwnDir = m_work->filePath(QStringLiteral("missing"));
    Dialogs::setNextAnswer(QMessageBox::Yes);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_window->runOrvex();
    QCOMPARE(lastShown(), QStringLiteral("warning|Volmar|\nНеверно указана директория Orvex!"));
    QCOMPARE(m_window->m_pOrvexProcess->arguments(),
             (QStringList{QStringLiteral("-r"), QString(), QStringLiteral("-j")}));
    outside.kill();
    outside.waitForFinished();
}

void TestProgramControl::terminateProcesses()
{
    const QString name = QStringLiteral("vt%1k.exe").arg(QCoreApplication::applicationPid() % 100000);
    QVERIFY(copyTestChild(m_work->filePath(name)));
    QVERIFY(copyTestChild(m_work->filePath(QStringLiteral("kelda.exe"))));
    std::vector<std::unique_ptr<QProcess>> children;
    for (const QString& program : {name, name, QStringLiteral("kelda.exe"), QStringLiteral("kelda.exe")}) {
        children.push_back(std::make_unique<QProcess>());
        children.back()->start(m_work->filePath(program), {QStringLiteral("hang")});
    }
    QTRY_VERIFY(std::all_of(children.cbegin(), children.cend(), [](const auto& p) { return p->canReadLine(); }));

    // Arguments are part of the name: nothing matches, nothing is asked.
    setProgram(name + QStringLiteral(" -a"));
    m_window->slotTerminate();
    QVERIFY(Dialogs::shown().isEmpty());

    setProgram(name);
    Dialogs::setNextAnswer(QMessageBox::No);
    m_window->slotTerminate();
    QCOMPARE(lastShown(), QStringLiteral("question||Хотите завершить все процессы ") + name + QStringLiteral("(2)?"));
    QCOMPARE(Dialogs::shown().last().defaultButton, QMessageBox::No);
    QCOMPARE(children.at(0)->state(), QProcess::Running);
    Dialogs::setNextAnswer(QMessageBox::Yes);
    m_window->slotTerminate();
    QTRY_COMPARE(children.at(0)->state(), QProcess::NotRunning);
    QTRY_COMPARE(children.at(1)->state(), QProcess::NotRunning);

    // A server command line names the server; only asked here, other servers of this user may run.
    setProgram(QStringLiteral("kelda.exe -u prog.x55"));
    Dialogs::setNextAnswer(QMessageBox::No);
    m_window->slotTerminate();
    const QString prefix = QStringLiteral("question||Хотите завершить все процессы kelda.exe(");
    QVERIFY2(lastShown().startsWith(prefix), qPrintable(lastShown()));
    QVERIFY(lastShown().mid(prefix.size()).section(QLatin1Char(')'), 0, 0).toInt() >= 2);

    // The editor's own visualiser running: the button does nothing.
    Dialogs::clearShown();
    QVERIFY(Processes::startCommand(*m_window->m_pOrvexProcess, TestChild + QStringLiteral(" hang")));
    m_window->slotTerminate();
    QVERIFY(Dialogs::shown().isEmpty());
    for (const auto& child : children) {
        child->kill();
        child->waitForFinished();
    }
}

QTEST_MAIN(TestProgramControl)
#include "tst_programcontrol.moc"
