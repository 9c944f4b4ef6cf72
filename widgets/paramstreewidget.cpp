#include "widgets/paramstreewidget.h"

#include "description/paramdescription.h"
#include "description/treelayout.h"
#include "document/inientry.h"
#include "session/editingsession.h"
#include "widgets/paramdelegate.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

namespace
{

// A press this close to the left edge of a group row opens or closes it, in place of the missing
// root decoration.
constexpr int GroupToggleWidth = 20;

} // namespace

ParamsTreeWidget::ParamsTreeWidget(QWidget* parent) : QTreeWidget(parent)
{
    // The delegate lives with the tree, so a tree recreated on every load leaves none behind.
    auto* delegate = new ParamDelegate(this);
    delegate->m_pTree = this;
    setItemDelegate(delegate);

    setHeaderLabels({tr("Параметр"), tr("Значение")});
    header()->setDefaultSectionSize(250);
    header()->setSectionsMovable(false);
    setRootIsDecorated(false);
    setItemsExpandable(true);
    setExpandsOnDoubleClick(true);

    connect(delegate, &ParamDelegate::signalParamChanged, this, &ParamsTreeWidget::signalParamChanged);

    QAbstractItemModel* rows = model();
    connect(rows, &QAbstractItemModel::modelAboutToBeReset, this, &ParamsTreeWidget::forgetGroupIndex);
    connect(rows, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent) { forgetGroupIndexIfTopLevel(parent); });
    connect(rows, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent) { forgetGroupIndexIfTopLevel(parent); });
    connect(rows, &QAbstractItemModel::rowsMoved, this, &ParamsTreeWidget::forgetGroupIndex);
    connect(rows, &QAbstractItemModel::layoutChanged, this, &ParamsTreeWidget::forgetGroupIndex);
    connect(rows, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft) { forgetGroupIndexIfTopLevel(topLeft.parent()); });
}

// The base destructor deletes the model, which announces its reset; by then this part of the tree is
// gone, so nothing of it may still listen.
ParamsTreeWidget::~ParamsTreeWidget()
{
    disconnect(model(), nullptr, this, nullptr);
    disconnect(itemDelegate(), nullptr, this, nullptr);
}

void ParamsTreeWidget::showLayout(const TreeLayout& layout, const EditingSession& session)
{
    clearItems();
    GroupDescription sectionGroup;
    for (const LayoutRow& rowLayout : layout.rows) {
        ParamTreeItem* group = addGroupItem(rowLayout.group ? *rowLayout.group : sectionGroup);
        group->m_pGroup = rowLayout.group;
        group->setText(TitleColumn, rowLayout.title);
        for (IniEntry* entry : rowLayout.entries)
            appendParamItem(group, entry, session.savedState(entry));
        group->setExpanded(rowLayout.open);
    }
    spanGroupRows();
    m_bKeyNames = false;
    m_bFiltered = false;
    m_openBefore.clear(); // the groups open as the description says, and the query applies to the new rows
    applyFilter();
}

ParamTreeItem* ParamsTreeWidget::addGroupItem(const GroupDescription& group)
{
    auto* row = new ParamTreeItem;
    row->m_color = group.color();
    row->m_bGroup = true;
    row->m_pEntry = nullptr;
    row->setText(TitleColumn, group.title);
    row->setIcon(TitleColumn, makeBranchIcon(palette(), style()));
    addTopLevelItem(row);
    viewport()->update();
    return row;
}

ParamTreeItem* ParamsTreeWidget::addParamItem(const QString& groupTitle, IniEntry* entry, const EntryState* saved)
{
    ParamTreeItem* group = groupItem(groupTitle);
    if (!group || !entry)
        return nullptr;

    ParamTreeItem* row = appendParamItem(group, entry, saved);
    group->setExpanded(true);
    return row;
}

ParamTreeItem* ParamsTreeWidget::appendParamItem(ParamTreeItem* group, IniEntry* entry, const EntryState* saved)
{
    auto* row = new ParamTreeItem;
    row->m_bGroup = false;
    row->m_color = group->m_color;
    row->m_pEntry = entry;
    row->setEnabledLook(entry->enabled);
    // A read-only key cannot be switched, so it shows no switch.
    if (m_bCheckMode && !row->isReadOnly())
        row->setCheckState(TitleColumn, entry->enabled ? Qt::Checked : Qt::Unchecked);

    const ParamDescription* desc = entry->desc;
    row->setText(ValueColumn, RowLook::cellText(*entry));
    if (!desc) {
        row->setText(TitleColumn, entry->key);
    } else {
        if (desc->noedit != 0) {
            // A read-only parameter is disabled, yet reads in black on its own background.
            row->setForeground(TitleColumn, QColor(0, 0, 0, 255));
            row->setForeground(ValueColumn, QColor(0, 0, 0, 255));
            row->setBackground(ValueColumn, QColor(236, 233, 216, 255));
        }
        row->setText(TitleColumn, RowLook::title(*entry, false));
    }
    row->m_pSaved = saved;
    row->showLimits();
    group->addChild(row);
    if (RowLook::isHidden(*entry, false))
        row->setHidden(true);
    return row;
}

void ParamsTreeWidget::applyGroupStates(const QList<GroupDescription*>& groups)
{
    for (const GroupDescription* group : groups) {
        if (!group)
            continue;
        if (ParamTreeItem* row = groupItem(group->title))
            row->setExpanded(group->open);
    }
}

void ParamsTreeWidget::refreshLooks(bool keyNames)
{
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* group = topLevelItem(i);
        for (int j = 0; j < group->childCount(); ++j)
            if (auto* row = dynamic_cast<ParamTreeItem*>(group->child(j)))
                row->refreshLook(keyNames);
    }
    m_bKeyNames = keyNames;
    applyFilter();
}

void ParamsTreeWidget::setFilter(const RowFilter::Query& query)
{
    if (query == m_filter)
        return;
    m_filter = query;
    applyFilter();
}

void ParamsTreeWidget::applyFilter()
{
    static const EntryState NothingSaved;
    const bool active = !m_filter.isEmpty();
    const int groups = topLevelItemCount();
    if (active && m_openBefore.isEmpty()) {
        m_openBefore.reserve(groups);
        for (int i = 0; i < groups; ++i)
            m_openBefore.append(topLevelItem(i)->isExpanded());
    }
    m_nShown = 0;
    m_nTotal = 0;
    // Without a query now or before, the rows show as their looks say: only the count is needed.
    if (!active && !m_bFiltered) {
        for (int i = 0; i < groups; ++i) {
            QTreeWidgetItem* group = topLevelItem(i);
            for (int j = 0; j < group->childCount(); ++j) {
                const auto* row = static_cast<const ParamTreeItem*>(group->child(j));
                m_nTotal += row->m_pEntry && !RowLook::isHidden(*row->m_pEntry, m_bKeyNames) ? 1 : 0;
            }
        }
        m_nShown = m_nTotal;
        emit filterApplied(m_nShown, m_nTotal);
        return;
    }
    m_bFiltered = active;
    for (int i = 0; i < groups; ++i) {
        QTreeWidgetItem* group = topLevelItem(i);
        int shown = 0;
        for (int j = 0; j < group->childCount(); ++j) {
            auto* row = static_cast<ParamTreeItem*>(group->child(j));
            if (!row->m_pEntry)
                continue;
            bool hide = RowLook::isHidden(*row->m_pEntry, m_bKeyNames);
            if (!hide) {
                ++m_nTotal;
                hide = active &&
                       !RowFilter::matches(*row->m_pEntry, row->m_pSaved ? *row->m_pSaved : NothingSaved, m_filter);
            }
            shown += hide ? 0 : 1;
            // Every change of a row's visibility costs the view a look-up: rows that keep theirs are left.
            if (row->isHidden() != hide)
                row->setHidden(hide);
        }
        m_nShown += shown;
        const bool hideGroup = active && shown == 0;
        if (group->isHidden() != hideGroup)
            group->setHidden(hideGroup);
        if (active && shown > 0 && !group->isExpanded())
            group->setExpanded(true);
        else if (!active && i < m_openBefore.size())
            group->setExpanded(m_openBefore.at(i));
    }
    if (!active)
        m_openBefore.clear();
    viewport()->update();
    emit filterApplied(m_nShown, m_nTotal);
}

bool ParamsTreeWidget::isFilterHit(const ParamTreeItem& row, int column) const
{
    if (m_filter.text.isEmpty() || row.m_bGroup || !row.m_pEntry)
        return false;
    // A cell that stands for the files' own values shows a hit in any of them.
    const bool inValue = row.text(ValueColumn).contains(m_filter.text, Qt::CaseInsensitive) ||
                         RowFilter::fileValueMatches(*row.m_pEntry, m_filter.text);
    if (column == ValueColumn)
        return inValue;
    // The key name and the comments do not show: the title cell stands for them.
    return row.text(TitleColumn).contains(m_filter.text, Qt::CaseInsensitive) ||
           (!inValue && RowFilter::textMatches(*row.m_pEntry, m_filter.text));
}

void ParamsTreeWidget::clearItems()
{
    // One model reset rather than row-by-row removal: the current row does not wander through
    // rows that are about to go, so nothing connected to currentItemChanged sees them.
    clear();
}

void ParamsTreeWidget::spanGroupRows()
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        topLevelItem(i)->setFirstColumnSpanned(true);
}

ParamTreeItem* ParamsTreeWidget::groupItem(const QString& title) const
{
    if (!m_bGroupIndexValid) {
        // Backwards, so that of several rows with one title the first is the one kept.
        m_groupIndex.clear();
        for (int i = topLevelItemCount() - 1; i >= 0; --i) {
            if (auto* row = dynamic_cast<ParamTreeItem*>(topLevelItem(i)))
                m_groupIndex.insert(row->text(TitleColumn).toCaseFolded(), row);
        }
        m_bGroupIndexValid = true;
    }
    return m_groupIndex.value(title.toCaseFolded(), nullptr);
}

ParamTreeItem* ParamsTreeWidget::paramItem(const QModelIndex& index) const
{
    return dynamic_cast<ParamTreeItem*>(itemFromIndex(index));
}

QIcon ParamsTreeWidget::makeBranchIcon(const QPalette& palette, const QStyle* style)
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QStyleOption option;
    option.rect = QRect(2, 2, 9, 9);
    option.palette = palette;
    option.state = QStyle::State_Children;
    {
        QPainter painter(&pixmap);
        style->drawPrimitive(QStyle::PE_IndicatorBranch, &option, &painter);
    }
    QIcon icon(pixmap);
    icon.addPixmap(pixmap, QIcon::Selected, QIcon::Off);

    option.state |= QStyle::State_Open;
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        style->drawPrimitive(QStyle::PE_IndicatorBranch, &option, &painter);
    }
    icon.addPixmap(pixmap, QIcon::Normal, QIcon::On);
    icon.addPixmap(pixmap, QIcon::Selected, QIcon::On);
    return icon;
}

void ParamsTreeWidget::mousePressEvent(QMouseEvent* event)
{
    QTreeWidget::mousePressEvent(event);
    if (event->button() == Qt::RightButton) {
        emit signalItemRightClicked();
        return;
    }
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* row = itemAt(pos);
    if (row && row->childCount() > 0 && pos.x() + header()->offset() < GroupToggleWidth) {
        emit itemDoubleClicked(row, columnAt(pos.x()));
        row->setExpanded(!row->isExpanded());
    }
}

void ParamsTreeWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* row = itemAt(pos);
    const int column = columnAt(pos.x());
    emit itemDoubleClicked(row, column);

    // The view's own double-click handling (expanding, editing, activation) must never run: the
    // tree decides below what a double click does, so only the press part is passed on.
    QTreeWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !row)
        return;

    if (row->childCount() > 0) {
        row->setExpanded(!row->isExpanded());
        return;
    }
    const ParamTreeItem* param = dynamic_cast<ParamTreeItem*>(row);
    if (param && param->m_pEntry && param->m_pEntry->enabled && column == ValueColumn)
        editItem(row, ValueColumn);
}

void ParamsTreeWidget::keyPressEvent(QKeyEvent* event)
{
    // Space switches the current key on or off, as a click on its check box does; the current cell is
    // the value, which has no box of its own.
    auto* row = dynamic_cast<ParamTreeItem*>(currentItem());
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && m_bCheckMode && row &&
        !row->m_bGroup && (row->flags() & Qt::ItemIsUserCheckable) &&
        row->data(TitleColumn, Qt::CheckStateRole).isValid()) {
        row->setCheckState(TitleColumn, row->checkState(TitleColumn) == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
        emit itemClicked(row, TitleColumn);
        return;
    }

    // "+", "-" and "*" open and close the current group. The view's own handling misses "-" and "*"
    // while the value cell of the spanned group row is current.
    const int key = event->key();
    if (row && row->m_bGroup && (key == Qt::Key_Plus || key == Qt::Key_Minus || key == Qt::Key_Asterisk)) {
        const bool open = key != Qt::Key_Minus;
        if (row->isExpanded() != open) {
            row->setExpanded(open);
            emit signalGroupToggled(row);
        }
        return;
    }
    // Right and Left open and close groups in the view's own handling; the window remembers such a
    // change as it remembers a double click.
    QList<bool> wasOpen;
    wasOpen.reserve(topLevelItemCount());
    for (int i = 0; i < topLevelItemCount(); ++i)
        wasOpen.append(topLevelItem(i)->isExpanded());
    QTreeWidget::keyPressEvent(event);
    if (wasOpen.size() != topLevelItemCount())
        return;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        auto* group = dynamic_cast<ParamTreeItem*>(topLevelItem(i));
        if (group && group->isExpanded() != wasOpen.at(i))
            emit signalGroupToggled(group);
    }
}

void ParamsTreeWidget::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (const ParamTreeItem* row = paramItem(index)) {
        if (row->m_bGroup)
            painter->fillRect(option.rect, option.palette.color(QPalette::Dark));
        else if (row->m_color.isValid())
            painter->fillRect(option.rect, row->m_color);
    }

    QTreeWidget::drawRow(painter, option, index);

    const QColor grid =
        QColor::fromRgba(static_cast<QRgb>(QApplication::style()->styleHint(QStyle::SH_Table_GridLineColor, &option)));
    painter->save();
    painter->setPen(grid);
    painter->drawLine(option.rect.left(), option.rect.bottom(), option.rect.right(), option.rect.bottom());
    painter->restore();
}

void ParamsTreeWidget::forgetGroupIndex()
{
    m_bGroupIndexValid = false;
}

void ParamsTreeWidget::forgetGroupIndexIfTopLevel(const QModelIndex& parent)
{
    if (!parent.isValid())
        m_bGroupIndexValid = false;
}
