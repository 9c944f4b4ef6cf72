#pragma once

#include <QList>
#include <QString>

// One key of an INI file as the editor shows it, with the line it stands on.
struct IniKeyLine
{
    QString section;     // as its header writes it
    QString key;         // without a leading "@"
    QString value;       // without its comment
    bool enabled = true; // false for a key switched off by "@"
    int line = 0;        // counted from 1
};

// The keys of one INI file opened alone, in the order the editor lists them, read without writing
// anything. The editor gives a file without any section header the header "[00]" before it shows
// it; the keys of such a file come under "00" here while the file stays as it is.
namespace IniFileKeys
{
QList<IniKeyLine> read(const QString& path);
} // namespace IniFileKeys
