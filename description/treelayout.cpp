#include "description/treelayout.h"

#include "description/paramdescription.h"
#include "document/inientry.h"

#include <QMap>

namespace
{
// The first row titled `title`, case folded as the trees look groups up.
LayoutRow* groupRow(QList<LayoutRow>& rows, const QString& title)
{
    const QString folded = title.toCaseFolded();
    for (LayoutRow& row : rows)
        if (row.title.toCaseFolded() == folded)
            return &row;
    return nullptr;
}

// The first row whose title equals `title` without regard to case, as a tree's search finds it.
qsizetype findRow(const QList<LayoutRow>& rows, const QString& title)
{
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows.at(i).title.compare(title, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
} // namespace

QList<TreeLayout> layOutTrees(const QList<IniEntry*>& entries, const QList<GroupDescription*>& groups,
                              const QStringList& sections, bool sectionTabs)
{
    // A tree per section in name order, then the main tree.
    QMap<QString, TreeLayout> sectionTrees;
    if (sectionTabs)
        for (const QString& section : sections)
            sectionTrees[section].section = section;
    QList<TreeLayout> trees = sectionTrees.values();
    trees.append(TreeLayout());
    const qsizetype mainTree = trees.size() - 1;

    for (qsizetype t = 0; t < trees.size(); ++t) {
        QList<LayoutRow>& rows = trees[t].rows;
        for (const GroupDescription* group : groups)
            rows.append(LayoutRow{group->title, group, false, {}});
        // Without a tab per section the main tree holds the sections; with them, every section tree does.
        if (sectionTabs != (t == mainTree))
            for (const QString& section : sections)
                rows.append(LayoutRow{section, nullptr, false, {}});
    }

    for (IniEntry* entry : entries) {
        qsizetype t = mainTree;
        if (sectionTabs) {
            t = std::distance(sectionTrees.begin(), sectionTrees.find(entry->section));
            if (t >= mainTree)
                continue;
        }
        QList<LayoutRow>& rows = trees[t].rows;
        const QString groupTitle =
            entry->desc && !entry->desc->groupTitle.isEmpty() ? entry->desc->groupTitle : entry->section;
        LayoutRow* row = groupRow(rows, groupTitle);
        // A parameter directly under a root that has a title names a group no row stands for; it
        // goes where an untitled root would put it, under its section.
        if (!row && groupTitle != entry->section)
            row = groupRow(rows, entry->section);
        if (!row)
            continue;
        row->entries.append(entry);
        row->open = true;
    }

    for (TreeLayout& tree : trees) {
        QList<LayoutRow>& rows = tree.rows;
        for (const GroupDescription* group : groups)
            if (LayoutRow* row = groupRow(rows, group->title))
                row->open = group->open;
        const auto removeIfEmpty = [&rows](const QString& title) {
            const qsizetype i = findRow(rows, title);
            if (i >= 0 && rows.at(i).entries.isEmpty())
                rows.removeAt(i);
        };
        for (const QString& section : sections)
            removeIfEmpty(section);
        for (const GroupDescription* group : groups)
            removeIfEmpty(group->title);
        for (const QString& section : sections) {
            const qsizetype i = findRow(rows, section);
            if (i >= 0)
                rows[i].title = QLatin1Char('[') + rows.at(i).title + QLatin1Char(']');
        }
    }
    return trees;
}
