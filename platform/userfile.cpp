#include "platform/userfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace UserFile
{
namespace
{
Status fromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Status::Missing;
    case ELOOP:
        return Status::LinkLoop;
    case EACCES:
    case EPERM:
        return Status::NoPermission;
    default:
        return Status::Failed;
    }
}

Status fromMode(mode_t mode)
{
    if (S_ISREG(mode))
        return Status::Regular;
    return S_ISDIR(mode) ? Status::Folder : Status::Special;
}

// Opens a regular file for reading. The kind is checked by name first, so a FIFO or a device is
// never opened at all; O_NONBLOCK and the check of the open file cover a name swapped in between.
Status openRegular(const QByteArray& native, int* fd, struct stat* info)
{
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return fromErrno(errno);
    if (!S_ISREG(st.st_mode))
        return fromMode(st.st_mode);
    *fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (*fd < 0)
        return fromErrno(errno);
    if (::fstat(*fd, info) != 0 || !S_ISREG(info->st_mode)) {
        const Status status = fromMode(info->st_mode);
        ::close(*fd);
        *fd = -1;
        return status == Status::Regular ? Status::Failed : status;
    }
    return Status::Regular;
}
} // namespace

Status probe(const QString& path)
{
    int fd = -1;
    struct stat info;
    const Status status = openRegular(QFile::encodeName(path), &fd, &info);
    if (fd >= 0)
        ::close(fd);
    return status;
}

Status read(const QString& path, QByteArray* bytes, struct stat* info)
{
    return readNative(QFile::encodeName(path), bytes, info);
}

Status readNative(const QByteArray& nativePath, QByteArray* bytes, struct stat* info)
{
    bytes->clear();
    int fd = -1;
    struct stat st;
    const Status status = openRegular(nativePath, &fd, &st);
    if (status != Status::Regular)
        return status;
    // One read for a file that keeps its size; a file that grows meanwhile is read to its end.
    QByteArray data(qMax<qsizetype>(qsizetype(st.st_size) + 1, 4096), Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == data.size())
            data.resize(data.size() * 2);
        const ssize_t got = ::read(fd, data.data() + used, size_t(data.size() - used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return Status::Failed;
        }
        if (got == 0)
            break;
        used += got;
    }
    ::close(fd);
    data.truncate(used);
    *bytes = std::move(data);
    if (info)
        *info = st;
    return Status::Regular;
}

QString describe(Status status)
{
    switch (status) {
    case Status::Regular:
        return QStringLiteral("a readable file");
    case Status::Missing:
        return QStringLiteral("no such file");
    case Status::Folder:
        return QStringLiteral("a folder, not a file");
    case Status::Special:
        return QStringLiteral("not a regular file (a FIFO, a device or a socket)");
    case Status::LinkLoop:
        return QStringLiteral("symbolic links in a loop");
    case Status::NoPermission:
        return QStringLiteral("no permission to read it");
    case Status::Failed:
        break;
    }
    return QStringLiteral("it cannot be read");
}

std::optional<QString> nameFromBytes(const QByteArray& raw)
{
    const QString name = QFile::decodeName(raw);
    if (QFile::encodeName(name) != raw)
        return std::nullopt;
    return name;
}
} // namespace UserFile
