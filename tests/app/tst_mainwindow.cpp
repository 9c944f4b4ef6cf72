// The main window as a user meets it: its texts and keys, detachable tabs, files changed by other
// programs, and closing with files open.
#include "app/detachedpages.h"
#include "app/programpanel.h"
#include "app/qttranslations.h"
#include "app/tabwgt.h"
#include "app/volmar.h"
#include "control/qprocessex.h"
#include "tests/common/testutil.h"
#include "widgets/editdialog.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"
#include "widgets/settings.h"

#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
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
        TestUtil::resetStoreWithoutAutoStarts();
        Dialogs::clearShown();
        m_dir = std::make_unique<QTemporaryDir>();
        for (const char* name : {"a.ini", "b.ini", "c.ini"})
            write(name, SectionsIni);
        m_window = std::make_unique<Volmar>();
    }

    void cleanup()
    {
        // Pages go home before the window that owns their trees is destroyed.
        const QList<TabWgt*> detached = m_window ? m_window->m_pPages->windows().values() : QList<TabWgt*>();
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
                entries << (entry->isSeparator() ? "-" : TestUtil::shownText(entry->text()));
            menus << TestUtil::shownText(menuAction->text()) + ": " + entries.join(", ");
        }
        QCOMPARE(menus, (QStringList{"Файл: Открыть..., Недавние файлы, -, Сохранить, Сохранить как.., -, Выход",
                                     "Правка: Отменить, Повторить, -, Вернуть сохранённое",
                                     "Параметры: Показать ключевые слова, Шрифт..., Настройки...",
                                     "Инструменты: Загрузить прошивку, Запустить Orvex", "Справка: О программе..."}));
        QCOMPARE(TestUtil::shownText(m_window->m_ui.m_pActionColorGroup->text()), "Изменить цвет группы...");

        const Volmar& w = *m_window;
        QStringList bottom;
        for (const QObject* o : std::initializer_list<const QObject*>{
                 w.m_ui.m_pTerminateButton, w.m_ui.m_pNotepadButton, w.m_ui.label_2, w.m_ui.m_pStartButton,
                 w.m_ui.label, w.m_ui.m_pHelpPld, w.m_ui.m_pPldButton, w.m_ui.label_3, w.m_ui.pushButton})
            bottom << TestUtil::shownText(o->property("text").toString());
        QCOMPARE(bottom, (QStringList{"Завершить процессы", "Блокнот", "Программа ЦОС:", "Старт", "Прошивка:", "?",
                                      "Прошить", "Файл данных для Orvex:", "Выход"}));

        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->m_ui.m_pActionAbout->trigger();
        const Dialogs::Shown& box = Dialogs::shown().first();
        QCOMPARE(box.kind, "about");
        QCOMPARE(box.title, "О программе Volmar");
        QVERIFY2(box.text.startsWith("Volmar, версия " VOLMAR_VERSION) && box.text.contains("ЦОС"),
                 qPrintable(box.text));
    }

    void accessKeys_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("menu bar") << "menu bar";
        for (const char* menu : {"menu", "menuEdit", "menu_5", "menu_2", "menu_6"})
            QTest::newRow(menu) << menu;
        QTest::newRow("window buttons and labels") << "window";
        QTest::newRow("settings") << "settings";
        QTest::newRow("text dialog") << "text dialog";
    }

    // Every menu, entry and button can be reached with Alt and a letter, and no two of one place
    // share their letter.
    void accessKeys()
    {
        QFETCH(QString, where);
        QStringList texts;
        const auto addTexts = [&](QWidget* parent) {
            for (QAbstractButton* button : parent->findChildren<QAbstractButton*>())
                if (!button->text().isEmpty() && button->text() != "?" && button->text() != "..." &&
                    button != m_window->m_ui.m_pStartButton) // its text is the program's state
                    texts << button->text();
            for (QLabel* label : parent->findChildren<QLabel*>())
                if (label->buddy())
                    texts << label->text();
        };
        std::unique_ptr<QDialog> dialog;
        if (where == "menu bar") {
            for (QAction* action : m_window->QMainWindow::menuBar()->actions())
                texts << action->text();
        } else if (where == "window") {
            addTexts(m_window.get());
        } else if (where == "settings") {
            dialog = std::make_unique<Settings>();
            addTexts(dialog.get());
        } else if (where == "text dialog") {
            dialog = std::make_unique<EditDialog>();
            addTexts(dialog.get());
        } else {
            for (QAction* action : m_window->findChild<QMenu*>(where)->actions())
                if (!action->isSeparator())
                    texts << action->text();
        }
        QVERIFY(!texts.isEmpty());
        QSet<QChar> keys;
        for (const QString& text : texts) {
            // The letter after a single "&" (QKeySequence::mnemonic() is switched off offscreen).
            const qsizetype at = text.indexOf(QRegularExpression("&[^&]"));
            QVERIFY2(at >= 0 && text.at(at + 1).isLetter(), qPrintable(text));
            const QChar key = text.at(at + 1).toUpper();
            QVERIFY2(!keys.contains(key), qPrintable(text));
            keys.insert(key);
        }
    }

    void treeHasTheFocusAfterOpening_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("tabs");
        QTest::newRow("one file") << QStringList{"a.ini"} << false;
        QTest::newRow("set of files") << QStringList{"a.ini", "b.ini", "c.ini"} << false;
        QTest::newRow("section tabs") << QStringList{"a.ini"} << true;
    }

    void treeHasTheFocusAfterOpening()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, tabs);
        if (tabs)
            write("a.vlmr", "<settings><tabs>1</tabs></settings>");
        openThenShow(files);
        auto* tree = qobject_cast<ParamsTreeWidget*>(QApplication::focusWidget());
        QVERIFY2(tree, QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
        QVERIFY(tree->isVisible());
        QVERIFY(m_window->m_ui.tabWidget->currentWidget()->isAncestorOf(tree));

        // And again after the Open dialog, wherever the focus was.
        m_window->m_ui.pushButton->setFocus();
        Dialogs::setNextFileName(path("b.ini"));
        m_window->m_ui.m_pActionOpen->trigger();
        QTRY_VERIFY(qobject_cast<ParamsTreeWidget*>(QApplication::focusWidget()));
    }

    // With nothing stored, the first window shows every title and the whole tree; what the user
    // leaves behind at close wins from then on.
    void firstLookFitsTheTree()
    {
        QByteArray ini = "[Gen]\r\n";
        QByteArray description = "<settings><group title=\"Генератор\">";
        QStringList titles;
        for (int i = 0; i < 12; ++i) {
            titles << QString("Частота дискретизации входного сигнала АЦП, канал %1").arg(i);
            ini += "K" + QByteArray::number(i) + "=" + QByteArray(i == 5 ? 30 : 3, '7') + "\r\n";
            description += "<param name=\"Gen.K" + QByteArray::number(i) + "\" title=\"" + titles.last().toUtf8() +
                           "\" type=\"text\"/>";
        }
        write("gen.ini", ini);
        write("gen.vlmr", description + "</group></settings>");
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();

        openThenShow({"gen.ini"});
        ParamsTreeWidget* tree = m_window->m_view.m_pParamsTree;
        const int widest = tree->fontMetrics().horizontalAdvance(titles.last());
        QVERIFY2(tree->columnWidth(ParamsTreeWidget::TitleColumn) > widest,
                 qPrintable(QString::number(tree->columnWidth(ParamsTreeWidget::TitleColumn))));
        QCOMPARE(tree->verticalScrollBar()->maximum(), 0); // every row in sight
        QVERIFY(tree->viewport()->width() > tree->columnWidth(ParamsTreeWidget::TitleColumn) +
                                                tree->fontMetrics().horizontalAdvance(QString(30, '7')));
        QVERIFY(m_window->width() > 600 && m_window->height() > 426);
        QVERIFY(screen.contains(m_window->frameGeometry()));
        const QPoint off = m_window->frameGeometry().center() - screen.center();
        QVERIFY2(qAbs(off.x()) <= 1 && qAbs(off.y()) <= 1, "centred on the screen");

        tree->setColumnWidth(ParamsTreeWidget::TitleColumn, 150);
        m_window->resize(640, 450);
        m_window->saveSettings();
        m_window = std::make_unique<Volmar>();
        openThenShow({"gen.ini"});
        QCOMPARE(m_window->m_view.m_pParamsTree->columnWidth(ParamsTreeWidget::TitleColumn), 150);
        QCOMPARE(m_window->size(), QSize(640, 450));
    }

    void buttonsShowTheirText()
    {
        show();
        for (QPushButton* button : m_window->findChildren<QPushButton*>()) {
            if (!button->isVisible() || button->text().isEmpty())
                continue;
            const int textWidth = button->fontMetrics().horizontalAdvance(TestUtil::shownText(button->text()));
            QVERIFY2(button->width() >= button->sizeHint().width() || button->width() > textWidth + 8,
                     qPrintable(button->text()));
        }
    }

    void titleCountsFilesInRussian_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("title");
        for (auto [count, noun] : {std::pair<int, const char*>{2, "файла"},
                                   {4, "файла"},
                                   {5, "файлов"},
                                   {11, "файлов"},
                                   {14, "файлов"},
                                   {21, "файл"},
                                   {22, "файла"},
                                   {25, "файлов"}})
            QTest::addRow("%d", count) << count << QString("Volmar - Редактируется %1 %2").arg(count).arg(noun);
    }

    void titleCountsFilesInRussian()
    {
        QFETCH(int, count);
        QFETCH(QString, title);
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names << QString("f%1.ini").arg(i);
            write(names.last(), SectionsIni);
        }
        open(names);
        QCOMPARE(m_window->windowTitle(), title);
    }

    void reloadLeavesOutAFileThatBecameAFolder()
    {
        open({"a.ini"});
        QVERIFY(QFile::remove(path("a.ini")));
        QVERIFY(QDir(m_dir->path()).mkdir("a.ini"));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->loadFiles();
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY2(Dialogs::shown().last().text.contains("a.ini"), qPrintable(Dialogs::shown().last().text));
        // Nothing is edited any more: the title says so instead of counting no files.
        QCOMPARE(m_window->windowTitle(), "Volmar");
    }

    void openDialogOffersFilesWithoutADot()
    {
        Dialogs::setNextFileName(QString());
        m_window->m_ui.m_pActionOpen->trigger();
        const QString all = Dialogs::shown().last().filter.split(";;").last();
        QVERIFY2(all.startsWith("Все файлы ("), qPrintable(all));
        const QStringList patterns = all.section('(', 1).chopped(1).split(' ');
        for (const char* name : {"pld", "Makefile", "data.bin"})
            QVERIFY2(QDir::match(patterns, name), name);
    }

    void messageBoxStandsOverTheWindow_data()
    {
        QTest::addColumn<bool>("parent");
        QTest::newRow("box without a parent") << false;
        QTest::newRow("box of the window") << true;
    }

    void messageBoxStandsOverTheWindow()
    {
        QFETCH(bool, parent);
        show();
        // Away from the middle of the screen, where a box without a parent would stand.
        m_window->setGeometry(20, 30, 420, 330);
        QTRY_COMPARE(m_window->geometry(), QRect(20, 30, 420, 330));
        QPoint boxCentre;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            boxCentre = box->frameGeometry().center();
            box->done(QMessageBox::No);
        });
        Dialogs::question(parent ? m_window.get() : nullptr, QString(), "Вопрос?", QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::Yes);
        const QPoint off = boxCentre - m_window->frameGeometry().center();
        QVERIFY2(off.manhattanLength() <= 2, qPrintable(QString("%1,%2").arg(off.x()).arg(off.y())));
    }

    void qtTextsInRussian()
    {
        QVERIFY(QtTranslations::install());
        QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::Cancel);
        QCOMPARE(TestUtil::shownText(box.button(QDialogButtonBox::Yes)->text()), "Да");
        QCOMPARE(TestUtil::shownText(box.button(QDialogButtonBox::Cancel)->text()), "Отмена");
        QVERIFY(QCoreApplication::translate("QFileDialog", "Look in:") != "Look in:");
        // The text dialog's own buttons.
        EditDialog dialog;
        const QList<QAbstractButton*> buttons = dialog.buttonBox->buttons();
        QCOMPARE(buttons.size(), 2);
        QStringList texts{TestUtil::shownText(buttons.at(0)->text()), TestUtil::shownText(buttons.at(1)->text())};
        texts.sort();
        QCOMPARE(texts, (QStringList{"OK", "Отмена"}));
    }

    void notepadSaysWhatIsMissing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("notepad");     // the notepad stand-in on PATH
        QTest::addColumn<QString>("editor");   // $EDITOR
        QTest::addColumn<bool>("opener");      // an xdg-open on PATH, which notes its arguments
        QTest::addColumn<QStringList>("told"); // parts of the message; none: the file is opened
        for (const char* button : {"m_pNotepadButton", "m_pHelpPld"}) {
            QTest::addRow("%s: nothing to open with", button)
                << button << true << QString() << false
                << QStringList{"не заданы $VISUAL и $EDITOR", "не найдена программа xdg-open"};
            QTest::addRow("%s: editor without a terminal", button)
                << button << true << "vi" << false
                << QStringList{"нет терминала ($TERMINAL или x-terminal-emulator) для редактора vi"};
            QTest::addRow("%s: no notepad", button)
                << button << false << QString() << true << QStringList{"не найдена программа notepad.exe"};
            QTest::addRow("%s: desktop default", button) << button << true << QString() << true << QStringList();
        }
    }

    void notepadSaysWhatIsMissing()
    {
        QFETCH(QString, button);
        QFETCH(bool, notepad);
        QFETCH(QString, editor);
        QFETCH(bool, opener);
        QFETCH(QStringList, told);
        write("pld.bat", "tprog -f top.bit\r\n");
        QVERIFY(QDir(m_dir->path()).mkpath("bin"));
        if (opener) {
            write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + path("args.txt").toUtf8() + "'\n");
            QVERIFY(QFile::setPermissions(path("bin/xdg-open"), QFile::ReadOwner | QFile::ExeOwner));
        }
        const QByteArray oldPath = qgetenv("PATH");
        const auto restore = qScopeGuard([&] {
            qputenv("PATH", oldPath);
            qunsetenv("EDITOR");
        });
        qputenv("PATH", QFile::encodeName(path("bin") + (notepad ? ":" VOLMAR_BIN_DIR : "")));
        qunsetenv("VISUAL");
        qputenv("EDITOR", editor.toUtf8());
        open({"a.ini"});
        const QString file = button == "m_pHelpPld" ? QString("pld.bat") : path("a.ini");

        auto* pressed = m_window->findChild<QPushButton*>(button);
        QVERIFY(pressed && pressed->isEnabled());
        Dialogs::setNextAnswer(QMessageBox::Ok);
        QTest::mouseClick(pressed, Qt::LeftButton);
        if (told.isEmpty()) {
            QTRY_COMPARE(read("args.txt"), (file + "\n").toUtf8());
            QVERIFY(Dialogs::shown().isEmpty());
            Dialogs::clearPendingAnswers();
            return;
        }
        QCOMPARE(Dialogs::shown().size(), 1);
        const Dialogs::Shown box = Dialogs::shown().last();
        QCOMPARE(box.kind, "warning");
        QCOMPARE(box.title, "Volmar");
        QVERIFY2(box.text.startsWith("Не удалось открыть " + file + " в текстовом редакторе: "), qPrintable(box.text));
        for (const QString& part : told)
            QVERIFY2(box.text.contains(part), qPrintable(box.text));
    }

    void initialState()
    {
        Volmar& w = *m_window;
        QCOMPARE(w.windowTitle(), "Volmar");
        QCOMPARE(w.size(), QSize(600, 426));
        QVERIFY(!w.m_ui.m_pNotepadButton->isEnabled());
        // Without a file there is nothing to start: the button looks disabled, not green.
        QVERIFY(!w.m_ui.m_pStartButton->isEnabled());
        QCOMPARE(w.m_pPages->tabTitles(), (QStringList{"Ini", "Log"}));
        show();
        QVERIFY(w.m_ui.m_pAuxButton->isHidden());
    }

    void shortcutsFromAnywhere_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("exit button") << "pushButton";
        QTest::newRow("tabs") << "tabWidget";
        QTest::newRow("detached section") << "B";
    }

    void shortcutsFromAnywhere()
    {
        QFETCH(QString, where);
        QWidget* focus = m_window->findChild<QWidget*>(where);
        if (!focus) {
            write("a.vlmr", "<settings><tabs>1</tabs></settings>");
            open({"a.ini"});
            QCoreApplication::processEvents(); // the start-up pass, which activates the main window
            TabWgt* w = detach(where);
            QVERIFY(w);
            w->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), w);
            focus = w->findChild<ParamsTreeWidget*>();
            QVERIFY(focus);
        } else {
            show();
        }
        focus->setFocus();
        QTRY_VERIFY(focus->hasFocus());
        Dialogs::setNextFileName(QString()); // the Open dialog is cancelled
        // Without files saving is switched off; only the key binding is checked here.
        m_window->m_ui.m_pActionSave->setEnabled(true);
        for (auto [action, keys] : {std::pair<QAction*, const char*>{m_window->m_ui.m_pActionOpen, "Ctrl+O"},
                                    {m_window->m_ui.m_pActionSave, "Ctrl+S"}}) {
            QSignalSpy triggered(action, &QAction::triggered);
            QTest::keySequence(focus, QKeySequence(keys));
            QCOMPARE(triggered.count(), 1);
        }
    }

    void unopenableFilesAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder") << "folder"
                                << "это папка, а не файл";
        QTest::newRow("fifo") << "fifo"
                              << "это не обычный файл, а канал, устройство или сокет";
        QTest::newRow("link loop") << "link loop"
                                   << "символические ссылки замкнуты в кольцо";
        QTest::newRow("write-only") << "write-only"
                                    << "нет права на чтение";
    }

    void unopenableFilesAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        if (kind == "write-only" && !TestUtil::permissionsApply())
            QSKIP("root reads files whatever their permissions");
        QVERIFY(TestUtil::makeUnusualFile(path("x.ini"), kind));
        const QString message = "Файл не открыт: " + path("x.ini") + ": " + reason + ".";
        const auto before = TestUtil::snapshot(m_dir->path());

        // Named on the command line beside a file that opens: only that one is edited.
        Dialogs::setNextAnswer(QMessageBox::Ok);
        {
            const Volmar window(nullptr, {}, {path("x.ini"), path("a.ini")});
            QCOMPARE(window.m_session.fileList(), QStringList{path("a.ini")});
            QCOMPARE(window.windowTitle(), "Volmar - /a.ini");
        }
        QCOMPARE(Dialogs::shown().size(), 1);
        const Dialogs::Shown& told = Dialogs::shown().last();
        QCOMPARE(told.kind + '|' + told.title + '|' + told.text, "warning|Volmar|" + message);

        // Chosen in the Open dialog: the document open before stays as it was.
        open({"b.ini"});
        const int entries = m_window->m_session.document().m_entries.size();
        Dialogs::setNextFileName(path("x.ini"));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->m_ui.m_pActionOpen->trigger();
        QCOMPARE(Dialogs::shown().last().text, message);
        QCOMPARE(m_window->m_session.fileList(), QStringList{path("b.ini")});
        QCOMPARE(m_window->m_session.document().m_entries.size(), entries);

        // Named by a description that is opened: nothing is edited, nothing waits.
        write("d.vlmr", "<settings><inifile name=\"x.ini\"/></settings>");
        Dialogs::setNextFileName(path("d.vlmr"));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        m_window->m_ui.m_pActionOpen->trigger();
        QCOMPARE(Dialogs::shown().last().text, "Файл не открыт: " + path("x.ini") + ": " + reason + ".");
        QVERIFY(m_window->m_session.fileList().isEmpty());
        QCOMPARE(TestUtil::snapshot(m_dir->path()).value("x.ini"), before.value("x.ini"));
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
            QTest::mouseClick(m_window->m_ui.pushButton, Qt::LeftButton);
        else if (target == "action_6")
            m_window->m_ui.action_6->trigger();
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
        const Volmar window(nullptr, {}, args);
        QStringList tabs;
        for (int i = 0; i < window.m_view.m_pFileTabs->count(); ++i)
            tabs << window.m_view.m_pFileTabs->tabText(i);
        // Upper case before lower case, "a10" before "a9".
        QCOMPARE(tabs, (QStringList{"Все файлы", "B.ini", "a10.ini", "a9.ini", "b.ini"}));
    }

    void descriptionAmongTheFiles_data()
    {
        QTest::addColumn<QStringList>("given"); // sorted, as the command line gives them
        QTest::addColumn<QStringList>("tabs");  // empty: one file, no file tabs
        QTest::addColumn<QStringList>("edited");
        const QStringList setTabs{"Все файлы", "zz.ini", "a.ini"};
        QTest::newRow("description and another file")
            << QStringList{"t.vlmr", "zz.ini"} << setTabs << QStringList{"zz.ini", "a.ini"};
        QTest::newRow("description and its own file")
            << QStringList{"a.ini", "t.vlmr"} << QStringList() << QStringList{"a.ini"};
    }

    void descriptionAmongTheFiles()
    {
        QFETCH(QStringList, given);
        QFETCH(QStringList, tabs);
        QFETCH(QStringList, edited);
        const QByteArray description = "<settings><inifile name=\"a.ini\"/><param name=\"B.Beta\"/></settings>\n";
        write("t.vlmr", description);
        write("zz.ini", "[A]\r\nAlpha=1\r\n[B]\r\nBeta=2\r\n[D]\r\nDelta=4\r\n");
        open(given);
        QStringList files;
        for (const QString& name : std::as_const(edited))
            files << path(name);
        QCOMPARE(m_window->m_session.fileList(), files);
        QStringList shownTabs;
        for (int i = 0; m_window->m_view.m_pFileTabs && i < m_window->m_view.m_pFileTabs->count(); ++i)
            shownTabs << m_window->m_view.m_pFileTabs->tabText(i);
        QCOMPARE(shownTabs, tabs);
        if (tabs.isEmpty())
            return;

        // Each file's tab edits that file alone; back on the first, an edit goes to the whole set.
        for (int i : {1, 2, 0}) {
            m_window->m_view.m_pFileTabs->setCurrentIndex(i);
            QCOMPARE(m_window->m_session.fileList(), i ? QStringList{files.at(i - 1)} : files);
        }
        QCOMPARE(read("t.vlmr"), description);
    }

    void commentBelowTheTree_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::newRow("one file") << QStringList{"a.ini"};
        QTest::newRow("several files") << QStringList{"a.ini", "b.ini", "c.ini"};
    }

    void commentBelowTheTree()
    {
        QFETCH(QStringList, files);
        open(files);
        QLabel* comment = m_window->m_ui.m_pCommentLabel;
        QTRY_VERIFY(comment->isVisible() && comment->height() > 0);
        QWidget* tree = m_window->m_view.m_pFileTabs ? static_cast<QWidget*>(m_window->m_view.m_pFileTabs)
                                                     : m_window->m_view.m_pParamsTree;
        const int treeBottom = tree->mapTo(m_window.get(), QPoint(0, tree->height())).y();
        const int commentTop = comment->mapTo(m_window.get(), QPoint(0, 0)).y();
        QVERIFY2(commentTop >= treeBottom && commentTop - treeBottom < 20,
                 qPrintable(QString("comment at %1, tree ends at %2").arg(commentTop).arg(treeBottom)));
    }

    void reloadKeepsDetachedPages_data()
    {
        QTest::addColumn<bool>("tabsBefore");
        QTest::addColumn<QString>("detached");
        QTest::addColumn<bool>("tabsAfter");
        QTest::addColumn<bool>("withoutC");   // the reloaded file has lost section C
        QTest::addColumn<QStringList>("row"); // the main window's tabs after the reload
        QTest::addColumn<bool>("stays");      // the page's window is still open
        QTest::newRow("section") << true << "B" << true << false << QStringList{"A", "C", "Log"} << true;
        QTest::newRow("log") << true << "Log" << true << false << QStringList{"A", "B", "C"} << true;
        QTest::newRow("ini") << false << "Ini" << false << false << QStringList{"Log"} << true;
        QTest::newRow("section gone") << true << "C" << true << true << QStringList{"A", "B", "Log"} << false;
        QTest::newRow("ini, then section tabs")
            << false << "Ini" << true << false << QStringList{"A", "B", "C", "Log"} << false;
    }

    void reloadKeepsDetachedPages()
    {
        QFETCH(bool, tabsBefore);
        QFETCH(QString, detached);
        QFETCH(bool, tabsAfter);
        QFETCH(bool, withoutC);
        QFETCH(QStringList, row);
        QFETCH(bool, stays);
        const auto describe = [this](bool tabs) {
            write("a.vlmr", tabs ? "<settings><tabs>1</tabs></settings>" : "<settings/>");
        };
        describe(tabsBefore);
        open({"a.ini"});
        TabWgt* w = detach(detached);
        QVERIFY(w);
        QCOMPARE(TestUtil::shownText(Dialogs::shown().last().text), "Показать в отдельном окне");
        QCOMPARE(w->windowTitle(), detached);
        // The first detached window takes the main window's size, at the corner of the screen.
        QCOMPARE(QRect(w->pos(), w->size()), QRect(QPoint(0, 0), m_window->size()));

        describe(tabsAfter);
        QByteArray changed = QByteArray(SectionsIni).replace("Beta=2", "Beta=99");
        write("a.ini", withoutC ? changed.replace("[C]\r\nGamma=3\r\n", "") : changed);
        touch("a.ini");
        Dialogs::setNextAnswer(QMessageBox::Yes);
        cycleActivation();
        // The reload took the new time: nothing more to report.
        cycleActivation();
        QCOMPARE(questions().size(), 1);

        QCOMPARE(m_window->m_pPages->tabTitles(), row);
        ParamsTreeWidget* b = tabsAfter ? m_window->m_view.m_sectionTrees.value("B") : m_window->m_view.m_pParamsTree;
        const QList<QTreeWidgetItem*> beta = b->findItems("Beta", Qt::MatchRecursive, 0);
        QCOMPARE(beta.size(), 1);
        QCOMPARE(beta.first()->text(ParamsTreeWidget::ValueColumn), "99");
        QCOMPARE(m_window->m_pPages->windows().keys(), stays ? QStringList{detached} : QStringList());
        if (stays) {
            // The window shows the rebuilt page: the tree the window now edits, or the log.
            w = m_window->m_pPages->windows().value(detached);
            QWidget* shown = detached == "Log"   ? m_window->m_ui.widget_2
                             : detached == "Ini" ? static_cast<QWidget*>(m_window->m_view.m_pParamsTree)
                                                 : m_window->m_view.m_sectionTrees.value(detached);
            QVERIFY(shown && w->m_pPage && w->isAncestorOf(shown));
            QTRY_VERIFY(shown->isVisible());
            // Closed, the window gives its page back to its place among the tabs, in front.
            m_window->m_ui.tabWidget->setCurrentIndex(0);
            w->close();
            QWidget* current = m_window->m_ui.tabWidget->currentWidget();
            QVERIFY(current == shown || current->isAncestorOf(shown));
            QVERIFY(shown->isVisible());
        }
        QStringList all = tabsAfter ? QStringList{"A", "B", "C", "Log"} : QStringList{"Ini", "Log"};
        if (withoutC)
            all.removeOne("C");
        QCOMPARE(m_window->m_pPages->tabTitles(), all);
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
        QTest::addColumn<QString>("text");
        QTest::newRow("one") << QStringList{"b.ini"} << OneChanged;
        QTest::newRow("two") << QStringList{"a.ini", "c.ini"}
                             << "Файлы a.ini, c.ini были изменены. Хотите перезагрузить их?";
        QTest::newRow("deleted") << QStringList{"-b.ini"} << OneChanged;
    }

    void outsideChanges()
    {
        QFETCH(QStringList, touched);
        QFETCH(QString, text);
        open({"a.ini", "b.ini", "c.ini"});
        for (const QString& name : touched) {
            if (name.startsWith('-'))
                QVERIFY(QFile::remove(path(name.mid(1))));
            else
                touch(name);
        }
        // Asked only once the user has been away, and again each time while the answer is No.
        cycleActivation(false);
        QVERIFY(questions().isEmpty());
        for (int asked = 1; asked <= 2; ++asked) {
            Dialogs::setNextAnswer(QMessageBox::No);
            cycleActivation();
            QCOMPARE(questions(), QStringList(asked, text));
        }
        const Dialogs::Shown& last = Dialogs::shown().last();
        QVERIFY(last.title.isEmpty() && last.buttons == (QMessageBox::Yes | QMessageBox::No) &&
                last.defaultButton == QMessageBox::Yes);
    }

    void closingLeavesAHandWrittenDescription()
    {
        // The demo's description, as a lab writes them: spaces, blank lines, comments, CRLF.
        for (const char* name : {"demo.ini", "demo.vlmr"})
            write(name, TestUtil::readBytes(QStringLiteral(VOLMAR_TEST_DATA "/../../examples/demo/") + name));
        const QByteArray ini = read("demo.ini");
        const QByteArray description = read("demo.vlmr");
        QVERIFY(description.contains("<curprog cmdline=\"dsptest.exe\"/>"));
        const QDateTime time = QFileInfo(path("demo.vlmr")).lastModified();
        open({"demo.ini"});
        QCOMPARE(m_window->m_ui.m_pProgComboBox->currentText(), "dsptest.exe");
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QVERIFY(!m_window->isVisible());
        // Nothing was edited: no question, and neither file is written.
        QVERIFY(Dialogs::shown().isEmpty());
        QCOMPARE(read("demo.ini"), ini);
        QCOMPARE(read("demo.vlmr"), description);
        QCOMPARE(QFileInfo(path("demo.vlmr")).lastModified(), time);

        // Another program chosen: only the line of the program chosen last changes.
        m_window = std::make_unique<Volmar>();
        open({"demo.ini"});
        m_window->m_ui.m_pProgComboBox->setEditText("kelda.exe -u gen_test.ldr");
        m_window->close();
        QCOMPARE(read("demo.vlmr"),
                 QByteArray(description)
                     .replace("\"dsptest.exe\"/>\r\n</settings>", "\"kelda.exe -u gen_test.ldr\"/>\r\n</settings>"));
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
        m_window->m_options.m_bAutoSave = false;
        ParamsTreeWidget* tree = m_window->m_view.m_pCurTree;
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

    void visualiserToldWhereTheWindowIs()
    {
        open({"a.ini"});
        // A visualiser that only notes what it was told.
        QVERIFY(QDir(m_dir->path()).mkpath("bin"));
        write("bin/Orvex.exe", "#!/bin/sh\nprintf '%s' \"$VOLMAR_GEOMETRY\" > geometry.txt\n");
        QVERIFY(QFile::setPermissions(path("bin/Orvex.exe"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        m_window->m_options.m_sOrvexDirectory = path("bin");
        m_window->move(30, 40);
        // Another test may have a visualiser running: start a second one.
        Dialogs::setNextAnswer(QMessageBox::Yes);
        m_window->m_pPanel->runOrvex();
        Dialogs::clearPendingAnswers();
        const QRect frame = m_window->frameGeometry();
        QTRY_COMPARE(
            read("geometry.txt"),
            QString("%1,%2,%3,%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height()).toLatin1());
        QTRY_COMPARE(m_window->m_runner.orvexProcess()->state(), QProcess::NotRunning);
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

    void openFiles(const QStringList& names)
    {
        QStringList paths;
        for (const QString& name : names)
            paths << path(name);
        m_window->m_session.setOpenList(paths);
        m_window->openFiles();
    }

    // As at start: the files are opened before the window is shown.
    void openThenShow(const QStringList& names)
    {
        openFiles(names);
        show();
    }

    void open(const QStringList& names)
    {
        show();
        openFiles(names);
        // A tree put into a shown window appears on the next pass of the event loop.
        QTRY_VERIFY(m_window->m_session.description().m_nTabs != 0 || m_window->m_view.m_pParamsTree->isVisible());
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
        QTabBar* bar = m_window->m_ui.tabWidget->tabBar();
        const QPoint at = bar->tabRect(m_window->m_pPages->tabTitles().indexOf(title)).center();
        Dialogs::setNextMenuChoice(m_window->m_ui.m_pTopAction);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, bar->mapToGlobal(at));
        QCoreApplication::sendEvent(bar, &event);
        return m_window->m_pPages->windows().value(title);
    }

    QTreeWidgetItem* row(const QString& title) const
    {
        const QList<QTreeWidgetItem*> rows = m_window->m_view.m_pCurTree->findItems(title, Qt::MatchRecursive, 0);
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
    QApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
