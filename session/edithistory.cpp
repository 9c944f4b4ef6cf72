#include "session/edithistory.h"

#include "description/paramdescription.h"
#include "description/rowlook.h"
#include "document/filevalues.h"

#include <QCoreApplication>

bool EditHistory::record(IniEntry* entry, const QString& value, bool enabled, const QList<FileValue>& files)
{
    if (!entry)
        return false;
    const auto known = m_known.find(entry);
    Change change{entry, value, entry->value, enabled, entry->enabled, files, FileValues::disagreement(*entry)};
    if (known != m_known.end()) {
        change.oldValue = known->second.value;
        change.oldEnabled = known->second.enabled;
        change.oldFiles = known->second.files;
    }
    if (change.oldValue == change.newValue && change.oldEnabled == change.newEnabled &&
        change.oldFiles == change.newFiles)
        return false;
    m_changes.resize(m_next);
    m_changes.append(change);
    if (m_changes.size() > Limit)
        m_changes.removeFirst();
    m_next = m_changes.size();
    m_known[entry] = Known{entry->value, entry->enabled, change.newFiles};
    return true;
}

QString EditHistory::undoText() const
{
    return canUndo() ? describe(m_changes.at(m_next - 1)) : QString();
}

QString EditHistory::redoText() const
{
    return canRedo() ? describe(m_changes.at(m_next)) : QString();
}

IniEntry* EditHistory::undo()
{
    if (!canUndo())
        return nullptr;
    const Change& change = m_changes.at(--m_next);
    apply(change.entry, change.oldValue, change.oldEnabled, change.oldFiles);
    return change.entry;
}

IniEntry* EditHistory::redo()
{
    if (!canRedo())
        return nullptr;
    const Change& change = m_changes.at(m_next++);
    apply(change.entry, change.newValue, change.newEnabled, change.newFiles);
    return change.entry;
}

void EditHistory::clear()
{
    m_changes.clear();
    m_next = 0;
    m_known.clear();
}

void EditHistory::apply(IniEntry* entry, const QString& value, bool enabled, const QList<FileValue>& files)
{
    entry->value = value;
    entry->enabled = enabled;
    // Back to the files' disagreement: the next save gives each file its own value again.
    entry->differs = !files.isEmpty();
    if (entry->differs)
        entry->files = files;
    m_known[entry] = Known{value, enabled, files};
}

QString EditHistory::describe(const Change& change)
{
    const QString title = RowLook::title(*change.entry, false);
    if (change.oldEnabled != change.newEnabled && change.oldValue == change.newValue)
        return title + (change.newEnabled ? QCoreApplication::translate("EditHistory", ": включён")
                                          : QCoreApplication::translate("EditHistory", ": выключен"));
    if (!change.newFiles.isEmpty())
        return title + QStringLiteral(" = ≠");
    return title + QStringLiteral(" = ") + RowLook::valueText(change.entry->desc, change.newValue);
}
