#pragma once

#include <QStringList>

// Commands of volmar-ini that report on files rather than read or write keys. Each takes the
// arguments after its name and returns the exit status: 0 nothing to report, 1 something reported,
// 2 wrong arguments, 3 a file could not be read.
int checkCommand(const QStringList& arguments);
int diffCommand(const QStringList& arguments);
