#include "simulators/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace
{
QString partName(const QString& path, qint64 pid)
{
    return path + QLatin1Char('.') + QString::number(pid) + QLatin1String(".part");
}
} // namespace

namespace AtomicFile
{
bool write(const QString& path, const QByteArray& data, QString* error)
{
    const QString part = partName(path, QCoreApplication::applicationPid());
    QFile file(part);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size() || !file.flush()) {
        if (error)
            *error = file.errorString();
        file.close();
        QFile::remove(part);
        return false;
    }
    file.close();
    // rename(2) replaces the target in one step; QFile::rename refuses an existing target.
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(part);
        return false;
    }
    return true;
}

void removeStaleParts(const QString& path)
{
    const QFileInfo target(path);
    const QDir dir = target.absoluteDir();
    const QString prefix = target.fileName() + QLatin1Char('.');
    const QStringList parts = dir.entryList({prefix + QLatin1String("*.part")}, QDir::Files | QDir::Hidden);
    for (const QString& name : parts) {
        bool ok = false;
        const qint64 pid = name.mid(prefix.size(), name.size() - prefix.size() - 5).toLongLong(&ok);
        if (ok && pid > 0 && !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
            QFile::remove(dir.filePath(name));
    }
}
} // namespace AtomicFile
