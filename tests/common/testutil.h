#pragma once

// Small file helpers shared by the test suites.

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QString>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TestUtil
{
// Empties the editor's settings store (each suite has its own) and turns off what the editor starts
// by itself after opening, so that a test starts only the programs it needs; `alsoOff` names more
// options to turn off.
inline void resetStoreWithoutAutoStarts(std::initializer_list<const char*> alsoOff = {})
{
    QSettings store(QStringLiteral("Korvane"), QStringLiteral("Volmar"));
    store.clear();
    for (const char* option : {"Auto Load Orvex", "Auto Run Program", "Auto Load PLD"})
        store.setValue(QLatin1String(option), 0);
    for (const char* option : alsoOff)
        store.setValue(QLatin1String(option), 0);
    store.sync();
}

struct Run
{
    int exitCode = -1; // -1 also when the program did not end by itself within two minutes
    QByteArray out;
    QByteArray err;
};

inline Run run(const QString& program, const QStringList& arguments, const QString& folder = QString(),
               const QProcessEnvironment& env = QProcessEnvironment())
{
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, {}, process.readAllStandardError() + process.errorString().toUtf8()};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// The command-line tool of this build, run in `folder` (the current one when empty).
inline Run volmarIni(const QStringList& arguments, const QString& folder = QString())
{
    return run(QStringLiteral(VOLMAR_BIN_DIR "/volmar-ini"), arguments, folder);
}

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A text as the user reads it: an access-key marker "&" is not shown, "&&" shows one "&".
inline QString shownText(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i) == QLatin1Char('&'))
            text.remove(i, 1); // the character after it stays, even a second "&"
    return text;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Puts something other than a plain readable file under `path`: "folder", "fifo", "link loop" (with
// a partner link "<path>.partner" beside it), "binary" (a few text and binary bytes), "write-only" or
// "unreadable" (a small INI file of mode 0200 or 0000). False when that could not be made.
inline bool makeUnusualFile(const QString& path, const QString& kind)
{
    const QByteArray native = QFile::encodeName(path);
    if (kind == "folder")
        return QDir().mkdir(path);
    if (kind == "fifo")
        return ::mkfifo(native.constData(), 0644) == 0;
    if (kind == "link loop") {
        const QString partner = path + ".partner";
        return QFile::link(QFileInfo(partner).fileName(), path) && QFile::link(QFileInfo(path).fileName(), partner);
    }
    if (kind == "binary")
        return writeBytes(path, QByteArray("Freq=1\r\n\0\x01\xff\xfe", 12));
    if (kind == "write-only" || kind == "unreadable")
        return writeBytes(path, "Freq=1\r\n") && ::chmod(native.constData(), kind == "write-only" ? 0200 : 0000) == 0;
    return false;
}

// Whether file permissions keep this process out (not for root).
inline bool permissionsApply()
{
    return ::geteuid() != 0;
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
// Counts how often each file of a folder was written or replaced by a rename, from the kernel's own
// record, so a test can tell one rewrite from two without timing anything.
class RewriteCounter
{
public:
    explicit RewriteCounter(const QString& dir) : m_fd(inotify_init1(IN_NONBLOCK))
    {
        inotify_add_watch(m_fd, QFile::encodeName(dir).constData(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~RewriteCounter() { ::close(m_fd); }
    RewriteCounter(const RewriteCounter&) = delete;
    RewriteCounter& operator=(const RewriteCounter&) = delete;

    int count(const QString& name)
    {
        alignas(inotify_event) char buffer[65536];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (event->len > 0)
                    ++m_counts[QFile::decodeName(event->name)];
                p += sizeof(inotify_event) + event->len;
            }
        }
        return m_counts.value(name);
    }

private:
    int m_fd;
    QHash<QString, int> m_counts;
};
} // namespace TestUtil
