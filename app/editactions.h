#pragma once

#include <QList>
#include <QObject>

class EditingSession;
class ParamsView;
class QAction;
class QMenu;
class ParamTreeItem;
class Volmar;
struct IniEntry;

// The Edit menu of the main window: undo and redo of the values and switches the user changed, and
// putting values back as they were saved, for one row from its context menu or for all of them.
class EditActions : public QObject
{
    Q_OBJECT

public:
    EditActions(Volmar& window, EditingSession& session, ParamsView& view);

    QMenu* menu() const { return m_pMenu; }
    QAction* undoAction() const { return m_pUndo; }
    QAction* redoAction() const { return m_pRedo; }
    // Put in the context menu of every parameter tree; acts on the tree's current row.
    QAction* revertRowAction() const { return m_pRevertRow; }

    // "Взять значение из <file>" for each file of the set that holds the key of a row whose files
    // disagree; none for any other row. The entries of the previous call are deleted.
    const QList<QAction*>& fileValueActions(const ParamTreeItem* row);

public slots:
    // The actions' texts and states follow the history and the saved state.
    void update();
    void slotUndo();
    void slotRedo();
    void slotRevertRow();
    void slotRevertAll();
    // One file's value of the current row goes to every file of the set, as an edit would.
    void slotTakeFileValue();

private:
    // Shows the entries' values and switches in every tree, then saves them as any edit is saved.
    void showChanged(const QList<IniEntry*>& entries);

    Volmar& m_window;
    EditingSession& m_session;
    ParamsView& m_view;
    QMenu* m_pMenu = nullptr;
    QAction* m_pUndo = nullptr;
    QAction* m_pRedo = nullptr;
    QAction* m_pRevertRow = nullptr;
    QAction* m_pRevertAll = nullptr;
    QList<QAction*> m_fileValueActions;
};
