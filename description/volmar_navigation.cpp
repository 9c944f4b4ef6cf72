// The window's reactions to moving through the parameter trees: the comment of the selected row,
// switching keys on and off, adding a key missing from some files, group open state and colour,
// key names in place of titles, and the tree font.
#include "app/tabwgt.h"
#include "app/volmar.h"
#include "description/paramtreeitem.h"
#include "document/inientry.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

#include <QLabel>

namespace
{
const QColor Black(0, 0, 0, 255);
const QColor Red(255, 0, 0, 255);
const QColor ReadOnlyBackground(236, 233, 216, 255);
} // namespace

void Volmar::slotTreeItemClicked(QTreeWidgetItem* pItem, int nCol)
{
    if (auto* tree = qobject_cast<ParamsTreeWidget*>(sender()))
        m_pCurTree = tree;
    auto* row = dynamic_cast<ParamTreeItem*>(pItem);
    if (!row)
        return;
    if (row->m_bGroup) {
        m_pCommentLabel->setText(QString());
        return;
    }
    IniEntry* entry = row->m_pEntry;
    if (!entry)
        return;

    QString comment = entry->desc ? entry->desc->comment : QString();
    if (comment.isEmpty())
        comment = entry->comment;
    m_pCommentLabel->setText(comment);
    if (m_nTabs != 0) {
        const QString section = m_sectionTrees.key(m_pCurTree);
        if (!section.isEmpty() && section != QLatin1String("Log"))
            if (QLabel* label = m_sectionLabels.value(section))
                label->setText(comment);
    }

    if (nCol != ParamsTreeWidget::TitleColumn || !m_bCheck || row->isReadOnly())
        return;
    const bool checked = row->checkState(ParamsTreeWidget::TitleColumn) != Qt::Unchecked;
    if (!entry->absent) {
        // Saved like an edited value: at once with Auto Save, else by the next save.
        if (checked != entry->enabled) {
            entry->enabled = checked;
            row->setEnabledLook(checked);
            slotParamChanged(row);
        }
        return;
    }
    if (checked == entry->enabled)
        return;
    // The box stays as it was unless the user agrees to add the key everywhere.
    row->setEnabledLook(!checked);
    row->setChecked(!checked);
    if (askAddMissingKey())
        acceptMissingKey(row);
}

bool Volmar::askAddMissingKey()
{
    return Dialogs::question(nullptr, QString(), tr("Параметр отсутствует в некоторых файлах"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, nullptr,
                             tr("Добавить параметр во все файлы?")) == QMessageBox::Yes;
}

void Volmar::acceptMissingKey(ParamTreeItem* row)
{
    // The next save adds the key to the files that lack it. A read-only key keeps its state.
    row->m_pEntry->absent = false;
    if (!row->isReadOnly()) {
        row->m_pEntry->enabled = true;
        // Without check mode the row has no box to tick.
        if (m_bCheck)
            row->setChecked(true);
        else
            row->setEnabledLook(true);
    }
    slotParamChanged(row);
}

void Volmar::slotCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* /*previous*/)
{
    slotTreeItemClicked(current, ParamsTreeWidget::TitleColumn);
    auto* tree = qobject_cast<ParamsTreeWidget*>(sender());
    if (tree && current)
        tree->setCurrentItem(current, ParamsTreeWidget::ValueColumn);
}

void Volmar::slotTreeItemDbClicked(QTreeWidgetItem* pItem, int /*nCol*/)
{
    if (!pItem)
        return;
    auto* tree = qobject_cast<ParamsTreeWidget*>(sender());

    if (pItem->childCount() > 0) {
        // The tree toggles the row after this signal: store the state it is about to take.
        rememberGroupState(pItem, !pItem->isExpanded());
        return;
    }

    auto* row = dynamic_cast<ParamTreeItem*>(pItem);
    if (!row || row->m_bGroup || !row->m_pEntry || !row->m_pEntry->absent || !askAddMissingKey())
        return;
    acceptMissingKey(row);
    if (tree && (row->flags() & Qt::ItemIsEditable))
        tree->editItem(row, ParamsTreeWidget::ValueColumn);
}

void Volmar::slotGroupToggled(ParamTreeItem* pItem)
{
    if (pItem)
        rememberGroupState(pItem, pItem->isExpanded());
}

void Volmar::rememberGroupState(const QTreeWidgetItem* row, bool open)
{
    const QString title = row->text(ParamsTreeWidget::TitleColumn);
    for (GroupDescription* g : std::as_const(m_groups)) {
        if (g->title != title)
            continue;
        // The group stays open while it is open in another tree.
        g->open = open;
        const QList<ParamTreeItem*> rows = m_groupItems.values(g->title);
        for (const ParamTreeItem* other : rows)
            if (other != row && other->isExpanded())
                g->open = true;
        saveGroupState(g);
    }
}

void Volmar::slotItemRightClicked()
{
    auto* tree = qobject_cast<ParamsTreeWidget*>(sender());
    if (!tree)
        return;
    // The colour action acts on the tree that was right-clicked, also when its row was current already.
    m_pCurTree = tree;
    const QTreeWidgetItem* row = tree->currentItem();
    if (row && row->childCount() > 0 && !row->text(ParamsTreeWidget::TitleColumn).startsWith(QLatin1Char('[')))
        tree->addAction(m_pActionColorGroup);
    else
        tree->removeAction(m_pActionColorGroup);
}

void Volmar::slotActionColorGroup()
{
    if (!m_pCurTree)
        return;
    auto* row = dynamic_cast<ParamTreeItem*>(m_pCurTree->currentItem());
    if (!row)
        return;
    const QString title = row->text(ParamsTreeWidget::TitleColumn);
    QWidget* parent = activeDetachedWindow();
    if (!parent)
        parent = this;

    const QColor k = Dialogs::getColor(row->m_color, parent, tr("Выберите цвет группы"));
    if (!k.isValid())
        return;
    if (k.red() == row->m_color.red() && k.green() == row->m_color.green() && k.blue() == row->m_color.blue())
        return;

    for (GroupDescription* g : std::as_const(m_groups)) {
        if (g->title != title)
            continue;
        g->color = k;
        const QList<ParamTreeItem*> rows = m_groupItems.values(g->title);
        for (ParamTreeItem* groupRow : rows) {
            groupRow->m_color = k;
            for (int i = 0; i < groupRow->childCount(); ++i)
                if (auto* child = dynamic_cast<ParamTreeItem*>(groupRow->child(i)))
                    child->m_color = k;
        }
        saveGroupState(g);
    }

    // The rows' colour is painted by the trees, which do not know it changed; their rows are drawn
    // on the viewport, also where a tree stands in a separate window.
    saveViewState();
    for (ParamsTreeWidget* tree : allTrees())
        tree->viewport()->update();
    restoreViewState();
}

void Volmar::slotActionName()
{
    saveViewState();
    showKeyNames(m_pActionName->isChecked());
    restoreViewState();
}

void Volmar::showKeyNames(bool names)
{
    // Every tree, so that the section trees of section-tabs mode switch as the main tree does.
    for (ParamsTreeWidget* tree : allTrees())
        showKeyNames(tree, names);
}

void Volmar::showKeyNames(ParamsTreeWidget* tree, bool names)
{
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = tree->topLevelItem(g);
        for (int c = 0; c < group->childCount(); ++c) {
            auto* row = dynamic_cast<ParamTreeItem*>(group->child(c));
            if (!row || row->m_bGroup || !row->m_pEntry)
                continue;
            const IniEntry* entry = row->m_pEntry;
            const ParamDescription* d = entry->desc;
            if (names) {
                row->setText(ParamsTreeWidget::TitleColumn, entry->key);
                if (d && d->invisible != 0)
                    row->setHidden(false);
            } else {
                if (d && d->invisible != 0)
                    row->setHidden(true);
                if (d && !d->title.isEmpty())
                    row->setText(ParamsTreeWidget::TitleColumn, d->title);
            }

            if (entry->value != row->m_pSaved->value) {
                row->setForeground(ParamsTreeWidget::ValueColumn, Red);
            } else if (d && d->noedit != 0) {
                row->setForeground(ParamsTreeWidget::TitleColumn, Black);
                row->setForeground(ParamsTreeWidget::ValueColumn, Black);
                row->setBackground(ParamsTreeWidget::ValueColumn, ReadOnlyBackground);
            } else {
                row->setForeground(ParamsTreeWidget::ValueColumn, row->restingValueColor());
            }
        }
    }
}

void Volmar::slotActionFont()
{
    bool ok = false;
    const QFont initial = m_pCurTree ? m_pCurTree->font() : m_font;
    // A cancelled dialog hands back the initial font, which the next tree created takes.
    m_font = Dialogs::getFont(&ok, initial, this);
    if (!ok)
        return;
    for (ParamsTreeWidget* tree : std::as_const(m_sectionTrees))
        tree->setFont(m_font);
    if (m_pParamsTree)
        m_pParamsTree->setFont(m_font);
    m_pCommentLabel->setFont(m_font);
}

TabWgt* Volmar::activeDetachedWindow() const
{
    for (TabWgt* window : m_tabWindows)
        if (window && window->isActiveWindow())
            return window;
    return nullptr;
}
