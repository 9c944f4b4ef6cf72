#pragma once

#include <QString>

struct IniEntry;
struct ListItem;
struct ParamDescription;

// What a key was when it was last read or saved: a row is modified while its entry differs from it.
struct EntryState
{
    QString value;
    bool enabled = false;
    bool absent = false;
    bool differs = false; // the files held different values
};

// What one parameter row shows, worked out from its entry alone, so that the trees only paint it.
namespace RowLook
{
// Black, grey (a key switched off) or red (a value not yet saved); the trees pick the colours.
enum class Tone
{
    Normal,
    Dimmed,
    Changed
};

// The description makes the value read-only ("noedit"); such a key is neither edited nor switched.
bool isReadOnly(const IniEntry& entry);
// The value, the enabled flag or the key's presence in every file differs from the saved state.
bool isModified(const IniEntry& entry, const EntryState& saved);
// The value can be edited: the key is switched on and not read-only.
bool isEditable(const IniEntry& entry);
// The title column carries a box for the enabled flag.
bool isSwitchable(const IniEntry& entry, bool checkMode);
// An invisible parameter shows only while the key names are shown.
bool isHidden(const IniEntry& entry, bool keyNames);

// What the value breaks of its description: the spin box's range or the list of values, said the way
// the user reads it. Empty for a value within them, and for no value at all (files that disagree).
QString limitNote(const IniEntry& entry);

// What the value column shows: "≠" while the entry stands for files that disagree, else the value
// as valueText() shows it.
QString cellText(const IniEntry& entry);
// One line per file of a set that disagrees on the key: its name and its value; empty otherwise.
QString fileValuesNote(const IniEntry& entry);

// The key itself, or the description's title.
QString title(const IniEntry& entry, bool keyNames);
// The value column's text for a value: a list value that names one of the list's elements gets
// that element's description in brackets ("5 [fast]"); anything else is shown as it is.
QString valueText(const ParamDescription* desc, const QString& value);
// How one list element reads: "val [descr]", or "val" alone when it has no description.
QString listItemText(const ListItem& item);

// The title's tone, and the value's while it equals the saved one: grey on a switched-off key
// that can be switched, black otherwise.
Tone restingTone(const IniEntry& entry);
// The value differs from the saved one, or one value now stands where the files disagreed.
bool isValueChanged(const IniEntry& entry, const EntryState& saved);
// Red while the value differs from the saved one.
Tone valueTone(const IniEntry& entry, const EntryState& saved);
} // namespace RowLook
