#include "app/paramsview.h"

#include "app/detachedpages.h"
#include "app/editactions.h"
#include "app/tabwgt.h"
#include "app/volmar.h"
#include "session/editingsession.h"
#include "widgets/messagebox.h"
#include "widgets/paramsfilterbar.h"
#include "widgets/paramstreewidget.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

ParamsView::ParamsView(Volmar& window, EditingSession& session) : m_window(window), m_session(session)
{
    connect(&m_session, &EditingSession::saved, this, &ParamsView::refreshLooks);
}

ParamsView::~ParamsView()
{
    qDeleteAll(m_sectionTrees);
    m_sectionTrees.clear();
    qDeleteAll(m_sectionLabels);
    m_sectionLabels.clear();
    m_pCurTree = nullptr;
    if (m_pFileTabs)
        disconnect(m_pFileTabs, nullptr, this, nullptr);
    delete m_pParamsTree; // leaves its file tab, if it stands in one
    m_pParamsTree = nullptr;
    delete m_pFileTabs;
    m_pFileTabs = nullptr;
    delete m_pFilterBar;
    m_pFilterBar = nullptr;
}

ParamsTreeWidget* ParamsView::createTree(QWidget* parent)
{
    auto* tree = new ParamsTreeWidget(parent);
    tree->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(tree, &ParamsTreeWidget::signalItemRightClicked, this, &ParamsView::slotItemRightClicked);
    connect(tree, &QTreeWidget::itemClicked, this, &ParamsView::slotTreeItemClicked);
    connect(tree, &QTreeWidget::currentItemChanged, this, &ParamsView::slotCurrentItemChanged);
    connect(tree, &QTreeWidget::itemDoubleClicked, this, &ParamsView::slotTreeItemDbClicked);
    connect(tree, &ParamsTreeWidget::signalGroupToggled, this, &ParamsView::slotGroupToggled);
    connect(tree, &ParamsTreeWidget::signalParamChanged, &m_window, &Volmar::slotParamChanged);
    tree->addAction(m_window.m_pEdit->revertRowAction());
    connect(tree, &ParamsTreeWidget::signalItemRightClicked, m_window.m_pEdit, &EditActions::update);
    tree->installEventFilter(this);
    tree->setFont(m_window.m_font);
    tree->setColumnWidth(ParamsTreeWidget::TitleColumn,
                         m_window.m_options.m_nWidthColumn != 0 ? m_window.m_options.m_nWidthColumn : 100);
    tree->m_bCheckMode = m_session.description().m_bCheck;
    return tree;
}

void ParamsView::recreate(int files)
{
    if (m_pFileTabs)
        disconnect(m_pFileTabs, &QTabWidget::currentChanged, this, &ParamsView::slotCurrentChanged);
    if (m_pParamsTree) {
        // Until a first opening fits it, the column of the empty tree is a stand-in, not the user's.
        if (m_window.m_options.m_nWidthColumn != 0)
            m_window.m_options.m_nWidthColumn = m_pParamsTree->columnWidth(ParamsTreeWidget::TitleColumn);
        delete m_pParamsTree;
        m_pParamsTree = nullptr;
    }
    delete m_pFileTabs;
    m_pFileTabs = nullptr;

    m_pParamsTree = createTree(&m_window);
    m_pCurTree = m_pParamsTree;
    // One box serves every file tab, as they all show the main tree; what it holds stays for the new tree.
    if (m_pFilterBar) {
        m_pFilterBar->setTree(m_pParamsTree);
    } else {
        m_pFilterBar = new ParamsFilterBar(m_pParamsTree, &m_window);
        m_window.m_ui.m_pvLayoutTree_1->insertWidget(0, m_pFilterBar);
    }
    if (files <= 1) {
        m_window.m_ui.m_pvLayoutTree_1->insertWidget(1, m_pParamsTree);
        return;
    }
    m_pFileTabs = new QTabWidget(&m_window);
    // Above the comment label, which stays right below the tree as with one file.
    m_window.m_ui.m_pvLayoutTree_1->insertWidget(1, m_pFileTabs);
    m_pFileTabs->addTab(m_pParamsTree, tr("Все файлы"));
    for (const QString& file : m_session.openList())
        m_pFileTabs->addTab(new QWidget(m_pFileTabs), QFileInfo(file).fileName());
    m_pFileTabs->setCurrentIndex(0);
    connect(m_pFileTabs, &QTabWidget::currentChanged, this, &ParamsView::slotCurrentChanged);
}

void ParamsView::slotCurrentChanged(int idx)
{
    if (!m_pFileTabs || !m_pParamsTree)
        return;
    saveViewState();
    // The tab moves below would announce themselves again; the question and the reload happen once.
    const QSignalBlocker blocker(m_pFileTabs);
    const int treeTab = m_pFileTabs->indexOf(m_pParamsTree);
    m_pFileTabs->setCurrentIndex(treeTab);
    m_window.askSave();
    m_session.chooseFile(idx - 1);

    if (treeTab != idx && idx >= 0 && idx < m_pFileTabs->count()) {
        const QString treeTitle = m_pFileTabs->tabText(treeTab);
        m_pFileTabs->removeTab(treeTab);
        m_pFileTabs->insertTab(treeTab, new QWidget(m_pFileTabs), treeTitle);
        const QString title = m_pFileTabs->tabText(idx);
        QWidget* placeholder = m_pFileTabs->widget(idx);
        m_pFileTabs->removeTab(idx);
        delete placeholder;
        m_pFileTabs->insertTab(idx, m_pParamsTree, title);
        m_pFileTabs->setCurrentIndex(idx);
    }

    m_window.loadFiles();
    m_pFileTabs->setCurrentWidget(m_pParamsTree);
    restoreViewState();
}

void ParamsView::clearSections()
{
    if (m_sectionTrees.values().contains(m_pCurTree))
        m_pCurTree = m_pParamsTree;
    m_sectionFilters.clear();
    for (auto it = m_sectionTrees.cbegin(); it != m_sectionTrees.cend(); ++it)
        m_sectionFilters.insert(it.key(), it.value()->filter());
    QList<QWidget*> pages;
    for (ParamsTreeWidget* tree : std::as_const(m_sectionTrees))
        if (tree->parentWidget() && tree->parentWidget() != m_window.m_ui.widget)
            pages.append(tree->parentWidget());
    qDeleteAll(m_sectionTrees);
    m_sectionTrees.clear();
    qDeleteAll(m_sectionLabels);
    m_sectionLabels.clear();
    // The pages held only the tree and its label.
    qDeleteAll(pages);
    // The main tree's rows point at entries the next reading replaces.
    if (m_pParamsTree)
        m_pParamsTree->clearItems();
}

void ParamsView::createSectionTabs()
{
    QTabWidget* tabs = m_window.m_ui.tabWidget;
    for (const QString& section : std::as_const(m_session.document().m_sections)) {
        auto* page = new QWidget(tabs);
        page->setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(11, 11, 11, 11);

        ParamsTreeWidget* tree = createTree(nullptr);
        m_sectionTrees.insert(section, tree);
        auto* label = new QLabel;
        m_sectionLabels.insert(section, label);
        label->setFont(m_window.m_font);
        label->setWordWrap(true);

        auto* bar = new ParamsFilterBar(tree, page);
        bar->setQuery(m_sectionFilters.value(section));
        layout->addWidget(bar);
        layout->addWidget(tree);
        layout->addWidget(label);
        tabs->insertTab(tabs->count(), page, section);
        page->show();
    }
}

void ParamsView::buildTrees()
{
    const bool check = m_session.description().m_bCheck;
    for (const TreeLayout& layout : m_session.layout()) {
        ParamsTreeWidget* tree = layout.section.isEmpty() ? m_pParamsTree : m_sectionTrees.value(layout.section);
        if (!tree)
            continue;
        tree->m_bCheckMode = check;
        tree->showLayout(layout, m_session);
    }
}

QList<ParamsTreeWidget*> ParamsView::allTrees() const
{
    QList<ParamsTreeWidget*> trees = m_sectionTrees.values();
    if (m_pParamsTree)
        trees.append(m_pParamsTree);
    return trees;
}

ParamsTreeWidget* ParamsView::viewTree() const
{
    if (m_session.description().m_nTabs == 0 || m_sectionTrees.isEmpty())
        return m_pParamsTree;
    // With a tab per section the main tree is not shown: the tree in view is the section tree last
    // used, or the one of the current tab (none while "Log" is current).
    for (ParamsTreeWidget* tree : m_sectionTrees)
        if (tree == m_pCurTree)
            return tree;
    return m_sectionTrees.value(m_window.m_ui.tabWidget->tabText(m_window.m_ui.tabWidget->currentIndex()));
}

void ParamsView::saveViewState()
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

void ParamsView::restoreViewState()
{
    ParamsTreeWidget* tree = viewTree();
    if (!tree)
        return;
    tree->verticalScrollBar()->setValue(m_nSavedScroll);
    disconnect(tree, &QTreeWidget::itemClicked, this, &ParamsView::slotTreeItemClicked);
    disconnect(tree, &QTreeWidget::currentItemChanged, this, &ParamsView::slotCurrentItemChanged);
    // No row of that name (or no such child any more): the tree is left without a current row.
    const QList<QTreeWidgetItem*> rows = tree->findItems(m_sSavedGroup, Qt::MatchFixedString, 0);
    QTreeWidgetItem* current = nullptr;
    if (!rows.isEmpty())
        current = m_nSavedRow == -1 ? rows.first() : rows.first()->child(m_nSavedRow);
    tree->setCurrentItem(current);
    tree->setFocus();
    connect(tree, &QTreeWidget::itemClicked, this, &ParamsView::slotTreeItemClicked);
    connect(tree, &QTreeWidget::currentItemChanged, this, &ParamsView::slotCurrentItemChanged);
}

void ParamsView::slotTreeItemClicked(QTreeWidgetItem* pItem, int nCol)
{
    if (auto* tree = qobject_cast<ParamsTreeWidget*>(sender()))
        m_pCurTree = tree;
    auto* row = dynamic_cast<ParamTreeItem*>(pItem);
    if (!row)
        return;
    if (row->m_bGroup) {
        m_window.m_ui.m_pCommentLabel->setText(QString());
        return;
    }
    IniEntry* entry = row->m_pEntry;
    if (!entry)
        return;

    QString comment = entry->desc ? entry->desc->comment : QString();
    if (comment.isEmpty())
        comment = entry->comment;
    m_window.m_ui.m_pCommentLabel->setText(comment);
    if (m_session.description().m_nTabs != 0) {
        const QString section = m_sectionTrees.key(m_pCurTree);
        if (!section.isEmpty() && section != QLatin1String("Log"))
            if (QLabel* label = m_sectionLabels.value(section))
                label->setText(comment);
    }

    if (nCol != ParamsTreeWidget::TitleColumn || !m_session.description().m_bCheck || row->isReadOnly())
        return;
    const bool checked = row->checkState(ParamsTreeWidget::TitleColumn) != Qt::Unchecked;
    if (!entry->absent) {
        // Saved like an edited value: at once with Auto Save, else by the next save.
        if (m_session.setEnabled(entry, checked)) {
            row->setEnabledLook(checked);
            m_window.slotParamChanged(row);
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

bool ParamsView::askAddMissingKey()
{
    return Dialogs::question(nullptr, QString(), tr("Параметр отсутствует в некоторых файлах"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, nullptr,
                             tr("Добавить параметр во все файлы?")) == QMessageBox::Yes;
}

void ParamsView::acceptMissingKey(ParamTreeItem* row)
{
    m_session.acceptMissingKey(row->m_pEntry);
    if (!row->isReadOnly()) {
        // Without check mode the row has no box to tick.
        if (m_session.description().m_bCheck)
            row->setChecked(true);
        else
            row->setEnabledLook(true);
    }
    m_window.slotParamChanged(row);
}

void ParamsView::slotCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* /*previous*/)
{
    slotTreeItemClicked(current, ParamsTreeWidget::TitleColumn);
    auto* tree = qobject_cast<ParamsTreeWidget*>(sender());
    if (tree && current)
        tree->setCurrentItem(current, ParamsTreeWidget::ValueColumn);
}

void ParamsView::slotTreeItemDbClicked(QTreeWidgetItem* pItem, int /*nCol*/)
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

void ParamsView::slotGroupToggled(ParamTreeItem* pItem)
{
    if (pItem)
        rememberGroupState(pItem, pItem->isExpanded());
}

QList<ParamTreeItem*> ParamsView::groupRows(const QString& title) const
{
    QList<ParamTreeItem*> rows;
    for (ParamsTreeWidget* tree : allTrees())
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (auto* row = dynamic_cast<ParamTreeItem*>(tree->topLevelItem(i)))
                if (row->m_pGroup && row->m_pGroup->title == title)
                    rows.append(row);
    return rows;
}

void ParamsView::rememberGroupState(const QTreeWidgetItem* row, bool open)
{
    const QString title = row->text(ParamsTreeWidget::TitleColumn);
    // The group stays open while it is open in another tree.
    const QList<ParamTreeItem*> rows = groupRows(title);
    for (const ParamTreeItem* other : rows)
        if (other != row && other->isExpanded())
            open = true;
    m_session.setGroupOpen(title, open);
}

void ParamsView::slotItemRightClicked()
{
    auto* tree = qobject_cast<ParamsTreeWidget*>(sender());
    if (!tree)
        return;
    // The colour action acts on the tree that was right-clicked, also when its row was current already.
    m_pCurTree = tree;
    const QTreeWidgetItem* row = tree->currentItem();
    if (row && row->childCount() > 0 && !row->text(ParamsTreeWidget::TitleColumn).startsWith(QLatin1Char('[')))
        tree->addAction(m_window.m_ui.m_pActionColorGroup);
    else
        tree->removeAction(m_window.m_ui.m_pActionColorGroup);
    tree->addActions(m_window.m_pEdit->fileValueActions(dynamic_cast<const ParamTreeItem*>(row)));
}

void ParamsView::slotActionColorGroup()
{
    if (!m_pCurTree)
        return;
    auto* row = dynamic_cast<ParamTreeItem*>(m_pCurTree->currentItem());
    if (!row)
        return;
    const QString title = row->text(ParamsTreeWidget::TitleColumn);
    QWidget* parent = m_window.m_pPages->activeWindow();
    if (!parent)
        parent = &m_window;

    const QColor k = Dialogs::getColor(row->m_color, parent, tr("Выберите цвет группы"));
    if (!k.isValid())
        return;
    if (k.red() == row->m_color.red() && k.green() == row->m_color.green() && k.blue() == row->m_color.blue())
        return;

    m_session.setGroupColor(title, k.red(), k.green(), k.blue());
    for (ParamTreeItem* groupRow : groupRows(title)) {
        groupRow->m_color = k;
        for (int i = 0; i < groupRow->childCount(); ++i)
            if (auto* child = dynamic_cast<ParamTreeItem*>(groupRow->child(i)))
                child->m_color = k;
    }

    // The rows' colour is painted by the trees, which do not know it changed; their rows are drawn
    // on the viewport, also where a tree stands in a separate window.
    saveViewState();
    for (ParamsTreeWidget* tree : allTrees())
        tree->viewport()->update();
    restoreViewState();
}

void ParamsView::slotActionName()
{
    saveViewState();
    showKeyNames(m_window.m_ui.m_pActionName->isChecked());
    restoreViewState();
}

void ParamsView::showKeyNames(bool names)
{
    // Every tree, so that the section trees of section-tabs mode switch as the main tree does.
    for (ParamsTreeWidget* tree : allTrees())
        tree->refreshLooks(names);
}

void ParamsView::refreshLooks()
{
    showKeyNames(m_window.m_ui.m_pActionName->isChecked());
}

void ParamsView::slotActionFont()
{
    bool ok = false;
    const QFont initial = m_pCurTree ? m_pCurTree->font() : m_window.m_font;
    // A cancelled dialog hands back the initial font, which the next tree created takes.
    m_window.m_font = Dialogs::getFont(&ok, initial, &m_window);
    if (!ok)
        return;
    for (ParamsTreeWidget* tree : allTrees())
        tree->setFont(m_window.m_font);
    m_window.m_ui.m_pCommentLabel->setFont(m_window.m_font);
}

bool ParamsView::eventFilter(QObject* obj, QEvent* e)
{
    // Keypad Enter (Qt::Key_Enter) is left to the tree.
    if (m_pCurTree && obj == m_pCurTree && e->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Return) {
        // An open editor passes its own Return up when it commits; that one closes it and opens nothing.
        QTreeWidgetItem* item = m_pCurTree->currentItem();
        if (item && !m_pCurTree->isEditing())
            m_pCurTree->editItem(item, ParamsTreeWidget::ValueColumn);
        return true;
    }
    return QObject::eventFilter(obj, e);
}
