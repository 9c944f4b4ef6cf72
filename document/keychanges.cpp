#include "document/keychanges.h"

#include "platform/parsedprofile.h"
#include "platform/profile.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QFileInfo>

QString keyLineText(const IniEntry& entry)
{
    if (entry.comment.isEmpty())
        return entry.value;
    const QString firstLine = entry.comment.section(QLatin1Char('\n'), 0, 0);
    return QLatin1Char(' ') + entry.value + QStringLiteral("\t\t// ") + firstLine;
}

KeyChange valueChange(const IniEntry& entry)
{
    KeyChange change;
    change.kind = KeyChange::Value;
    change.section = entry.section;
    change.key = entry.key;
    change.text = keyLineText(entry);
    return change;
}

KeyChange enabledChange(const IniEntry& entry, bool enabled)
{
    KeyChange change;
    change.kind = KeyChange::Enabled;
    change.section = entry.section;
    change.key = entry.key;
    change.enabled = enabled;
    return change;
}

KeyChange addChange(const IniEntry& entry)
{
    KeyChange change = valueChange(entry);
    change.kind = KeyChange::Add;
    return change;
}

bool moveEnabledMarker(QByteArray& bytes, const QString& section, const QString& key, bool enabled)
{
    const ParsedProfile parsed(bytes);
    const QList<qsizetype> offsets = parsed.keyNameOffsets(section, enabled ? QLatin1Char('@') + key : key);
    if (offsets.isEmpty())
        return false;
    const QByteArray marker = TextCodec::encode(QStringLiteral("@"), parsed.encoding());
    // From the last line up, so that the offsets of the earlier ones stay valid.
    for (auto at = offsets.crbegin(); at != offsets.crend(); ++at) {
        if (enabled)
            bytes.remove(*at, marker.size());
        else
            bytes.insert(*at, marker);
    }
    return true;
}

bool applyKeyChanges(const QString& fileName, const QList<KeyChange>& changes)
{
    if (changes.isEmpty())
        return true;
    const QString path = QFileInfo(fileName).absoluteFilePath();
    QByteArray bytes;
    bool exists = false;
    {
        QFile file(path);
        exists = file.exists();
        if (exists && file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    const QByteArray original = bytes;
    ParsedProfile::Batch batch(bytes);
    for (const KeyChange& change : changes) {
        switch (change.kind) {
        case KeyChange::Add:
            if (batch.hasValue(change.section, change.key) ||
                batch.hasValue(change.section, QLatin1Char('@') + change.key))
                break;
            batch.putValue(change.section, change.key, change.text);
            exists = true;
            break;
        case KeyChange::Value:
            batch.putValue(change.section, change.key, change.text);
            exists = true;
            break;
        case KeyChange::Enabled:
            if (exists) {
                QByteArray moved = batch.parsed().bytes();
                if (moveEnabledMarker(moved, change.section, change.key, change.enabled))
                    batch = ParsedProfile::Batch(moved);
            }
            break;
        }
    }
    bytes = batch.bytes();
    if (bytes == original && QFileInfo::exists(path))
        return true;
    return Profile::replaceFile(path, bytes);
}
