#pragma once

#include "description/rowfilter.h"

#include <QMap>
#include <QObject>
#include <QString>

class EditingSession;
class ParamsFilterBar;
class ParamsTreeWidget;
class ParamTreeItem;
class QLabel;
class QTabWidget;
class QTreeWidgetItem;
class Volmar;

// The parameter trees of the main window: the main tree (in a file tab of its own when a set of files
// is edited), one tree per section in section-tabs mode, what the user does in them, and where the
// view stood before a reload. The session says what the rows show; this class only puts it on screen.
class ParamsView : public QObject
{
    Q_OBJECT

public:
    ParamsView(Volmar& window, EditingSession& session);
    ~ParamsView() override;

    // A new main tree for `files` edited files; more than one get a file tab each beside "Все файлы".
    void recreate(int files);
    // Removes the section pages and their trees before a reload.
    void clearSections();
    // A page with a tree and a comment label per section, in the window's tab widget.
    void createSectionTabs();
    // Fills every tree with the session's layout.
    void buildTrees();

    // The section trees in key order, then the main tree.
    QList<ParamsTreeWidget*> allTrees() const;
    // The tree the user looks at: the main tree, or in section-tabs mode a section tree.
    ParamsTreeWidget* viewTree() const;
    void saveViewState();
    void restoreViewState();

    // Every tree shows key names, or the description's titles.
    void showKeyNames(bool names);
    // The values turn black again after a save.
    void refreshLooks();

    ParamsTreeWidget* m_pParamsTree = nullptr;
    ParamsTreeWidget* m_pCurTree = nullptr;
    ParamsFilterBar* m_pFilterBar = nullptr; // above the main tree and its file tabs
    QTabWidget* m_pFileTabs = nullptr;
    QMap<QString, ParamsTreeWidget*> m_sectionTrees;
    QMap<QString, QLabel*> m_sectionLabels;
    // What each section's filter box held before a reload rebuilt the section pages.
    QMap<QString, RowFilter::Query> m_sectionFilters;

    // Asks whether a key missing from some edited files is to be added to all of them.
    bool askAddMissingKey();

public slots:
    void slotTreeItemClicked(QTreeWidgetItem* pItem, int nCol);
    void slotItemRightClicked();
    void slotTreeItemDbClicked(QTreeWidgetItem* pItem, int nCol);
    void slotGroupToggled(ParamTreeItem* pItem);
    void slotCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void slotCurrentChanged(int idx);
    void slotActionColorGroup();
    void slotActionName();
    void slotActionFont();

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    ParamsTreeWidget* createTree(QWidget* parent);
    // Stores a description group's open state (section groups have none) in the description file.
    void rememberGroupState(const QTreeWidgetItem* row, bool open);
    void acceptMissingKey(ParamTreeItem* row);
    // The group rows of a description group, in every tree.
    QList<ParamTreeItem*> groupRows(const QString& title) const;

    Volmar& m_window;
    EditingSession& m_session;
    int m_nSavedScroll = 0;
    int m_nSavedRow = -1;
    QString m_sSavedGroup;
};
