#include "platform/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace SaveFile
{
namespace
{
QString errnoText(int error = errno)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// A descriptor closed when it goes out of scope.
class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

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

// Temporary names are ours alone and of one fixed length, whatever the length of the file saved:
// ".volmar-" + ten of [0-9a-z] + ".tmp". A file of that pattern is only ever named for an instant
// (or, where the file system has no unnamed files, while it is written), and its writer holds an
// exclusive flock on it all that time.
constexpr char TempPrefix[] = ".volmar-";
constexpr char TempSuffix[] = ".tmp";
constexpr int TempRandomLength = 10;
constexpr size_t TempNameLength = sizeof(TempPrefix) - 1 + TempRandomLength + sizeof(TempSuffix) - 1;

QByteArray randomTempName()
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    QByteArray name(TempPrefix);
    for (int i = 0; i < TempRandomLength; ++i)
        name += digits[QRandomGenerator::global()->bounded(36)];
    return name + TempSuffix;
}

bool isTempName(const char* name)
{
    if (std::strlen(name) != TempNameLength || std::strncmp(name, TempPrefix, sizeof(TempPrefix) - 1) != 0 ||
        std::strcmp(name + TempNameLength - (sizeof(TempSuffix) - 1), TempSuffix) != 0)
        return false;
    for (int i = 0; i < TempRandomLength; ++i) {
        const char c = name[sizeof(TempPrefix) - 1 + i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the temporaries a killed save left in a folder. A temporary whose flock can be taken has
// no live writer; it is removed only when its name still names the very file that was locked, and
// only when it belongs to the user running this.
void sweepStale(int folder)
{
    const int listFd = ::dup(folder);
    if (listFd < 0)
        return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTempName(entry->d_name))
            continue;
        const Fd fd(::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat open;
        if (!fd.isValid() || ::fstat(fd.get(), &open) != 0 || !S_ISREG(open.st_mode) || open.st_uid != ::geteuid())
            continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        struct stat named;
        if (::fstatat(folder, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(named, open))
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(dir);
}

// A named temporary, for file systems without unnamed ones. It is locked before it is used; a
// sweeper that removed it in the instant before the lock shows as a name that no longer names it.
int createNamed(int folder, mode_t mode, QByteArray* name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = randomTempName();
        Fd fd(::openat(folder, name->constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
        if (!fd.isValid()) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        struct stat open;
        struct stat named;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ::fstat(fd.get(), &open) == 0 &&
            ::fstatat(folder, name->constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(open, named))
            return fd.release();
    }
    errno = EEXIST;
    return -1;
}

// Gives the unnamed file a temporary name and renames it over the target. The two steps run in a
// child that shares this process's memory and waits for nothing, so that a kill of the saving
// process between them cannot leave the temporary name behind: the child finishes the rename.
struct Publish
{
    const char* procPath = nullptr; // the unnamed file as /proc/self/fd/N
    int file = -1;
    int folder = -1;
    const char* tempName = nullptr;
    const char* targetName = nullptr;
    int error = 0;
    bool finished = false; // the child got to its end
};

#if defined(__clang__) || defined(__GNUC__)
#define VOLMAR_NO_SANITIZE __attribute__((no_sanitize("address", "undefined")))
#else
#define VOLMAR_NO_SANITIZE
#endif

// Also the child's whole work, on a stack of its own: system calls and plain memory only, and no
// sanitizer bookkeeping, which knows nothing of that stack.
VOLMAR_NO_SANITIZE bool linkAndRename(Publish* p)
{
    if (::linkat(AT_FDCWD, p->procPath, p->folder, p->tempName, AT_SYMLINK_FOLLOW) != 0) {
        // Without /proc, linking by descriptor is the other way (it needs a privilege).
        if (errno != ENOENT || ::linkat(p->file, "", p->folder, p->tempName, AT_EMPTY_PATH) != 0) {
            p->error = errno;
            return false;
        }
    }
    if (::renameat(p->folder, p->tempName, p->folder, p->targetName) != 0) {
        p->error = errno;
        ::unlinkat(p->folder, p->tempName, 0);
        return false;
    }
    return true;
}

VOLMAR_NO_SANITIZE int publishChild(void* arg)
{
    auto* p = static_cast<Publish*>(arg);
    const bool done = linkAndRename(p);
    p->finished = true;
    _exit(done ? 0 : 1);
}

bool publish(Publish* p)
{
    constexpr size_t StackSize = 64 * 1024;
    std::vector<char> stack(StackSize);
    // The parent is suspended until the child exits (CLONE_VFORK). Its exit status tells the outcome;
    // should another handler have reaped it, what it left in *p does.
    p->error = 0;
    p->finished = false;
    const pid_t child = ::clone(publishChild, stack.data() + StackSize, CLONE_VM | CLONE_VFORK | SIGCHLD, p);
    if (child < 0)
        return linkAndRename(p);
    int status = 0;
    pid_t reaped;
    while ((reaped = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    if (reaped == child)
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return p->finished && p->error == 0;
}

// Owner first, since changing it clears set-id bits. Only root may give a file away; for anyone
// else this fails and the file simply stays theirs.
bool writeContent(int fd, const QByteArray& bytes, const struct stat* old, QString* reason)
{
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        *reason = errnoText();
        return false;
    }
    if (old) {
        [[maybe_unused]] const int owned = ::fchown(fd, old->st_uid, old->st_gid);
        if (::fchmod(fd, old->st_mode & 07777) != 0) {
            *reason = errnoText();
            return false;
        }
    }
    return true;
}

// The unnamed way: nothing carries a name until the finished file is renamed into place.
// Returns false with an empty reason when the file system offers no unnamed files.
bool replaceUnnamed(int folder, const QByteArray& targetName, const QByteArray& bytes, const struct stat* old,
                    mode_t mode, QString* reason)
{
    Fd fd(::openat(folder, ".", O_RDWR | O_TMPFILE | O_CLOEXEC, mode));
    if (!fd.isValid())
        return false;
    if (::flock(fd.get(), LOCK_EX) != 0 || !writeContent(fd.get(), bytes, old, reason))
        return false;
    const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(fd.get());
    QByteArray tempName = randomTempName();
    Publish p;
    p.procPath = procPath.constData();
    p.file = fd.get();
    p.folder = folder;
    p.tempName = tempName.constData();
    p.targetName = targetName.constData();
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (publish(&p))
            return true;
        if (p.error != EEXIST)
            break;
        tempName = randomTempName();
        p.tempName = tempName.constData();
    }
    // Without /proc (and without the right to link by descriptor) the file cannot be named: the
    // caller writes it again the named way.
    if (p.error != ENOENT && p.error != EPERM && p.error != EACCES)
        *reason = errnoText(p.error);
    return false;
}

bool replaceNamed(int folder, const QByteArray& targetName, const QByteArray& bytes, const struct stat* old,
                  mode_t mode, QString* reason)
{
    QByteArray tempName;
    Fd fd(createNamed(folder, mode, &tempName));
    if (!fd.isValid()) {
        *reason = errnoText();
        return false;
    }
    if (!writeContent(fd.get(), bytes, old, reason) ||
        ::renameat(folder, tempName.constData(), folder, targetName.constData()) != 0) {
        if (reason->isEmpty())
            *reason = errnoText();
        ::unlinkat(folder, tempName.constData(), 0);
        return false;
    }
    return true;
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
    bool exists = true;
    if (::stat(native.constData(), &old) != 0) {
        // Only a file that is truly not there is created; a link loop or a folder that may not be
        // searched is not replaced by a new file.
        if (errno != ENOENT)
            return fail(error, errnoText());
        exists = false;
    }
    if (exists && !S_ISREG(old.st_mode))
        return fail(error, QStringLiteral("not a regular file"));
    // The rename would go around a file its owner made read-only; such a file keeps its text, as
    // it does under the Windows functions.
    if (exists && ::access(native.constData(), W_OK) != 0)
        return fail(error, QStringLiteral("the file is read-only"));

    const QFileInfo info(path);
    const QByteArray directory = QFile::encodeName(info.absolutePath());
    const QByteArray targetName = QFile::encodeName(info.fileName());
    const Fd folder(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isValid())
        return fail(error, errnoText());
    sweepStale(folder.get());

    // A new file gets 0666 less the umask, as any other program would create it.
    const mode_t mode = exists ? S_IRUSR | S_IWUSR : 0666;
    const struct stat* keep = exists ? &old : nullptr;
    QString reason;
    if (!replaceUnnamed(folder.get(), targetName, bytes, keep, mode, &reason)) {
        if (!reason.isEmpty() || !replaceNamed(folder.get(), targetName, bytes, keep, mode, &reason))
            return fail(error, reason);
    }
    // Make the rename itself durable; failing that is no reason to call the write failed.
    ::fsync(folder.get());
    return true;
}
} // namespace SaveFile
