#pragma once

#include <QByteArray>
#include <QString>

// Whole-file replacement for data files that other programs read while they change: the bytes go
// to "<file>.<pid>.part" beside the file, which is then renamed over it, so a reader sees the old
// file or the new one, never half of one, even when the writer is killed in between.
namespace AtomicFile
{
bool write(const QString& path, const QByteArray& data, QString* error = nullptr);

// Parts left by writers that were killed mid-write: those whose process no longer exists.
void removeStaleParts(const QString& path);
} // namespace AtomicFile
