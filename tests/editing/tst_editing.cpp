// Editing values like a user and checking the INI files on disk.
#include "../common/testutil.h"
#include "app/volmar.h"
#include "document/inientry.h"
#include "widgets/comboboxex.h"
#include "widgets/doublespinboxex.h"
#include "widgets/editdialog.h"
#include "widgets/editwidget.h"
#include "widgets/filepathwidget.h"
#include "widgets/messagebox.h"
#include "widgets/paramdelegate.h"
#include "widgets/paramstreewidget.h"
#include "widgets/paramtreeitem.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace
{
// A user-visible description of the test set: every editor type once.
const QByteArray Description = R"(<settings>
 <group title="Main group">
  <param name="Main.Freq" type="spin-int" min="0" max="100000"/>
  <param name="Main.Gain" type="spin-int" min="0" max="10"/>
  <param name="Main.Mode" type="spin-int" min="0" max="10"/>
  <param name="Main.Level" type="list"><item val="1" descr="one"/><item val="2" descr="two"/><item val="4096" descr="длинный"/></param>
  <param name="Main.Ratio" type="spin-double" min="0" max="10" inc="0"/>
  <param name="Main.Note"/>
  <param name="Main.Data" type="file" pattern="*.bin;*.dat"/>
 </group>
</settings>
)";
const QByteArray Ini = "[Main]\r\nFreq=100 // frequency\r\nGain=2\r\nMode=1;2\r\nLevel=1\r\nRatio=0.25\r\n"
                       "Note=a\\nb\r\nData=old.bin\r\n";

const QString TestIni = QStringLiteral("set/test.ini");

} // namespace

class TestEditing : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Nothing is started next to the editing: no visualiser, no firmware, no program.
        TestUtil::resetStoreWithoutAutoStarts({"Auto Reload"});
        QSettings("Korvane", "Brindle").clear();
        Dialogs::clearShown();
        Dialogs::clearPendingAnswers();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(path("set")));
        m_window = std::make_unique<Volmar>();
    }

    void cleanup()
    {
        m_window.reset();
        QLocale::setDefault(QLocale::c());
        QDir::setCurrent(QDir::tempPath());
        m_dir.reset();
    }

    void doubleText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("fraction") << 2.5 << "2.5";
        QTest::newRow("whole") << 3.0 << "3";
        QTest::newRow("zeros before the point stay") << 100.0 << "100";
        QTest::newRow("negative") << -0.125 << "-0.125";
        QTest::newRow("below ten decimals") << 1e-11 << "0";
    }

    void doubleText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(ParamDelegate::doubleText(value), text);
    }

    void listEdit_data()
    {
        QTest::addColumn<QString>("typed"); // empty: the second element is chosen from the opened list
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("chosen") << QString() << QByteArray("2") << "2 [two]";
        QTest::newRow("typed freely") << "7" << QByteArray("7") << "7";
        QTest::newRow("start of an element typed") << "4" << QByteArray("4") << "4";
    }

    void listEdit()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        QFETCH(QString, shown);
        openTestSet();
        QCOMPARE(row("Level")->text(ParamsTreeWidget::ValueColumn), "1 [one]");

        auto* combo = dynamic_cast<ComboBoxEx*>(openEditor(row("Level"), false));
        QVERIFY(combo);
        QCOMPARE(combo->currentText(), "1 [one]");
        QCOMPARE(combo->count(), 3);
        if (typed.isEmpty()) {
            // Control as part of a shortcut leaves the list closed; pressed and released alone it opens it.
            QSignalSpy saves(m_window->m_ui.m_pActionSave, &QAction::triggered);
            m_window->m_ui.m_pActionSave->setEnabled(true);
            QTest::keyPress(combo, Qt::Key_Control);
            QTest::keySequence(combo, QKeySequence("Ctrl+S"));
            QTest::keyRelease(combo, Qt::Key_Control);
            QCOMPARE(saves.count(), 1);
            QVERIFY(!combo->view()->isVisible());
            QTest::keyClick(combo, Qt::Key_Control);
            QTRY_VERIFY(combo->view()->isVisible());
            QTest::keyClick(combo->view(), Qt::Key_Down);
            QTest::keyClick(combo->view(), Qt::Key_Return);
            QTRY_VERIFY(!combo->view()->isVisible());
        } else {
            combo->lineEdit()->selectAll();
            QTest::keyClicks(combo, typed);
        }
        QTest::keyClick(combo, Qt::Key_Return);

        QByteArray expected = Ini;
        expected.replace("Level=1\r\n", "Level=" + stored + "\r\n");
        QTRY_COMPARE(read(TestIni), expected);
        QCOMPARE(row("Level")->text(ParamsTreeWidget::ValueColumn), shown);
    }

    void textEditThroughDialog()
    {
        openTestSet();
        QPointer<EditWidget> editor = qobject_cast<EditWidget*>(openEditor(row("Note")));
        QVERIFY(editor);
        QVERIFY(!QImage(":/Brindle/Resources/pencil.png").isNull());
        QVERIFY(!QImage(":/Brindle/Resources/fileopen.png").isNull());

        QString shownText;
        bool openWhileDialogRuns = false;
        QTimer::singleShot(0, this, [&] {
            QPointer<EditDialog> dialog = qobject_cast<EditDialog*>(QApplication::activeModalWidget());
            const auto closeAnyway = qScopeGuard([&] {
                if (dialog && dialog->isVisible())
                    dialog->reject();
            });
            QVERIFY(dialog);
            QTRY_VERIFY(dialog->isActiveWindow());
            shownText = dialog->m_pTextEdit->toPlainText();
            openWhileDialogRuns = editor && editor->isVisible();
            dialog->m_pTextEdit->setPlainText("first\nsecond\n");
            dialog->buttonBox->button(QDialogButtonBox::Ok)->click();
        });
        QTest::mouseClick(editor->m_pButton, Qt::LeftButton);

        QCOMPARE(shownText, "a\nb");
        QVERIFY(openWhileDialogRuns);
        QVERIFY(editor && editor->isVisible());
        QCOMPARE(editor->m_pLineEdit->text(), "first\\nsecond\\n");

        QTest::keyClick(editor->m_pLineEdit, Qt::Key_Return);
        QByteArray expected = Ini;
        expected.replace("Note=a\\nb", "Note=first\\nsecond\\n");
        QTRY_COMPARE(read(TestIni), expected);
    }

    void textDialogRemembersSize()
    {
        {
            EditDialog dialog;
            QCOMPARE(dialog.windowTitle(), "Редактирование");
            QCOMPARE(dialog.size(), QSize(400, 300));
            dialog.show();
            dialog.resize(520, 410);
            dialog.reject(); // cancelled, yet the size is kept
        }
        const QSettings settings("Korvane", "Brindle");
        QCOMPARE(settings.value("WidthEditWindow").toInt(), 520);
        QCOMPARE(settings.value("HeightEditWindow").toInt(), 410);
        EditDialog next;
        QCOMPARE(next.size(), QSize(520, 410));
    }

    void fileEdit_data()
    {
        QTest::addColumn<QString>("chosen"); // under the temporary folder; empty cancels
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("lastDir");
        QTest::newRow("below the working folder") << "set/sub/new.bin" << QByteArray("sub/new.bin") << "set/sub";
        QTest::newRow("elsewhere") << "other/x.bin" << QByteArray("<abs>other/x.bin") << "other";
        QTest::newRow("folder sharing the name's start") << "setx/y.bin" << QByteArray("<abs>setx/y.bin") << "setx";
        QTest::newRow("cancelled") << QString() << QByteArray("old.bin") << "start";
    }

    void fileEdit()
    {
        QFETCH(QString, chosen);
        QFETCH(QByteArray, stored);
        QFETCH(QString, lastDir);
        openTestSet();
        m_window->m_session.lastDir() = path("start");

        auto* editor = qobject_cast<FilePathWidget*>(openEditor(row("Data")));
        QVERIFY(editor);
        const QModelIndex index = tree()->indexFromItem(row("Data"), ParamsTreeWidget::ValueColumn);
        QCOMPARE(editor->geometry(), tree()->visualRect(index).adjusted(0, 0, 0, -1));
        QCOMPARE(editor->m_pButton->width(), qMax(editor->height(), 26));

        Dialogs::setNextFileName(chosen.isEmpty() ? QString() : path(chosen));
        QTest::mouseClick(editor->m_pButton, Qt::LeftButton);
        const Dialogs::Shown asked = Dialogs::shown().constLast();
        QCOMPARE(asked.caption, "Выберите файл");
        QCOMPARE(asked.dir, path("start"));
        QCOMPARE(asked.filter, "(*.bin *.dat);;Все файлы (*)");
        QCOMPARE(m_window->m_session.lastDir(), path(lastDir));
        QTest::keyClick(editor, Qt::Key_Return);

        stored.replace("<abs>", QFile::encodeName(m_dir->path() + QLatin1Char('/')));
        QByteArray expected = Ini;
        expected.replace("Data=old.bin", "Data=" + stored);
        QTRY_COMPARE(read(TestIni), expected);
        QCOMPARE(FilePathWidget::fileFilter(QString()), "Все файлы (*)");
    }

    void escapeCancels_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("how"); // "typed", or "dialog": through the editor's button
        QTest::addColumn<bool>("autoSave");
        for (const bool autoSave : {true, false})
            for (const char* key : {"Note", "Data"})
                for (const char* how : {"typed", "dialog"})
                    QTest::addRow("%s %s%s", key, how, autoSave ? ", Auto Save" : "") << key << how << autoSave;
    }

    void escapeCancels()
    {
        QFETCH(QString, key);
        QFETCH(QString, how);
        QFETCH(bool, autoSave);
        openTestSet();
        m_window->m_options.m_bAutoSave = autoSave;
        ParamTreeItem* item = row(key);
        const QString shown = item->text(ParamsTreeWidget::ValueColumn);
        const QString value = item->m_pEntry->value;
        QSignalSpy changes(tree(), &ParamsTreeWidget::signalParamChanged);

        QWidget* editor = openEditor(item);
        QVERIFY(editor);
        auto* lineEdit = editor->findChild<QLineEdit*>();
        if (how == "typed") {
            lineEdit->selectAll();
            QTest::keyClicks(lineEdit, "zzz");
        } else if (auto* text = qobject_cast<EditWidget*>(editor)) {
            QTimer::singleShot(0, this, [] {
                if (auto* dialog = qobject_cast<EditDialog*>(QApplication::activeModalWidget())) {
                    dialog->m_pTextEdit->setPlainText("zzz");
                    dialog->accept();
                }
            });
            QTest::mouseClick(text->m_pButton, Qt::LeftButton);
        } else {
            Dialogs::setNextFileName(path("set/zzz.bin"));
            QTest::mouseClick(qobject_cast<FilePathWidget*>(editor)->m_pButton, Qt::LeftButton);
        }
        QVERIFY(lineEdit->text().contains("zzz"));
        reactivate();

        QVERIFY(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!openedEditor());
        QVERIFY(m_window->isVisible()); // the editor took the key, not the window
        QCOMPARE(item->m_pEntry->value, value);
        QCOMPARE(item->text(ParamsTreeWidget::ValueColumn), shown);
        QCOMPARE(changes.count(), 0);
        QVERIFY(!m_window->m_session.isModified());
        m_window->slotActionSave();
        QCOMPARE(read(TestIni), Ini);
    }

    void leavingCommits_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("next"); // the row Tab moves to; "-": the tree takes the focus instead
        QTest::newRow("Tab, spin box") << QString("Mode") << QString("5") << QByteArray("Mode= 5\t\t// 2") << "Level";
        QTest::newRow("Tab, text editor") << QString("Note") << QString("xy") << QByteArray("Note=xy") << "Data";
        QTest::newRow("Tab, path editor")
            << QString("Data") << QString("new.bin") << QByteArray("Data=new.bin") << QString();
        // As the closing window does.
        QTest::newRow("focus lost, spin box") << QString("Gain") << QString("9") << QByteArray("Gain=9") << "-";
        QTest::newRow("focus lost, text editor") << QString("Note") << QString("9") << QByteArray("Note=9") << "-";
    }

    void leavingCommits()
    {
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(QByteArray, line);
        QFETCH(QString, next);
        openTestSet();

        QPointer<QWidget> editor = openEditorAndType(key, typed);
        QVERIFY(editor);
        if (next == "-")
            tree()->setFocus();
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);

        QTRY_VERIFY(read(TestIni).contains("\r\n" + line + "\r\n"));
        QTRY_VERIFY(!editor || !editor->isVisible());
        QCOMPARE(row(key)->text(ParamsTreeWidget::ValueColumn), typed);
        // The focus stays in the tree: on the next row's editor, or on the tree after the last row.
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus && (focus == tree() || tree()->isAncestorOf(focus)));
        if (!next.isEmpty() && next != "-") {
            QCOMPARE(tree()->currentItem(), row(next));
            QVERIFY(openedEditor());
        }
    }

    void typingAfterFileDialog()
    {
        openTestSet();
        auto* editor = qobject_cast<FilePathWidget*>(openEditor(row("Data")));
        QVERIFY(editor);
        write("set/chosen.bin", "x");
        // The real dialog: it takes the window's focus away while it runs.
        QTimer::singleShot(0, this, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            if (auto* files = qobject_cast<QFileDialog*>(dialog))
                files->selectFile(path("set/chosen.bin"));
            dialog->accept();
        });
        QTest::mouseClick(editor->m_pButton, Qt::LeftButton);
        QCOMPARE(editor->m_pLineEdit->text(), "chosen.bin");
        reactivate();

        QTRY_COMPARE(QApplication::focusWidget(), editor->m_pLineEdit);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QTest::keyClicks(QApplication::focusWidget(), "x");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(read(TestIni).contains("\r\nData=chosen.bix\r\n"));
    }

    void typedNumbers_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("note"); // beside the cell when a limit replaced the number; empty: none
        const auto row = [](const QString& locale, const char* name, const char* key, const char* typed,
                            const QByteArray& line, const QString& note = QString()) {
            QTest::addRow("%s: %s", qPrintable(locale), name)
                << locale << QString(key) << QString(typed) << line << note;
        };
        for (const QString locale : {"C", "ru_RU"}) {
            row(locale, "comma", "Ratio", "2,5", "Ratio=2.5");
            row(locale, "point", "Ratio", "3.75", "Ratio=3.75");
            row(locale, "above the maximum", "Freq", "200000", "Freq= 100000\t\t// frequency",
                "Значение 200000 больше допустимого: записан максимум 100000");
            row(locale, "below the minimum", "Gain", "-5", "Gain=0",
                "Значение -5 меньше допустимого: записан минимум 0");
            row(locale, "fraction above the maximum", "Ratio", "12.5", "Ratio=10",
                "Значение 12" + QLocale(locale).decimalPoint() + "5 больше допустимого: записан максимум 10");
            // A whole number takes no separator, rather than reading "2,5" as 25 with grouping.
            row(locale, "separator in a whole number", "Gain", "2,5", "Gain=25");
        }
        row("C", "too many decimals", "Ratio", "0.123456789012", "Ratio=0.123456789");
    }

    void typedNumbers()
    {
        QFETCH(QString, locale);
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(QByteArray, line);
        QFETCH(QString, note);
        useLocale(locale);
        QByteArray description = Description;
        description.replace(R"(name="Main.Gain" type="spin-int" min="0" max="10")",
                            R"(name="Main.Gain" type="spin-int" min="0" max="100")");
        openTestSet(Ini, description);

        commit(key, typed);
        QTRY_VERIFY2(read(TestIni).contains("\r\n" + line + "\r\n"), read(TestIni).constData());
        ParamTreeItem* item = row(key);
        QCOMPARE(item->toolTip(ParamsTreeWidget::ValueColumn), note);
        auto* shown = tree()->viewport()->findChild<QLabel*>("volmarLimitNote");
        QCOMPARE(shown && shown->isVisible(), !note.isEmpty());
        if (shown && !note.isEmpty()) {
            QCOMPARE(shown->text(), note);
            const QRect cell = tree()->visualRect(tree()->indexFromItem(item, ParamsTreeWidget::ValueColumn));
            QVERIFY(tree()->viewport()->rect().contains(shown->geometry()));
            // Beside the value in its cell, or right under or over the cell.
            QVERIFY(cell.contains(shown->geometry()) || qAbs(shown->y() - cell.bottom()) <= 2 ||
                    qAbs(shown->geometry().bottom() - cell.top()) <= 2);
            QVERIFY(!shown->geometry().intersects(
                QRect(cell.topLeft(),
                      QSize(tree()->fontMetrics().horizontalAdvance(item->text(ParamsTreeWidget::ValueColumn)),
                            cell.height()))));
        }
    }

    void shortestNumberShown_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("C: half") << QString("C") << QString("0.5") << "0.5";
        QTest::newRow("C: whole") << QString("C") << QString("3") << "3";
        QTest::newRow("C: ten decimals") << QString("C") << QString("0.0000000001") << "0.0000000001";
        QTest::newRow("ru: half") << QString("ru_RU") << QString("0.5") << "0,5";
        QTest::newRow("ru: whole") << QString("ru_RU") << QString("10") << "10";
        QTest::newRow("ru: negative zero") << QString("ru_RU") << QString("-0") << "0";
    }

    void shortestNumberShown()
    {
        QFETCH(QString, locale);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        useLocale(locale);
        QByteArray description = Description;
        description.replace(R"(min="0" max="10" inc="0")", R"(min="-1" max="10" inc="0")");
        openTestSet(QByteArray(Ini).replace("Ratio=0.25", "Ratio=" + stored.toUtf8()), description);

        auto* spin = qobject_cast<DoubleSpinBoxEx*>(openEditor(row("Ratio")));
        QVERIFY(spin);
        QCOMPARE(spin->text(), shown);
        QCOMPARE(spin->singleStep(), 0.1); // a step of 0 in the description keeps the default
    }

    void spinArrowsBesideTheNumber()
    {
        openTestSet();
        tree()->setColumnWidth(ParamsTreeWidget::TitleColumn, 100);
        m_window->resize(900, m_window->height());
        for (const char* key : {"Freq", "Ratio"}) {
            auto* spin = qobject_cast<QAbstractSpinBox*>(openEditor(row(QString(key))));
            QVERIFY(spin);
            const QRect cell = tree()->visualRect(tree()->indexFromItem(row(QString(key)), 1));
            QVERIFY2(cell.width() > 500, "a wide value column");
            QCOMPARE(spin->geometry().topLeft(), cell.topLeft());
            // Wide enough for the number and its arrows, far from the cell's end.
            QCOMPARE(spin->width(), spin->sizeHint().width());
            QVERIFY(spin->width() > spin->fontMetrics().horizontalAdvance(spin->text()));
            QVERIFY2(spin->width() < cell.width() / 3, qPrintable(QString::number(spin->width())));
            QTest::keyClick(spin, Qt::Key_Escape);
            QTRY_VERIFY(!openedEditor());
        }
    }

    void untouchedEditorWritesNothing_data()
    {
        QTest::addColumn<QStringList>("values"); // Gain in each file of the set
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("action"); // typed text then Return, or: "click", "return", "tab", "up"
        QTest::addColumn<QStringList>("after");
        const QStringList differing{"1.0", "1.25", "1.0"};
        const QString gain = "Gain", count = "Count", level = "Level";
        QTest::newRow("differing, click elsewhere") << differing << gain << QString("click") << differing;
        QTest::newRow("differing, Return") << differing << gain << QString("return") << differing;
        QTest::newRow("differing, Tab") << differing << gain << QString("tab") << differing;
        QTest::newRow("differing whole numbers")
            << QStringList{"3", "4", "3"} << count << QString("click") << QStringList{"3", "4", "3"};
        QTest::newRow("differing, list") << differing << level << QString("click") << differing;
        QTest::newRow("differing, text") << differing << QString("Note") << QString("click") << differing;
        QTest::newRow("differing, minimum typed") << differing << gain << QString("0.5") << QStringList(3, "0.5");
        // The first step out of the empty field shows a value, the lowest; that one is written.
        QTest::newRow("differing, Up") << differing << gain << QString("up") << QStringList(3, "0.5");
        QTest::newRow("longer form of a number")
            << QStringList{"2.50"} << gain << QString("return") << QStringList{"2.50"};
        QTest::newRow("not a number") << QStringList{"abc"} << count << QString("return") << QStringList{"abc"};
        QTest::newRow("list value with a bracket")
            << QStringList{"a[1]"} << level << QString("return") << QStringList{"a[1]"};
        QTest::newRow("same number typed") << QStringList{"2.50"} << gain << QString("2.5") << QStringList{"2.5"};
    }

    void untouchedEditorWritesNothing()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, key);
        QFETCH(QString, action);
        QFETCH(QStringList, after);
        const QByteArray description = R"(<settings><group title="Main">
  <param name="Main.Gain" type="spin-double" min="0.5" max="10"/>
  <param name="Main.Count" type="spin-int" min="1" max="10"/>
  <param name="Main.Level" type="list"><item val="1.0" descr="one"/><item val="2"/></param>
  <param name="Main.Note"/>
  <param name="Main.Other" type="spin-int" min="0" max="10"/>
 </group></settings>
)";
        const auto fileText = [&](const QString& value) {
            QByteArray text = "[Main]\r\nGain=1\r\nCount=1\r\nLevel=1\r\nNote=1\r\nOther=0\r\n";
            return text.replace(key.toUtf8() + "=1\r\n", key.toUtf8() + '=' + value.toUtf8() + "\r\n");
        };
        QStringList names;
        for (int i = 0; i < values.size(); ++i) {
            names << QStringLiteral("set/f%1.ini").arg(i);
            write(names.last(), fileText(values.at(i)));
        }
        write("set/f0.vlmr", description);
        openSet(names);

        QPointer<QWidget> editor = openEditor(row(key));
        QVERIFY(editor);
        // The cell's "≠" stands for the files' values; no editor starts from it.
        for (const QLineEdit* line : editor->findChildren<QLineEdit*>())
            QVERIFY(!line->text().contains("≠"));
        if (action == "click") {
            const QModelIndex other = tree()->indexFromItem(row("Other"), ParamsTreeWidget::TitleColumn);
            QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualRect(other).center());
        } else if (action == "tab") {
            QTest::keyClick(editor, Qt::Key_Tab);
        } else {
            if (action == "up")
                QTest::keyClick(editor, Qt::Key_Up);
            else if (action != "return")
                QTest::keyClicks(editor, action);
            QTest::keyClick(editor, Qt::Key_Return);
        }
        QTRY_VERIFY(!editor || !editor->isVisible());
        QVERIFY(!m_window->m_session.isModified()); // nothing held for a later save either
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(read(names.at(i)), fileText(after.at(i)));
    }

    void autoSaveOnOff()
    {
        openTestSet();
        TestUtil::RewriteCounter rewrites(path("set"));
        QSignalSpy changes(tree(), &ParamsTreeWidget::signalParamChanged);
        const auto gainColour = [this] { return row("Gain")->foreground(ParamsTreeWidget::ValueColumn).color(); };

        // Auto Save on: the saved text again is no change; a new value is written at once, once.
        commit("Gain", "2");
        QTRY_VERIFY(!openedEditor());
        QCOMPARE(changes.count(), 0);
        QCOMPARE(rewrites.count("test.ini"), 0);
        commit("Gain", "4");
        QTRY_VERIFY(read(TestIni).contains("\r\nGain=4\r\n"));
        QCOMPARE(rewrites.count("test.ini"), 1);
        QVERIFY(!m_window->m_ui.m_pActionSave->isEnabled());
        QCOMPARE(gainColour(), QColor(0, 0, 0));

        // Auto Save off: red and Save enabled; back to the saved text: black, and Save writes nothing.
        m_window->m_options.m_bAutoSave = false;
        commit("Gain", "6");
        QTRY_VERIFY(m_window->m_ui.m_pActionSave->isEnabled());
        QCOMPARE(gainColour(), QColor(255, 0, 0));
        commit("Gain", "4");
        QTRY_COMPARE(gainColour(), QColor(0, 0, 0));
        QCOMPARE(changes.count(), 2);
        const QByteArray saved = read(TestIni);
        m_window->m_ui.m_pActionSave->trigger();
        QCOMPARE(read(TestIni), saved);
        QCOMPARE(rewrites.count("test.ini"), 1);
    }

    void checkBoxSavedLikeAnEdit()
    {
        // The key of section 01 is indented and has blanks around "=".
        const QByteArray ini = "[00]\r\nGain=1\r\n[01]\r\n  gain = 2\r\nFreq=5\r\n";
        const QByteArray off = "[00]\r\nGain=1\r\n[01]\r\n  @gain = 2\r\nFreq=5\r\n";
        openTestSet(ini, "<settings><check>1</check></settings>\n");

        clickCheckBox(row("gain", "01"));
        QCOMPARE(read(TestIni), off);
        QVERIFY(!(row("gain", "01")->flags() & Qt::ItemIsEditable));
        // The same key of the other section stays on.
        QVERIFY(row("Gain", "00")->flags() & Qt::ItemIsEditable);

        // Read again, the key stays off; Space on its row switches it on.
        m_window->loadFiles();
        ParamTreeItem* gain = row("gain", "01");
        QCOMPARE(gain->checkState(ParamsTreeWidget::TitleColumn), Qt::Unchecked);
        tree()->setCurrentItem(gain);
        tree()->setFocus();
        QTest::keyClick(tree(), Qt::Key_Space);
        QCOMPARE(gain->checkState(ParamsTreeWidget::TitleColumn), Qt::Checked);
        QVERIFY(gain->m_pEntry->enabled && (gain->flags() & Qt::ItemIsEditable));
        QCOMPARE(read(TestIni), ini);
        QVERIFY(!m_window->m_session.isModified());
    }

    void readOnlyKeyHasNoSwitch()
    {
        const QByteArray ini = "[Main]\r\nGain=2\r\nFreq=5\r\n";
        openTestSet(ini, "<settings><check>1</check><param name=\"Main.Gain\" noedit=\"1\"/></settings>\n");
        ParamTreeItem* gain = row("Gain");
        QVERIFY(!gain->data(ParamsTreeWidget::TitleColumn, Qt::CheckStateRole).isValid());
        QVERIFY(!(gain->flags() & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)));

        // A click where a box would be, Space and a double click on the value change nothing.
        const QRect rect = tree()->visualItemRect(gain);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 8, rect.center().y()));
        tree()->setCurrentItem(gain);
        QTest::keyClick(tree(), Qt::Key_Space);
        QVERIFY(!openEditor(gain));
        QVERIFY(!(gain->flags() & Qt::ItemIsEditable));
        QVERIFY(!m_window->m_session.isModified());
        QCOMPARE(read(TestIni), ini);
    }

    void missingKeyAdded_data()
    {
        QTest::addColumn<bool>("checkMode"); // by the check box; else by a double click
        QTest::newRow("check box") << true;
        QTest::newRow("double click, no check mode") << false;
    }

    void missingKeyAdded()
    {
        QFETCH(bool, checkMode);
        const QByteArray a = "[Main]\r\nFreq=100\r\nGain=1\r\n";
        write("set/a.ini", a);
        write("set/b.ini", "[Main]\r\nFreq=100\r\n");
        write("set/a.vlmr", checkMode ? "<settings><check>1</check></settings>" : "<settings/>");
        openSet({"set/a.ini", "set/b.ini"});
        ParamTreeItem* gain = row("Gain");
        QVERIFY(gain->m_pEntry->absent);

        // Asked first: No leaves the key out of the file that lacks it, Yes adds it.
        for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
            Dialogs::setNextAnswer(answer);
            if (checkMode) {
                clickCheckBox(gain);
                QCOMPARE(gain->checkState(ParamsTreeWidget::TitleColumn) == Qt::Checked, answer == QMessageBox::Yes);
            } else if (QWidget* editor = openEditor(gain)) {
                QTest::keyClick(editor, Qt::Key_Escape);
            }
            const Dialogs::Shown asked = Dialogs::shown().constLast();
            QCOMPARE(asked.kind + '|' + asked.text + '|' + asked.informativeText,
                     "question|Параметр отсутствует в некоторых файлах|Добавить параметр во все файлы?");
            QVERIFY(asked.buttons == (QMessageBox::Yes | QMessageBox::No) && asked.defaultButton == QMessageBox::Yes);
            QCOMPARE(gain->m_pEntry->absent, answer == QMessageBox::No);
        }
        QCOMPARE(Dialogs::shown().size(), 2);
        // Without check mode there is no box to tick.
        QCOMPARE(gain->data(ParamsTreeWidget::TitleColumn, Qt::CheckStateRole).isValid(), checkMode);
        QVERIFY(gain->flags() & Qt::ItemIsEditable);
        // Added where it was missing; the file that has it keeps its value.
        QCOMPARE(read("set/b.ini"), QByteArray("[Main]\r\nFreq=100\r\nGain=\r\n"));
        QCOMPARE(read("set/a.ini"), a);
        QVERIFY(!m_window->m_session.isModified());
    }

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void write(const QString& name, const QByteArray& bytes) { QVERIFY(TestUtil::writeBytes(path(name), bytes)); }
    QByteArray read(const QString& name) const { return TestUtil::readBytes(path(name)); }
    void openSet(const QStringList& names);
    void openTestSet(const QByteArray& ini = Ini, const QByteArray& description = Description);
    ParamsTreeWidget* tree() const { return m_window->m_view.m_pParamsTree; }
    ParamTreeItem* row(const QString& key, const QString& section = QString()) const;
    QWidget* openEditor(ParamTreeItem* item, bool byDoubleClick = true); // else by Return
    QWidget* openEditorAndType(const QString& key, const QString& text);
    QWidget* openedEditor() const;
    // Widgets take the default locale when they are made: the window is made again under it.
    void useLocale(const QString& name)
    {
        QLocale::setDefault(QLocale(name));
        m_window = std::make_unique<Volmar>();
    }
    // What the window manager does when a dialog closes: the window it covered is active again.
    void reactivate()
    {
        m_window->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), m_window.get());
    }
    // Clicks a row's check box where the user sees it: at the left of the title cell, inside the
    // delegate's margin.
    void clickCheckBox(ParamTreeItem* item)
    {
        const QRect rect = tree()->visualItemRect(item);
        const int margin = tree()->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree()) + 1;
        const int half = tree()->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, tree()) / 2;
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {},
                          QPoint(rect.left() + margin + half, rect.center().y()));
    }
    // Opens the value editor by double click, types text and presses Return.
    void commit(const QString& key, const QString& text)
    {
        QTest::keyClick(openEditorAndType(key, text), Qt::Key_Return);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Volmar> m_window;
};

void TestEditing::openSet(const QStringList& names)
{
    QStringList paths;
    for (const QString& name : names)
        paths << path(name);
    m_window->m_session.setOpenList(paths);
    m_window->openFiles();
    // Most cases want each committed edit on disk at once.
    m_window->m_options.m_bAutoSave = true;
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    // The start-up pass queued by opening ends by activating the window: run it now, not inside a
    // dialog that a test opens later.
    QCoreApplication::processEvents();
}

void TestEditing::openTestSet(const QByteArray& ini, const QByteArray& description)
{
    write(TestIni, ini);
    write("set/test.vlmr", description);
    openSet({TestIni});
}

ParamTreeItem* TestEditing::row(const QString& key, const QString& section) const
{
    for (int g = 0; g < tree()->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = tree()->topLevelItem(g);
        for (int c = 0; c < group->childCount(); ++c) {
            auto* item = static_cast<ParamTreeItem*>(group->child(c));
            if (item->m_pEntry && item->m_pEntry->key == key &&
                (section.isEmpty() || item->m_pEntry->section == section))
                return item;
        }
    }
    return nullptr;
}

QWidget* TestEditing::openEditor(ParamTreeItem* item, bool byDoubleClick)
{
    const QModelIndex index = tree()->indexFromItem(item, ParamsTreeWidget::ValueColumn);
    tree()->scrollTo(index);
    if (byDoubleClick) {
        QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualRect(index).center());
    } else {
        tree()->setCurrentIndex(index);
        QTest::keyClick(tree(), Qt::Key_Return);
    }
    return openedEditor();
}

QWidget* TestEditing::openedEditor() const
{
    // The open editor is the one visible child of the viewport; closed ones are hidden until deleted.
    for (QWidget* child : tree()->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible())
            return child;
    return nullptr;
}

QWidget* TestEditing::openEditorAndType(const QString& key, const QString& text)
{
    QWidget* editor = openEditor(row(key));
    auto* lineEdit = editor ? editor->findChild<QLineEdit*>() : nullptr;
    if (lineEdit && !qobject_cast<QAbstractSpinBox*>(editor)) {
        lineEdit->selectAll();
        QTest::keyClicks(lineEdit, text);
    } else if (editor) {
        QTest::keyClicks(editor, text); // the view selects a spin box's text as it opens it
    }
    return editor;
}

int main(int argc, char** argv)
{
    // The window opens the files named in the application's arguments; the test functions named on a
    // command line must not become INI files in the current folder.
    int appArgc = 1;
    QApplication app(appArgc, argv);
    TestEditing test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_editing.moc"
