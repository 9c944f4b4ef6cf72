#include "../common/testutil.h"
#include "session/editingsession.h"
#include "widgets/paramsfilterbar.h"
#include "widgets/paramstreewidget.h"
#include "widgets/spinboxex.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace
{
// Gain lies beyond its maximum, Bits is not in its list, Freq differs between the two files.
const QByteArray FileA = "[Main]\r\nFreq=48000\r\nGain=150\r\nBits=5\r\nMode=fast\r\n";
const QByteArray FileB = "[Main]\r\nFreq=44100\r\nGain=150\r\nBits=5\r\nMode=fast\r\n";
const QByteArray Description = R"(<settings>
 <group title="Звук" open="0">
  <param name="Main.Freq" type="spin-int" title="Частота" min="8000" max="96000"/>
  <param name="Main.Gain" type="spin-int" title="Усиление" min="0" max="100"/>
  <param name="Main.Bits" type="list" title="Разрядность"><item val="8"/><item val="16"/></param>
  <param name="Main.Mode" title="Режим"/>
 </group>
</settings>
)";
} // namespace

class TestFilterBar : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(TestUtil::writeBytes(m_dir->filePath("a.ini"), FileA));
        QVERIFY(TestUtil::writeBytes(m_dir->filePath("b.ini"), FileB));
        QVERIFY(TestUtil::writeBytes(m_dir->filePath("a.vlmr"), Description));
        m_session = std::make_unique<EditingSession>();
        m_session->setOpenList({m_dir->filePath("a.ini"), m_dir->filePath("b.ini")});
        m_session->takeDescription();
        m_session->load();

        m_page = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(m_page.get());
        m_tree = new ParamsTreeWidget;
        m_bar = new ParamsFilterBar(m_tree);
        layout->addWidget(m_bar);
        layout->addWidget(m_tree);
        m_tree->showLayout(m_session->layout().first(), *m_session);
        m_page->show();
        m_page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
    }

    void cleanup()
    {
        m_page.reset(); // the rows point at the session's entries
        m_session.reset();
    }

    void typingFindAndEscape()
    {
        ParamTreeItem* gain = row("Gain");
        ParamTreeItem* freq = row("Freq");
        QTreeWidgetItem* group = gain->parent();
        QVERIFY(!group->isExpanded());
        QCOMPARE(m_bar->m_pCount->text(), QString("4 из 4"));

        m_tree->setFocus();
        QTest::keyClick(m_tree, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(m_bar->m_pEdit->hasFocus());
        type("УСИЛ");
        QCOMPARE(m_bar->m_pCount->text(), QString("1 из 4"));
        QVERIFY(!gain->isHidden());
        QVERIFY(freq->isHidden());
        // The group opens to show what was found, and its title is not a match.
        QVERIFY(group->isExpanded());
        QVERIFY(m_tree->isFilterHit(*gain, ParamsTreeWidget::TitleColumn));
        QVERIFY(!m_tree->isFilterHit(*gain, ParamsTreeWidget::ValueColumn));

        type("x");
        QCOMPARE(m_bar->m_pCount->text(), QString("0 из 4"));
        QVERIFY(group->isHidden());

        QTest::keyClick(m_bar->m_pEdit, Qt::Key_Escape);
        QVERIFY(m_bar->m_pEdit->text().isEmpty());
        QCOMPARE(m_bar->m_pCount->text(), QString("4 из 4"));
        QVERIFY(!freq->isHidden());
        QVERIFY(!group->isHidden());
        QVERIFY(!group->isExpanded()); // closed again, as it was before the search
        QTest::keyClick(m_bar->m_pEdit, Qt::Key_Escape);
        QTRY_VERIFY(m_tree->hasFocus());
    }

    void viewsAndLimits()
    {
        m_bar->m_pView->setCurrentIndex(m_bar->m_pView->findText("Вне пределов"));
        QCOMPARE(m_bar->m_pCount->text(), QString("2 из 4"));
        QVERIFY(!row("Bits")->isHidden());
        QVERIFY(row("Mode")->isHidden());
        type("разр");
        QCOMPARE(m_bar->m_pCount->text(), QString("1 из 4"));
        m_bar->m_pView->setCurrentIndex(m_bar->m_pView->findText("Различающиеся"));
        QCOMPARE(m_bar->m_pCount->text(), QString("0 из 4"));
        m_bar->m_pEdit->clear();
        QCOMPARE(m_bar->m_pCount->text(), QString("1 из 4"));
        QVERIFY(!row("Freq")->isHidden());

        ParamTreeItem* gain = row("Gain");
        QVERIFY(gain->toolTip(ParamsTreeWidget::ValueColumn).contains("100"));
        QVERIFY(gain->background(ParamsTreeWidget::ValueColumn).color().isValid());
        QVERIFY(row("Mode")->toolTip(ParamsTreeWidget::ValueColumn).isEmpty());
        // A value brought within its limits loses the warning.
        gain->m_pEntry->value = "90";
        gain->markChange();
        QVERIFY(gain->toolTip(ParamsTreeWidget::ValueColumn).isEmpty());
        QCOMPARE(gain->background(ParamsTreeWidget::ValueColumn).style(), Qt::NoBrush);
    }

    void editorKeepsValueBeyondLimits()
    {
        ParamTreeItem* gain = row("Gain");
        gain->parent()->setExpanded(true);
        m_tree->setCurrentItem(gain, ParamsTreeWidget::ValueColumn);
        m_tree->editItem(gain, ParamsTreeWidget::ValueColumn);
        auto* spin = m_tree->viewport()->findChild<SpinBoxEx*>();
        QVERIFY(spin);
        QTRY_VERIFY(spin->isVisible());
        QCOMPARE(spin->text(), QString("150"));
        QTest::keyClick(spin, Qt::Key_Return);
        QTRY_VERIFY(!m_tree->isEditing());
        QCOMPARE(gain->m_pEntry->value, QString("150"));
        QVERIFY(!m_session->isModified());
    }

private:
    // Key presses with the letters' text: the test library knows no Cyrillic keys.
    void type(const QString& text)
    {
        for (const QChar letter : text)
            QTest::sendKeyEvent(QTest::Click, m_bar->m_pEdit, Qt::Key_unknown, QString(letter), Qt::NoModifier);
    }

    ParamTreeItem* row(const QString& key) const
    {
        for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
            if (auto* item = static_cast<ParamTreeItem*>(*it); item->m_pEntry && item->m_pEntry->key == key)
                return item;
        return nullptr;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<EditingSession> m_session;
    std::unique_ptr<QWidget> m_page;
    ParamsTreeWidget* m_tree = nullptr;
    ParamsFilterBar* m_bar = nullptr;
};

QTEST_MAIN(TestFilterBar)
#include "tst_filterbar.moc"
