#include "app/editactions.h"

#include "app/paramsview.h"
#include "app/volmar.h"
#include "session/editingsession.h"
#include "widgets/paramstreewidget.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <unordered_set>

EditActions::EditActions(Volmar& window, EditingSession& session, ParamsView& view)
    : QObject(&window), m_window(window), m_session(session), m_view(view)
{
    // "&Параметры" has the П already.
    m_pMenu = new QMenu(tr("П&равка"), &window);
    m_pMenu->setObjectName(QStringLiteral("menuEdit"));
    m_pUndo = m_pMenu->addAction(tr("&Отменить"), this, &EditActions::slotUndo);
    m_pUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_pRedo = m_pMenu->addAction(tr("&Повторить"), this, &EditActions::slotRedo);
    m_pRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    m_pMenu->addSeparator();
    m_pRevertAll = m_pMenu->addAction(tr("&Вернуть сохранённое"), this, &EditActions::slotRevertAll);
    m_pRevertRow = new QAction(tr("&Вернуть сохранённое"), this);
    connect(m_pRevertRow, &QAction::triggered, this, &EditActions::slotRevertRow);
    // After the file menu, where editors keep it.
    const QList<QAction*> menus = window.m_ui.menuBar->actions();
    window.m_ui.menuBar->insertMenu(menus.value(1), m_pMenu);
    connect(&session, &EditingSession::saved, this, &EditActions::update);
    update();
}

void EditActions::update()
{
    const EditHistory& history = m_session.history();
    // A "&" in a value is shown, not taken for an access key.
    const auto shown = [](QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); };
    m_pUndo->setEnabled(history.canUndo());
    m_pUndo->setText(history.canUndo() ? tr("&Отменить: ") + shown(history.undoText()) : tr("&Отменить"));
    m_pRedo->setEnabled(history.canRedo());
    m_pRedo->setText(history.canRedo() ? tr("&Повторить: ") + shown(history.redoText()) : tr("&Повторить"));
    m_pRevertAll->setEnabled(m_session.isModified());
    const auto* row = m_view.m_pCurTree ? dynamic_cast<ParamTreeItem*>(m_view.m_pCurTree->currentItem()) : nullptr;
    const EntryState* saved = row && row->m_pEntry ? m_session.savedState(row->m_pEntry) : nullptr;
    m_pRevertRow->setEnabled(saved &&
                             (saved->value != row->m_pEntry->value || saved->enabled != row->m_pEntry->enabled));
}

void EditActions::slotUndo()
{
    if (IniEntry* entry = m_session.history().undo())
        showChanged({entry});
}

void EditActions::slotRedo()
{
    if (IniEntry* entry = m_session.history().redo())
        showChanged({entry});
}

void EditActions::slotRevertRow()
{
    const auto* row = m_view.m_pCurTree ? dynamic_cast<ParamTreeItem*>(m_view.m_pCurTree->currentItem()) : nullptr;
    if (row && row->m_pEntry)
        showChanged(m_session.revertToSaved(row->m_pEntry));
}

void EditActions::slotRevertAll()
{
    showChanged(m_session.revertToSaved());
}

void EditActions::showChanged(const QList<IniEntry*>& entries)
{
    if (entries.isEmpty())
        return;
    const std::unordered_set<const IniEntry*> changed(entries.cbegin(), entries.cend());
    const bool keyNames = m_window.m_ui.m_pActionName->isChecked();
    for (ParamsTreeWidget* tree : m_view.allTrees()) {
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* group = tree->topLevelItem(i);
            for (int j = 0; j < group->childCount(); ++j) {
                auto* row = dynamic_cast<ParamTreeItem*>(group->child(j));
                if (row && changed.count(row->m_pEntry))
                    row->showEntry(tree->m_bCheckMode, keyNames);
            }
        }
    }
    // With Auto Save the files take the old values at once, one key line each, as after any edit.
    m_window.slotParamChanged(nullptr);
}
