#pragma once

#include "document/inifilekeys.h"

#include <QList>
#include <QString>

#include <optional>

// A key whose reading differs between two INI files.
struct IniDifference
{
    QString section; // as the first file that has the key writes it
    QString key;
    std::optional<IniKeyLine> a; // std::nullopt: the key is missing from that file
    std::optional<IniKeyLine> b;

    bool missing() const { return !a || !b; }
    bool valueDiffers() const { return a && b && a->value != b->value; }
    bool switchDiffers() const { return a && b && a->enabled != b->enabled; } // "@" in one file only
};

namespace IniDiff
{
// The keys of two INI files, as the editor reads them, that differ in value (comments aside), are
// missing from one file, or are switched off by "@" in one file only. Section and key names match
// without regard to case, as the test programs read them. Keys come in the order of a, then those
// only in b in the order of b.
QList<IniDifference> compare(const QString& a, const QString& b);
} // namespace IniDiff
