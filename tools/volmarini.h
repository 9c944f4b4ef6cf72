#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <optional>

// What the commands of volmar-ini share: exit codes, output, and the reading of their arguments from
// the raw bytes of argv. A command is one function; it is listed with its name and argument count in
// the command table of volmar-ini.cpp.
namespace VolmarIni
{
enum ExitCode
{
    ExitOk = 0,
    ExitNotFound = 1, // no such key or section, nothing to delete
    ExitUsage = 2,    // wrong arguments or a malformed script; nothing was changed
    ExitFailed = 3    // a file could not be read (a folder, a FIFO, a device, a link loop, no permission, a
                      // name not valid in the system's encoding) or written; it is as it was
};
// The arguments after the command's name, as the raw bytes of argv.
class Arguments
{
public:
    explicit Arguments(QList<QByteArray> raw) : m_raw(std::move(raw)) {}

    qsizetype size() const { return m_raw.size(); }

    // A file name as Qt's file API names exactly these bytes; nothing (and a message on stderr) when
    // there is no such name: a different file would be read or written.
    std::optional<QString> fileName(qsizetype i) const;

    // A section, key or value: UTF-8 when the bytes are valid UTF-8, CP1251 otherwise (as scripts
    // written on the lab's Windows machines pass them).
    QString text(qsizetype i) const;

private:
    QList<QByteArray> m_raw;
};

void print(const QByteArray& bytes, FILE* stream = stdout);
void printLines(const QList<QString>& lines);

// "volmar-ini: message" on stderr; returns `code`.
int fail(int code, const QString& message);

// ExitOk when the file can be opened (a missing file counts: it reads as empty and a write creates
// it); otherwise ExitFailed with the reason on stderr.
int checkReadable(const QString& path);
} // namespace VolmarIni
