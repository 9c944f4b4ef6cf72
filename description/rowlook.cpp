#include "description/rowlook.h"

#include "description/paramdescription.h"
#include "document/inientry.h"

namespace RowLook
{
bool isReadOnly(const IniEntry& entry)
{
    return entry.desc && entry.desc->noedit != 0;
}

bool isModified(const IniEntry& entry, const EntryState& saved)
{
    // A key accepted into the files that lacked it counts as well.
    return entry.value != saved.value || entry.enabled != saved.enabled || entry.absent != saved.absent;
}

bool isEditable(const IniEntry& entry)
{
    return entry.enabled && !isReadOnly(entry);
}

bool isSwitchable(const IniEntry& entry, bool checkMode)
{
    return checkMode && !isReadOnly(entry);
}

bool isHidden(const IniEntry& entry, bool keyNames)
{
    return !keyNames && entry.desc && entry.desc->invisible != 0;
}

QString title(const IniEntry& entry, bool keyNames)
{
    if (keyNames || !entry.desc || entry.desc->title.isEmpty())
        return entry.key;
    return entry.desc->title;
}

QString valueText(const ParamDescription* desc, const QString& value)
{
    if (!desc || desc->type != TypeList)
        return value;
    for (const ListItem* item : desc->items) {
        if (item && item->val == value)
            return listItemText(*item);
    }
    return value;
}

QString listItemText(const ListItem& item)
{
    if (item.descr.isEmpty())
        return item.val;
    return item.val + QLatin1String(" [") + item.descr + QLatin1Char(']');
}

Tone restingTone(const IniEntry& entry)
{
    return entry.enabled || isReadOnly(entry) ? Tone::Normal : Tone::Dimmed;
}

Tone valueTone(const IniEntry& entry, const EntryState& saved)
{
    return entry.value != saved.value ? Tone::Changed : restingTone(entry);
}
} // namespace RowLook
