#pragma once

#include <QList>
#include <QString>

struct ParamDescription;

// What one edited file of a set holds for a key.
struct FileValue
{
    QString file;         // the path, as the set names it
    QString value;        // without its comment; "" when the key is not there
    bool present = false; // the file has the key, switched on or off
    bool enabled = false; // the file's key line has no "@"

    bool operator==(const FileValue& other) const
    {
        return file == other.file && value == other.value && present == other.present && enabled == other.enabled;
    }
};

// One key of the INI document: what the trees show and edit.
struct IniEntry
{
    QString key;     // without a leading "@"
    QString value;   // "" when the edited files disagree or the key is absent from one of them
    QString comment; // key-line comment, then continuation comment lines, each after "\n"
    QString section;
    bool enabled = false;             // false for "@key", for an absent key and for a read-only description
    bool absent = false;              // missing from at least one edited file
    bool differs = false;             // the edited files hold different values
    ParamDescription* desc = nullptr; // not owned
    // Each edited file's own reading, in the set's order; kept only while the files disagree, so a
    // set whose files agree carries nothing more.
    QList<FileValue> files;
};
