#pragma once

#include <QColor>
#include <QTreeWidgetItem>

struct IniEntry;

// One row of a parameter tree: a group row, or a parameter row that shows one entry of the document.
// A private copy of the entry's value and enabled flag, taken when the row was built or last saved,
// tells whether the row is modified; there is no dirty flag.
class ParamTreeItem : public QTreeWidgetItem
{
public:
    ParamTreeItem();
    ~ParamTreeItem() override;

    ParamTreeItem(const ParamTreeItem&) = delete;
    ParamTreeItem& operator=(const ParamTreeItem&) = delete;

    // Black texts and an editable value, or grey texts and a read-only value. The check box stays as it is.
    // A parameter its description makes read-only stays black, not editable and without a switch.
    void setEnabledLook(bool enabled);
    // The look of setEnabledLook, and the check box of the title column to match.
    void setChecked(bool checked);

    // The description makes the value read-only ("noedit"); such a key is neither edited nor switched.
    bool isReadOnly() const;
    // The colour of a value equal to its saved copy: grey on a switched-off key, black otherwise.
    QColor restingValueColor() const;

    bool m_bGroup = false;
    IniEntry* m_pEntry = nullptr; // not owned; null on group rows
    IniEntry* m_pSaved;           // owned; only value and enabled are used
    QColor m_color;               // the group's colour, painted behind the row
};
