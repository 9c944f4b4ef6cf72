#include "description/treelayout.h"

#include "description/paramdescription.h"
#include "document/inientry.h"

#include <QHash>
#include <QMap>

namespace
{
// The rows of one tree by case-folded title, as the trees look groups up: the first row of a title
// wins. An index rather than a scan, since every key of a large file asks for its group.
class GroupIndex
{
public:
    explicit GroupIndex(QList<LayoutRow>& rows) : m_rows(&rows)
    {
        m_first.reserve(rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QString folded = rows.at(i).title.toCaseFolded();
            if (!m_first.contains(folded))
                m_first.insert(folded, i);
        }
    }

    LayoutRow* row(const QString& title) const
    {
        const qsizetype i = m_first.value(title.toCaseFolded(), -1);
        return i < 0 ? nullptr : &(*m_rows)[i];
    }

private:
    QList<LayoutRow>* m_rows;
    QHash<QString, qsizetype> m_first;
};

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

    QList<GroupIndex> indexes;
    indexes.reserve(trees.size());
    for (TreeLayout& tree : trees)
        indexes.append(GroupIndex(tree.rows));

    for (IniEntry* entry : entries) {
        qsizetype t = mainTree;
        if (sectionTabs) {
            t = std::distance(sectionTrees.begin(), sectionTrees.find(entry->section));
            if (t >= mainTree)
                continue;
        }
        const GroupIndex& index = indexes.at(t);
        const QString groupTitle =
            entry->desc && !entry->desc->groupTitle.isEmpty() ? entry->desc->groupTitle : entry->section;
        LayoutRow* row = index.row(groupTitle);
        // A parameter directly under a root that has a title names a group no row stands for; it
        // goes where an untitled root would put it, under its section.
        if (!row && groupTitle != entry->section)
            row = index.row(entry->section);
        if (!row)
            continue;
        row->entries.append(entry);
        row->open = true;
    }

    for (qsizetype t = 0; t < trees.size(); ++t) {
        QList<LayoutRow>& rows = trees[t].rows;
        for (const GroupDescription* group : groups)
            if (LayoutRow* row = indexes.at(t).row(group->title))
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
