#pragma once

#include "platform/parsedprofile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Profile strings: the INI dialect of the Windows profile functions, read and written the way the
// lab's test programs expect. Reads go through a cache of parsed files keyed by path, size and
// modification time, so thousands of look-ups on one file cost one parse. Writes change one line
// (or insert lines) and leave every other byte alone; each rewrite is a temporary file renamed over
// the original.
namespace Profile
{
// The longest value or name list a read returns, counted like the Windows buffer (NUL included).
constexpr int BufferSize = 8192;

// Section names in file order; empty for a missing, empty or unreadable file.
QStringList sectionNames(const QString& path);

// Key names of the first section named `section` (case-insensitive), in file order. Lines without
// "=" and names starting with ";" are not listed.
QStringList keyNames(const QString& path, const QString& section);

// The value of the first matching key of the first matching section, trimmed, one pair of
// enclosing quotes removed, cut to BufferSize - 1 characters. std::nullopt when not found.
std::optional<QString> readString(const QString& path, const QString& section, const QString& key);

// The line (counted from 1) of the key readString() reads; 0 when it finds nothing.
int keyLine(const QString& path, const QString& section, const QString& key);

// Every line of the file that is not blank, in order; empty for a missing or unreadable file.
QList<ParsedProfile::OutlineLine> outline(const QString& path);

// Replaces the value of the first matching key, or adds the key (and the section). Writing the
// value the line already holds does not touch the file. False when the file could not be written.
bool writeString(const QString& path, const QString& section, const QString& key, const QString& value);

// Removes the first matching key line; false when nothing was removed or the write failed.
bool deleteKey(const QString& path, const QString& section, const QString& key);

// Removes the first matching section: its header and every line up to the next header.
bool deleteSection(const QString& path, const QString& section);

// The write of writeString applied to a file's bytes in memory (an empty array is a missing or empty
// file), so that many writes to one file cost one rewrite. False when the bytes stay as they were.
bool applyWrite(QByteArray& bytes, const QString& section, const QString& key, const QString& value);

// Replaces a file's content the safe way: a temporary file in the same folder, flushed and renamed
// over the original; a symbolic link's target is the file replaced; permissions are kept. The old
// file stays whole when anything fails. Drops the file's cached parse.
bool replaceFile(const QString& path, const QByteArray& bytes);

// Drops every cached parse (tests and benchmarks that want a cold read).
void clearCache();
} // namespace Profile
