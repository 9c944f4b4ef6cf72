#include "control/qprocessex.h"
#include "platform/processes.h"
#include "tests/app/windowfixture.h"

#include <QSpinBox>
#include <QStandardPaths>

namespace
{
const QByteArray Ini = "[Gen]\r\nFreq=10 // Hz\r\nLevel=3\r\n";
const QByteArray Description = "<?xml version=\"1.0\"?>\n<settings>\n\t<group title=\"Generator\">\n"
                               "\t\t<param name=\"Gen.Freq\" title=\"Freq\" type=\"spin-int\" min=\"0\" max=\"999\"/>\n"
                               "\t</group>\n</settings>\n";
} // namespace

class TestClosing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_f.finish(); }

    void escapeStoresOptions();
    void openEditorCommitsBeforeQuestion_data();
    void openEditorCommitsBeforeQuestion();
    void chosenProgramWrittenIntoDescription();
    void programsEndedAsTheOptionsSay_data();
    void programsEndedAsTheOptionsSay();
    void detachedPagesComeBack();

private:
    WindowFixture m_f;
};

void TestClosing::init()
{
    m_f.start();
    writeBytes(m_f.path(QStringLiteral("gen.ini")), Ini);
    writeBytes(m_f.path(QStringLiteral("gen.vlmr")), Description);
    m_f.open({QStringLiteral("gen.ini")});
}

void TestClosing::escapeStoresOptions()
{
    m_f.window->m_nRestartTimeout = 1234;
    QTest::keyClick(m_f.window.get(), Qt::Key_Escape);
    QVERIFY(!m_f.window->isVisible());
    QCOMPARE(programStore().value(QStringLiteral("Restart Timeout")).toInt(), 1234);
    QVERIFY(Dialogs::shown().isEmpty());
    QCOMPARE(readBytes(m_f.path(QStringLiteral("gen.ini"))), Ini);
}

void TestClosing::openEditorCommitsBeforeQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("no") << int(QMessageBox::No);
    QTest::newRow("yes") << int(QMessageBox::Yes);
}

void TestClosing::openEditorCommitsBeforeQuestion()
{
    QFETCH(int, answer);
    // Without "Auto Save" the edit waits in the tree for the question at close.
    m_f.window->m_bAutoSave = false;
    ParamsTreeWidget* tree = m_f.window->m_pCurTree;
    tree->setCurrentItem(m_f.row(QStringLiteral("Freq")));
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Return);
    auto* editor = tree->viewport()->findChild<QSpinBox*>();
    QVERIFY(editor);
    QTRY_VERIFY(editor->hasFocus());
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("77"));

    Dialogs::setNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
    m_f.window->close();
    QCOMPARE(Dialogs::shown().size(), 1);
    QCOMPARE(Dialogs::shown().first().text, QStringLiteral("Параметры были изменены. Хотите сохранить изменения?"));
    const QByteArray bytes = readBytes(m_f.path(QStringLiteral("gen.ini")));
    if (answer == QMessageBox::No)
        QCOMPARE(bytes, Ini);
    else
        QVERIFY2(bytes.contains("Freq= 77") && bytes.endsWith("// Hz\r\nLevel=3\r\n"), bytes.constData());
}

void TestClosing::chosenProgramWrittenIntoDescription()
{
    m_f.window->m_pProgComboBox->addItem(QStringLiteral("gen.exe -n 5"));
    m_f.window->m_pProgComboBox->setCurrentIndex(m_f.window->m_pProgComboBox->count() - 1);
    m_f.window->close();
    QVERIFY(
        readBytes(m_f.path(QStringLiteral("gen.vlmr"))).contains("\t<curprog cmdline=\"gen.exe -n 5\"/>\n</settings>"));
}

void TestClosing::programsEndedAsTheOptionsSay_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("Auto Exit Orvex and Show Prog Window on") << true;
    QTest::newRow("both off") << false;
}

void TestClosing::programsEndedAsTheOptionsSay()
{
    QFETCH(bool, on);
    const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
    QVERIFY(!sleep.isEmpty());
    QProcessEx* orvex = m_f.window->m_pOrvexProcess;
    orvex->start(sleep, {QStringLiteral("300")});
    QVERIFY(orvex->waitForStarted());
    const qint64 orvexPid = orvex->processId();
    const qint64 progPid = Processes::startDetached(sleep, {QStringLiteral("300")});
    QVERIFY(Processes::isOpen(progPid));
    m_f.window->m_progPid = progPid;
    m_f.window->m_bAutoExitOrvex = on;
    m_f.window->m_bShowProgWindow = on;

    m_f.window->close();
    QCOMPARE(Processes::isOpen(orvexPid), !on);
    // The detached program is reaped by whoever adopted it.
    QTRY_COMPARE(Processes::isOpen(progPid), !on);
    m_f.window.reset();
    QCOMPARE(Processes::isOpen(orvexPid), !on);
    if (!on) {
        // The window leaves a running visualiser to itself.
        orvex->kill();
        orvex->waitForFinished();
        delete orvex;
        Processes::terminate(progPid);
    }
}

void TestClosing::detachedPagesComeBack()
{
    TabWgt* log = m_f.detach(QStringLiteral("Log"));
    QVERIFY(log);
    log->move(25, 35);
    m_f.window->close();
    QVERIFY(m_f.window->m_tabWindows.isEmpty());
    QCOMPARE(m_f.window->tabTitles(), (QStringList{QStringLiteral("Ini"), QStringLiteral("Log")}));
    QCOMPARE(programStore().value(QStringLiteral("state_tab")).toPoint(), QPoint(25, 35));
}

QTEST_MAIN(TestClosing)
#include "tst_closing.moc"
