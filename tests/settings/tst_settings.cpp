#include "app/volmar.h"
#include "settings/settings.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

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

// Every flag with its key, member, check box ("Spin Apply" has none) and the value a first start gives it.
using S = Ui::SettingsClass;
const struct Flag
{
    const char* key;
    bool Volmar::*member;
    QCheckBox* S::*check;
    bool firstStart;
} flags[] = {
    {"Auto Load Orvex", &Volmar::m_bAutoLoadOrvex, &S::m_pAutoLoadOrvexCheck, true},
    {"Auto Exit Orvex", &Volmar::m_bAutoExitOrvex, &S::m_pAutoExitOrvexCheck, true},
    {"Auto Load PLD", &Volmar::m_bAutoLoadPld, &S::m_pAutoLoadPldCheck, false},
    {"Auto Save", &Volmar::m_bAutoSave, &S::m_pAutoSaveCheck, true},
    {"Auto Run Program", &Volmar::m_bAutoRunProgram, &S::m_pAutoRunProgramCheck, true},
    {"Auto Reload", &Volmar::m_bAutoReload, &S::m_pAutoReloadCheck, true},
    {"Spin Apply", &Volmar::m_bSpinApply, nullptr, false},
    {"Single Mode Off", &Volmar::m_bSingleModeOff, &S::m_pSingleModeOffCheck, false},
    {"Show Prog Window", &Volmar::m_bShowProgWindow, &S::m_pProgWindowCheck, false},
    {"Restart", &Volmar::m_bRestart, &S::m_pRestartCheck, false},
};
} // namespace

class TestSettings : public QObject
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

    void invalidValuesRead()
    {
        store().setValue("Auto Save", "yes");
        store().setValue("Restart Timeout", "soon");
        store().setValue("WidthColumn", "wide");
        store().setValue("Font", "Monospace,13,-1");
        m_window = std::make_unique<Volmar>();
        QVERIFY(!m_window->m_bAutoSave);
        QCOMPARE(m_window->m_nRestartTimeout, 0u);
        QCOMPARE(m_window->m_nWidthColumn, 0);
        // A font text that does not parse leaves the application's font.
        QCOMPARE(m_window->m_font.toString(), QFont().toString());
    }

    void optionsSurviveRestart()
    {
        m_window = std::make_unique<Volmar>();
        for (const Flag& flag : flags) {
            QVERIFY2(m_window.get()->*flag.member == flag.firstStart, flag.key);
            m_window.get()->*flag.member = !flag.firstStart;
        }
        QCOMPARE(m_window->m_nRestartTimeout, 0u);
        // Only the "Telva Directory" copy of the empty fallback is written before the close.
        QCOMPARE(store().allKeys(), QStringList{"Telva Directory"});
        m_window->m_sOrvexDirectory = "/opt/Орвекс";
        m_window->m_nRestartTimeout = 4000000000u;
        // What the user changed lives in the tree: the font action and a dragged column.
        m_window->m_view.m_pParamsTree->setFont(QFont("Serif", 17));
        m_window->m_view.m_pParamsTree->setColumnWidth(ParamsTreeWidget::TitleColumn, 233);
        m_window->resize(640, 410);
        m_window->saveSettings();

        m_window = std::make_unique<Volmar>();
        for (const Flag& flag : flags) {
            QVERIFY2(m_window.get()->*flag.member == !flag.firstStart, flag.key);
            // Written as numbers, not as "true"/"false".
            QCOMPARE(store().value(flag.key).toString(), flag.firstStart ? "0" : "1");
        }
        QCOMPARE(m_window->m_sOrvexDirectory, "/opt/Орвекс");
        QCOMPARE(m_window->m_nRestartTimeout, 4000000000u);
        QCOMPARE(m_window->m_view.m_pParamsTree->columnWidth(ParamsTreeWidget::TitleColumn), 233);
        QCOMPARE(m_window->size(), QSize(640, 410));
        QCOMPARE(m_window->m_pCommentLabel->font().pointSize(), 17);
        QCOMPARE(m_window->m_view.m_pParamsTree->font().pointSize(), 17);
        // The visualiser's store is only read.
        QVERIFY(store("Orvex").allKeys().isEmpty());
    }

    void orvexDirectoryFallback()
    {
        // Older settings kept the directory under "Orvex Dir"; the visualiser keeps its own in its own store.
        store().setValue("Orvex Dir", "/opt/orvex");
        store("Orvex").setValue("Orvex Dir", "/vis/home");
        m_window = std::make_unique<Volmar>();
        QCOMPARE(m_window->m_sOrvexDirectory, "/opt/orvex");
        QCOMPARE(m_window->m_sOrvexOwnDir, "/vis/home");
        QCOMPARE(store().value("Telva Directory").toString(), "/opt/orvex");
        m_window->saveSettings();
        QCOMPARE(store().value("Orvex Directory").toString(), "/opt/orvex");
        // Once there, the new key wins.
        store().setValue("Orvex Directory", "/usr/orvex");
        store().remove("Telva Directory");
        m_window = std::make_unique<Volmar>();
        QCOMPARE(m_window->m_sOrvexDirectory, "/usr/orvex");
        QVERIFY(!store().contains("Telva Directory"));
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
        m_window->m_nRestartTimeout = 42;
        m_window->m_sOrvexDirectory = "/opt/orvex";
        m_window->m_bSpinApply = true;
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
        QTEST(m_window->m_nRestartTimeout, "period");
        QTEST(m_window->m_sOrvexDirectory, "directory");
        // "Spin Apply" has no control and keeps its value; nothing reaches the store before the close.
        for (const Flag& flag : flags)
            QVERIFY2(m_window.get()->*flag.member == (flag.check ? ok != flag.firstStart : true), flag.key);
        QVERIFY(!store().contains("Restart Timeout"));
        QCOMPARE(Dialogs::shown().size(), 1);
        const Dialogs::Shown& asked = Dialogs::shown().constFirst();
        QCOMPARE(asked.kind + '|' + asked.caption + '|' + asked.dir, "directory|Выберите директорию Orvex|/opt/orvex");
    }

    void logAndEncodingOptions_data()
    {
        QTest::addColumn<QStringList>("stored"); // "Log Max Lines", "Log Max MB", "Output Encoding"; empty: missing
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("megabytes");
        QTest::addColumn<OutputDecoder::Encoding>("encoding");
        QTest::newRow("first start") << QStringList{"", "", ""} << 50000 << 32 << OutputDecoder::Encoding::Auto;
        QTest::newRow("chosen") << QStringList{"20000", "8", "UTF-8"} << 20000 << 8 << OutputDecoder::Encoding::Utf8;
        QTest::newRow("name in other case")
            << QStringList{"", "", "cp1251"} << 50000 << 32 << OutputDecoder::Encoding::Cp1251;
        QTest::newRow("out of range") << QStringList{"0", "100000", "koi8-r"} << 100 << 512
                                      << OutputDecoder::Encoding::Auto;
        QTest::newRow("not numbers") << QStringList{"many", "lots", ""} << 50000 << 32 << OutputDecoder::Encoding::Auto;
    }

    void logAndEncodingOptions()
    {
        QFETCH(QStringList, stored);
        const QStringList keys{"Log Max Lines", "Log Max MB", "Output Encoding"};
        for (int i = 0; i < keys.size(); ++i) {
            if (!stored.at(i).isEmpty())
                store().setValue(keys.at(i), stored.at(i));
        }
        m_window = std::make_unique<Volmar>();
        QTEST(m_window->m_nLogMaxLines, "lines");
        QTEST(m_window->m_nLogMaxMb, "megabytes");
        QTEST(m_window->m_outputEncoding, "encoding");

        // The dialog shows them and hands its edits back on OK; the store takes them at the close.
        QFETCH(int, lines);
        runDialog([&](Settings* dialog) {
            QCOMPARE(dialog->m_pLogLinesSpin->value(), lines);
            QCOMPARE(dialog->m_pOutputEncodingCombo->currentIndex(), int(m_window->m_outputEncoding));
            dialog->m_pLogLinesSpin->setValue(1000);
            dialog->m_pLogMbSpin->setValue(4);
            dialog->m_pOutputEncodingCombo->setCurrentIndex(1);
            QCOMPARE(dialog->m_pOutputEncodingCombo->currentText(), "CP1251");
            dialog->okButton->click();
        });
        QCOMPARE(m_window->m_nLogMaxLines, 1000);
        QCOMPARE(m_window->m_nLogMaxMb, 4);
        QCOMPARE(m_window->m_outputEncoding, OutputDecoder::Encoding::Cp1251);
        m_window->saveSettings();
        QCOMPARE(store().value("Log Max Lines").toInt(), 1000);
        QCOMPARE(store().value("Log Max MB").toInt(), 4);
        QCOMPARE(store().value("Output Encoding").toString(), "CP1251");
    }

    void storedPeriodPastLimitShownAtLimit()
    {
        m_window = std::make_unique<Volmar>();
        m_window->m_nRestartTimeout = 4000000000u;
        runDialog([&](Settings* dialog) {
            QCOMPARE(dialog->m_pRestartTimeoutEdit->text(), "1000000");
            dialog->okButton->click();
        });
        QCOMPARE(m_window->m_nRestartTimeout, 1000000u);
    }

private:
    // Triggers the settings action; `drive` runs on the dialog from inside its exec() and must close it.
    void runDialog(const std::function<void(Settings*)>& drive)
    {
        QVERIFY(m_window->m_pActionSettings->isEnabled());
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
        m_window->m_pActionSettings->trigger();
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
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
