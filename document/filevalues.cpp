#include "document/filevalues.h"

#include "document/inidocument.h"

#include <algorithm>

namespace FileValues
{
bool valuesDiffer(const IniEntry& entry)
{
    const QString* first = nullptr;
    for (const FileValue& file : entry.files) {
        if (!file.present)
            continue;
        if (!first)
            first = &file.value;
        else if (file.value != *first)
            return true;
    }
    return false;
}

bool showsDisagreement(const IniEntry& entry)
{
    // A value typed over the disagreement is shown as typed until it is saved.
    return !entry.files.isEmpty() && entry.value.isEmpty() && (entry.differs || entry.absent);
}

QList<FileValue> disagreement(const IniEntry& entry)
{
    return showsDisagreement(entry) ? entry.files : QList<FileValue>();
}

bool eachFileHolds(const IniEntry& entry, bool enabled)
{
    return !entry.files.isEmpty() && std::all_of(entry.files.cbegin(), entry.files.cend(), [&](const FileValue& file) {
        return file.present && file.enabled == enabled;
    });
}

void forget(IniEntry& entry)
{
    entry.files.clear();
    entry.differs = false;
}

void addedWhereMissing(IniEntry& entry)
{
    for (FileValue& file : entry.files) {
        if (file.present)
            continue;
        file.present = true;
        file.value = entry.value;
        file.enabled = entry.enabled;
    }
    entry.differs = valuesDiffer(entry);
    if (!entry.differs)
        entry.files.clear();
}
} // namespace FileValues

// Only entries the files disagree on come here, so the look-ups cost a set of agreeing files nothing.
void IniDocument::keepFileValues(IniEntry* entry, const QString& section, const QString& name) const
{
    const bool listedOff = name.contains(QLatin1Char('@'));
    const QString otherName = listedOff ? entry->key : QLatin1Char('@') + entry->key;
    entry->files.reserve(m_parses.size());
    QString scratch; // a value decoded apart from the file's text
    for (qsizetype f = 0; f < m_parses.size(); ++f) {
        FileValue file;
        file.file = m_fileList.value(f);
        QString value = valueIn(m_parses.at(f).valueView(section, name, &scratch));
        file.enabled = !listedOff;
        // The same key switched the other way is still the file's value of it.
        if (value == NotFound) {
            value = valueIn(m_parses.at(f).valueView(section, otherName, &scratch));
            file.enabled = listedOff;
        }
        file.present = value != NotFound;
        if (file.present)
            file.value = value;
        else
            file.enabled = false;
        entry->files.append(file);
    }
    // Files that lack the key may still disagree among those that hold it.
    entry->differs = FileValues::valuesDiffer(*entry);
    // A file lacking the key makes it missing from the set even where an earlier file already
    // disagreed, so that an edit asks before adding it there.
    if (std::any_of(entry->files.cbegin(), entry->files.cend(), [](const FileValue& file) { return !file.present; })) {
        entry->absent = true;
        entry->enabled = false;
    }
}
