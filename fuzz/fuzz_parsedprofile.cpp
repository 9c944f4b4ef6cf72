// Any bytes as an INI file, in memory: every edit applied to a parse in place must leave it answering
// exactly as a fresh parse of the edited bytes.

#include "platform/parsedprofile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace
{
QStringList everything(const ParsedProfile& parsed)
{
    QStringList out = parsed.sectionNames();
    const QStringList sections = QStringList(out) << QString();
    for (const QString& section : sections) {
        const QStringList keys = parsed.keyNames(section);
        out << keys;
        for (const QString& key : keys)
            out << parsed.value(section, key).value_or(QStringLiteral("<none>"));
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ParsedProfile parsed(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QStringList sections = parsed.sectionNames();
    const QStringList values{QStringLiteral("v"),       QString(),
                             QStringLiteral("ж"),       QStringLiteral("Ω"),
                             QStringLiteral(" \"q\" "), QStringLiteral("a]"),
                             QStringLiteral("x\ny")};
    // The bytes are compared after every edit; everything the parse answers after the last one, which
    // rests on every index the edits before it kept up to date.
    std::optional<ParsedProfile> fresh;
    for (int round = 0; round < 4; ++round) {
        const QString section = sections.value(round % 2);
        const QStringList keys = parsed.keyNames(section);
        const QString key = keys.value(round, QStringLiteral("Key"));
        std::optional<ParsedProfile::Splice> splice;
        if (round == 3)
            splice = parsed.removeKey(section, key);
        else
            splice = parsed.putValue(section, key, values.at((size + round) % values.size()));
        if (!splice)
            continue;
        fresh.emplace(ParsedProfile::spliced(parsed.bytes(), *splice));
        parsed.apply(*splice);
        if (parsed.bytes() != fresh->bytes())
            std::abort();
    }
    if (fresh && everything(parsed) != everything(*fresh))
        std::abort();
    return 0;
}
