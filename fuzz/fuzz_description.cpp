// Any bytes as a ".vlmr" description: the reader, the "inifile" rule, the document's reading of
// an INI file beside it and the check of both must survive them.

#include "description/descriptioncheck.h"
#include "description/descriptionmatch.h"
#include "description/descriptionmodel.h"
#include "document/inidocument.h"

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

    // The same bytes read as an INI file, with the description matched against its entries.
    IniDocument document;
    document.m_fileList = {path};
    document.m_bSingleFile = true;
    document.readFiles();
    matchDescriptions(document.m_entries, model.m_params);
    DescriptionCheck::check(path, {path});
    return 0;
}
