// Any bytes as an INI file: every read and write of the profile engine must survive them.

#include "platform/profile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("fuzz.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();

    const QStringList sections = Profile::sectionNames(path);
    const QString section = sections.value(0);
    const QStringList keys = Profile::keyNames(path, section);
    for (const QString& key : keys)
        Profile::readString(path, section, key);
    Profile::writeString(path, section, keys.value(0, QStringLiteral("Key")), QStringLiteral("value"));
    Profile::writeString(path, sections.value(1, QStringLiteral("New")), QStringLiteral("Key"), QStringLiteral("ж"));
    Profile::deleteKey(path, QString(), keys.value(1));
    Profile::deleteSection(path, sections.value(2));
    Profile::readString(path, section, QStringLiteral("Key"));
    return 0;
}
