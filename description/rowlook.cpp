#include "description/rowlook.h"

#include "description/paramdescription.h"
#include "document/filevalues.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace RowLook
{
bool isReadOnly(const IniEntry& entry)
{
    return entry.desc && entry.desc->noedit != 0;
}

bool isModified(const IniEntry& entry, const EntryState& saved)
{
    // A key accepted into the files that lacked it counts as well.
    return isValueChanged(entry, saved) || entry.enabled != saved.enabled || entry.absent != saved.absent;
}

bool isValueChanged(const IniEntry& entry, const EntryState& saved)
{
    return entry.value != saved.value || entry.differs != saved.differs;
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

namespace
{
// A long list is named by its first elements: the tooltip stays readable.
constexpr int NamedListItems = 10;

QString rangeNote(const QString& min, const QString& max)
{
    return QCoreApplication::translate("RowLook", "Вне пределов: допустимо от %1 до %2").arg(min, max);
}
} // namespace

QString limitNote(const IniEntry& entry)
{
    const ParamDescription* desc = entry.desc;
    const QString value = entry.value.trimmed();
    if (!desc || value.isEmpty())
        return QString();
    bool number = false;
    switch (desc->type) {
    case TypeSpinInt: {
        const qlonglong n = value.toLongLong(&number);
        if (number && n >= desc->intMin && n <= desc->intMax)
            return QString();
        return rangeNote(QString::number(desc->intMin), QString::number(desc->intMax));
    }
    case TypeSpinDouble: {
        // The number editor takes either decimal separator, so the file may hold either.
        const double d = QString(value).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&number);
        if (number && d >= desc->dblMin && d <= desc->dblMax)
            return QString();
        return rangeNote(QString::number(desc->dblMin), QString::number(desc->dblMax));
    }
    case TypeList: {
        if (desc->items.isEmpty())
            return QString();
        // An edited value not saved yet may still carry its element's description ("2 [two]").
        const QString stored = value.section(QLatin1Char('['), 0, 0).trimmed();
        QStringList values;
        for (const ListItem* item : desc->items) {
            if (!item)
                continue;
            if (item->val == stored)
                return QString();
            if (values.size() < NamedListItems)
                values.append(item->val);
        }
        if (desc->items.size() > NamedListItems)
            values.append(QStringLiteral("…"));
        return QCoreApplication::translate("RowLook", "Нет в списке: допустимо %1")
            .arg(values.join(QStringLiteral(", ")));
    }
    default:
        return QString();
    }
}

QString cellText(const IniEntry& entry)
{
    if (FileValues::showsDisagreement(entry))
        return QStringLiteral("≠");
    return valueText(entry.desc, entry.value);
}

QString fileValuesNote(const IniEntry& entry)
{
    if (!FileValues::showsDisagreement(entry))
        return QString();
    QStringList lines;
    for (const FileValue& file : entry.files) {
        QString line = QFileInfo(file.file).fileName() + QStringLiteral(": ");
        if (!file.present)
            line += QCoreApplication::translate("RowLook", "нет ключа");
        else if (!file.enabled)
            line += valueText(entry.desc, file.value) + QCoreApplication::translate("RowLook", " (выключен)");
        else
            line += valueText(entry.desc, file.value);
        lines.append(line);
    }
    return lines.join(QLatin1Char('\n'));
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
    return isValueChanged(entry, saved) ? Tone::Changed : restingTone(entry);
}
} // namespace RowLook
