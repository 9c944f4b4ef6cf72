#include "description/descriptionmatch.h"

#include "description/paramdescription.h"
#include "document/inientry.h"

#include <QHash>

void matchDescriptions(const QList<IniEntry*>& entries, const QList<ParamDescription*>& params)
{
    // (section as written, lower-case key) -> position of its first description. A scan per entry
    // would be quadratic; the earlier of the two candidates (own section, no section) is exactly
    // the description a scan in list order meets first. Sections are kept apart from keys rather
    // than joined into one string, since an INI section may hold dots itself.
    using SectionKey = QPair<QString, QString>;
    QHash<SectionKey, qsizetype> first;
    first.reserve(params.size());
    for (qsizetype i = 0; i < params.size(); ++i) {
        const ParamDescription* desc = params.at(i);
        const SectionKey key(desc->section, desc->key.toLower());
        if (!first.contains(key))
            first.insert(key, i);
    }

    for (IniEntry* entry : entries) {
        entry->desc = nullptr;
        SectionKey lookup(entry->section, entry->key.toLower());
        const qsizetype own = first.value(lookup, -1);
        lookup.first = QString();
        const qsizetype any = first.value(lookup, -1);
        const qsizetype found = (own < 0 || (any >= 0 && any < own)) ? any : own;
        if (found < 0)
            continue;
        ParamDescription* desc = params.at(found);
        entry->desc = desc;
        if (desc->noedit != 0)
            entry->enabled = false;
    }
}
