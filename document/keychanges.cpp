#include "document/keychanges.h"

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

bool moveEnabledMarker(QString& text, const QString& header, const QString& key, bool enabled)
{
    const QString pattern = enabled ? QLatin1Char('@') + key + QLatin1Char('=') : key + QLatin1Char('=');
    enum class Where
    {
        Before,
        Inside,
        After
    } where = Where::Before;
    bool changed = false;
    QString result;
    result.reserve(text.size() + 64);

    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        QStringView line = QStringView(text).mid(start, end - start);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);

        if (where == Where::Before) {
            if (line.startsWith(header))
                where = Where::Inside;
        } else if (where == Where::Inside) {
            if (line.startsWith(QLatin1Char('['))) {
                where = Where::After;
            } else if (line.startsWith(pattern)) {
                changed = true;
                if (enabled)
                    line = line.mid(1);
                else
                    result += QLatin1Char('@');
            }
        }
        result += line;
        result += QLatin1Char('\n');
        start = next;
    }
    if (changed)
        text = result;
    return changed;
}

bool moveEnabledMarkerInBytes(QByteArray& bytes, const QString& header, const QString& key, bool enabled)
{
    const TextCodec::Encoding encoding = TextCodec::detect(bytes);
    QString text = TextCodec::decode(bytes, encoding);
    if (!moveEnabledMarker(text, header, key, enabled))
        return false;
    bytes = bytes.left(TextCodec::bomLength(encoding)) + TextCodec::encode(text, encoding);
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
    for (const KeyChange& change : changes) {
        if (change.kind == KeyChange::Value) {
            Profile::applyWrite(bytes, change.section, change.key, change.text);
            exists = true;
            continue;
        }
        if (!exists)
            continue;
        moveEnabledMarkerInBytes(bytes, QLatin1Char('[') + change.section + QLatin1Char(']'), change.key,
                                 change.enabled);
    }
    if (bytes == original && QFileInfo::exists(path))
        return true;
    return Profile::replaceFile(path, bytes);
}
