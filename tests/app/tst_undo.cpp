// Undo, redo and "Вернуть сохранённое" through the main window's real widgets, with Auto Save on: the
// file takes every step at once, and holds the bytes it had wherever the user changed nothing.
#include "app/volmar.h"
#include "tests/common/testutil.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"
#include "widgets/spinboxex.h"

#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QByteArray Ini = "; stand 3\r\n[Main]\r\nFreq=48000\r\n\r\nGain=2 ; dB\r\n[Other]\r\nX=1\r\n";
const QByteArray Description = R"(<settings>
 <group title="Звук">
  <param name="Main.Freq" type="spin-int" title="Частота" min="8000" max="96000"/>
  <param name="Main.Gain" type="spin-int" title="Усиление" min="0" max="100"/>
 </group>
</settings>
)";
} // namespace

class TestUndo : public QObject
{
    Q_OBJECT

private slots:
    void undoRedoAndRevertWithAutoSave()
    {
        TestUtil::resetStoreWithoutAutoStarts();
        QTemporaryDir dir;
        const QString ini = dir.filePath("a.ini");
        QVERIFY(TestUtil::writeBytes(ini, Ini));
        QVERIFY(TestUtil::writeBytes(dir.filePath("a.vlmr"), Description));
        Volmar window(nullptr, {}, {ini});
        window.m_options.m_bAutoSave = true;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        const auto actions = window.findChildren<QMenu*>();
        const auto edit = std::find_if(actions.cbegin(), actions.cend(), [](const QMenu* menu) {
            return TestUtil::shownText(menu->title()) == "Правка";
        });
        QVERIFY(edit != actions.cend());
        QAction* undo = (*edit)->actions().at(0);
        QAction* redo = (*edit)->actions().at(1);
        QAction* revertAll = (*edit)->actions().at(3);
        QVERIFY(!undo->isEnabled() && !redo->isEnabled() && !revertAll->isEnabled());

        ParamsTreeWidget* tree = window.m_view.m_pParamsTree;
        QTreeWidgetItem* freq = tree->findItems("Частота", Qt::MatchExactly | Qt::MatchRecursive).value(0);
        QVERIFY(freq);
        const auto type = [&](const QString& value) {
            tree->setCurrentItem(freq, ParamsTreeWidget::ValueColumn);
            tree->editItem(freq, ParamsTreeWidget::ValueColumn);
            auto* spin = tree->viewport()->findChild<SpinBoxEx*>();
            QVERIFY(spin);
            QTRY_VERIFY(spin->hasFocus());
            QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(spin, value);
            QTest::keyClick(spin, Qt::Key_Return);
            QTRY_VERIFY(tree->hasFocus());
        };
        type("44100");
        const QByteArray edited = QByteArray(Ini).replace("Freq=48000", "Freq=44100");
        QTRY_COMPARE(TestUtil::readBytes(ini), edited);
        QCOMPARE(TestUtil::shownText(undo->text()), QString("Отменить: Частота = 44100"));

        QTest::keyClick(tree, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(TestUtil::readBytes(ini), Ini);
        QCOMPARE(freq->text(ParamsTreeWidget::ValueColumn), QString("48000"));
        QVERIFY(!undo->isEnabled());
        QCOMPARE(TestUtil::shownText(redo->text()), QString("Повторить: Частота = 44100"));

        QTest::keyClick(tree, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(TestUtil::readBytes(ini), edited);
        QCOMPARE(freq->text(ParamsTreeWidget::ValueColumn), QString("44100"));

        // Saved at once, the value is what the file holds: nothing to put back.
        QVERIFY(!revertAll->isEnabled());

        // Without Auto Save the row's context menu puts the saved value back, and nothing is left to save.
        window.m_options.m_bAutoSave = false;
        type("30000");
        QVERIFY(window.m_ui.m_pActionSave->isEnabled());
        QVERIFY(revertAll->isEnabled());
        QAction* revertRow = tree->actions().value(0);
        QVERIFY(revertRow && TestUtil::shownText(revertRow->text()) == "Вернуть сохранённое" && revertRow != revertAll);
        revertRow->trigger();
        QCOMPARE(freq->text(ParamsTreeWidget::ValueColumn), QString("44100"));
        QVERIFY(!window.m_ui.m_pActionSave->isEnabled());
        QCOMPARE(TestUtil::shownText(undo->text()), QString("Отменить: Частота = 44100"));
        QCOMPARE(TestUtil::readBytes(ini), edited);
        QVERIFY(Dialogs::shown().isEmpty());
    }
};

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
