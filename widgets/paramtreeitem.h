#pragma once

#include "description/rowlook.h"

#include <QColor>
#include <QTreeWidgetItem>

struct GroupDescription;
struct IniEntry;

// One row of a parameter tree: a group row, or a parameter row that shows one entry of the document.
// What it shows is worked out by RowLook; it is modified while its entry differs from the saved state
// the editing session keeps for it.
class ParamTreeItem : public QTreeWidgetItem
{
public:
    ParamTreeItem();

    ParamTreeItem(const ParamTreeItem&) = delete;
    ParamTreeItem& operator=(const ParamTreeItem&) = delete;

    // Black texts and an editable value, or grey texts and a read-only value. The check box stays as it is.
    // A parameter its description makes read-only stays black, not editable and without a switch.
    void setEnabledLook(bool enabled);
    // The look of setEnabledLook, and the check box of the title column to match.
    void setChecked(bool checked);
    // The title (key or description title), visibility and the value's colours, from the entry.
    void refreshLook(bool keyNames);
    // The entry's value, switch and look after the entry was changed other than in this row's editor.
    void showEntry(bool checkMode, bool keyNames);
    // Paints the value red while it differs from the saved one; true when it does. The limit warning
    // follows the new value.
    bool markChange();
    // A value outside its description's limits gets the warning background and a tooltip naming the
    // limit; a value within them loses both. Files of a set that disagree list their values there.
    void showLimits();

    // The description makes the value read-only ("noedit"); such a key is neither edited nor switched.
    bool isReadOnly() const;
    // The colour of a value equal to its saved copy: grey on a switched-off key, black otherwise.
    QColor restingValueColor() const;

    static QColor toneColor(RowLook::Tone tone);

    bool m_bGroup = false;
    IniEntry* m_pEntry = nullptr;               // not owned; null on group rows
    const EntryState* m_pSaved = nullptr;       // not owned: the session's saved state of the entry
    const GroupDescription* m_pGroup = nullptr; // the description's group of a group row; not owned
    QColor m_color;                             // the group's colour, painted behind the row
    QString m_sLimitNote;                       // the limit the value breaks, as its tooltip says
    QString m_sToolTip;                         // the value's tooltip: the limit, or each file's value
};
