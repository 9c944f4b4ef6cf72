#pragma once

#include <QByteArray>
#include <QString>

// Crash-safe replacement of a whole file. The new content goes to a temporary file in the same
// folder, is flushed to disk and renamed over the old one, so a reader (or a crash) sees either the
// old file or the new one, never half of it.
namespace SaveFile
{
// The file a path finally names, symbolic links followed (the file itself may not exist yet).
QString resolveLinks(const QString& path);

// Replaces `path` (links already resolved) with `bytes`, keeping the old file's permissions and, when
// allowed, its owner. A missing file is created. On failure the old file is untouched, no temporary
// file is left behind and `error` says why.
bool replace(const QString& path, const QByteArray& bytes, QString* error = nullptr);
} // namespace SaveFile
