#include "description/paramdescription.h"
#include "description/paramtreeitem.h"
#include "document/inientry.h"
#include "widgets/paramdelegate.h"
#include "widgets/paramstreewidget.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

namespace
{
const QColor AdcColor(200, 230, 255);
const QColor DacColor(255, 220, 200);
const QColor Beige(236, 233, 216);

bool isRed(const QColor& c)
{
    return c.red() > 200 && c.green() < 80 && c.blue() < 80;
}
bool isBlack(const QColor& c)
{
    return c.red() < 40 && c.green() < 40 && c.blue() < 40;
}
bool isGrey(const QColor& c) // antialiased edges aside, the core of grey glyphs
{
    return qAbs(c.red() - 120) < 12 && qAbs(c.green() - 120) < 12 && qAbs(c.blue() - 120) < 12;
}

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
    void init();
    void cleanup();
    void leftEdgeClickTogglesGroup_data();
    void leftEdgeClickTogglesGroup();
    void rightClickSelectsThenSignalsOnce();
    void doubleClickTogglesGroupOnce();
    void doubleClickOpensValueEditor_data();
    void doubleClickOpensValueEditor();
    void checkBoxesOnlyInCheckMode_data();
    void checkBoxesOnlyInCheckMode();
    void rowColours();
    void groupIconFollowsExpansion();
    void changedValueTurnsBlackWhenSaved();
    void modifiedState_data();
    void modifiedState();
    void clearAndRebuild();
    void groupLookupFollowsRenamesAndRemovals();
    void groupStatesAndSpannedTitles();
    void rowsAreTallerThanPlainTreeRows();
    void listValueText_data();
    void listValueText();
    void delegateChangesReachTheTree();

private:
    IniEntry* entry(const QString& key, const QString& value, bool enabled, ParamDescription* desc = nullptr);
    ParamDescription* desc(const QString& title, int type = TypeText);
    void build(bool checkMode = false);
    QPoint at(QTreeWidgetItem* row, int column, int x = -1) const;
    void doubleClick(const QPoint& pos);
    QWidget* openEditor() const;
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

IniEntry* TestParamsTree::entry(const QString& key, const QString& value, bool enabled, ParamDescription* desc)
{
    m_entries.push_back(std::make_unique<IniEntry>());
    IniEntry* e = m_entries.back().get();
    e->key = key;
    e->value = value;
    e->enabled = enabled;
    e->desc = desc;
    return e;
}

ParamDescription* TestParamsTree::desc(const QString& title, int type)
{
    m_descs.push_back(std::make_unique<ParamDescription>());
    m_descs.back()->title = title;
    m_descs.back()->type = type;
    return m_descs.back().get();
}

void TestParamsTree::init()
{
    m_adc = GroupDescription{QStringLiteral("Adc"), AdcColor, true};
    m_dac = GroupDescription{QStringLiteral("Dac"), DacColor, false};
    m_tree = std::make_unique<ParamsTreeWidget>();
    m_tree->resize(500, 300);
    m_tree->setColumnWidth(ParamsTreeWidget::TitleColumn, 150);
}

void TestParamsTree::cleanup()
{
    m_tree.reset(); // rows point at the entries
    m_entries.clear();
    m_descs.clear();
}

void TestParamsTree::build(bool checkMode)
{
    m_tree->m_bCheckMode = checkMode;
    ParamDescription* readOnly = desc(QStringLiteral("Mode"));
    readOnly->noedit = 1;
    ParamDescription* hidden = desc(QStringLiteral("Secret"));
    hidden->invisible = 1;

    m_groupAdc = m_tree->addGroupItem(m_adc);
    m_tree->addGroupItem(m_dac);
    m_freq = m_tree->addParamItem("adc", entry("freq", "100", true, desc("Frequency")));
    m_gain = m_tree->addParamItem("Adc", entry("gain", "2", false));
    m_mode = m_tree->addParamItem("Adc", entry("mode", "1", false, readOnly));
    m_secret = m_tree->addParamItem("Adc", entry("secret", "x", true, hidden));
    m_level = m_tree->addParamItem("Dac", entry("level", "3", true));
    m_tree->applyGroupStates({&m_adc, &m_dac});
    m_tree->spanGroupRows();
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
}

QPoint TestParamsTree::at(QTreeWidgetItem* row, int column, int x) const
{
    const QRect rect = m_tree->visualItemRect(row);
    const int left = column == ParamsTreeWidget::TitleColumn ? 0 : m_tree->columnViewportPosition(column);
    return QPoint(x >= 0 ? x : left + 30, rect.center().y());
}

// What the window system delivers for a double click: press, release, double click, release.
void TestParamsTree::doubleClick(const QPoint& pos)
{
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, {}, pos);
    QTest::mouseDClick(m_tree->viewport(), Qt::LeftButton, {}, pos);
    QTest::mouseRelease(m_tree->viewport(), Qt::LeftButton, {}, pos);
}

QWidget* TestParamsTree::openEditor() const
{
    const QList<QWidget*> children = m_tree->viewport()->findChildren<QWidget*>();
    for (QWidget* w : children)
        if (w->isVisible())
            return w;
    return nullptr;
}

void TestParamsTree::leftEdgeClickTogglesGroup_data()
{
    QTest::addColumn<bool>("onGroup");
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("toggles");
    QTest::newRow("group, edge") << true << 0 << true;
    QTest::newRow("group, last toggling pixel") << true << 19 << true;
    QTest::newRow("group, first plain pixel") << true << 20 << false;
    QTest::newRow("group title") << true << 80 << false;
    QTest::newRow("parameter, edge") << false << 3 << false;
}

void TestParamsTree::leftEdgeClickTogglesGroup()
{
    QFETCH(bool, onGroup);
    QFETCH(int, x);
    QFETCH(bool, toggles);
    build();
    QSignalSpy doubleClicked(m_tree.get(), &QTreeWidget::itemDoubleClicked);
    QTreeWidgetItem* row = onGroup ? m_groupAdc : m_freq;

    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, {}, at(row, 0, x));

    QCOMPARE(m_groupAdc->isExpanded(), !toggles);
    QCOMPARE(doubleClicked.count(), toggles ? 1 : 0);
    if (toggles)
        QCOMPARE(doubleClicked.first().at(0).value<QTreeWidgetItem*>(), m_groupAdc);
    QCOMPARE(m_tree->currentItem(), row);
}

void TestParamsTree::rightClickSelectsThenSignalsOnce()
{
    build();
    QSignalSpy rightClicked(m_tree.get(), &ParamsTreeWidget::signalItemRightClicked);
    // The window reads the current row when the signal arrives, so selection must come first.
    connect(m_tree.get(), &ParamsTreeWidget::signalItemRightClicked, this,
            [this] { QCOMPARE(m_tree->currentItem(), m_freq); });
    QTest::mouseClick(m_tree->viewport(), Qt::RightButton, {}, at(m_freq, ParamsTreeWidget::ValueColumn));
    QCOMPARE(rightClicked.count(), 1);
    QCOMPARE(m_tree->currentItem(), m_freq);

    disconnect(m_tree.get(), &ParamsTreeWidget::signalItemRightClicked, this, nullptr);
    QTest::mouseClick(m_tree->viewport(), Qt::RightButton, {}, at(m_groupAdc, 0, 3));
    QCOMPARE(rightClicked.count(), 2);
    QVERIFY(m_groupAdc->isExpanded());
}

void TestParamsTree::doubleClickTogglesGroupOnce()
{
    build();
    QSignalSpy doubleClicked(m_tree.get(), &QTreeWidget::itemDoubleClicked);
    doubleClick(at(m_groupAdc, 0, 80));
    QVERIFY(!m_groupAdc->isExpanded());
    QCOMPARE(doubleClicked.count(), 1);
    doubleClick(at(m_groupAdc, 0, 80));
    QVERIFY(m_groupAdc->isExpanded());
    QCOMPARE(doubleClicked.count(), 2);
}

void TestParamsTree::doubleClickOpensValueEditor_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("opens");
    QTest::newRow("enabled value") << "freq" << 1 << true;
    QTest::newRow("enabled title") << "freq" << 0 << false;
    QTest::newRow("disabled value") << "gain" << 1 << false;
    QTest::newRow("disabled title") << "gain" << 0 << false;
}

void TestParamsTree::doubleClickOpensValueEditor()
{
    QFETCH(QString, key);
    QFETCH(int, column);
    QFETCH(bool, opens);
    build();
    ParamTreeItem* row = key == "freq" ? m_freq : m_gain;
    doubleClick(at(row, column));
    QCOMPARE(openEditor() != nullptr, opens);
    if (opens)
        QVERIFY(openEditor()->geometry().intersects(m_tree->visualRect(m_tree->indexFromItem(row, column))));
}

void TestParamsTree::checkBoxesOnlyInCheckMode_data()
{
    QTest::addColumn<bool>("checkMode");
    QTest::newRow("check mode") << true;
    QTest::newRow("plain") << false;
}

void TestParamsTree::checkBoxesOnlyInCheckMode()
{
    QFETCH(bool, checkMode);
    build(checkMode);
    QCOMPARE(m_freq->data(0, Qt::CheckStateRole).isValid(), checkMode);
    QCOMPARE(m_gain->data(0, Qt::CheckStateRole).isValid(), checkMode);
    QVERIFY(!m_groupAdc->data(0, Qt::CheckStateRole).isValid());
    if (checkMode) {
        QCOMPARE(m_freq->checkState(0), Qt::Checked);
        QCOMPARE(m_gain->checkState(0), Qt::Unchecked);
        // A switched-off key can be switched on again, but its value is not editable meanwhile.
        QVERIFY(m_gain->flags() & Qt::ItemIsUserCheckable);
        QVERIFY(!(m_gain->flags() & Qt::ItemIsEditable));
    }
}

void TestParamsTree::rowColours()
{
    build();
    const QImage image = shot();
    const QRect group = m_tree->visualItemRect(m_groupAdc);
    QCOMPARE(image.pixel(group.right() - 5, group.center().y()), m_tree->palette().color(QPalette::Dark).rgb());

    // The group's colour fills the indentation of its parameters and the rest of their title cells.
    const QRect freq = m_tree->visualItemRect(m_freq);
    QCOMPARE(image.pixel(3, freq.center().y()), AdcColor.rgb());
    QCOMPARE(image.pixel(m_tree->columnWidth(0) - 5, freq.center().y()), AdcColor.rgb());
    const QRect level = m_tree->visualItemRect(m_level);
    QVERIFY(level.isEmpty()); // its group is closed
    QVERIFY(m_tree->visualItemRect(m_secret).isEmpty());
    QCOMPARE(m_tree->visualItemRect(m_mode).bottom() + 1, m_tree->visualItemRect(m_tree->topLevelItem(1)).top());

    const QRect modeValue = m_tree->visualRect(m_tree->indexFromItem(m_mode, 1));
    QCOMPARE(image.pixel(modeValue.right() - 5, modeValue.center().y()), Beige.rgb());

    auto cell = [this](QTreeWidgetItem* row, int column) {
        return m_tree->visualRect(m_tree->indexFromItem(row, column)).adjusted(1, 1, -2, -2);
    };
    QVERIFY(countPixels(image, cell(m_freq, 1), isBlack) > 0);
    QVERIFY(countPixels(image, cell(m_gain, 0), isGrey) > 0);
    QCOMPARE(countPixels(image, cell(m_gain, 0), isBlack), 0);
    QVERIFY(countPixels(image, cell(m_gain, 1), isGrey) > 0);
    // Read-only rows are disabled, yet read in black.
    QVERIFY(countPixels(image, cell(m_mode, 1), isBlack) > 0);
    QCOMPARE(countPixels(image, cell(m_mode, 1), isGrey), 0);

    // Grid: a line under every row and one after each parameter cell.
    QStyleOption option;
    option.initFrom(m_tree->viewport());
    const QRgb grid =
        QColor::fromRgba(static_cast<QRgb>(m_tree->style()->styleHint(QStyle::SH_Table_GridLineColor, &option))).rgb();
    QCOMPARE(image.pixel(3, freq.bottom()), grid);
    QCOMPARE(image.pixel(group.right() - 5, group.bottom()), grid);
    QCOMPARE(image.pixel(m_tree->columnWidth(0) - 1, freq.top() + 2), grid);
    QCOMPARE(image.pixel(m_tree->columnWidth(0) - 2, freq.top() + 2), AdcColor.rgb());
}

void TestParamsTree::groupIconFollowsExpansion()
{
    build();
    const QRect row = m_tree->visualItemRect(m_groupAdc);
    const QRect icon(0, row.top(), 24, row.height());
    const QImage open = shot().copy(icon);
    m_groupAdc->setExpanded(false);
    const QImage closed = shot().copy(icon);
    QVERIFY(open != closed);
    const QRgb dark = m_tree->palette().color(QPalette::Dark).rgb();
    QVERIFY(countPixels(closed, closed.rect(), [dark](const QColor& c) { return c.rgb() != dark; }) > 0);
    m_groupAdc->setExpanded(true);
    QCOMPARE(shot().copy(icon), open);
}

void TestParamsTree::changedValueTurnsBlackWhenSaved()
{
    build();
    m_freq->m_pEntry->value = "200";
    m_freq->setForeground(1, Qt::red); // as a committed edit leaves it
    m_freq->setText(1, "200");
    const QRect value = m_tree->visualRect(m_tree->indexFromItem(m_freq, 1)).adjusted(1, 1, -2, -2);
    QVERIFY(countPixels(shot(), value, isRed) > 0);

    m_tree->markSaved();
    QCOMPARE(m_freq->m_pSaved->value, QString("200"));
    QCOMPARE(countPixels(shot(), value, isRed), 0);
    QVERIFY(countPixels(shot(), value, isBlack) > 0);
}

void TestParamsTree::modifiedState_data()
{
    QTest::addColumn<QStringList>("values");  // successive values of freq
    QTest::addColumn<QList<bool>>("enabled"); // successive enabled flags of freq
    QTest::addColumn<bool>("saveFirst");      // markSaved after the first step
    QTest::addColumn<bool>("modified");
    QTest::newRow("untouched") << QStringList() << QList<bool>() << false << false;
    QTest::newRow("value changed") << QStringList{"200"} << QList<bool>() << false << true;
    QTest::newRow("value changed back") << QStringList{"200", "100"} << QList<bool>() << false << false;
    QTest::newRow("switched off") << QStringList() << QList<bool>{false} << false << true;
    QTest::newRow("switched off and on") << QStringList() << QList<bool>{false, true} << false << false;
    QTest::newRow("changed, saved") << QStringList{"200"} << QList<bool>{false} << true << false;
    QTest::newRow("saved, then back to loaded value") << QStringList{"200", "100"} << QList<bool>() << true << true;
}

void TestParamsTree::modifiedState()
{
    QFETCH(QStringList, values);
    QFETCH(QList<bool>, enabled);
    QFETCH(bool, saveFirst);
    QFETCH(bool, modified);
    build();
    QVERIFY(!m_tree->isModified());
    IniEntry* e = m_freq->m_pEntry;
    for (int step = 0; step < qMax(values.size(), enabled.size()); ++step) {
        if (step < values.size())
            e->value = values.at(step);
        if (step < enabled.size())
            e->enabled = enabled.at(step);
        if (step == 0 && saveFirst)
            m_tree->markSaved();
    }
    QCOMPARE(m_tree->isModified(), modified);
}

void TestParamsTree::clearAndRebuild()
{
    build();
    m_freq->m_pEntry->value = "changed";
    m_tree->clearItems();
    QCOMPARE(m_tree->topLevelItemCount(), 0);
    QVERIFY(!m_tree->isModified());

    ParamTreeItem* group = m_tree->addGroupItem(m_adc);
    ParamTreeItem* row = m_tree->addParamItem("ADC", entry("k", "v", true));
    QVERIFY(row);
    QCOMPARE(row->parent(), group);
    QCOMPARE(row->m_color, AdcColor);
}

void TestParamsTree::groupLookupFollowsRenamesAndRemovals()
{
    GroupDescription first{"Same", AdcColor, true};
    GroupDescription second{"SAME", DacColor, true};
    m_tree->addGroupItem(first);
    ParamTreeItem* secondRow = m_tree->addGroupItem(second);
    // Titles that differ only in case: everything goes under the first.
    QCOMPARE(m_tree->addParamItem("same", entry("a", "1", true))->m_color, AdcColor);

    m_tree->topLevelItem(0)->setText(0, "[Same]");
    QCOMPARE(m_tree->addParamItem("same", entry("b", "1", true))->parent(), secondRow);
    QCOMPARE(m_tree->addParamItem("[same]", entry("c", "1", true))->parent(), m_tree->topLevelItem(0));

    delete m_tree->takeTopLevelItem(1);
    QVERIFY(!m_tree->addParamItem("same", entry("d", "1", true)));
    QCOMPARE(m_tree->topLevelItemCount(), 1);
}

void TestParamsTree::groupStatesAndSpannedTitles()
{
    m_adc.title = "A group title long enough to run past the title column";
    m_tree->setColumnWidth(0, 60);
    build();
    QVERIFY(m_groupAdc->isExpanded());
    QVERIFY(!m_tree->topLevelItem(1)->isExpanded());

    // Spanned, the bright title text continues over the value column's dark band.
    const QRect row = m_tree->visualItemRect(m_groupAdc);
    const QRect valuePart(70, row.top() + 1, 150, row.height() - 3);
    const QColor dark = m_tree->palette().color(QPalette::Dark);
    auto lighter = [dark](const QColor& c) { return c.lightness() > dark.lightness() + 40; };
    QVERIFY(countPixels(shot(), valuePart, lighter) > 0);

    m_groupAdc->setFirstColumnSpanned(false);
    QCOMPARE(countPixels(shot(), valuePart, lighter), 0);
}

void TestParamsTree::rowsAreTallerThanPlainTreeRows()
{
    build();
    QTreeWidget plain;
    plain.setColumnCount(2);
    plain.setFont(m_tree->font());
    auto* item = new QTreeWidgetItem(&plain, QStringList{"Frequency", "100"});
    plain.resize(500, 300);
    plain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plain));
    QCOMPARE(m_tree->visualItemRect(m_freq).height(), plain.visualItemRect(item).height() + 4);
}

void TestParamsTree::listValueText_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("described element") << int(TypeList) << "5"
                                       << "5 [fast]";
    QTest::newRow("first of equal values") << int(TypeList) << "1"
                                           << "1 [slow]";
    QTest::newRow("not in the list") << int(TypeList) << "7"
                                     << "7";
    QTest::newRow("element without description") << int(TypeList) << "2"
                                                 << "2";
    QTest::newRow("case counts") << int(TypeList) << "A"
                                 << "A";
    QTest::newRow("not a list") << int(TypeSpinInt) << "5"
                                << "5";
}

void TestParamsTree::listValueText()
{
    QFETCH(int, type);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    ParamDescription* d = desc("Speed", type);
    for (const auto& [val, descr] : {std::pair{"1", "slow"}, {"5", "fast"}, {"2", ""}, {"1", "other"}, {"a", "low"}})
        d->items.append(new ListItem{val, descr});
    m_tree->addGroupItem(m_adc);
    ParamTreeItem* row = m_tree->addParamItem("Adc", entry("speed", value, true, d));
    QCOMPARE(row->text(ParamsTreeWidget::ValueColumn), shown);
    QCOMPARE(row->text(ParamsTreeWidget::TitleColumn), QString("Speed"));
}

void TestParamsTree::delegateChangesReachTheTree()
{
    build();
    auto* delegate = qobject_cast<ParamDelegate*>(m_tree->itemDelegate());
    QVERIFY(delegate);
    QSignalSpy changed(m_tree.get(), &ParamsTreeWidget::signalParamChanged);
    emit delegate->signalParamChanged(m_freq);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).value<ParamTreeItem*>(), m_freq);
}

QTEST_MAIN(TestParamsTree)
#include "tst_paramstree.moc"
