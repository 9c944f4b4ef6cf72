#include "platform/profile.h"

#include "platform/parsedprofile.h"
#include "platform/profilewrite.h"
#include "platform/savefile.h"
#include "platform/userfile.h"

#include <QFile>
#include <QHash>
#include <QMutex>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace Profile
{
namespace
{
struct FileId
{
    quint64 device = 0;
    quint64 inode = 0;
    friend bool operator==(const FileId& a, const FileId& b) { return a.device == b.device && a.inode == b.inode; }
};

size_t qHash(const FileId& id, size_t seed = 0)
{
    return qHashMulti(seed, id.device, id.inode);
}

// What tells one version of a file from another without reading it. The change time is in it
// because nobody can set it back: an outside write that keeps the size and restores the
// modification time still shows.
struct Stamp
{
    FileId id;
    qint64 size = 0;
    qint64 modified = 0;
    qint64 changed = 0;
    friend bool operator==(const Stamp& a, const Stamp& b)
    {
        return a.id == b.id && a.size == b.size && a.modified == b.modified && a.changed == b.changed;
    }
};

qint64 nanoseconds(const timespec& time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

Stamp stampOf(const struct stat& st)
{
    return Stamp{FileId{quint64(st.st_dev), quint64(st.st_ino)}, qint64(st.st_size), nanoseconds(st.st_mtim),
                 nanoseconds(st.st_ctim)};
}

// A file changed within one tick of the file system's clock may change again without its stamp
// showing it; until that tick is over, its bytes are compared on every use.
bool isRacy(const Stamp& stamp)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const bool wholeSeconds = stamp.changed % 1000000000 == 0;
    const qint64 window = wholeSeconds ? qint64(2000000000) : qint64(50000000);
    return nanoseconds(now) - stamp.changed < window;
}

enum class FileState
{
    Missing,
    Unusable, // a folder, a device, or a file that cannot be read
    Present
};

// Through the user-file reader: a FIFO, a device or a folder named like an INI file is refused
// before it is opened, so the caller never waits on it.
FileState readFile(const QByteArray& native, QByteArray* bytes, Stamp* stamp)
{
    struct stat st;
    switch (UserFile::readNative(native, bytes, &st)) {
    case UserFile::Status::Regular:
        *stamp = stampOf(st);
        return FileState::Present;
    case UserFile::Status::Missing:
        return FileState::Missing;
    default:
        return FileState::Unusable;
    }
}

// Parsed files by identity (device and inode, so every path and link to one file shares one
// parse), checked against the file's stamp on every use.
class Cache
{
public:
    struct Found
    {
        FileState state = FileState::Missing;
        ParsedProfile* parsed = nullptr; // valid until the cache changes
        FileId id;
    };

    Found current(const QString& path)
    {
        if (path.isEmpty())
            return {};
        const QByteArray native = QFile::encodeName(path);
        struct stat st;
        if (::stat(native.constData(), &st) != 0)
            return {errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Unusable, nullptr, {}};
        if (!S_ISREG(st.st_mode))
            return {FileState::Unusable, nullptr, {}};

        const Stamp stamp = stampOf(st);
        auto it = m_files.find(stamp.id);
        if (it != m_files.end() && it->stamp == stamp) {
            if (it->racy && !stillTheSame(native, *it))
                return load(native);
            it->lastUse = ++m_clock;
            return {FileState::Present, &it->parsed, stamp.id};
        }
        return load(native);
    }

    ParsedProfile* store(const Stamp& stamp, ParsedProfile parsed)
    {
        if (!m_files.contains(stamp.id) && m_files.size() >= MaxFiles) {
            auto oldest = m_files.begin();
            for (auto it = m_files.begin(); it != m_files.end(); ++it)
                if (it->lastUse < oldest->lastUse)
                    oldest = it;
            m_files.erase(oldest);
        }
        Cached& cached = m_files[stamp.id];
        cached.stamp = stamp;
        cached.parsed = std::move(parsed);
        cached.racy = isRacy(stamp);
        cached.lastUse = ++m_clock;
        return &cached.parsed;
    }

    void forget(const FileId& id) { m_files.remove(id); }
    void clear()
    {
        m_files.clear();
        scratch = ParsedProfile();
    }

    // The parse behind the last applyWrite, so that a run of writes into one buffer parses it once.
    ParsedProfile scratch;

    QMutex mutex;

private:
    static constexpr qsizetype MaxFiles = 16;

    struct Cached
    {
        Stamp stamp;
        ParsedProfile parsed;
        bool racy = false;
        quint64 lastUse = 0;
    };

    Found load(const QByteArray& native)
    {
        QByteArray bytes;
        Stamp stamp;
        const FileState state = readFile(native, &bytes, &stamp);
        if (state != FileState::Present)
            return {state, nullptr, {}};
        return {state, store(stamp, ParsedProfile(std::move(bytes))), stamp.id};
    }

    bool stillTheSame(const QByteArray& native, Cached& cached)
    {
        QByteArray bytes;
        Stamp stamp;
        if (readFile(native, &bytes, &stamp) != FileState::Present || !(stamp == cached.stamp) ||
            bytes != cached.parsed.bytes())
            return false;
        cached.racy = isRacy(stamp);
        return true;
    }

    QHash<FileId, Cached> m_files;
    quint64 m_clock = 0;
};

Cache& cache()
{
    static Cache instance;
    return instance;
}

bool isSameBuffer(const QByteArray& a, const QByteArray& b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a.isEmpty());
}

using Edit = std::function<std::optional<ParsedProfile::Splice>(const ParsedProfile&)>;

WriteResult write(const QString& path, WriteResult noSplice, const Edit& edit, QString* error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no file name");
        return WriteResult::Failed;
    }
    Cache& c = cache();
    QMutexLocker locker(&c.mutex);
    // A symbolic link stays a link: the file it names is the one rewritten.
    const QString target = SaveFile::resolveLinks(path);
    const Cache::Found found = c.current(target);
    if (found.state == FileState::Unusable) {
        if (error)
            *error = QStringLiteral("not a readable regular file");
        return WriteResult::Failed;
    }
    static const ParsedProfile empty;
    const ParsedProfile& base = found.parsed ? *found.parsed : empty;
    const std::optional<ParsedProfile::Splice> splice = edit(base);
    if (!splice)
        return noSplice;
    if (!SaveFile::replace(target, ParsedProfile::spliced(base.bytes(), *splice), error))
        return WriteResult::Failed;

    ParsedProfile updated = found.parsed ? std::move(*found.parsed) : ParsedProfile();
    if (found.parsed)
        c.forget(found.id);
    struct stat st;
    if (::stat(QFile::encodeName(target).constData(), &st) == 0) {
        updated.apply(*splice);
        c.store(stampOf(st), std::move(updated));
    }
    return WriteResult::Written;
}

template <typename Result, typename Read>
Result read(const QString& path, Read readParsed)
{
    Cache& c = cache();
    QMutexLocker locker(&c.mutex);
    const Cache::Found found = c.current(path);
    if (!found.parsed)
        return Result();
    return readParsed(*found.parsed);
}
} // namespace

QStringList sectionNames(const QString& path)
{
    return read<QStringList>(path, [](const ParsedProfile& p) { return p.sectionNames(); });
}

QStringList keyNames(const QString& path, const QString& section)
{
    return read<QStringList>(path, [&](const ParsedProfile& p) { return p.keyNames(section); });
}

std::optional<QString> readString(const QString& path, const QString& section, const QString& key)
{
    return read<std::optional<QString>>(path, [&](const ParsedProfile& p) { return p.value(section, key); });
}

int keyLine(const QString& path, const QString& section, const QString& key)
{
    return read<int>(path, [&](const ParsedProfile& p) { return p.keyLine(section, key); });
}

QList<ParsedProfile::OutlineLine> outline(const QString& path)
{
    return read<QList<ParsedProfile::OutlineLine>>(path, [](const ParsedProfile& p) { return p.outline(); });
}

WriteResult putString(const QString& path, const QString& section, const QString& key, const QString& value,
                      QString* error)
{
    return write(
        path, WriteResult::Unchanged, [&](const ParsedProfile& p) { return p.putValue(section, key, value); }, error);
}

WriteResult removeKey(const QString& path, const QString& section, const QString& key, QString* error)
{
    return write(
        path, WriteResult::NotFound, [&](const ParsedProfile& p) { return p.removeKey(section, key); }, error);
}

WriteResult removeSection(const QString& path, const QString& section, QString* error)
{
    return write(
        path, WriteResult::NotFound, [&](const ParsedProfile& p) { return p.removeSection(section); }, error);
}

bool writeString(const QString& path, const QString& section, const QString& key, const QString& value)
{
    return putString(path, section, key, value) != WriteResult::Failed;
}

bool deleteKey(const QString& path, const QString& section, const QString& key)
{
    return removeKey(path, section, key) == WriteResult::Written;
}

bool deleteSection(const QString& path, const QString& section)
{
    return removeSection(path, section) == WriteResult::Written;
}

bool applyWrite(QByteArray& bytes, const QString& section, const QString& key, const QString& value)
{
    Cache& c = cache();
    QMutexLocker locker(&c.mutex);
    // The buffer is implicitly shared with the scratch parse as long as the caller leaves it alone;
    // any change of it detaches it and shows here as a different data pointer.
    if (!isSameBuffer(bytes, c.scratch.bytes()))
        c.scratch = ParsedProfile(bytes);
    const std::optional<ParsedProfile::Splice> splice = c.scratch.putValue(section, key, value);
    if (!splice)
        return false;
    c.scratch.apply(*splice);
    bytes = c.scratch.bytes();
    return true;
}

bool replaceFile(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return false;
    Cache& c = cache();
    QMutexLocker locker(&c.mutex);
    const QString target = SaveFile::resolveLinks(path);
    const QByteArray native = QFile::encodeName(target);
    struct stat st;
    const bool existed = ::stat(native.constData(), &st) == 0;
    const FileId old{quint64(st.st_dev), quint64(st.st_ino)};
    if (!SaveFile::replace(target, bytes))
        return false;
    if (existed)
        c.forget(old);
    // Bytes built by applyWrite come with their parse: the next read need not parse them again.
    if (isSameBuffer(bytes, c.scratch.bytes()) && ::stat(native.constData(), &st) == 0) {
        c.store(stampOf(st), std::move(c.scratch));
        c.scratch = ParsedProfile();
    }
    return true;
}

void clearCache()
{
    Cache& c = cache();
    QMutexLocker locker(&c.mutex);
    c.clear();
}
} // namespace Profile
