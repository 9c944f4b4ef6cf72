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
        Value,  // replace the value text after "=" (or add the key)
        Enabled // add or remove the "@" in front of the key inside its section
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

// Moves the "@" marker of `key` inside the section whose header line begins with `header`
// (case-sensitive), on every line of that section that begins with the pattern. The text is
// rebuilt line by line with "\n" line ends. Returns false when no line changed.
bool moveEnabledMarker(QString& text, const QString& header, const QString& key, bool enabled);

// moveEnabledMarker on a file's bytes, keeping its encoding and BOM.
bool moveEnabledMarkerInBytes(QByteArray& bytes, const QString& header, const QString& key, bool enabled);

// Applies the changes in order and rewrites the file once (temporary file + rename). A file that
// does not exist gets value changes only (a value write creates it). False when the write failed.
bool applyKeyChanges(const QString& fileName, const QList<KeyChange>& changes);
