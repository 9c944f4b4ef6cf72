// The tools of the log page driven through the window's own widgets: find, save, clear, the pane
// that stops following the end while the user reads earlier lines, and the line-wrap switch.
#include "app/programpanel.h"
#include "app/volmar.h"
#include "tests/common/testutil.h"
#include "widgets/logpane.h"
#include "widgets/logtools.h"
#include "widgets/messagebox.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestLogTools : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<Volmar> m_window;
    QString m_pendingCr;

    QTextEdit* edit() const { return m_window->m_ui.m_pLogTextEdit; }
    template <typename T>
    T* tool(const char* name) const
    {
        return m_window->findChild<T*>(QLatin1String(name));
    }

    void print(const QByteArray& output)
    {
        m_window->m_pPanel->logPane()->append(output, m_pendingCr);
        m_window->m_pPanel->logPane()->flush();
    }
    void printLines(int from, int to)
    {
        QByteArray output;
        for (int i = from; i <= to; ++i)
            output += "строка " + QByteArray::number(i) + '\n';
        print(output);
    }
    // The line of the log shown at the top of the pane.
    QString topLine() const
    {
        QTextCursor cursor = edit()->cursorForPosition(QPoint(2, 2));
        cursor.movePosition(QTextCursor::StartOfLine);
        cursor.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
        return cursor.selectedText();
    }
    // Pixels of the pane in the colour that marks what the find text matches.
    int highlightedPixels() const
    {
        const QImage image = edit()->viewport()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) == QColor(255, 230, 120);
        return count;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        Dialogs::clearShown();
        Dialogs::clearPendingAnswers();
        QSettings(QStringLiteral("Korvane"), QStringLiteral("Volmar")).clear();
        m_work = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_work->path()));
        m_window = std::make_unique<Volmar>();
        m_window->resize(900, 600);
        m_window->m_ui.tabWidget->setCurrentWidget(m_window->m_ui.widget_2);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_pendingCr.clear();
        m_window->m_pPanel->logPane()->clear();
    }

    void cleanup() { m_window.reset(); }

    void find_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("presses"); // n: next, p: previous
        QTest::addColumn<int>("line");        // of the match selected; 0: none
        QTest::newRow("first match as typed") << "значение 2"
                                              << "" << 2;
        QTest::newRow("next") << "значение"
                              << "nn" << 3;
        QTest::newRow("next wraps to the top") << "значение"
                                               << "nnnn" << 1;
        QTest::newRow("previous wraps to the end") << "значение"
                                                   << "p" << 4;
        QTest::newRow("case aside, Cyrillic too") << "ЗНАЧЕНИЕ 3"
                                                  << "" << 3;
        QTest::newRow("nowhere") << "нет такого"
                                 << "n" << 0;
    }

    void find()
    {
        QFETCH(QString, typed);
        QFETCH(QString, presses);
        QFETCH(int, line);
        print("значение 1\nзначение 2\nзначение 3\nзначение 4\n");
        edit()->setFocus();
        QTest::keyClick(edit(), Qt::Key_F, Qt::ControlModifier);
        auto* findEdit = tool<QLineEdit>("logFindEdit");
        QTRY_VERIFY(findEdit->hasFocus());
        for (QChar c : typed) // typed as keys, Cyrillic ones included
            QTest::sendKeyEvent(QTest::Click, findEdit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        for (QChar press : presses)
            tool<QPushButton>(press == u'n' ? "logFindNext" : "logFindPrevious")->click();

        const QTextCursor selected = edit()->textCursor();
        if (line == 0) {
            QVERIFY(!selected.hasSelection());
            QCOMPARE(tool<QLabel>("logFindStatus")->text(), QStringLiteral("Не найдено"));
            QCOMPARE(highlightedPixels(), 0);
            return;
        }
        QCOMPARE(selected.selectedText().toLower(), typed.toLower());
        QCOMPARE(edit()->toPlainText().left(selected.selectionStart()).count(u'\n') + 1, line);
        // The other matches are marked too; Escape takes the marks away and gives the log the focus.
        if (edit()->toPlainText().count(typed, Qt::CaseInsensitive) > 1)
            QVERIFY(highlightedPixels() > 0);
        QTest::keyClick(findEdit, Qt::Key_Escape);
        QTRY_VERIFY(edit()->hasFocus());
        QTRY_COMPARE(highlightedPixels(), 0);
    }

    void save_data()
    {
        QTest::addColumn<QString>("name"); // empty: the dialog is cancelled
        QTest::addColumn<bool>("saved");
        QTest::newRow("saved") << "журнал.txt" << true;
        QTest::newRow("cancelled") << "" << false;
        QTest::newRow("folder missing") << "нет/журнал.txt" << false;
    }

    void save()
    {
        QFETCH(QString, name);
        QFETCH(bool, saved);
        m_window->m_pPanel->logPane()->setLimits({10, 1 << 20});
        printLines(1, 30);
        print("Частота 48000 Гц");
        const QString path = name.isEmpty() ? QString() : m_work->filePath(name);
        Dialogs::setNextFileName(path);
        if (!saved && !name.isEmpty())
            Dialogs::setNextAnswer(QMessageBox::Ok);
        tool<QPushButton>("logSaveButton")->click();
        QCOMPARE(Dialogs::shown().first().kind, QStringLiteral("save"));
        if (saved) {
            // The log as shown, the note about dropped lines included, in UTF-8.
            QCOMPARE(TestUtil::readBytes(path), edit()->toPlainText().toUtf8());
            QVERIFY(TestUtil::readBytes(path).startsWith(
                LogPane::droppedNote(m_window->m_pPanel->logPane()->droppedLines()).toUtf8() + '\n'));
            QVERIFY(TestUtil::readBytes(path).endsWith("строка 30\nЧастота 48000 Гц"));
        } else {
            QCOMPARE(QDir(m_work->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
            QCOMPARE(Dialogs::shown().size(), name.isEmpty() ? 1 : 2);
            // A failed save says so, naming the file.
            if (!name.isEmpty())
                QVERIFY(Dialogs::shown().last().kind == "warning" && Dialogs::shown().last().text.contains(path));
        }
    }

    void clear_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("log");
        // The line the program is overwriting stays in place for its next progress.
        QTest::newRow("open progress line")
            << QByteArray("one\ntwo\n\rP 10%") << QByteArray("\rP 20%\nend\n") << "P 20%\nend\n";
        QTest::newRow("ended line") << QByteArray("one\ntwo\n") << QByteArray("three\n") << "three\n";
    }

    void clear()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QString, log);
        m_window->m_pPanel->logPane()->setLimits({1, 1 << 20}); // a note about dropped lines goes too
        print(before);
        tool<QPushButton>("logClearButton")->click();
        QCOMPARE(edit()->toPlainText(), QString::fromLatin1(before.mid(before.lastIndexOf('\n') + 1)).remove(u'\r'));
        m_window->m_pPanel->logPane()->setLimits({100, 1 << 20});
        print(after);
        QCOMPARE(edit()->toPlainText(), log);
    }

    void followsTheEndUnlessScrolledUp()
    {
        m_window->m_pPanel->logPane()->setLimits({2000, 1 << 20});
        printLines(1, 1000);
        QScrollBar* bar = edit()->verticalScrollBar();
        auto* paused = tool<QLabel>("logPausedLabel");
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(paused->isHidden());

        // Reading earlier lines: new output neither moves them, nor do lines that leave the top.
        bar->setValue(bar->maximum() * 9 / 10);
        const QString reading = topLine();
        QVERIFY(!paused->isHidden());
        printLines(1001, 2200);
        QVERIFY(m_window->m_pPanel->logPane()->droppedLines() > 0);
        QCOMPARE(topLine(), reading);
        QVERIFY(bar->value() < bar->maximum());

        // Back at the end, the pane follows again.
        bar->setValue(bar->maximum());
        QVERIFY(paused->isHidden());
        printLines(2201, 2300);
        QCOMPARE(bar->value(), bar->maximum());
    }

    void lineWrapRemembered()
    {
        auto* wrap = tool<QCheckBox>("logWrapBox");
        QVERIFY(wrap->isChecked());
        QCOMPARE(edit()->lineWrapMode(), QTextEdit::WidgetWidth);
        wrap->click();
        QCOMPARE(edit()->lineWrapMode(), QTextEdit::NoWrap);
        // A long line then scrolls sideways instead of taking several.
        print(QByteArray(2000, 'x') + '\n');
        QVERIFY(edit()->horizontalScrollBar()->maximum() > 0);

        m_window = std::make_unique<Volmar>();
        QVERIFY(!tool<QCheckBox>("logWrapBox")->isChecked());
        QCOMPARE(edit()->lineWrapMode(), QTextEdit::NoWrap);
    }
};

QTEST_MAIN(TestLogTools)
#include "tst_logtools.moc"
