#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QProcess;

// The operating system's side of running and ending programs. Processes are looked up in /proc,
// only among the user's own; termination is SIGKILL, which no program can refuse.
namespace Processes
{

// Executable name of a process: the base name of /proc/PID/exe, or of the script an interpreter
// runs. Empty when the process does not exist, is a zombie or belongs to another user.
QByteArray executableName(qint64 pid);

// Number of the user's running processes named exactly `name` (byte for byte), except excludedPid.
int count(const QByteArray& name, qint64 excludedPid = -1);

// Sends SIGKILL to each of the user's processes named `name`; returns how many were found,
// also those the signal did not reach.
int kill(const QByteArray& name);

// The process exists, is not a zombie and belongs to the user.
bool isOpen(qint64 pid);

// SIGKILL to an open process; false when it is not open or the signal failed.
bool terminate(qint64 pid);

// Where the stand-in tools are: "lib/volmar" beside the "bin" folder of an installed Volmar whose
// executable is in applicationDir, else applicationDir itself (a build tree keeps them together).
QString helperDirectory(const QString& applicationDir);

// The environment of every program Volmar starts: its own, with the folder of Volmar's executable and
// the helper folder appended to PATH, so that the stand-in tools there are found and a real tool
// earlier on PATH wins.
QProcessEnvironment childEnvironment();

// Where a program named without a folder is found: the working directory first (as Windows looks
// there), then PATH of env. A name with a folder, or one found nowhere, is returned unchanged.
QString resolveProgram(const QString& program, const QString& workingDir, const QProcessEnvironment& env);

// Starts program with arguments in the current directory with childEnvironment(), plus the variables
// of `extra`, and waits for the program to be executed. A process that is not idle is left alone.
// True when it is running.
bool start(QProcess& process, const QString& program, const QStringList& arguments,
           QIODevice::OpenMode mode = QIODevice::ReadWrite, const QProcessEnvironment& extra = {});

// The same for a command line: blanks separate words, double quotes group them.
bool startCommand(QProcess& process, const QString& commandLine, QIODevice::OpenMode mode = QIODevice::ReadWrite);

// The terminal a program of its own window runs in: $TERMINAL, else x-terminal-emulator, as a
// command line to which "-e program arguments..." is appended. Empty when there is none.
QStringList terminalCommand();

// Starts a program that outlives Volmar, in the current directory. With inTerminal and a terminal
// available it runs inside that terminal and the terminal's pid is returned (ending the terminal
// ends the program). Returns 0 when nothing was started.
qint64 startDetached(const QString& program, const QStringList& arguments, bool inTerminal = false);

// startDetached() for a command line split like startCommand().
qint64 startDetachedCommand(const QString& commandLine);

} // namespace Processes
