#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One thing a description or an INI file says that the editor passes over without a word.
struct CheckFinding
{
    QString file;      // as it was named to the check
    qint64 line = 0;   // counted from 1
    qint64 column = 0; // XML errors only; 0 for the others
    QString message;

    // "file:line: message" (with ":column" after the line when there is one), the form editors and
    // IDEs jump from.
    QString toString() const;
};

struct CheckReport
{
    QString failure; // a file named to the check could not be read: nothing was checked
    QList<CheckFinding> findings;
};

namespace DescriptionCheck
{
// Reads the description with the editor's own reader and the INI files with its own document code,
// and reports what the editor would silently ignore or misread: XML errors, repeated and unknown
// elements, unknown types, numbers that read as 0, limits that cross, list values that repeat,
// programs that are not offered, parameters that name no key, keys without a description, and
// keys and sections of the INI files that nobody reads. Without INI files the one the description
// names is checked, as opening the description would edit it. Findings come file by file (the
// description first), each file's in line order. Nothing is written.
CheckReport check(const QString& descPath, const QStringList& iniFiles = QStringList());
} // namespace DescriptionCheck
