// Putting the document and its description together into the parameter trees.
#include "app/volmar.h"
#include "description/descriptionmatch.h"
#include "description/paramtreeitem.h"
#include "widgets/paramstreewidget.h"

#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>

void Volmar::readDescription()
{
    const DescriptionReadResult result = DescriptionModel::readDescription(m_sDescPath, &m_sLastDir);
    if (!result.read)
        return;
    if (m_pParamsTree)
        m_pParamsTree->m_bCheckMode = result.check;
    if (result.auxButton) {
        m_pAuxButton->show();
        m_pAuxButton->setText(m_sAuxTitle);
    }
}

void Volmar::matchDescriptions()
{
    ::matchDescriptions(m_entries, m_params);
}

void Volmar::createSectionTabs()
{
    for (const QString& section : std::as_const(m_sections)) {
        const int index = tabWidget->count();
        auto* page = new QWidget(tabWidget);
        page->setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(11, 11, 11, 11);

        ParamsTreeWidget* tree = createTree(nullptr);
        m_sectionTrees.insert(section, tree);
        auto* label = new QLabel;
        m_sectionLabels.insert(section, label);
        label->setFont(m_font);
        label->setWordWrap(true);

        layout->addWidget(tree);
        layout->addWidget(label);
        tabWidget->insertTab(index, page, section);
        page->show();
    }
}

void Volmar::buildTrees()
{
    QList<ParamsTreeWidget*> trees = m_sectionTrees.values();
    const QList<ParamsTreeWidget*> sectionTrees = trees;
    trees.append(m_pParamsTree);

    clearGroupItems();
    for (ParamsTreeWidget* tree : std::as_const(trees))
        tree->clearItems();

    for (const GroupDescription* group : std::as_const(m_groups))
        for (ParamsTreeWidget* tree : std::as_const(trees))
            m_groupItems.insert(group->title, tree->addGroupItem(*group));

    GroupDescription sectionGroup;
    sectionGroup.color = QColor(255, 255, 255, 255);
    for (const QString& section : std::as_const(m_sections)) {
        sectionGroup.title = section;
        if (m_nTabs != 0) {
            for (ParamsTreeWidget* tree : sectionTrees)
                tree->addGroupItem(sectionGroup);
        } else {
            m_pParamsTree->addGroupItem(sectionGroup);
        }
    }

    for (IniEntry* entry : std::as_const(m_entries)) {
        ParamsTreeWidget* tree = m_nTabs != 0 ? m_sectionTrees.value(entry->section) : m_pParamsTree;
        if (!tree)
            continue;
        const QString groupTitle =
            entry->desc && !entry->desc->groupTitle.isEmpty() ? entry->desc->groupTitle : entry->section;
        // A parameter directly under a root that has a title names a group no row stands for; it
        // goes where an untitled root would put it, under its section.
        if (!tree->addParamItem(groupTitle, entry) && groupTitle != entry->section)
            tree->addParamItem(entry->section, entry);
    }

    for (ParamsTreeWidget* tree : std::as_const(trees)) {
        tree->applyGroupStates(m_groups);
        QTreeWidgetItem* root = tree->invisibleRootItem();
        // Empty group rows go; rows still listed in m_groupItems stay alive until the next build.
        auto removeIfEmpty = [&](const QString& title) {
            const QList<QTreeWidgetItem*> rows = tree->findItems(title, Qt::MatchFixedString, 0);
            if (!rows.isEmpty() && rows.first()->childCount() == 0)
                detachEmptyGroup(root, rows.first());
        };
        for (const QString& section : std::as_const(m_sections))
            removeIfEmpty(section);
        for (const GroupDescription* group : std::as_const(m_groups))
            removeIfEmpty(group->title);
        for (const QString& section : std::as_const(m_sections)) {
            const QList<QTreeWidgetItem*> rows = tree->findItems(section, Qt::MatchFixedString, 0);
            if (!rows.isEmpty())
                rows.first()->setText(0, QLatin1Char('[') + rows.first()->text(0) + QLatin1Char(']'));
        }
        tree->spanGroupRows();
    }
}

void Volmar::detachEmptyGroup(QTreeWidgetItem* root, QTreeWidgetItem* row)
{
    root->removeChild(row);
    auto* item = static_cast<ParamTreeItem*>(row);
    // A group row that m_groupItems still names is kept (its open flag is read later); others go.
    for (auto it = m_groupItems.cbegin(); it != m_groupItems.cend(); ++it)
        if (it.value() == item) {
            m_detachedGroupRows.append(item);
            return;
        }
    delete row;
}

void Volmar::clearGroupItems()
{
    m_groupItems.clear();
    qDeleteAll(m_detachedGroupRows);
    m_detachedGroupRows.clear();
}

QList<ParamsTreeWidget*> Volmar::allTrees() const
{
    QList<ParamsTreeWidget*> trees = m_sectionTrees.values();
    if (m_pParamsTree)
        trees.append(m_pParamsTree);
    return trees;
}

ParamsTreeWidget* Volmar::viewTree() const
{
    if (m_nTabs == 0 || m_sectionTrees.isEmpty())
        return m_pParamsTree;
    // With a tab per section the main tree is not shown: the tree in view is the section tree last
    // used, or the one of the current tab (none while "Log" is current).
    for (ParamsTreeWidget* tree : m_sectionTrees)
        if (tree == m_pCurTree)
            return tree;
    return m_sectionTrees.value(tabWidget->tabText(tabWidget->currentIndex()));
}

void Volmar::saveViewState()
{
    ParamsTreeWidget* tree = viewTree();
    if (!tree)
        return;
    m_nSavedScroll = tree->verticalScrollBar()->value();
    m_nSavedRow = -1;
    QTreeWidgetItem* current = tree->currentItem();
    if (!current)
        return;
    if (current->childCount() > 0 || !current->parent()) {
        m_sSavedGroup = current->text(0);
    } else {
        m_nSavedRow = current->parent()->indexOfChild(current);
        m_sSavedGroup = current->parent()->text(0);
    }
}

void Volmar::restoreViewState()
{
    ParamsTreeWidget* tree = viewTree();
    if (!tree)
        return;
    tree->verticalScrollBar()->setValue(m_nSavedScroll);
    disconnect(tree, &QTreeWidget::itemClicked, this, &Volmar::slotTreeItemClicked);
    disconnect(tree, &QTreeWidget::currentItemChanged, this, &Volmar::slotCurrentItemChanged);
    // No row of that name (or no such child any more): the tree is left without a current row.
    const QList<QTreeWidgetItem*> rows = tree->findItems(m_sSavedGroup, Qt::MatchFixedString, 0);
    QTreeWidgetItem* current = nullptr;
    if (!rows.isEmpty())
        current = m_nSavedRow == -1 ? rows.first() : rows.first()->child(m_nSavedRow);
    tree->setCurrentItem(current);
    tree->setFocus();
    connect(tree, &QTreeWidget::itemClicked, this, &Volmar::slotTreeItemClicked);
    connect(tree, &QTreeWidget::currentItemChanged, this, &Volmar::slotCurrentItemChanged);
}
