#pragma once

#include <QList>

struct IniEntry;
struct ParamDescription;

// Links every entry to the first description of params (in list order) whose key equals the
// entry's key ignoring case and whose section equals the entry's section exactly or is empty.
// An entry without such a description gets a null desc; a read-only description disables its
// entry. The window's own matchDescriptions() shadows this one: call it as ::matchDescriptions.
void matchDescriptions(const QList<IniEntry*>& entries, const QList<ParamDescription*>& params);
