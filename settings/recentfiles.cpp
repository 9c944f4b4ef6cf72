#include "settings/recentfiles.h"

#include <QSettings>

namespace
{
const QString ArrayKey = QStringLiteral("Recent Files");
const QString FilesKey = QStringLiteral("Files");

void write(QSettings& store, const QList<QStringList>& entries)
{
    store.remove(ArrayKey);
    store.beginWriteArray(ArrayKey, int(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        store.setArrayIndex(i);
        store.setValue(FilesKey, entries.at(i));
    }
    store.endArray();
    // Another window reads the list when its menu opens: it must find it on disk.
    store.sync();
}
} // namespace

QList<QStringList> RecentFiles::load(QSettings& store)
{
    // Another window may have written since this store object was made.
    store.sync();
    QList<QStringList> entries;
    const int count = store.beginReadArray(ArrayKey);
    for (int i = 0; i < count && entries.size() < MaxEntries; ++i) {
        store.setArrayIndex(i);
        const QStringList files = store.value(FilesKey).toStringList();
        if (!files.isEmpty() && !entries.contains(files))
            entries.append(files);
    }
    store.endArray();
    return entries;
}

void RecentFiles::add(QSettings& store, const QStringList& files)
{
    if (files.isEmpty())
        return;
    QList<QStringList> entries = load(store);
    entries.removeAll(files);
    entries.prepend(files);
    while (entries.size() > MaxEntries)
        entries.removeLast();
    write(store, entries);
}

void RecentFiles::remove(QSettings& store, const QStringList& files)
{
    QList<QStringList> entries = load(store);
    if (entries.removeAll(files) > 0)
        write(store, entries);
}
