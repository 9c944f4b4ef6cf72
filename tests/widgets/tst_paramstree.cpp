#include "description/paramdescription.h"
#include "document/inientry.h"
#include "widgets/paramstreewidget.h"
#include "widgets/paramtreeitem.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>
#include <tuple>
#include <vector>

namespace
{
const QColor AdcColor(200, 230, 255);

const auto isBlack = [](const QColor& c) { return c.red() < 40 && c.green() < 40 && c.blue() < 40; };
// Antialiased edges aside, the core of grey glyphs.
const auto isGrey = [](const QColor& c) {
    return qAbs(c.red() - 120) < 12 && qAbs(c.green() - 120) < 12 && qAbs(c.blue() - 120) < 12;
};

int countPixels(const QImage& image, const QRect& rect, const std::function<bool(const QColor&)>& match)
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += match(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}
} // namespace

class TestParamsTree : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_adc = GroupDescription{"Adc", 200, 230, 255, true};
        m_dac = GroupDescription{"Dac", 255, 220, 200, false};
        m_tree = std::make_unique<ParamsTreeWidget>();
        m_tree->resize(500, 300);
        m_tree->setColumnWidth(ParamsTreeWidget::TitleColumn, 150);
    }

    void cleanup()
    {
        m_tree.reset(); // rows point at the entries
        m_entries.clear();
        m_descs.clear();
    }

    void clicks_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("x");            // -1: in the value column
        QTest::addColumn<int>("clicks");       // 0: a right click, 2: a double click, 4: two
        QTest::addColumn<int>("doubleClicks"); // double-click signals; on a group, each one toggles it
        QTest::addColumn<bool>("editor");
        QTest::newRow("group, edge") << "group" << 0 << 1 << 1 << false;
        QTest::newRow("group, last toggling pixel") << "group" << 19 << 1 << 1 << false;
        QTest::newRow("group, first plain pixel") << "group" << 20 << 1 << 0 << false;
        QTest::newRow("group title") << "group" << 80 << 1 << 0 << false;
        QTest::newRow("group, right click on the edge") << "group" << 3 << 0 << 0 << false;
        QTest::newRow("group, double click toggles once") << "group" << 80 << 2 << 1 << false;
        QTest::newRow("group, two double clicks") << "group" << 80 << 4 << 2 << false;
        QTest::newRow("parameter, edge") << "freq" << 3 << 1 << 0 << false;
        QTest::newRow("enabled value, double click") << "freq" << -1 << 2 << 1 << true;
        QTest::newRow("enabled title, double click") << "freq" << 30 << 2 << 1 << false;
        QTest::newRow("disabled value, double click") << "gain" << -1 << 2 << 1 << false;
    }

    void clicks()
    {
        QFETCH(QString, row);
        QFETCH(int, x);
        QFETCH(int, clicks);
        QFETCH(int, doubleClicks);
        build();
        QSignalSpy doubleClicked(m_tree.get(), &QTreeWidget::itemDoubleClicked);
        QSignalSpy rightClicked(m_tree.get(), &ParamsTreeWidget::signalItemRightClicked);
        ParamTreeItem* item = row == "group" ? m_groupAdc : row == "freq" ? m_freq : m_gain;
        const QPoint pos(x >= 0 ? x : m_tree->columnViewportPosition(1) + 30,
                         m_tree->visualItemRect(item).center().y());
        if (clicks < 2)
            QTest::mouseClick(m_tree->viewport(), clicks ? Qt::LeftButton : Qt::RightButton, {}, pos);
        for (int i = 0; i < clicks / 2; ++i) {
            // What the window system delivers: press, release, double click, release.
            QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, {}, pos);
            QTest::mouseDClick(m_tree->viewport(), Qt::LeftButton, {}, pos);
            QTest::mouseRelease(m_tree->viewport(), Qt::LeftButton, {}, pos);
        }
        QCOMPARE(m_groupAdc->isExpanded(), item != m_groupAdc || doubleClicks % 2 == 0);
        QCOMPARE(doubleClicked.count(), doubleClicks);
        // The window reads the current row when the right-click signal arrives.
        QCOMPARE(m_tree->currentItem(), item);
        QCOMPARE(rightClicked.count(), clicks ? 0 : 1);
        QTEST(m_tree->isEditing(), "editor");
    }

    void rowColours()
    {
        build();
        QVERIFY(!m_freq->data(0, Qt::CheckStateRole).isValid()); // check boxes only in check mode
        const QImage image = shot();
        const QRect group = m_tree->visualItemRect(m_groupAdc);
        QCOMPARE(image.pixel(group.right() - 5, group.center().y()), m_tree->palette().color(QPalette::Dark).rgb());
        // The group's colour fills the indentation of its parameters and the rest of their title cells.
        const QRect freq = m_tree->visualItemRect(m_freq);
        QCOMPARE(image.pixel(3, freq.center().y()), AdcColor.rgb());
        QCOMPARE(image.pixel(m_tree->columnWidth(0) - 5, freq.center().y()), AdcColor.rgb());
        // Rows of a closed group and invisible rows take no room.
        QVERIFY(m_tree->visualItemRect(m_level).isEmpty());
        QVERIFY(m_tree->visualItemRect(m_secret).isEmpty());
        QCOMPARE(m_tree->visualItemRect(m_mode).bottom() + 1, m_tree->visualItemRect(m_tree->topLevelItem(1)).top());
        const QRect modeValue = m_tree->visualRect(m_tree->indexFromItem(m_mode, 1));
        QCOMPARE(image.pixel(modeValue.right() - 5, modeValue.center().y()), QColor(236, 233, 216).rgb());

        // Disabled rows are grey, read-only rows are disabled yet read in black.
        QVERIFY(countPixels(image, cell(m_freq, 1), isBlack) > 0);
        QVERIFY(countPixels(image, cell(m_gain, 0), isGrey) > 0);
        QVERIFY(countPixels(image, cell(m_mode, 1), isBlack) > 0);
        QCOMPARE(countPixels(image, cell(m_mode, 1), isGrey), 0);
    }

    void groupIconAndSpannedTitle()
    {
        m_adc.title = "A group title long enough to run past the title column";
        m_tree->setColumnWidth(0, 60);
        build();
        const QRect row = m_tree->visualItemRect(m_groupAdc);
        const QRect icon(0, row.top(), 24, row.height());
        const QImage open = shot().copy(icon);
        m_groupAdc->setExpanded(false);
        QVERIFY(shot().copy(icon) != open);

        // Spanned, the bright title text continues over the value column's dark band.
        const QRect valuePart(70, row.top() + 1, 150, row.height() - 3);
        const QColor dark = m_tree->palette().color(QPalette::Dark);
        auto lighter = [dark](const QColor& c) { return c.lightness() > dark.lightness() + 40; };
        QVERIFY(countPixels(shot(), valuePart, lighter) > 0);
        m_groupAdc->setFirstColumnSpanned(false);
        QCOMPARE(countPixels(shot(), valuePart, lighter), 0);
    }

    void groupLookupFollowsChanges()
    {
        GroupDescription first{"Same", 200, 230, 255, true};
        GroupDescription second{"SAME", 255, 0, 0, true};
        m_tree->addGroupItem(first);
        ParamTreeItem* secondRow = m_tree->addGroupItem(second);
        // Titles that differ only in case: everything goes under the first.
        QCOMPARE(m_tree->addParamItem("same", entry("a", "1", true))->m_color, AdcColor);
        m_tree->topLevelItem(0)->setText(0, "[Same]");
        QCOMPARE(m_tree->addParamItem("same", entry("b", "1", true))->parent(), secondRow);
        QCOMPARE(m_tree->addParamItem("[same]", entry("c", "1", true))->parent(), m_tree->topLevelItem(0));
        delete m_tree->takeTopLevelItem(1);
        QVERIFY(!m_tree->addParamItem("same", entry("d", "1", true)));
        // After clearing, a group of the same title is found anew.
        m_tree->clearItems();
        ParamTreeItem* group = m_tree->addGroupItem(m_adc);
        QCOMPARE(m_tree->addParamItem("ADC", entry("k", "v", true))->parent(), group);
    }

private:
    IniEntry* entry(const QString& key, const QString& value, bool enabled, ParamDescription* desc = nullptr)
    {
        IniEntry* e = m_entries.emplace_back(std::make_unique<IniEntry>()).get();
        std::tie(e->key, e->value, e->enabled, e->desc) = std::tie(key, value, enabled, desc);
        return e;
    }

    ParamDescription* desc(const QString& title, int noedit = 0, int invisible = 0)
    {
        ParamDescription* d = m_descs.emplace_back(std::make_unique<ParamDescription>()).get();
        d->title = title;
        d->noedit = noedit;
        d->invisible = invisible;
        return d;
    }

    void build(bool checkMode = false)
    {
        m_tree->m_bCheckMode = checkMode;
        m_groupAdc = m_tree->addGroupItem(m_adc);
        m_tree->addGroupItem(m_dac);
        m_freq = m_tree->addParamItem("adc", entry("freq", "100", true, desc("Frequency")));
        m_gain = m_tree->addParamItem("Adc", entry("gain", "2", false));
        m_mode = m_tree->addParamItem("Adc", entry("mode", "1", false, desc("Mode", 1)));
        m_secret = m_tree->addParamItem("Adc", entry("secret", "x", true, desc("Secret", 0, 1)));
        m_level = m_tree->addParamItem("Dac", entry("level", "3", true));
        m_tree->applyGroupStates({&m_adc, &m_dac});
        m_tree->spanGroupRows();
        m_tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    }

    QRect cell(QTreeWidgetItem* row, int column) const
    {
        return m_tree->visualRect(m_tree->indexFromItem(row, column)).adjusted(1, 1, -2, -2);
    }

    QImage shot() const { return m_tree->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    std::vector<std::unique_ptr<IniEntry>> m_entries;
    std::vector<std::unique_ptr<ParamDescription>> m_descs;
    std::unique_ptr<ParamsTreeWidget> m_tree;
    GroupDescription m_adc;
    GroupDescription m_dac;
    ParamTreeItem* m_groupAdc = nullptr;
    ParamTreeItem* m_freq = nullptr;   // enabled, described
    ParamTreeItem* m_gain = nullptr;   // disabled, no description
    ParamTreeItem* m_mode = nullptr;   // read-only description, hence disabled
    ParamTreeItem* m_secret = nullptr; // invisible
    ParamTreeItem* m_level = nullptr;  // in the closed group
};

QTEST_MAIN(TestParamsTree)
#include "tst_paramstree.moc"
