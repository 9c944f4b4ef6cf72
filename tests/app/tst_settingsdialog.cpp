// The options as the window uses them: the settings dialog through its menu action, and what the
// window keeps across a restart.
#include "app/volmar.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"
#include "widgets/settings.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace
{
QSettings store(const char* application = "Volmar")
{
    return QSettings("Korvane", application);
}

// Every flag with its member, check box ("Spin Apply" has none) and the value a first start gives it.
using S = Ui::SettingsClass;
const struct Flag
{
    const char* key;
    bool Options::*member;
    QCheckBox* S::*check;
    bool firstStart;
} flags[] = {
    {"Auto Load Orvex", &Options::m_bAutoLoadOrvex, &S::m_pAutoLoadOrvexCheck, true},
    {"Auto Exit Orvex", &Options::m_bAutoExitOrvex, &S::m_pAutoExitOrvexCheck, true},
    {"Auto Load PLD", &Options::m_bAutoLoadPld, &S::m_pAutoLoadPldCheck, false},
    {"Auto Save", &Options::m_bAutoSave, &S::m_pAutoSaveCheck, true},
    {"Auto Run Program", &Options::m_bAutoRunProgram, &S::m_pAutoRunProgramCheck, true},
    {"Auto Reload", &Options::m_bAutoReload, &S::m_pAutoReloadCheck, true},
    {"Spin Apply", &Options::m_bSpinApply, nullptr, false},
    {"Single Mode Off", &Options::m_bSingleModeOff, &S::m_pSingleModeOffCheck, false},
    {"Show Prog Window", &Options::m_bShowProgWindow, &S::m_pProgWindowCheck, false},
    {"Restart", &Options::m_bRestart, &S::m_pRestartCheck, false},
};
} // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        store().clear();
        store("Orvex").clear();
        Dialogs::clearPendingAnswers();
        Dialogs::clearShown();
    }

    void cleanup() { m_window.reset(); }

    void fontSurvivesRestart()
    {
        // A stored text that does not parse as a font leaves the default one.
        store().setValue("Font", "Monospace,13,-1");
        m_window = std::make_unique<Volmar>();
        QCOMPARE(m_window->m_font.toString(), QFont().toString());
        // The font the user chose lives in the tree.
        m_window->m_view.m_pParamsTree->setFont(QFont("Serif", 17));
        m_window->saveSettings();

        m_window = std::make_unique<Volmar>();
        QCOMPARE(m_window->m_ui.m_pCommentLabel->font().pointSize(), 17);
        QCOMPARE(m_window->m_view.m_pParamsTree->font().pointSize(), 17);
    }

    void dialogEdits_data()
    {
        QTest::addColumn<QString>("typed"); // into the period field
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("chosen"); // in the directory chooser; empty: it is cancelled
        QTest::addColumn<bool>("ok");
        QTest::addColumn<uint>("period");
        QTest::addColumn<QString>("directory");
        const auto row = [](const char* name, const char* typed, const char* shown, const char* chosen, bool ok,
                            uint period, const char* directory) {
            QTest::newRow(name) << QString(typed) << QString(shown) << QString(chosen) << ok << period
                                << QString(directory);
        };
        // Neither folder exists: the directory is taken as it is.
        row("letters between digits, chosen", "12ab3", "123", "/srv/orvex", true, 123, "/srv/orvex");
        row("minus sign, Cancel", "-7", "7", "/srv/orvex", false, 42, "/opt/orvex");
        row("decimal point, chooser cancelled", "4.5", "45", "", true, 45, "/opt/orvex");
        row("only letters: empty is 0", "abc", "", "", true, 0, "/opt/orvex");
        row("upper limit", "1000000", "1000000", "", true, 1000000, "/opt/orvex");
        // A key that would take the period past its limit is refused.
        row("past the limit", "9999999", "999999", "", true, 999999, "/opt/orvex");
        row("one past the limit", "1000001", "100000", "", true, 100000, "/opt/orvex");
    }

    void dialogEdits()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, chosen);
        QFETCH(bool, ok);
        m_window = std::make_unique<Volmar>();
        Options& options = m_window->m_options;
        options.m_nRestartTimeout = 42;
        options.m_sOrvexDirectory = "/opt/orvex";
        options.m_bSpinApply = true;
        runDialog([&](Settings* dialog) {
            QCOMPARE(dialog->m_pRestartTimeoutEdit->text(), "42");
            for (const Flag& flag : flags) {
                if (flag.check) {
                    QVERIFY2((dialog->*flag.check)->isChecked() == flag.firstStart, flag.key);
                    (dialog->*flag.check)->click();
                }
            }
            dialog->m_pRestartTimeoutEdit->clear();
            QTest::keyClicks(dialog->m_pRestartTimeoutEdit, typed);
            QCOMPARE(dialog->m_pRestartTimeoutEdit->text(), shown);
            Dialogs::setNextFileName(chosen);
            dialog->toolButton->click();
            QCOMPARE(dialog->m_pOrvexDirEdit->text(), chosen.isEmpty() ? "/opt/orvex" : chosen);
            (ok ? dialog->okButton : dialog->cancelButton)->click();
        });
        QTEST(options.m_nRestartTimeout, "period");
        QTEST(options.m_sOrvexDirectory, "directory");
        // "Spin Apply" has no control and keeps its value; nothing reaches the store before the close.
        for (const Flag& flag : flags)
            QVERIFY2(options.*flag.member == (flag.check ? ok != flag.firstStart : true), flag.key);
        QVERIFY(!store().contains("Restart Timeout"));
        QCOMPARE(Dialogs::shown().size(), 1);
        const Dialogs::Shown& asked = Dialogs::shown().constFirst();
        QCOMPARE(asked.kind + '|' + asked.caption + '|' + asked.dir, "directory|Выберите директорию Orvex|/opt/orvex");
    }

    void dialogShowsAndReturnsOptions()
    {
        m_window = std::make_unique<Volmar>();
        Options& options = m_window->m_options;
        options.m_nLogMaxLines = 20000;
        options.m_outputEncoding = TextCodec::OutputEncoding::Utf8;
        // A stored period past the limit is shown, and kept, at the limit.
        options.m_nRestartTimeout = 4000000000u;
        runDialog([&](Settings* dialog) {
            QCOMPARE(dialog->m_pRestartTimeoutEdit->text(), "1000000");
            QCOMPARE(dialog->m_pLogLinesSpin->value(), 20000);
            QCOMPARE(dialog->m_pOutputEncodingCombo->currentText(), "UTF-8");
            dialog->m_pLogLinesSpin->setValue(1000);
            dialog->m_pLogMbSpin->setValue(4);
            dialog->m_pOutputEncodingCombo->setCurrentIndex(1);
            QCOMPARE(dialog->m_pOutputEncodingCombo->currentText(), "CP1251");
            dialog->okButton->click();
        });
        QCOMPARE(options.m_nRestartTimeout, 1000000u);
        QCOMPARE(options.m_nLogMaxLines, 1000);
        QCOMPARE(options.m_nLogMaxMb, 4);
        QCOMPARE(options.m_outputEncoding, TextCodec::OutputEncoding::Cp1251);
    }

private:
    // Triggers the settings action; `drive` runs on the dialog from inside its exec() and must close it.
    void runDialog(const std::function<void(Settings*)>& drive)
    {
        QVERIFY(m_window->m_ui.m_pActionSettings->isEnabled());
        bool driven = false;
        QTimer::singleShot(0, this, [&] {
            if (auto* dialog = qobject_cast<Settings*>(QApplication::activeModalWidget())) {
                drive(dialog);
                driven = true;
            }
            // Whatever happened above, the nested loop must end.
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        m_window->m_ui.m_pActionSettings->trigger();
        QVERIFY(driven);
        QVERIFY(!QApplication::activeModalWidget());
    }

    std::unique_ptr<Volmar> m_window;
};

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    // The window reads file names from the application's arguments; QtTest's options stay out of them.
    int appArgc = 1;
    QApplication app(appArgc, argv);
    TestSettingsDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsdialog.moc"
