#pragma once

#include <QString>
#include <QVector>

// A data file of the DSP programs: 16-bit little-endian samples, nothing else.
struct SampleFile
{
    enum Status
    {
        Loaded,
        NotSet,
        Missing,
        Folder,
        Empty,
        OddSize,
        TooLarge,
        Unreadable
    };

    // Bigger files are not shown: a visualiser that swallowed gigabytes would freeze the desk.
    static constexpr qint64 MaxBytes = 64 * 1024 * 1024;

    Status status = NotSet;
    QVector<qint16> samples;
    qint64 bytes = 0;

    static SampleFile load(const QString& path);
    // Why nothing is shown, for the window (Russian); empty when the file loaded.
    QString note(const QString& path) const;
    // One word for the status, for scripts reading the standard output.
    QString code() const;
};

// What the follow mode compares to notice a rewrite: a file renamed over the old one has a new
// inode even when its size and time are equal.
struct FileSignature
{
    bool exists = false;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    quint64 inode = 0;

    static FileSignature of(const QString& path);
    bool operator==(const FileSignature& other) const
    {
        return exists == other.exists && size == other.size && mtimeNs == other.mtimeNs && inode == other.inode;
    }
    bool operator!=(const FileSignature& other) const { return !(*this == other); }
};
