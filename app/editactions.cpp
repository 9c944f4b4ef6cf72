#include "app/editactions.h"

#include "app/paramsview.h"
#include "app/volmar.h"
#include "document/filevalues.h"
#include "session/editingsession.h"
#include "widgets/paramstreewidget.h"

#include <QAction>
#include <QFileInfo>
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
    m_pRevertRow->setEnabled(saved && RowLook::isModified(*row->m_pEntry, *saved));
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

const QList<QAction*>& EditActions::fileValueActions(const ParamTreeItem* row)
{
    qDeleteAll(m_fileValueActions); // a deleted action leaves every tree it was in
    m_fileValueActions.clear();
    const IniEntry* entry = row ? row->m_pEntry : nullptr;
    // A key switched off everywhere keeps its value until it is switched on; a read-only key keeps it always.
    if (!entry || !FileValues::showsDisagreement(*entry) || RowLook::isReadOnly(*entry) ||
        !(entry->enabled || entry->absent))
        return m_fileValueActions;
    for (qsizetype f = 0; f < entry->files.size(); ++f) {
        const FileValue& file = entry->files.at(f);
        if (!file.present)
            continue;
        QString name = QFileInfo(file.file).fileName();
        auto* action =
            new QAction(tr("Взять значение из ") + name.replace(QLatin1Char('&'), QStringLiteral("&&")), this);
        action->setData(int(f));
        connect(action, &QAction::triggered, this, &EditActions::slotTakeFileValue);
        m_fileValueActions.append(action);
    }
    return m_fileValueActions;
}

void EditActions::slotTakeFileValue()
{
    const auto* action = qobject_cast<QAction*>(sender());
    auto* row = m_view.m_pCurTree ? dynamic_cast<ParamTreeItem*>(m_view.m_pCurTree->currentItem()) : nullptr;
    IniEntry* entry = row ? row->m_pEntry : nullptr;
    const int file = action ? action->data().toInt() : -1;
    // The menu key opens the menu made for the row last right-clicked: it acts only where it fits.
    if (!entry || !FileValues::showsDisagreement(*entry) || file < 0 || file >= entry->files.size() ||
        !entry->files.at(file).present)
        return;
    // The files that lack the key get it only when the user agrees, as with an edit of a missing key.
    if (entry->absent) {
        if (!m_view.askAddMissingKey())
            return;
        m_session.acceptMissingKey(entry);
    }
    if (!m_session.takeFileValue(entry, file))
        return;
    m_session.noteChange(entry);
    showChanged({entry});
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
