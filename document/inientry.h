#pragma once

#include <QString>

struct ParamDescription;

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
};
