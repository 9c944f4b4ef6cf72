// Any bytes as a ".vlmr" description file: the reader, the "inifile" rule and the check of the file
// as a description and as an INI file must survive them. The check reads files and writes none.

#include "description/descriptioncheck.h"
#include "description/descriptionmodel.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("fuzz.vlmr"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();

    QString lastDir;
    DescriptionModel model;
    model.readDescription(path, &lastDir);
    DescriptionModel::iniFileNamedBy(path);
    DescriptionCheck::check(path, {path});
    return 0;
}
