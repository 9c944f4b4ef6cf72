#include "document/inidiff.h"

#include "platform/parsedprofile.h"

#include <QHash>

namespace
{
QString identity(const IniKeyLine& key)
{
    // A NUL cannot stand in a name, so it keeps "a" + "b.c" apart from "a.b" + "c".
    return ParsedProfile::foldCase(key.section) + QChar(0) + ParsedProfile::foldCase(key.key);
}

// The first of keys that repeat is the one read.
QHash<QString, qsizetype> indexByIdentity(const QList<IniKeyLine>& keys)
{
    QHash<QString, qsizetype> index;
    index.reserve(keys.size());
    for (qsizetype i = keys.size() - 1; i >= 0; --i)
        index.insert(identity(keys.at(i)), i);
    return index;
}
} // namespace

namespace IniDiff
{
QList<IniDifference> compare(const QString& a, const QString& b)
{
    const QList<IniKeyLine> keysA = IniFileKeys::read(a);
    const QList<IniKeyLine> keysB = IniFileKeys::read(b);
    const QHash<QString, qsizetype> indexA = indexByIdentity(keysA);
    const QHash<QString, qsizetype> indexB = indexByIdentity(keysB);

    QList<IniDifference> differences;
    for (qsizetype i = 0; i < keysA.size(); ++i) {
        const IniKeyLine& key = keysA.at(i);
        const QString id = identity(key);
        if (indexA.value(id) != i)
            continue;
        IniDifference difference{key.section, key.key, key, std::nullopt};
        const auto inB = indexB.constFind(id);
        if (inB != indexB.constEnd())
            difference.b = keysB.at(inB.value());
        if (difference.missing() || difference.valueDiffers() || difference.switchDiffers())
            differences.append(difference);
    }
    for (qsizetype i = 0; i < keysB.size(); ++i) {
        const IniKeyLine& key = keysB.at(i);
        const QString id = identity(key);
        if (indexB.value(id) == i && !indexA.contains(id))
            differences.append(IniDifference{key.section, key.key, std::nullopt, key});
    }
    return differences;
}
} // namespace IniDiff
