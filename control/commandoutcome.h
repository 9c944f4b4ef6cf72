#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// What the window tells about an auxiliary command that has ended: " завершилась." only when it
// exited with code 0; otherwise how it ended (its exit code or the signal that killed it) and the
// last lines it wrote, which usually say why.
namespace CommandOutcome
{

enum class Kind
{
    Finished, // the about box
    Failed    // a warning
};

struct Message
{
    Kind kind = Kind::Finished;
    QString text;
};

// How many bytes of the command's output are kept to explain a failure.
constexpr qsizetype KeptOutputBytes = 4096;

Message ended(const QString& title, QProcess::ExitStatus status, int exitCode, const QByteArray& outputTail);
// The command could not be started, or did not end within its time and was ended.
Message notStarted(const QString& title);
Message timedOut(const QString& title);

// Keeps the last KeptOutputBytes of output read in pieces.
void keepTail(QByteArray& tail, const QByteArray& more);

} // namespace CommandOutcome
