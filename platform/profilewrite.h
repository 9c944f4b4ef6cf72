#pragma once

#include <QString>

// The profile writes with their outcome, for callers that report it (the command-line tool). The
// plain functions of profile.h are these with the outcome folded into a bool.
namespace Profile
{
enum class WriteResult
{
    Written,   // the file was rewritten
    Unchanged, // the value was already there: the file was not touched
    NotFound,  // nothing to remove: the file was not touched
    Failed     // the file could not be read or written; it is as it was, `error` says why
};

WriteResult putString(const QString& path, const QString& section, const QString& key, const QString& value,
                      QString* error = nullptr);
WriteResult removeKey(const QString& path, const QString& section, const QString& key, QString* error = nullptr);
WriteResult removeSection(const QString& path, const QString& section, QString* error = nullptr);
} // namespace Profile
