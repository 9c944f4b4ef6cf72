#pragma once

#include "description/rowlook.h"

#include <QString>

// Which parameter rows a tree shows while the user narrows it down: a text typed into the filter box
// and a view. Both work on the entries alone, so the trees only hide and show rows.
namespace RowFilter
{
enum class View
{
    All,         // every parameter
    Changed,     // differs from what was last read or saved
    Differing,   // differs between the edited files, or is missing from some of them
    OutOfLimits, // outside its spin box's range, or not in its list
};

struct Query
{
    QString text; // as typed; compared without case
    View view = View::All;

    bool isEmpty() const { return text.isEmpty() && view == View::All; }
    bool operator==(const Query& other) const { return text == other.text && view == other.view; }
};

// The text occurs, case ignored, in the key name, the description's title, a comment (the file's or
// the description's) or the value as the tree shows it, or a file's own value. An empty text occurs
// everywhere.
bool textMatches(const IniEntry& entry, const QString& text);
// The text occurs, case ignored, in the value one of the files of a set holds while they disagree.
bool fileValueMatches(const IniEntry& entry, const QString& text);
// The entry belongs to the view; `saved` is its state when last read or saved.
bool inView(const IniEntry& entry, const EntryState& saved, View view);
bool matches(const IniEntry& entry, const EntryState& saved, const Query& query);
} // namespace RowFilter
