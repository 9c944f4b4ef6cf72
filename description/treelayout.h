#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct GroupDescription;
struct IniEntry;

// One top-level row of a parameter tree and the keys under it.
struct LayoutRow
{
    QString title;                           // as shown: a section's name in brackets
    const GroupDescription* group = nullptr; // the description's group; null on a section's row
    bool open = false;
    QList<IniEntry*> entries;
};

// The rows of one parameter tree: the tree of one section, or the main tree (section "").
struct TreeLayout
{
    QString section;
    QList<LayoutRow> rows;
};

// Where every key of the document goes: the description's groups first, then the sections; a key under
// the group its description names (titles compared without case), else under its section. With a tab
// per section, one tree per section (in name order) holds that section's keys and the main tree
// none. Rows left empty are not shown. The order is the one the trees show, and the one saving
// writes in.
QList<TreeLayout> layOutTrees(const QList<IniEntry*>& entries, const QList<GroupDescription*>& groups,
                              const QStringList& sections, bool sectionTabs);
