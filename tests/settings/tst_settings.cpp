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
const QString Organisation = QStringLiteral("Korvane");

QVariant stored(const QString& key)
{
    return QSettings(Organisation, QStringLiteral("Volmar")).value(key);
}

void store(const QString& key, const QVariant& value)
{
    QSettings(Organisation, QStringLiteral("Volmar")).setValue(key, value);
}

QStringList storedKeys()
{
    return QSettings(Organisation, QStringLiteral("Volmar")).allKeys();
}

// Every flag with its key, member and the value a first start gives it.
struct Flag
{
    const char* key;
    bool Volmar::*member;
    bool firstStart;
};

const Flag flags[] = {
    {"Auto Load Orvex", &Volmar::m_bAutoLoadOrvex, true},
    {"Auto Exit Orvex", &Volmar::m_bAutoExitOrvex, true},
    {"Auto Load PLD", &Volmar::m_bAutoLoadPld, false},
    {"Auto Save", &Volmar::m_bAutoSave, true},
    {"Auto Run Program", &Volmar::m_bAutoRunProgram, true},
    {"Auto Reload", &Volmar::m_bAutoReload, true},
    {"Spin Apply", &Volmar::m_bSpinApply, false},
    {"Single Mode Off", &Volmar::m_bSingleModeOff, false},
    {"Show Prog Window", &Volmar::m_bShowProgWindow, false},
    {"Restart", &Volmar::m_bRestart, false},
};

// The dialog's check boxes and the first-start value of the option each one edits ("Spin Apply" has none).
struct FlagControl
{
    QCheckBox* Ui::SettingsClass::*check;
    bool firstStart;
};

const FlagControl flagControls[] = {
    {&Ui::SettingsClass::m_pAutoLoadOrvexCheck, true},  {&Ui::SettingsClass::m_pAutoExitOrvexCheck, true},
    {&Ui::SettingsClass::m_pAutoLoadPldCheck, false},   {&Ui::SettingsClass::m_pAutoSaveCheck, true},
    {&Ui::SettingsClass::m_pAutoRunProgramCheck, true}, {&Ui::SettingsClass::m_pAutoReloadCheck, true},
    {&Ui::SettingsClass::m_pSingleModeOffCheck, false}, {&Ui::SettingsClass::m_pProgWindowCheck, false},
    {&Ui::SettingsClass::m_pRestartCheck, false},
};
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstStartDefaults();
    void optionsSurviveRestart();
    void orvexDirectoryFallback_data();
    void orvexDirectoryFallback();
    void spinApplyCarriedThrough();
    void storedFont_data();
    void storedFont();
    void nonNumericValuesReadAsZero();
    void dialogOpensWithLoadedValues();
    void dialogOkCopiesEveryControl();
    void dialogCancelChangesNothing();
    void emptiedPeriodStoresZero();
    void periodRefusesNonDigits_data();
    void periodRefusesNonDigits();
    void directoryChooser_data();
    void directoryChooser();

private:
    void createWindow() { m_window = std::make_unique<Volmar>(); }
    void restart();
    // Triggers the settings action; `drive` runs on the dialog from inside its exec() and must close it.
    void runDialog(const std::function<void(Settings*)>& drive);

    std::unique_ptr<Volmar> m_window;
};

void TestSettings::init()
{
    QSettings(Organisation, QStringLiteral("Volmar")).clear();
    QSettings(Organisation, QStringLiteral("Orvex")).clear();
    Dialogs::clearPendingAnswers();
    Dialogs::clearShown();
}

void TestSettings::cleanup()
{
    m_window.reset();
}

void TestSettings::restart()
{
    m_window->saveSettings();
    m_window.reset();
    createWindow();
}

void TestSettings::runDialog(const std::function<void(Settings*)>& drive)
{
    QAction* action = m_window->findChild<QAction*>(QStringLiteral("m_pActionSettings"));
    QVERIFY(action);
    QVERIFY(action->isEnabled());
    bool driven = false;
    QTimer::singleShot(0, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<Settings*>(modal);
        if (dialog) {
            drive(dialog);
            driven = true;
        }
        // Whatever happened above, the nested loop must end.
        if (QApplication::activeModalWidget() == modal && modal)
            modal->close();
    });
    action->trigger();
    QVERIFY(driven);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestSettings::firstStartDefaults()
{
    createWindow();
    for (const Flag& flag : flags)
        QVERIFY2((*m_window).*flag.member == flag.firstStart, flag.key);
    QCOMPARE(m_window->m_nRestartTimeout, 0u);
    QCOMPARE(m_window->m_sOrvexDirectory, QString());
    QCOMPARE(m_window->m_nWidthColumn, 0);
    if (m_window->m_pParamsTree)
        QCOMPARE(m_window->m_pParamsTree->columnWidth(ParamsTreeWidget::TitleColumn), 100);
    // Only the "Telva Directory" copy of the empty fallback is written before the close.
    QCOMPARE(storedKeys(), QStringList{QStringLiteral("Telva Directory")});
}

void TestSettings::optionsSurviveRestart()
{
    createWindow();
    for (const Flag& flag : flags)
        (*m_window).*flag.member = !flag.firstStart;
    m_window->m_sOrvexDirectory = QStringLiteral("/opt/Орвекс");
    m_window->m_nRestartTimeout = 4000000000u;
    m_window->resize(640, 410);
    QFont font(QStringLiteral("Serif"), 17);
    // What the user changed lives in the tree once there is one: the font action and a dragged column.
    if (m_window->m_pParamsTree) {
        m_window->m_pParamsTree->setFont(font);
        m_window->m_pParamsTree->setColumnWidth(ParamsTreeWidget::TitleColumn, 233);
    } else {
        m_window->m_font = font;
        m_window->m_nWidthColumn = 233;
    }

    restart();

    for (const Flag& flag : flags) {
        QVERIFY2((*m_window).*flag.member == !flag.firstStart, flag.key);
        // Written as numbers, not as "true"/"false".
        QCOMPARE(stored(QLatin1String(flag.key)).toString(),
                 flag.firstStart ? QStringLiteral("0") : QStringLiteral("1"));
    }
    QCOMPARE(m_window->m_sOrvexDirectory, QStringLiteral("/opt/Орвекс"));
    QCOMPARE(m_window->m_nRestartTimeout, 4000000000u);
    QCOMPARE(m_window->size(), QSize(640, 410));
    QCOMPARE(m_window->m_font.family(), font.family());
    QCOMPARE(m_window->m_font.pointSize(), 17);
    QCOMPARE(m_window->m_pCommentLabel->font().pointSize(), 17);
    QCOMPARE(m_window->m_nWidthColumn, 233);
    if (m_window->m_pParamsTree) {
        QCOMPARE(m_window->m_pParamsTree->font().pointSize(), 17);
        QCOMPARE(m_window->m_pParamsTree->columnWidth(ParamsTreeWidget::TitleColumn), 233);
    }
    // The visualiser's store is only read.
    QVERIFY(QSettings(Organisation, QStringLiteral("Orvex")).allKeys().isEmpty());
}

void TestSettings::orvexDirectoryFallback_data()
{
    QTest::addColumn<QString>("orvexDirectory");
    QTest::addColumn<QString>("oldOrvexDir");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("telvaWritten");

    QTest::newRow("old key taken") << QString() << "/opt/orvex"
                                   << "/opt/orvex" << true;
    QTest::newRow("new key wins") << "/usr/orvex"
                                  << "/opt/orvex"
                                  << "/usr/orvex" << false;
    QTest::newRow("neither") << QString() << QString() << QString() << true;
}

void TestSettings::orvexDirectoryFallback()
{
    QFETCH(QString, orvexDirectory);
    QFETCH(QString, oldOrvexDir);
    QFETCH(QString, expected);
    QFETCH(bool, telvaWritten);
    if (!orvexDirectory.isEmpty())
        store(QStringLiteral("Orvex Directory"), orvexDirectory);
    if (!oldOrvexDir.isEmpty())
        store(QStringLiteral("Orvex Dir"), oldOrvexDir);
    QSettings(Organisation, QStringLiteral("Orvex")).setValue(QStringLiteral("Orvex Dir"), "/vis/home");

    createWindow();
    QCOMPARE(m_window->m_sOrvexDirectory, expected);
    QCOMPARE(m_window->m_sOrvexOwnDir, QStringLiteral("/vis/home"));
    QCOMPARE(storedKeys().contains(QStringLiteral("Telva Directory")), telvaWritten);
    if (telvaWritten)
        QCOMPARE(stored(QStringLiteral("Telva Directory")).toString(), expected);

    m_window->saveSettings();
    QCOMPARE(stored(QStringLiteral("Orvex Directory")).toString(), expected);
}

void TestSettings::spinApplyCarriedThrough()
{
    store(QStringLiteral("Spin Apply"), 1);
    createWindow();
    // The dialog has no control for it, and OK must not reset it either.
    runDialog([](Settings* dialog) { dialog->okButton->click(); });
    m_window->saveSettings();
    QCOMPARE(stored(QStringLiteral("Spin Apply")).toString(), QStringLiteral("1"));
}

void TestSettings::storedFont_data()
{
    QTest::addColumn<QString>("fontText");
    QTest::addColumn<QString>("expected"); // empty: the application's default font

    QTest::newRow("valid") << "Monospace,13,-1,5,700,0,0,0,0,0"
                           << "Monospace,13";
    QTest::newRow("too few fields") << "Monospace,13,-1" << QString();
    QTest::newRow("no family") << ",13" << QString();
}

void TestSettings::storedFont()
{
    QFETCH(QString, fontText);
    QFETCH(QString, expected);
    store(QStringLiteral("Font"), fontText);

    createWindow();
    QFont want;
    if (!expected.isEmpty())
        QVERIFY(want.fromString(expected));
    QCOMPARE(m_window->m_font.family(), want.family());
    QCOMPARE(m_window->m_font.pointSize(), want.pointSize());
    QCOMPARE(m_window->m_pCommentLabel->font().pointSize(), want.pointSize());
    if (m_window->m_pParamsTree)
        QCOMPARE(m_window->m_pParamsTree->font().pointSize(), want.pointSize());
}

void TestSettings::nonNumericValuesReadAsZero()
{
    store(QStringLiteral("Auto Save"), "yes");
    store(QStringLiteral("Restart Timeout"), "soon");
    store(QStringLiteral("WidthColumn"), "wide");
    createWindow();
    QVERIFY(!m_window->m_bAutoSave);
    QCOMPARE(m_window->m_nRestartTimeout, 0u);
    QCOMPARE(m_window->m_nWidthColumn, 0);
    if (m_window->m_pParamsTree)
        QCOMPARE(m_window->m_pParamsTree->columnWidth(ParamsTreeWidget::TitleColumn), 100);
}

void TestSettings::dialogOpensWithLoadedValues()
{
    store(QStringLiteral("Orvex Directory"), "/opt/orvex");
    for (const Flag& flag : flags)
        store(QLatin1String(flag.key), flag.firstStart ? 0 : 1);
    store(QStringLiteral("Restart Timeout"), 2500);
    createWindow();
    runDialog([](Settings* dialog) {
        QCOMPARE(dialog->m_pOrvexDirEdit->text(), QStringLiteral("/opt/orvex"));
        for (const FlagControl& control : flagControls)
            QVERIFY2((dialog->*control.check)->isChecked() == !control.firstStart,
                     qPrintable((dialog->*control.check)->objectName()));
        QCOMPARE(dialog->m_pRestartTimeoutEdit->text(), QStringLiteral("2500"));
        dialog->cancelButton->click();
    });
}

void TestSettings::dialogOkCopiesEveryControl()
{
    createWindow();
    runDialog([](Settings* dialog) {
        dialog->m_pOrvexDirEdit->clear();
        QTest::keyClicks(dialog->m_pOrvexDirEdit, QStringLiteral("/no/such/dir"));
        for (const FlagControl& control : flagControls)
            (dialog->*control.check)->click();
        dialog->m_pRestartTimeoutEdit->selectAll();
        QTest::keyClicks(dialog->m_pRestartTimeoutEdit, QStringLiteral("750"));
        dialog->okButton->click();
    });
    // A directory that does not exist is stored as typed.
    QCOMPARE(m_window->m_sOrvexDirectory, QStringLiteral("/no/such/dir"));
    for (const Flag& flag : flags) {
        if (flag.member != &Volmar::m_bSpinApply)
            QVERIFY2((*m_window).*flag.member == !flag.firstStart, flag.key);
    }
    QCOMPARE(m_window->m_nRestartTimeout, 750u);
    // Nothing reaches the store before the close.
    QVERIFY(!storedKeys().contains(QStringLiteral("Restart Timeout")));
}

void TestSettings::dialogCancelChangesNothing()
{
    createWindow();
    m_window->m_sOrvexDirectory = QStringLiteral("/opt/orvex");
    m_window->m_nRestartTimeout = 300;
    runDialog([](Settings* dialog) {
        QTest::keyClicks(dialog->m_pOrvexDirEdit, QStringLiteral("/more"));
        for (const FlagControl& control : flagControls)
            (dialog->*control.check)->click();
        QTest::keyClicks(dialog->m_pRestartTimeoutEdit, QStringLiteral("9"));
        dialog->cancelButton->click();
    });
    QCOMPARE(m_window->m_sOrvexDirectory, QStringLiteral("/opt/orvex"));
    for (const Flag& flag : flags)
        QVERIFY2((*m_window).*flag.member == flag.firstStart, flag.key);
    QCOMPARE(m_window->m_nRestartTimeout, 300u);
}

void TestSettings::emptiedPeriodStoresZero()
{
    createWindow();
    m_window->m_nRestartTimeout = 1500;
    runDialog([](Settings* dialog) {
        dialog->m_pRestartTimeoutEdit->selectAll();
        QTest::keyClick(dialog->m_pRestartTimeoutEdit, Qt::Key_Backspace);
        QCOMPARE(dialog->m_pRestartTimeoutEdit->text(), QString());
        dialog->okButton->click();
    });
    QCOMPARE(m_window->m_nRestartTimeout, 0u);
}

void TestSettings::periodRefusesNonDigits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<uint>("member");

    QTest::newRow("letters between digits") << "12ab3"
                                            << "123" << 123u;
    QTest::newRow("minus sign") << "-7"
                                << "7" << 7u;
    QTest::newRow("decimal point") << "4.5"
                                   << "45" << 45u;
    QTest::newRow("only letters") << "abc"
                                  << "" << 0u;
    QTest::newRow("upper limit") << "1000000"
                                 << "1000000" << 1000000u;
}

void TestSettings::periodRefusesNonDigits()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(uint, member);
    createWindow();
    m_window->m_nRestartTimeout = 42;
    runDialog([&](Settings* dialog) {
        dialog->m_pRestartTimeoutEdit->clear();
        QTest::keyClicks(dialog->m_pRestartTimeoutEdit, typed);
        QCOMPARE(dialog->m_pRestartTimeoutEdit->text(), shown);
        dialog->okButton->click();
    });
    QCOMPARE(m_window->m_nRestartTimeout, member);
}

void TestSettings::directoryChooser_data()
{
    QTest::addColumn<QString>("chosen"); // empty: the chooser is cancelled
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("inEdit");
    QTest::addColumn<QString>("member");

    QTest::newRow("chosen, OK") << "/srv/orvex" << true << "/srv/orvex"
                                << "/srv/orvex";
    QTest::newRow("chosen, Cancel") << "/srv/orvex" << false << "/srv/orvex"
                                    << "/opt/orvex";
    QTest::newRow("chooser cancelled, OK") << QString() << true << "/opt/orvex"
                                           << "/opt/orvex";
}

void TestSettings::directoryChooser()
{
    QFETCH(QString, chosen);
    QFETCH(bool, ok);
    QFETCH(QString, inEdit);
    QFETCH(QString, member);
    createWindow();
    m_window->m_sOrvexDirectory = QStringLiteral("/opt/orvex");
    runDialog([&](Settings* dialog) {
        Dialogs::setNextFileName(chosen);
        dialog->toolButton->click();
        QCOMPARE(dialog->m_pOrvexDirEdit->text(), inEdit);
        (ok ? dialog->okButton : dialog->cancelButton)->click();
    });
    QCOMPARE(m_window->m_sOrvexDirectory, member);
    QCOMPARE(Dialogs::shown().size(), 1);
    QCOMPARE(Dialogs::shown().first().kind, QStringLiteral("directory"));
    QCOMPARE(Dialogs::shown().first().caption, QStringLiteral("Выберите директорию Orvex"));
    QCOMPARE(Dialogs::shown().first().dir, QStringLiteral("/opt/orvex"));
}

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
