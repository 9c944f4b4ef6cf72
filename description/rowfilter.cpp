#include "description/rowfilter.h"

#include "description/paramdescription.h"
#include "document/inientry.h"

namespace RowFilter
{
bool textMatches(const IniEntry& entry, const QString& text)
{
    if (text.isEmpty())
        return true;
    const auto has = [&text](const QString& where) { return where.contains(text, Qt::CaseInsensitive); };
    if (has(entry.key) || has(entry.comment))
        return true;
    const ParamDescription* desc = entry.desc;
    if (desc && (has(desc->title) || has(desc->comment)))
        return true;
    // The shown text of a list value holds the stored value as well as its element's description.
    return has(RowLook::valueText(desc, entry.value)) || fileValueMatches(entry, text);
}

bool fileValueMatches(const IniEntry& entry, const QString& text)
{
    for (const FileValue& file : entry.files)
        if (file.present && RowLook::valueText(entry.desc, file.value).contains(text, Qt::CaseInsensitive))
            return true;
    return false;
}

bool inView(const IniEntry& entry, const EntryState& saved, View view)
{
    switch (view) {
    case View::Changed:
        return RowLook::isModified(entry, saved);
    case View::Differing:
        return entry.differs || entry.absent;
    case View::OutOfLimits:
        return !RowLook::limitNote(entry).isEmpty();
    default:
        return true;
    }
}

bool matches(const IniEntry& entry, const EntryState& saved, const Query& query)
{
    return inView(entry, saved, query.view) && textMatches(entry, query.text);
}
} // namespace RowFilter
