#pragma once

#include "document/inientry.h"

// The files of a set that disagree on a key, as one entry of the document keeps them.
namespace FileValues
{
// The files that hold the key hold more than one value.
bool valuesDiffer(const IniEntry& entry);
// The entry still stands for the files' disagreement: the value shown is none of theirs.
bool showsDisagreement(const IniEntry& entry);
// Each file's value while the entry stands for their disagreement; none once it holds one value.
QList<FileValue> disagreement(const IniEntry& entry);
// Every file has the key, switched as `enabled`: each can take its own value back on its key line.
bool eachFileHolds(const IniEntry& entry, bool enabled);
// One value was written to every file: they agree now.
void forget(IniEntry& entry);
// The key was added, with the entry's value, to the files that lacked it.
void addedWhereMissing(IniEntry& entry);
} // namespace FileValues
