#include "app/volmar.h"
#include "widgets/messagebox.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabBar>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formObjects_data();
    void formObjects();
    void menus();
    void initialState();
    void bottomRowsGiveSpareWidthToLists();
    void centredOnScreen();
    void shortcutsFromAnywhere_data();
    void shortcutsFromAnywhere();
    void escapeClosesFromAnywhere_data();
    void escapeClosesFromAnywhere();
    void otherKeysLeaveWindowOpen();
    void exitCloses_data();
    void exitCloses();
    void aboutBoxThroughQueue();
    void aboutBoxShownForReal();

private:
    std::unique_ptr<Volmar> m_window;
};

void TestMainWindow::init()
{
    // Every window starts from an empty store: a closed window may have saved its geometry.
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Volmar")).clear();
    Dialogs::clearShown();
    Dialogs::clearPendingAnswers();
    m_window = std::make_unique<Volmar>();
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    Dialogs::clearPendingAnswers();
}

void TestMainWindow::formObjects_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");

    const auto row = [](const char* name, const char* type, const QString& text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(type) << text;
    };
    row("m_pActionOpen", "QAction", QStringLiteral("Открыть..."));
    row("m_pActionSave", "QAction", QStringLiteral("Сохранить"));
    row("m_pActionSaveAs", "QAction", QStringLiteral("Сохранить как.."));
    row("action_6", "QAction", QStringLiteral("Выход"));
    row("m_pActionFont", "QAction", QStringLiteral("Шрифт..."));
    row("m_pActionAbout", "QAction", QStringLiteral("О программе..."));
    row("m_pActionName", "QAction", QStringLiteral("Показать ключевые слова"));
    row("m_pActionColorGroup", "QAction", QStringLiteral("Изменить цвет группы..."));
    row("m_pActionSettings", "QAction", QStringLiteral("Настройки..."));
    row("m_pActionLoadPld", "QAction", QStringLiteral("Загрузить прошивку"));
    row("m_pActionRunOrvex", "QAction", QStringLiteral("Запустить Orvex"));
    row("m_pActionUpdateIni", "QAction", QString());
    row("m_pTopAction", "QAction", QStringLiteral("Показать в отдельном окне"));
    row("centralWidget", "QWidget", QString());
    row("tabWidget", "QTabWidget", QString());
    row("m_pCommentLabel", "QLabel", QString());
    row("m_pLogTextEdit", "QTextEdit", QString());
    row("m_pAuxButton", "QPushButton", QString());
    row("m_pTerminateButton", "QPushButton", QStringLiteral("Завершить процессы"));
    row("m_pNotepadButton", "QPushButton", QStringLiteral("Блокнот"));
    row("label_2", "QLabel", QStringLiteral("Программа ЦОС:"));
    row("m_pProgComboBox", "QComboBox", QString());
    row("m_pStartButton", "QPushButton", QStringLiteral("Старт"));
    row("label", "QLabel", QStringLiteral("Прошивка:"));
    row("m_pHelpPld", "QPushButton", QStringLiteral("?"));
    row("m_pPldComboBox", "QComboBox", QString());
    row("m_pPldButton", "QPushButton", QStringLiteral("Прошить"));
    row("label_3", "QLabel", QStringLiteral("Файл данных для Orvex:"));
    row("m_pBinComboBox", "QComboBox", QString());
    row("pushButton", "QPushButton", QStringLiteral("Выход"));
    row("menuBar", "QMenuBar", QString());
}

void TestMainWindow::formObjects()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, text);

    const QObject* object = m_window->findChild<QObject*>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), type);
    QCOMPARE(object->property("text").toString(), text);
}

void TestMainWindow::menus()
{
    QStringList menus;
    for (QAction* menuAction : m_window->QMainWindow::menuBar()->actions()) {
        QStringList entries;
        for (QAction* entry : menuAction->menu()->actions())
            entries << (entry->isSeparator() ? QStringLiteral("-") : entry->objectName());
        menus << menuAction->menu()->objectName() + QLatin1Char(' ') + menuAction->text() + QStringLiteral(": ") +
                     entries.join(QStringLiteral(", "));
    }
    const QStringList expected{
        QStringLiteral("menu Файл: m_pActionOpen, -, m_pActionSave, m_pActionSaveAs, -, action_6"),
        QStringLiteral("menu_5 Параметры: m_pActionName, m_pActionFont, m_pActionSettings"),
        QStringLiteral("menu_2 Инструменты: m_pActionLoadPld, m_pActionRunOrvex"),
        QStringLiteral("menu_6 Справка: m_pActionAbout"),
    };
    QCOMPARE(menus, expected);

    QCOMPARE(m_window->m_pActionOpen->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(m_window->m_pActionSave->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    QVERIFY(m_window->m_pActionName->isCheckable());
    QVERIFY(!m_window->m_pActionName->isChecked());
    QCOMPARE(m_window->m_pTopAction->toolTip(), QStringLiteral("Показать в отдельном окне"));
}

void TestMainWindow::initialState()
{
    Volmar& w = *m_window;
    QCOMPARE(w.windowTitle(), QStringLiteral("Volmar"));
    QCOMPARE(w.size(), QSize(600, 426));
    QVERIFY(!w.m_pNotepadButton->isEnabled());
    QVERIFY(w.m_pAuxButton->isHidden());
    QCOMPARE(w.m_pStartButton->styleSheet(), QStringLiteral("background-color: #00FF00"));
    QCOMPARE(w.tabWidget->count(), 2);
    QCOMPARE(w.tabWidget->tabText(0), QStringLiteral("Ini"));
    QCOMPARE(w.tabWidget->tabText(1), QStringLiteral("Log"));
    QCOMPARE(w.tabWidget->currentIndex(), 0);
    QVERIFY(w.m_pLogTextEdit->isReadOnly());
    QVERIFY(w.m_pCommentLabel->wordWrap());
    QCOMPARE(w.m_pProgComboBox->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::white));
    QCOMPARE(w.m_pProgComboBox->palette().color(QPalette::Disabled, QPalette::Base), QColor(236, 233, 216));

    // The tab bar's menu is what takes a page out into its own window.
    const QTabBar* tabBar = w.tabWidget->findChild<QTabBar*>();
    QVERIFY(tabBar);
    QCOMPARE(tabBar->contextMenuPolicy(), Qt::CustomContextMenu);

    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.m_pTerminateButton->width(), 125);
    QCOMPARE(w.m_pHelpPld->size(), QSize(22, 22));
    QVERIFY(w.m_pAuxButton->isHidden());
}

void TestMainWindow::bottomRowsGiveSpareWidthToLists()
{
    Volmar& w = *m_window;
    w.show();
    w.resize(1000, 426);
    QTRY_COMPARE(w.width(), 1000);
    QTRY_COMPARE(w.label_3->width(), w.label_3->sizeHint().width());
    QCOMPARE(w.label->width(), w.label->sizeHint().width());
    QCOMPARE(w.label_2->width(), w.label_2->sizeHint().width());
    QCOMPARE(w.m_pPldButton->width(), w.m_pPldButton->sizeHint().width());
    QCOMPARE(w.pushButton->width(), w.pushButton->sizeHint().width());
    for (const QComboBox* list : {w.m_pProgComboBox, w.m_pPldComboBox, w.m_pBinComboBox})
        QVERIFY2(list->width() > 500, qPrintable(list->objectName()));
}

void TestMainWindow::centredOnScreen()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = m_window->frameGeometry();
    QVERIFY(area.contains(frame));
    QVERIFY(frame.topLeft() != area.topLeft());
    QVERIFY(qAbs(frame.center().x() - area.center().x()) <= 1);
    QVERIFY(qAbs(frame.center().y() - area.center().y()) <= 1);
}

void TestMainWindow::shortcutsFromAnywhere_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("focus");

    QTest::newRow("open, focus on tabs") << "m_pActionOpen"
                                         << "Ctrl+O"
                                         << "tabWidget";
    QTest::newRow("open, focus on exit button") << "m_pActionOpen"
                                                << "Ctrl+O"
                                                << "pushButton";
    QTest::newRow("save, focus on tabs") << "m_pActionSave"
                                         << "Ctrl+S"
                                         << "tabWidget";
    QTest::newRow("save, focus on terminate button") << "m_pActionSave"
                                                     << "Ctrl+S"
                                                     << "m_pTerminateButton";
}

void TestMainWindow::shortcutsFromAnywhere()
{
    QFETCH(QString, action);
    QFETCH(QString, keys);
    QFETCH(QString, focus);

    Volmar& w = *m_window;
    auto* target = w.findChild<QAction*>(action);
    auto* focusWidget = w.findChild<QWidget*>(focus);
    QVERIFY(target && focusWidget);
    // A window started without files has saving switched off; only the key binding is checked here.
    target->setEnabled(true);
    // Should the Open dialog come up, it is cancelled.
    Dialogs::setNextFileName(QString());

    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    focusWidget->setFocus();
    QTRY_VERIFY(focusWidget->hasFocus());

    QSignalSpy triggered(target, &QAction::triggered);
    QTest::keySequence(focusWidget, QKeySequence(keys));
    QCOMPARE(triggered.count(), 1);
}

void TestMainWindow::escapeClosesFromAnywhere_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("window") << "VolmarClass";
    QTest::newRow("tabs") << "tabWidget";
    QTest::newRow("terminate button") << "m_pTerminateButton";
}

void TestMainWindow::escapeClosesFromAnywhere()
{
    QFETCH(QString, target);
    Volmar& w = *m_window;
    QWidget* widget = w.objectName() == target ? &w : w.findChild<QWidget*>(target);
    QVERIFY(widget);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QTest::keyClick(widget, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
}

void TestMainWindow::otherKeysLeaveWindowOpen()
{
    Volmar& w = *m_window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (const int key : {int(Qt::Key_A), int(Qt::Key_Return), int(Qt::Key_F4)}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&w, &press);
        QVERIFY(!press.isAccepted());
        QVERIFY(w.isVisible());
    }
}

void TestMainWindow::exitCloses_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("button") << false;
    QTest::newRow("menu entry") << true;
}

void TestMainWindow::exitCloses()
{
    QFETCH(bool, fromMenu);
    Volmar& w = *m_window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    if (fromMenu)
        w.action_6->trigger();
    else
        QTest::mouseClick(w.pushButton, Qt::LeftButton);
    QVERIFY(!w.isVisible());
}

void TestMainWindow::aboutBoxThroughQueue()
{
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_window->m_pActionAbout->trigger();

    QVERIFY(!Dialogs::pendingAnswers());
    QCOMPARE(Dialogs::shown().size(), 1);
    const Dialogs::Shown& box = Dialogs::shown().first();
    QCOMPARE(box.kind, QStringLiteral("about"));
    QCOMPARE(box.title, QStringLiteral("О программе Volmar"));
    QVERIFY2(box.text.startsWith(QStringLiteral("Volmar, версия " VOLMAR_VERSION)), qPrintable(box.text));
    QVERIFY(box.text.contains(QStringLiteral("ЦОС")));
}

void TestMainWindow::aboutBoxShownForReal()
{
    // Nothing queued: the real box comes up modally and is closed from inside its event loop.
    QString shownText;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            closer.stop();
            shownText = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start();
    m_window->show();
    m_window->m_pActionAbout->trigger();

    QCOMPARE(Dialogs::shown().size(), 1);
    QCOMPARE(shownText, Dialogs::shown().first().text);
    QVERIFY(m_window->isVisible());
}

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    // The window reads file names from the application's arguments; QtTest's options stay out of them.
    int appArgc = 1;
    QApplication app(appArgc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
