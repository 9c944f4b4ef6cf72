#pragma once

#include <QList>
#include <QStringList>

class QSettings;

// The last openings, newest first, kept in the settings store as they happen, so that a window
// opened later, or another one running beside it, offers what this one opened. A set of files is
// one entry and is reopened as the set.
namespace RecentFiles
{
constexpr int MaxEntries = 10;

QList<QStringList> load(QSettings& store);
// `files` goes to the top; an equal entry further down is taken out, the oldest beyond the limit too.
void add(QSettings& store, const QStringList& files);
void remove(QSettings& store, const QStringList& files);
} // namespace RecentFiles
