#include "simulators/samplefile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <sys/stat.h>

SampleFile SampleFile::load(const QString& path)
{
    SampleFile result;
    if (path.isEmpty())
        return result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.status = Missing;
        return result;
    }
    if (info.isDir()) {
        result.status = Folder;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = Unreadable;
        return result;
    }
    result.bytes = file.size();
    if (result.bytes > MaxBytes) {
        result.status = TooLarge;
        return result;
    }
    // Devices and pipes report no size; read at most one byte past the limit to tell.
    const QByteArray data = file.read(MaxBytes + 1);
    result.bytes = data.size();
    if (data.size() > MaxBytes) {
        result.status = TooLarge;
    } else if (data.isEmpty()) {
        result.status = Empty;
    } else if (data.size() % 2) {
        result.status = OddSize;
    } else {
        result.status = Loaded;
        result.samples.resize(data.size() / 2);
        for (qsizetype i = 0; i < result.samples.size(); ++i)
            result.samples[i] = qFromLittleEndian<qint16>(data.constData() + 2 * i);
    }
    return result;
}

QString SampleFile::note(const QString& path) const
{
    switch (status) {
    case Loaded:
        return QString();
    case NotSet:
        return QStringLiteral("Файл данных не задан (-r ФАЙЛ)");
    case Missing:
        return QStringLiteral("Файл %1 не найден").arg(path);
    case Folder:
        return QStringLiteral("%1 - папка, а не файл данных").arg(path);
    case Empty:
        return QStringLiteral("Файл %1 пуст").arg(path);
    case OddSize:
        return QStringLiteral("Файл %1: нечётное число байт (%2), а отсчёты 16-битные").arg(path).arg(bytes);
    case TooLarge:
        return QStringLiteral("Файл %1 слишком велик: больше %2 МБ").arg(path).arg(MaxBytes / (1024 * 1024));
    case Unreadable:
        return QStringLiteral("Файл %1 не читается").arg(path);
    }
    return QString();
}

QString SampleFile::code() const
{
    static const char* const codes[] = {"loaded", "not-set",  "missing",   "folder",
                                        "empty",  "odd-size", "too-large", "unreadable"};
    return QLatin1String(codes[status]);
}

FileSignature FileSignature::of(const QString& path)
{
    FileSignature signature;
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return signature;
    signature.exists = true;
    signature.size = st.st_size;
    signature.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    signature.inode = st.st_ino;
    return signature;
}
