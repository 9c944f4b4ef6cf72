// The window's program row as the user meets it, with real child processes: the start button, the
// log pane, and what the firmware, visualiser, auxiliary and terminate buttons say.
#include "app/programpanel.h"
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

namespace
{
const QString Hang = QStringLiteral("sh -c \"echo Ready; exec sleep 600\"");
const QString Sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));

QString lastShown()
{
    const Dialogs::Shown& shown = Dialogs::shown().last();
    return shown.kind + QLatin1Char('|') + shown.title + QLatin1Char('|') + shown.text;
}

// Notes whether a widget is painted while a program runs.
struct PaintProbe : QObject
{
    explicit PaintProbe(QProcess* program) : program(program) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        painted = painted || (e->type() == QEvent::Paint && program->state() == QProcess::Running);
        return false;
    }
    QProcess* program;
    bool painted = false;
};
} // namespace

class TestProgramControl : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<Volmar> m_window;

    QString work(const QString& name) const { return m_work->filePath(name); }
    QString logText() const { return m_window->m_ui.m_pLogTextEdit->toPlainText(); }
    QPushButton* button() const { return m_window->m_ui.m_pStartButton; }
    void setProgram(const QString& commandLine)
    {
        m_window->m_ui.m_pProgComboBox->clear();
        m_window->m_ui.m_pProgComboBox->addItem(commandLine);
    }
    void start(const QString& commandLine)
    {
        setProgram(commandLine);
        button()->click();
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
        button()->setEnabled(true);
    }

    void cleanup() { m_window.reset(); }

    void startButtonShowsProgram()
    {
        QVERIFY(TestUtil::writeBytes(work(QStringLiteral("out")), "\rP 10%\rP 20%\nПривет\n"));
        QCOMPARE(button()->text(), QStringLiteral("Старт"));
        QCOMPARE(button()->styleSheet(), QStringLiteral("background-color: #00FF00"));
        start(QStringLiteral("cat out"));
        QCOMPARE(button()->text(), QStringLiteral("Стоп"));
        QCOMPARE(button()->styleSheet(), QStringLiteral("background-color: red"));
        QTRY_COMPARE(logText(), QStringLiteral("P 20%\nПривет\n"));
        // A program that ended by itself leaves the button as it was; the next press only resets it.
        QTRY_COMPARE(m_window->m_runner.state(), ProgramRunner::State::Ended);
        QCOMPARE(button()->text(), QStringLiteral("Стоп"));
        button()->click();
        QCOMPARE(button()->text(), QStringLiteral("Старт"));
        QCOMPARE(logText(), QStringLiteral("P 20%\nПривет\n"));
    }

    void startButtonLooksDisabled()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        // The colour behind the text, as the user sees it.
        const auto look = [this] {
            const QImage image = button()->grab().toImage();
            const QColor c = image.pixelColor(image.width() / 8, image.height() / 2);
            return c.green() > 200 && c.red() < 150   ? QStringLiteral("green")
                   : c.red() > 200 && c.green() < 150 ? QStringLiteral("red")
                                                      : QStringLiteral("other");
        };
        QCOMPARE(look(), QStringLiteral("green"));
        button()->setEnabled(false);
        QCOMPARE(look(), QStringLiteral("other"));
        // Disabled through its parent too.
        button()->setEnabled(true);
        button()->parentWidget()->setEnabled(false);
        QCOMPARE(look(), QStringLiteral("other"));
        button()->parentWidget()->setEnabled(true);
        QCOMPARE(look(), QStringLiteral("green"));
        start(Hang);
        QCOMPARE(look(), QStringLiteral("red"));
    }

    void logKeepsNewestLines()
    {
        // The limit of the options: the newest lines stay, the line at the top counts the others.
        m_window->m_options.m_nLogMaxLines = 1000;
        start(QStringLiteral("seq 1 100000"));
        QTRY_COMPARE(m_window->m_runner.state(), ProgramRunner::State::Ended);
        QTRY_VERIFY(logText().endsWith(QStringLiteral("\n100000\n")));
        // Which lines stay, and the note that counts the others, is the log buffer's own test; here the
        // window's limit reaches it.
        QVERIFY(logText().count(QLatin1Char('\n')) <= 1000);
        // The next run starts with an empty log again.
        button()->click();
        start(QStringLiteral("echo next"));
        QTRY_COMPARE(logText(), QStringLiteral("next\n"));
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
        QTest::addColumn<QString>("shown");
        QTest::newRow("slow") << "sleep 600" << 200
                              << QString("warning|Volmar|\nПроверка не завершилась в отведенное время!");
        QTest::newRow("finished") << "sleep 0.05" << -1 << QString("about|Volmar|\nПроверка завершилась.");
    }

    void auxButtonMessages()
    {
        QFETCH(QString, command);
        QFETCH(int, timeout);
        QFETCH(QString, shown);
        m_window->m_session.description().m_sAuxTitle = QStringLiteral("Проверка");
        m_window->m_session.description().m_sAuxCmdLine = command;
        m_window->m_session.description().m_nAuxTimeout = timeout;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        // While the command is awaited the window is painted.
        PaintProbe probe(m_window->m_runner.auxProcess());
        m_window->installEventFilter(&probe);
        m_window->update();
        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->m_ui.m_pAuxButton->click();
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(lastShown(), shown);
        QCOMPARE(m_window->m_ui.m_pAuxButton->text(), QStringLiteral("Проверка"));
        QVERIFY(probe.painted || timeout < 0);
    }

    void loadPldMessages_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("shown");
        QTest::newRow("loaded") << "echo 3 OK: PLD is progammed!"
                                << QString("information|Volmar|\nПрошивка успешно загружена!");
        QTest::newRow("failed") << "echo ok: pld is progammed" << QString("critical|Volmar|\nПрошивка не загружена!");
    }

    void loadPldMessages()
    {
        QFETCH(QString, entry);
        QFETCH(QString, shown);
        m_window->m_ui.m_pPldComboBox->addItem(entry);
        start(Hang);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->m_ui.m_pPldButton->setEnabled(true);
        m_window->m_ui.m_pPldButton->click();
        QCOMPARE(lastShown(), shown);
        QCOMPARE(button()->text(), QStringLiteral("Стоп"));
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
        const QList<QWidget*> controls{m_window->m_ui.m_pPldComboBox, m_window->m_ui.m_pPldButton,
                                       m_window->m_ui.m_pHelpPld};
        for (QWidget* control : controls)
            control->setEnabled(true);
        m_window->m_ui.m_pActionLoadPld->setEnabled(true);
        m_window->m_pPanel->fillLists({}, QString(), 0, QString());
        QCOMPARE(m_window->m_ui.m_pPldComboBox->count(), enabled ? 1 : 0);
        for (QWidget* control : controls)
            QCOMPARE(control->isEnabled(), enabled);
        QCOMPARE(m_window->m_ui.m_pActionLoadPld->isEnabled(), enabled);
        QCOMPARE(m_window->m_ui.m_pPldComboBox->currentText(), enabled ? "tprog.exe -f board.rbf" : "");
    }

    void runOrvexAsks()
    {
        // A visualiser copy started outside the editor: the editor asks before starting another.
        QVERIFY(QFile::copy(Sleep, work(QStringLiteral("Orvex.exe"))));
        QProcess outside;
        outside.start(work(QStringLiteral("Orvex.exe")), {QStringLiteral("600")});
        QVERIFY(outside.waitForStarted());
        m_window->m_options.m_sOrvexDirectory = work(QStringLiteral("missing"));
        Dialogs::setNextAnswer(QMessageBox::No);
        m_window->m_ui.m_pActionRunOrvex->trigger();
        QCOMPARE(lastShown(),
                 QStringLiteral("question|Volmar|Orvex уже запущена!\nЗагрузить ещё один экземпляр программы?"));
        QCOMPARE(Dialogs::shown().last().defaultButton, QMessageBox::Yes);
        QCOMPARE(Dialogs::shown().size(), 1);
        // Yes, from a folder without the visualiser: a wrong folder is told.
        Dialogs::setNextAnswer(QMessageBox::Yes);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->m_ui.m_pActionRunOrvex->trigger();
        QCOMPARE(lastShown(), QStringLiteral("warning|Volmar|\nНеверно указана директория Orvex!"));
        outside.kill();
        outside.waitForFinished();
    }

    void terminateAsks()
    {
        // A name no other program of the user has, so that ending them stays within the test.
        const QString name = QStringLiteral("vt%1w.exe").arg(QCoreApplication::applicationPid() % 100000);
        QVERIFY(QFile::copy(Sleep, work(name)));
        QProcess child;
        child.start(work(name), {QStringLiteral("600")});
        QVERIFY(child.waitForStarted());
        // Typed into the list, as the user may.
        m_window->m_ui.m_pProgComboBox->setEditText(name);
        Dialogs::setNextAnswer(QMessageBox::No);
        m_window->m_ui.m_pTerminateButton->click();
        QCOMPARE(lastShown(), QStringLiteral("question||Хотите завершить все процессы %1(1)?").arg(name));
        QCOMPARE(Dialogs::shown().last().defaultButton, QMessageBox::No);
        QCOMPARE(child.state(), QProcess::Running);
        Dialogs::setNextAnswer(QMessageBox::Yes);
        m_window->m_ui.m_pTerminateButton->click();
        QTRY_COMPARE(child.state(), QProcess::NotRunning);
    }
};

QTEST_MAIN(TestProgramControl)
#include "tst_programcontrol.moc"
