#pragma once

// Small file helpers shared by the test suites.

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

namespace TestUtil
{
inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Every entry of a folder, one level deep, with what tells a changed entry from an untouched one:
// kind, inode, mode and modification time, a link's target, a digest of a readable file's bytes. Equal snapshots
// mean that nothing was written, replaced, created or removed there.
inline QMap<QByteArray, QByteArray> snapshot(const QString& folder)
{
    QMap<QByteArray, QByteArray> entries;
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) {
            entries.insert(QFile::encodeName(name), "gone");
            continue;
        }
        QByteArray what = QByteArray::number(quint64(st.st_ino)) + ' ' + QByteArray::number(uint(st.st_mode), 8) + ' ' +
                          QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
                          QByteArray::number(qint64(st.st_mtim.tv_nsec));
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t length = ::readlink(path.constData(), target, sizeof target);
            what += " -> " + QByteArray(target, int(qMax<ssize_t>(length, 0)));
        } else if (S_ISREG(st.st_mode) && ::access(path.constData(), R_OK) == 0) {
            what +=
                ' ' + QCryptographicHash::hash(readBytes(QFile::decodeName(path)), QCryptographicHash::Sha256).toHex();
        }
        entries.insert(QFile::encodeName(name), what);
    }
    return entries;
}
} // namespace TestUtil
