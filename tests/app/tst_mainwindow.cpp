// The main window as a user meets it: its texts and keys, detachable tabs, files changed by other
// programs, and closing with files open.
#include "app/tabwgt.h"
#include "app/volmar.h"
#include "control/qprocessex.h"
#include "platform/processes.h"
#include "tests/common/testutil.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

#include <QContextMenuEvent>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{
const QByteArray SectionsIni = "[A]\r\nAlpha=1\r\n[B]\r\nBeta=2\r\n[C]\r\nGamma=3\r\n";
const QByteArray GenIni = "[Gen]\r\nFreq=10 // Hz\r\nLevel=3\r\n";
const QString OneChanged = "Файл b.ini был изменен. Хотите перезагрузить его?";

QStringList questions()
{
    QStringList texts;
    for (const Dialogs::Shown& s : Dialogs::shown())
        if (s.kind == "question")
            texts << s.text;
    return texts;
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings store("Korvane", "Volmar");
        store.clear();
        // Nothing is started after opening: the tests start the programs they need themselves.
        for (const char* option : {"Auto Load Orvex", "Auto Run Program", "Auto Load PLD"})
            store.setValue(option, 0);
        Dialogs::clearShown();
        m_dir = std::make_unique<QTemporaryDir>();
        for (const char* name : {"a.ini", "b.ini", "c.ini"})
            write(name, SectionsIni);
        m_window = std::make_unique<Volmar>();
    }

    void cleanup()
    {
        // Pages go home before the window that owns their trees is destroyed.
        const QList<TabWgt*> detached = m_window ? m_window->m_tabWindows.values() : QList<TabWgt*>();
        for (TabWgt* w : detached)
            w->close();
        m_window.reset();
        QVERIFY(!Dialogs::pendingAnswers());
        Dialogs::clearPendingAnswers();
    }

    void texts()
    {
        QStringList menus;
        for (QAction* menuAction : m_window->QMainWindow::menuBar()->actions()) {
            QStringList entries;
            for (QAction* entry : menuAction->menu()->actions())
                entries << (entry->isSeparator() ? "-" : entry->text());
            menus << menuAction->text() + ": " + entries.join(", ");
        }
        QCOMPARE(menus, (QStringList{"Файл: Открыть..., -, Сохранить, Сохранить как.., -, Выход",
                                     "Параметры: Показать ключевые слова, Шрифт..., Настройки...",
                                     "Инструменты: Загрузить прошивку, Запустить Orvex", "Справка: О программе..."}));
        QCOMPARE(m_window->m_pActionColorGroup->text(), "Изменить цвет группы...");

        const Volmar& w = *m_window;
        QStringList bottom;
        for (const QObject* o : std::initializer_list<const QObject*>{
                 w.m_pTerminateButton, w.m_pNotepadButton, w.label_2, w.m_pStartButton, w.label, w.m_pHelpPld,
                 w.m_pPldButton, w.label_3, w.pushButton})
            bottom << o->property("text").toString();
        QCOMPARE(bottom, (QStringList{"Завершить процессы", "Блокнот", "Программа ЦОС:", "Старт", "Прошивка:", "?",
                                      "Прошить", "Файл данных для Orvex:", "Выход"}));

        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->m_pActionAbout->trigger();
        const Dialogs::Shown& box = Dialogs::shown().first();
        QCOMPARE(box.kind, "about");
        QCOMPARE(box.title, "О программе Volmar");
        QVERIFY2(box.text.startsWith("Volmar, версия " VOLMAR_VERSION) && box.text.contains("ЦОС"),
                 qPrintable(box.text));
    }

    void initialState()
    {
        Volmar& w = *m_window;
        QCOMPARE(w.windowTitle(), "Volmar");
        QCOMPARE(w.size(), QSize(600, 426));
        const QPoint off = w.frameGeometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY2(qAbs(off.x()) <= 1 && qAbs(off.y()) <= 1, "centred on the screen");
        QVERIFY(!w.m_pNotepadButton->isEnabled());
        // Without a file there is nothing to start: the button looks disabled, not green.
        QVERIFY(!w.m_pStartButton->isEnabled());
        QCOMPARE(w.m_pStartButton->styleSheet(), "");
        QCOMPARE(w.tabTitles(), (QStringList{"Ini", "Log"}));
        QVERIFY(w.m_pLogTextEdit->isReadOnly());
        show();
        QVERIFY(w.m_pAuxButton->isHidden());
    }

    void shortcutsFromAnywhere()
    {
        show();
        Dialogs::setNextFileName(QString()); // the Open dialog is cancelled
        // Without files saving is switched off; only the key binding is checked here.
        m_window->m_pActionSave->setEnabled(true);
        for (auto [action, keys, focus] :
             {std::tuple<QAction*, const char*, QWidget*>{m_window->m_pActionOpen, "Ctrl+O", m_window->pushButton},
              {m_window->m_pActionSave, "Ctrl+S", m_window->tabWidget}}) {
            focus->setFocus();
            QTRY_VERIFY(focus->hasFocus());
            QSignalSpy triggered(action, &QAction::triggered);
            QTest::keySequence(focus, QKeySequence(keys));
            QCOMPARE(triggered.count(), 1);
        }
    }

    void closeKeys_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Escape on the window") << "VolmarClass" << int(Qt::Key_Escape) << true;
        QTest::newRow("Escape on a button") << "m_pTerminateButton" << int(Qt::Key_Escape) << true;
        QTest::newRow("Return") << "VolmarClass" << int(Qt::Key_Return) << false;
        QTest::newRow("F4") << "VolmarClass" << int(Qt::Key_F4) << false;
        QTest::newRow("exit button") << "pushButton" << 0 << true;
        QTest::newRow("exit menu entry") << "action_6" << 0 << true;
    }

    void closeKeys()
    {
        QFETCH(QString, target);
        QFETCH(int, key);
        QFETCH(bool, closes);
        show();
        if (target == "pushButton")
            QTest::mouseClick(m_window->pushButton, Qt::LeftButton);
        else if (target == "action_6")
            m_window->action_6->trigger();
        else
            QTest::keyClick(m_window->objectName() == target ? m_window.get() : m_window->findChild<QWidget*>(target),
                            Qt::Key(key));
        QCOMPARE(m_window->isVisible(), !closes);
    }

    void commandLineFilesInPlainStringOrder()
    {
        QStringList args;
        for (const char* name : {"b.ini", "a9.ini", "B.ini", "a10.ini"}) {
            write(name, SectionsIni);
            args << path(name);
        }
        QProcess child;
        qputenv("VOLMAR_TEST_PRINT_FILES", "1");
        child.start(QCoreApplication::applicationFilePath(), args);
        qunsetenv("VOLMAR_TEST_PRINT_FILES");
        QVERIFY(child.waitForFinished());
        // Upper case before lower case, "a10" before "a9", and the program's own path left out.
        QCOMPARE(child.readAllStandardOutput(), "Все файлы\nB.ini\na10.ini\na9.ini\nb.ini\n");
    }

    void sectionReturnsToItsPlace_data()
    {
        QTest::addColumn<QString>("title");
        for (const char* title : {"A", "B", "C", "Log"})
            QTest::newRow(title) << QString(title);
    }

    void sectionReturnsToItsPlace()
    {
        QFETCH(QString, title);
        write("a.vlmr", "<settings><tabs>1</tabs></settings>");
        open({"a.ini"});
        const QStringList all = m_window->tabTitles();
        QCOMPARE(all, (QStringList{"A", "B", "C", "Log"}));
        QWidget* page = m_window->tabWidget->widget(all.indexOf(title));
        TabWgt* w = detach(title);
        QVERIFY(w);
        QCOMPARE(Dialogs::shown().last().text, "Показать в отдельном окне");
        QCOMPARE(w->windowTitle(), title);
        // The first detached window takes the main window's size, at the corner of the screen.
        QCOMPARE(QRect(w->pos(), w->size()), QRect(QPoint(0, 0), m_window->size()));
        m_window->tabWidget->setCurrentIndex(0);
        w->close();
        QCOMPARE(m_window->tabTitles(), all);
        QCOMPARE(m_window->tabWidget->currentWidget(), page);
        QVERIFY(page->isVisible());
    }

    void lastPageStays()
    {
        open({"a.ini"});
        QVERIFY(detach("Log"));
        QVERIFY(!detach("Ini"));
        QCOMPARE(Dialogs::shown().size(), 1); // no menu at all
        Dialogs::clearPendingAnswers();
    }

    void onlyTheLastClosedWindowIsRemembered()
    {
        write("a.vlmr", "<settings><tabs>1</tabs></settings>");
        open({"a.ini"});
        TabWgt* first = detach("A");
        TabWgt* second = detach("C");
        QVERIFY(first && second);
        first->setGeometry(30, 40, 300, 200);
        second->resize(350, 250);
        second->move(50, 60);
        first->close();
        QVERIFY(!QSettings("Korvane", "Volmar").contains("geometry_tab"));
        second->close();
        QCOMPARE(QSettings("Korvane", "Volmar").value("state_tab").toPoint(), QPoint(50, 60));
        TabWgt* next = detach("B");
        QVERIFY(next);
        QCOMPARE(QRect(next->pos(), next->size()), QRect(50, 60, 350, 250));
    }

    void outsideChanges_data()
    {
        QTest::addColumn<QStringList>("touched"); // "-" in front: deleted
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("text"); // empty: nothing asked
        QTest::newRow("one") << QStringList{"b.ini"} << false << OneChanged;
        QTest::newRow("two") << QStringList{"a.ini", "c.ini"} << false
                             << "Файлы a.ini, c.ini были изменены. Хотите перезагрузить их?";
        QTest::newRow("deleted") << QStringList{"-b.ini"} << false << OneChanged;
        QTest::newRow("saved since") << QStringList{"b.ini"} << true << QString();
    }

    void outsideChanges()
    {
        QFETCH(QStringList, touched);
        QFETCH(bool, saved);
        QFETCH(QString, text);
        open({"a.ini", "b.ini", "c.ini"});
        for (const QString& name : touched) {
            if (name.startsWith('-'))
                QVERIFY(QFile::remove(path(name.mid(1))));
            else
                touch(name);
        }
        if (saved)
            m_window->slotActionSave();
        // Asked only once the user has been away, and again each time while the answer is No.
        cycleActivation(false);
        QVERIFY(questions().isEmpty());
        for (int asked = 1; asked <= 2; ++asked) {
            if (!saved)
                Dialogs::setNextAnswer(QMessageBox::No);
            cycleActivation();
            QCOMPARE(questions(), saved ? QStringList() : QStringList(asked, text));
        }
        const Dialogs::Shown& last = Dialogs::shown().isEmpty() ? Dialogs::Shown() : Dialogs::shown().last();
        QVERIFY(saved || (last.title.isEmpty() && last.buttons == (QMessageBox::Yes | QMessageBox::No) &&
                          last.defaultButton == QMessageBox::Yes));
    }

    void yesReloads()
    {
        open({"a.ini"});
        write("a.ini", QByteArray(SectionsIni).replace("Beta=2", "Beta=99"));
        touch("a.ini");
        Dialogs::setNextAnswer(QMessageBox::Yes);
        cycleActivation();
        QVERIFY(row("Beta"));
        QCOMPARE(row("Beta")->text(ParamsTreeWidget::ValueColumn), "99");
        // The reload took the new time: nothing more to report.
        cycleActivation();
        QCOMPARE(questions().size(), 1);
    }

    void closingWithoutEdits()
    {
        openGen();
        m_window->m_nRestartTimeout = 1234;
        m_window->m_pProgComboBox->addItem("gen.exe -n 5");
        m_window->m_pProgComboBox->setCurrentIndex(m_window->m_pProgComboBox->count() - 1);
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QVERIFY(!m_window->isVisible());
        QVERIFY(Dialogs::shown().isEmpty());
        QCOMPARE(QSettings("Korvane", "Volmar").value("Restart Timeout").toInt(), 1234);
        QCOMPARE(read("gen.ini"), GenIni);
        QVERIFY(read("gen.vlmr").contains("\t<curprog cmdline=\"gen.exe -n 5\"/>\n</settings>"));
    }

    void openEditorCommitsBeforeQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("no") << int(QMessageBox::No);
        QTest::newRow("yes") << int(QMessageBox::Yes);
    }

    void openEditorCommitsBeforeQuestion()
    {
        QFETCH(int, answer);
        openGen();
        // Without "Auto Save" the edit waits in the tree for the question at close.
        m_window->m_bAutoSave = false;
        ParamsTreeWidget* tree = m_window->m_pCurTree;
        tree->setCurrentItem(row("Freq"));
        tree->setFocus();
        // Only the main Return key opens the editor, not the keypad's Enter.
        QTest::keyClick(tree, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!tree->viewport()->findChild<QSpinBox*>());
        QTest::keyClick(tree, Qt::Key_Return);
        auto* editor = tree->viewport()->findChild<QSpinBox*>();
        QVERIFY(editor);
        QTRY_VERIFY(editor->hasFocus());
        editor->selectAll();
        QTest::keyClicks(editor, "77");

        Dialogs::setNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
        m_window->close();
        QCOMPARE(questions(), QStringList{"Параметры были изменены. Хотите сохранить изменения?"});
        const QByteArray bytes = read("gen.ini");
        if (answer == QMessageBox::No)
            QCOMPARE(bytes, GenIni);
        else
            QVERIFY2(bytes.contains("Freq= 77") && bytes.endsWith("// Hz\r\nLevel=3\r\n"), bytes.constData());
    }

    void programsEndedAsTheOptionsSay_data()
    {
        QTest::addColumn<bool>("on");
        QTest::newRow("Auto Exit Orvex and Show Prog Window on") << true;
        QTest::newRow("both off") << false;
    }

    void programsEndedAsTheOptionsSay()
    {
        QFETCH(bool, on);
        openGen();
        const QString sleep = QStandardPaths::findExecutable("sleep");
        QProcessEx* orvex = m_window->m_pOrvexProcess;
        orvex->start(sleep, {"300"});
        QVERIFY(orvex->waitForStarted());
        const qint64 orvexPid = orvex->processId();
        const qint64 progPid = Processes::startDetached(sleep, {"300"});
        QVERIFY(Processes::isOpen(progPid));
        m_window->m_progPid = progPid;
        m_window->m_bAutoExitOrvex = m_window->m_bShowProgWindow = on;

        m_window->close();
        QCOMPARE(Processes::isOpen(orvexPid), !on);
        // The detached program is reaped by whoever adopted it.
        QTRY_COMPARE(Processes::isOpen(progPid), !on);
        m_window.reset();
        QCOMPARE(Processes::isOpen(orvexPid), !on);
        if (!on) {
            // The window leaves a running visualiser to itself.
            delete orvex;
            Processes::terminate(progPid);
        }
    }

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void write(const QString& name, const QByteArray& bytes) { QVERIFY(TestUtil::writeBytes(path(name), bytes)); }
    QByteArray read(const QString& name) const { return TestUtil::readBytes(path(name)); }

    void show()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void open(const QStringList& names)
    {
        show();
        QStringList paths;
        for (const QString& name : names)
            paths << path(name);
        m_window->m_openList = m_window->m_fileList = paths;
        m_window->openFiles();
        // A tree put into a shown window appears on the next pass of the event loop.
        QTRY_VERIFY(m_window->m_nTabs != 0 || m_window->m_pParamsTree->isVisible());
    }

    void openGen()
    {
        write("gen.ini", GenIni);
        write("gen.vlmr", "<settings><group title=\"Generator\"><param name=\"Gen.Freq\" title=\"Freq\" "
                          "type=\"spin-int\"/></group>\n</settings>\n");
        open({"gen.ini"});
    }

    // Right-clicks the tab and picks "Показать в отдельном окне".
    TabWgt* detach(const QString& title)
    {
        QTabBar* bar = m_window->tabWidget->tabBar();
        const QPoint at = bar->tabRect(m_window->tabTitles().indexOf(title)).center();
        Dialogs::setNextMenuChoice(m_window->m_pTopAction);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, bar->mapToGlobal(at));
        QCoreApplication::sendEvent(bar, &event);
        return m_window->m_tabWindows.value(title);
    }

    QTreeWidgetItem* row(const QString& title) const
    {
        const QList<QTreeWidgetItem*> rows = m_window->m_pCurTree->findItems(title, Qt::MatchRecursive, 0);
        return rows.size() == 1 ? rows.first() : nullptr;
    }

    // Moves a file's time stamp as another program writing it would.
    void touch(const QString& name)
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime));
    }

    // The user switches to another program and back.
    void cycleActivation(bool deactivate = true)
    {
        QEvent off(QEvent::WindowDeactivate), on(QEvent::WindowActivate);
        if (deactivate)
            QCoreApplication::sendEvent(m_window.get(), &off);
        QCoreApplication::sendEvent(m_window.get(), &on);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Volmar> m_window;
};

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    if (qEnvironmentVariableIsSet("VOLMAR_TEST_PRINT_FILES")) {
        // Started by commandLineFilesInPlainStringOrder with file names, as a file manager starts the program.
        QApplication app(argc, argv);
        Volmar window;
        for (int i = 0; i < window.m_pFileTabs->count(); ++i)
            QTextStream(stdout) << window.m_pFileTabs->tabText(i) << '\n';
        return 0;
    }
    // The window reads file names from the application's arguments; QtTest's options stay out of them.
    int appArgc = 1;
    QApplication app(appArgc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
