#include "platform/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SaveFile
{
namespace
{
QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

int createTemporary(const QByteArray& directory, const QByteArray& baseName, mode_t mode, QByteArray* name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name =
            directory + "/." + baseName + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::open(name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}
} // namespace

QString resolveLinks(const QString& path)
{
    QString resolved = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // Forty hops, as the kernel allows; a loop ends in a path that cannot be written.
    for (int hop = 0; hop < 40; ++hop) {
        const QFileInfo info(resolved);
        if (!info.isSymLink())
            break;
        const QString target = info.symLinkTarget();
        if (target.isEmpty())
            break;
        resolved = QDir::cleanPath(target);
    }
    return resolved;
}

bool replace(const QString& path, const QByteArray& bytes, QString* error)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat old;
    const bool exists = ::stat(native.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return fail(error, QStringLiteral("not a regular file"));
    // The rename would go around a file its owner made read-only; such a file keeps its text, as
    // it does under the Windows functions.
    if (exists && ::access(native.constData(), W_OK) != 0)
        return fail(error, QStringLiteral("the file is read-only"));

    const QFileInfo info(path);
    const QByteArray directory = QFile::encodeName(info.absolutePath());
    QByteArray temporary;
    // A new file gets 0666 less the umask, as any other program would create it.
    const int fd =
        createTemporary(directory, QFile::encodeName(info.fileName()), exists ? S_IRUSR | S_IWUSR : 0666, &temporary);
    if (fd < 0)
        return fail(error, errnoText());

    QString reason;
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0)
        reason = errnoText();
    if (reason.isEmpty() && exists) {
        // Owner first, since changing it clears set-id bits. Only root may give a file away; for
        // anyone else this fails and the file simply stays theirs.
        [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            reason = errnoText();
    }
    if (::close(fd) != 0 && reason.isEmpty())
        reason = errnoText();
    if (reason.isEmpty() && ::rename(temporary.constData(), native.constData()) != 0)
        reason = errnoText();
    if (!reason.isEmpty()) {
        ::unlink(temporary.constData());
        return fail(error, reason);
    }
    // Make the rename itself durable; failing that is no reason to call the write failed.
    const int folder = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}
} // namespace SaveFile
