// The filter boxes of the main window: typing, the find and Escape keys, the count, the views, one box
// over every tree, what they hold kept across a reload; and values beyond their limits.
#include "app/volmar.h"
#include "tests/common/testutil.h"
#include "widgets/messagebox.h"
#include "widgets/paramsfilterbar.h"
#include "widgets/paramstreewidget.h"
#include "widgets/spinboxex.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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
const QByteArray SectionsIni = "[A]\r\nAlpha=1\r\n[B]\r\nBeta=2\r\n[C]\r\nGamma=3\r\n";
} // namespace

class TestFilterBox : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TestUtil::resetStoreWithoutAutoStarts();
        Dialogs::clearShown();
        m_dir = std::make_unique<QTemporaryDir>();
        m_window = std::make_unique<Volmar>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup()
    {
        QVERIFY(Dialogs::shown().isEmpty());
        m_window.reset();
    }

    void typingFindAndEscape()
    {
        openSet();
        ParamsFilterBar* bar = m_window->m_view.m_pFilterBar;
        ParamsTreeWidget* tree = bar->tree();
        ParamTreeItem* gain = row("Gain");
        ParamTreeItem* freq = row("Freq");
        QTreeWidgetItem* group = gain->parent();
        QVERIFY(!group->isExpanded());
        QCOMPARE(bar->m_pCount->text(), QString("4 из 4"));

        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(bar->m_pEdit->hasFocus());
        type("УСИЛ");
        QCOMPARE(bar->m_pCount->text(), QString("1 из 4"));
        QVERIFY(!gain->isHidden());
        QVERIFY(freq->isHidden());
        // The group opens to show what was found; the title is what matched.
        QVERIFY(group->isExpanded());
        QVERIFY(tree->isFilterHit(*gain, ParamsTreeWidget::TitleColumn));
        QVERIFY(!tree->isFilterHit(*gain, ParamsTreeWidget::ValueColumn));
        type("x");
        QCOMPARE(bar->m_pCount->text(), QString("0 из 4"));
        QVERIFY(group->isHidden());

        QTest::keyClick(bar->m_pEdit, Qt::Key_Escape);
        QVERIFY(bar->m_pEdit->text().isEmpty());
        QCOMPARE(bar->m_pCount->text(), QString("4 из 4"));
        QVERIFY(!freq->isHidden());
        QVERIFY(!group->isHidden());
        QVERIFY(!group->isExpanded()); // closed again, as before the search
        QTest::keyClick(bar->m_pEdit, Qt::Key_Escape);
        QTRY_VERIFY(tree->hasFocus());

        bar->m_pView->setCurrentIndex(bar->m_pView->findText("Вне пределов"));
        QCOMPARE(bar->m_pCount->text(), QString("2 из 4"));
        QVERIFY(!row("Bits")->isHidden());
        QVERIFY(freq->isHidden());
        // Another file of the set is read into the same tree, under the same box.
        m_window->m_view.m_pFileTabs->setCurrentIndex(2);
        QCOMPARE(bar->m_pCount->text(), QString("2 из 4"));
    }

    void valueBeyondLimits()
    {
        openSet();
        ParamsTreeWidget* tree = m_window->m_view.m_pParamsTree;
        ParamTreeItem* gain = row("Gain");
        QVERIFY(gain->toolTip(ParamsTreeWidget::ValueColumn).contains("100"));
        QVERIFY(row("Mode")->toolTip(ParamsTreeWidget::ValueColumn).isEmpty());
        // The editor shows the file's number, not its limit, and writes nothing back unless edited.
        gain->parent()->setExpanded(true);
        tree->setCurrentItem(gain, ParamsTreeWidget::ValueColumn);
        tree->editItem(gain, ParamsTreeWidget::ValueColumn);
        auto* spin = tree->viewport()->findChild<SpinBoxEx*>();
        QVERIFY(spin);
        QTRY_VERIFY(spin->isVisible());
        QCOMPARE(spin->text(), QString("150"));
        QTest::keyClick(spin, Qt::Key_Return);
        QTRY_VERIFY(!tree->isEditing());
        QCOMPARE(gain->m_pEntry->value, QString("150"));
        QVERIFY(!m_window->m_session.isModified());
        // A value brought within its limits loses the warning.
        gain->m_pEntry->value = "90";
        gain->markChange();
        QVERIFY(gain->toolTip(ParamsTreeWidget::ValueColumn).isEmpty());
        QCOMPARE(gain->background(ParamsTreeWidget::ValueColumn).style(), Qt::NoBrush);
    }

    void boxOverEverySectionTree()
    {
        write("a.ini", SectionsIni);
        write("a.vlmr", "<settings><tabs>1</tabs></settings>");
        m_window->m_session.setOpenList({path("a.ini")});
        m_window->openFiles();
        const QStringList counts{"0 из 1", "1 из 1", "0 из 1"};
        QCOMPARE(sectionBoxes("beta"), counts);
        m_window->loadFiles();
        QCOMPARE(sectionBoxes(QString()), counts);
    }

private:
    // Types `text` into the box over every section tree, and returns the boxes' counts.
    QStringList sectionBoxes(const QString& text) const
    {
        QStringList counts;
        const QList<ParamsTreeWidget*> trees = m_window->m_view.m_sectionTrees.values();
        for (ParamsFilterBar* bar : m_window->findChildren<ParamsFilterBar*>()) {
            if (!trees.contains(bar->tree()))
                continue;
            if (!text.isEmpty())
                bar->m_pEdit->setText(text);
            counts << bar->m_pCount->text();
        }
        return counts;
    }

    void openSet()
    {
        write("a.ini", FileA);
        write("b.ini", FileB);
        write("a.vlmr", Description);
        m_window->m_session.setOpenList({path("a.ini"), path("b.ini")});
        m_window->openFiles();
        // A tree put into a shown window appears on the next pass of the event loop.
        QTRY_VERIFY(m_window->m_view.m_pParamsTree->isVisible());
    }

    // Key presses with the letters' text: the test library knows no Cyrillic keys.
    void type(const QString& text) const
    {
        for (const QChar letter : text)
            QTest::sendKeyEvent(QTest::Click, m_window->m_view.m_pFilterBar->m_pEdit, Qt::Key_unknown, QString(letter),
                                Qt::NoModifier);
    }

    ParamTreeItem* row(const QString& key) const
    {
        for (QTreeWidgetItemIterator it(m_window->m_view.m_pParamsTree); *it; ++it)
            if (auto* item = static_cast<ParamTreeItem*>(*it); item->m_pEntry && item->m_pEntry->key == key)
                return item;
        return nullptr;
    }

    QString path(const QString& name) const { return m_dir->filePath(name); }
    void write(const QString& name, const QByteArray& bytes) { QVERIFY(TestUtil::writeBytes(path(name), bytes)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Volmar> m_window;
};

QTEST_MAIN(TestFilterBox)
#include "tst_filterbox.moc"
