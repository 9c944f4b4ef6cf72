#pragma once

#include "document/inientry.h"

#include <QList>
#include <QString>

#include <unordered_map>

// What the user changed of the keys, in order, so that it can be taken back and done again: a value
// typed or picked, a key switched on or off. It knows entries only; the session applies nothing else.
class EditHistory
{
public:
    struct Change
    {
        IniEntry* entry = nullptr; // not owned: the session's document outlives the history
        QString oldValue;
        QString newValue;
        bool oldEnabled = false;
        bool newEnabled = false;
        // Each file's own value where the files of a set disagreed; empty when they held one value.
        QList<FileValue> oldFiles;
        QList<FileValue> newFiles;
    };

    // The oldest changes go first beyond this many, so that a long session keeps its memory bounded.
    static constexpr int Limit = 1000;

    // The entry now differs from what it was: `value`, `enabled` and the files' disagreement before
    // this change, unless the history already knows the entry from an earlier change. The changes
    // undone cannot be redone after it. False when the entry holds what the history last knew of it.
    bool record(IniEntry* entry, const QString& value, bool enabled, const QList<FileValue>& files = {});

    bool canUndo() const { return m_next > 0; }
    bool canRedo() const { return m_next < m_changes.size(); }
    // "Частота = 48000", "Частота: выключен": the change the next undo or redo acts on.
    QString undoText() const;
    QString redoText() const;
    // Puts the entry back as it was before the last change, or as it was after the last undone one;
    // returns that entry, null when there is nothing to do.
    IniEntry* undo();
    IniEntry* redo();

    // Forgets every change, as after the entries were read again.
    void clear();

private:
    static QString describe(const Change& change);
    void apply(IniEntry* entry, const QString& value, bool enabled, const QList<FileValue>& files);

    QList<Change> m_changes;
    qsizetype m_next = 0; // changes before this index are done, those from it undone
    struct Known
    {
        QString value;
        bool enabled = false;
        QList<FileValue> files;
    };
    // What the history last saw of each changed entry: a value typed key by key arrives as many changes.
    std::unordered_map<const IniEntry*, Known> m_known;
};
