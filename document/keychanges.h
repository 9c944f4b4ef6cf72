#pragma once

#include "document/inientry.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Saving writes each changed key into its own line. All changes for one file are applied to its
// bytes in memory and the file is rewritten once, so saving a thousand values costs one read and
// one atomic rewrite per file.
struct KeyChange
{
    enum Kind
    {
        Value,   // replace the value text after "=" (or add the key)
        Enabled, // add or remove the "@" in front of the key inside its section
        Add      // add the key with its text where the section holds it neither on nor off
    };
    Kind kind = Value;
    QString section;
    QString key;
    QString text;        // Value: the text written after "="
    bool enabled = true; // Enabled: the state the key takes
};

// The text written after "=" for an entry: the value alone, or the value with its comment.
// A comment holding continuation lines contributes its first line: the others stand below the key.
QString keyLineText(const IniEntry& entry);

KeyChange valueChange(const IniEntry& entry);
KeyChange enabledChange(const IniEntry& entry, bool enabled);
KeyChange addChange(const IniEntry& entry);

// Moves the "@" marker of `key` on every key line of the first section named `section` (names
// compared as the profile functions compare them, blanks around them allowed): enabled takes it
// from "@key", disabled puts it in front of "key". Only the marker changes; every other byte of
// the file stays. Returns false when no line changed.
bool moveEnabledMarker(QByteArray& bytes, const QString& section, const QString& key, bool enabled);

// Applies the changes in order and rewrites the file once (temporary file + rename). A file that
// does not exist gets value changes only (a value write creates it). False when the write failed.
bool applyKeyChanges(const QString& fileName, const QList<KeyChange>& changes);
