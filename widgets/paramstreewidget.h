#pragma once

// Complete, so that ParamTreeItem* signal arguments are known to the meta-type system (queued
// connections, QSignalSpy).
#include "description/rowfilter.h"
#include "widgets/paramtreeitem.h"

#include <QHash>
#include <QList>
#include <QTreeWidget>

class EditingSession;
struct GroupDescription;
struct IniEntry;
struct TreeLayout;

// The parameters of one INI file as a two-column tree: coloured group rows at the top level, one
// parameter row per key under them. Values are painted and edited through its ParamDelegate.
class ParamsTreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    enum Column
    {
        TitleColumn = 0,
        ValueColumn = 1
    };

    explicit ParamsTreeWidget(QWidget* parent = nullptr);
    ~ParamsTreeWidget() override;

    // Shows the rows of a layout in place of the tree's rows; the session holds their saved states.
    void showLayout(const TreeLayout& layout, const EditingSession& session);
    // Appends a top-level row with the group's title and colour.
    ParamTreeItem* addGroupItem(const GroupDescription& group);
    // Appends a row for the entry under the first group row titled groupTitle (case ignored) and
    // expands that group. Returns null, adding nothing, when no such group row exists. The row is
    // modified while the entry differs from `saved`.
    ParamTreeItem* addParamItem(const QString& groupTitle, IniEntry* entry, const EntryState* saved = nullptr);
    // Opens or closes every group row as its description's open flag says.
    void applyGroupStates(const QList<GroupDescription*>& groups);
    // A value editor is open in the tree.
    bool isEditing() const { return state() == EditingState; }
    // Shows every row's title, visibility and value colour as its entry now says (after a save, or
    // when the key names are switched on or off).
    void refreshLooks(bool keyNames);
    // Removes and deletes every row.
    void clearItems();
    // Lets every group title run across both columns.
    void spanGroupRows();

    // Shows only the parameter rows the query lets through, with their group rows opened above them;
    // an empty query shows every row again and the groups as they were. The tree keeps the query
    // across reloads and saves.
    void setFilter(const RowFilter::Query& query);
    const RowFilter::Query& filter() const { return m_filter; }
    // The parameter rows shown, and those that would show without a query.
    int shownCount() const { return m_nShown; }
    int totalCount() const { return m_nTotal; }
    // The cell shows what the filter text was found in.
    bool isFilterHit(const ParamTreeItem& row, int column) const;

    // The first top-level row whose title equals title, case ignored; null when there is none.
    ParamTreeItem* groupItem(const QString& title) const;
    ParamTreeItem* paramItem(const QModelIndex& index) const;

    // A group row's expander: the style's branch indicator, closed for the icon's Off state and open
    // for On, which the delegate picks while the row is expanded.
    static QIcon makeBranchIcon(const QPalette& palette, const QStyle* style);

    bool m_bCheckMode = false; // parameter rows carry a check box for their enabled flag

signals:
    void signalItemRightClicked();
    void signalParamChanged(ParamTreeItem* pItem);
    // A group row was opened or closed from the keyboard; the row already shows its new state.
    void signalGroupToggled(ParamTreeItem* pItem);
    // The rows were filtered again: `shown` of `total` parameter rows show.
    void filterApplied(int shown, int total);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    ParamTreeItem* appendParamItem(ParamTreeItem* group, IniEntry* entry, const EntryState* saved);
    void applyFilter();
    void forgetGroupIndex();
    void forgetGroupIndexIfTopLevel(const QModelIndex& parent);

    // Case-folded title -> first top-level row with that title. Filled on demand and dropped whenever
    // a top-level row is added, removed or renamed, so it always agrees with a scan of the rows.
    mutable QHash<QString, ParamTreeItem*> m_groupIndex;
    mutable bool m_bGroupIndexValid = false;

    RowFilter::Query m_filter;
    bool m_bKeyNames = false; // the titles are key names: invisible parameters show
    bool m_bFiltered = false; // rows were last hidden or shown by a query
    QList<bool> m_openBefore; // the groups' open states before a query opened them; empty without one
    int m_nShown = 0;
    int m_nTotal = 0;
};
