#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include <sys/stat.h>

// Reading the files a user names: INI files, descriptions, batch files. A name may stand for
// anything — a folder, a FIFO, a device, a link loop, a file without read permission — and the
// answer comes at once: the kind is checked before anything is opened, and the open itself never
// waits (a FIFO swapped in between is caught by the second check on the open file).
namespace UserFile
{
enum class Status
{
    Regular,      // a regular file, readable (read() has read all of it)
    Missing,      // nothing there (a dangling link too: writing creates the file it names)
    Folder,       // a folder
    Special,      // a FIFO, a device or a socket
    LinkLoop,     // symbolic links that never end in a file
    NoPermission, // the file or a folder on the way may not be read
    Failed        // any other error
};

// Regular and missing files are what the editor may open: a missing one starts empty.
inline bool canOpen(Status status)
{
    return status == Status::Regular || status == Status::Missing;
}

// What a file is, and whether it can be read, without reading it.
Status probe(const QString& path);

// The whole content of a regular file; *bytes is left empty for any other status. `info` receives
// the open file's own status (device, inode, size, times) when the read succeeds.
Status read(const QString& path, QByteArray* bytes, struct stat* info = nullptr);
Status readNative(const QByteArray& nativePath, QByteArray* bytes, struct stat* info = nullptr);

// Why a file cannot be opened, for messages of the command-line tool.
QString describe(Status status);

// A file name from the raw bytes of a command-line argument, or nothing when Qt's file API has no
// name that maps back to exactly these bytes (bytes that are not valid in the system's encoding):
// opening the decoded name would open a different file.
std::optional<QString> nameFromBytes(const QByteArray& raw);
} // namespace UserFile
