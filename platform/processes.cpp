#include "platform/processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Processes
{
namespace
{
// The kernel keeps at most 15 characters of a program's name in /proc/PID/comm.
constexpr int CommLength = 15;

bool validPid(qint64 pid)
{
    return pid > 0 && pid <= INT_MAX;
}

QByteArray procPath(qint64 pid, const char* entry)
{
    QByteArray path = "/proc/" + QByteArray::number(pid);
    if (entry) {
        path += '/';
        path += entry;
    }
    return path;
}

// /proc files report no size; they are read until their end.
QByteArray readProcFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray data;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        data.append(buffer, n);
        if (data.size() > 1024 * 1024)
            break;
    }
    ::close(fd);
    return data;
}

QByteArray baseName(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

bool ownProcess(qint64 pid)
{
    struct stat st;
    if (::stat(procPath(pid, nullptr).constData(), &st) != 0)
        return false;
    return st.st_uid == ::geteuid();
}

// Zombies and processes being torn down can no longer be used or ended.
bool zombie(qint64 pid)
{
    const QByteArray stat = readProcFile(procPath(pid, "stat"));
    // The name in parentheses may itself hold ") ", so the state follows the last one.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size())
        return true;
    const char state = stat.at(close + 2);
    return state == 'Z' || state == 'X' || state == 'x';
}

QList<qint64> allPids()
{
    QList<qint64> pids;
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return pids;
    while (const dirent* entry = ::readdir(dir)) {
        bool ok = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&ok);
        if (ok && validPid(pid))
            pids.append(pid);
    }
    ::closedir(dir);
    return pids;
}

QStringList pathDirectories(const QProcessEnvironment& env)
{
    return env.value(QStringLiteral("PATH")).split(QDir::listSeparator(), Qt::SkipEmptyParts);
}

QString findExecutableIn(const QString& program, const QStringList& dirs)
{
    for (const QString& dir : dirs) {
        const QFileInfo candidate(QDir(dir), program);
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.absoluteFilePath();
    }
    return {};
}
} // namespace

QByteArray executableName(qint64 pid)
{
    if (!validPid(pid) || !ownProcess(pid) || zombie(pid))
        return {};
    char target[PATH_MAX];
    const ssize_t n = ::readlink(procPath(pid, "exe").constData(), target, sizeof target - 1);
    if (n <= 0)
        return {};
    QByteArray exe(target, n);
    static const QByteArray deleted = " (deleted)";
    if (exe.endsWith(deleted))
        exe.chop(deleted.size());
    const QByteArray exeName = baseName(exe);

    // The kernel names a process after the file it executed: a script's own name, while exe is
    // the interpreter. Such a process is known by the script.
    QByteArray comm = readProcFile(procPath(pid, "comm"));
    if (comm.endsWith('\n'))
        comm.chop(1);
    if (comm.isEmpty() || exeName.left(CommLength) == comm)
        return exeName;
    const QList<QByteArray> args = readProcFile(procPath(pid, "cmdline")).split('\0');
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QByteArray argName = baseName(args.at(i));
        if (!argName.isEmpty() && argName.left(CommLength) == comm)
            return argName;
    }
    const QByteArray argv0 = args.isEmpty() ? QByteArray() : baseName(args.first());
    return argv0.isEmpty() ? exeName : argv0;
}

int count(const QByteArray& name, qint64 excludedPid)
{
    // Every process has a name; an empty one would only match those that cannot be looked at.
    if (name.isEmpty())
        return 0;
    int n = 0;
    for (const qint64 pid : allPids()) {
        if (pid != excludedPid && executableName(pid) == name)
            ++n;
    }
    return n;
}

int kill(const QByteArray& name)
{
    if (name.isEmpty())
        return 0;
    int n = 0;
    for (const qint64 pid : allPids()) {
        if (executableName(pid) == name) {
            ::kill(static_cast<pid_t>(pid), SIGKILL);
            ++n;
        }
    }
    return n;
}

bool isOpen(qint64 pid)
{
    return validPid(pid) && ownProcess(pid) && !zombie(pid);
}

bool terminate(qint64 pid)
{
    return isOpen(pid) && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

QString helperDirectory(const QString& applicationDir)
{
    const QString installed = QDir::cleanPath(applicationDir + QStringLiteral("/../lib/volmar"));
    return QFileInfo(installed).isDir() ? installed : applicationDir;
}

QProcessEnvironment childEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!QCoreApplication::instance())
        return env;
    const QString ownDir = QCoreApplication::applicationDirPath();
    const QString key = QStringLiteral("PATH");
    QString path = env.value(key);
    for (const QString& dir : {ownDir, helperDirectory(ownDir)}) {
        if (!path.split(QDir::listSeparator()).contains(dir))
            path = path.isEmpty() ? dir : path + QDir::listSeparator() + dir;
    }
    env.insert(key, path);
    return env;
}

QString resolveProgram(const QString& program, const QString& workingDir, const QProcessEnvironment& env)
{
    if (program.isEmpty() || program.contains(QLatin1Char('/')))
        return program;
    const QString found = findExecutableIn(program, QStringList{workingDir} + pathDirectories(env));
    return found.isEmpty() ? program : found;
}

bool start(QProcess& process, const QString& program, const QStringList& arguments, QIODevice::OpenMode mode,
           const QProcessEnvironment& extra)
{
    if (process.state() != QProcess::NotRunning)
        return process.state() == QProcess::Running;
    if (program.isEmpty())
        return false;
    const QString workingDir = QDir::currentPath();
    QProcessEnvironment env = childEnvironment();
    env.insert(extra);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingDir);
    process.start(resolveProgram(program, workingDir, env), arguments, mode);
    // The start is complete once the program has been executed, as with a Windows process.
    process.waitForStarted(-1);
    return process.state() == QProcess::Running;
}

bool startCommand(QProcess& process, const QString& commandLine, QIODevice::OpenMode mode)
{
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    return start(process, program, words, mode);
}

QStringList terminalCommand()
{
    QStringList terminal = QProcess::splitCommand(qEnvironmentVariable("TERMINAL"));
    if (!terminal.isEmpty()) {
        const QString program = terminal.first().contains(QLatin1Char('/'))
                                    ? terminal.first()
                                    : QStandardPaths::findExecutable(terminal.first());
        if (!program.isEmpty() && QFileInfo(program).isExecutable()) {
            terminal.first() = program;
            return terminal;
        }
    }
    const QString fallback = QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
    return fallback.isEmpty() ? QStringList() : QStringList{fallback};
}

qint64 startDetached(const QString& program, const QStringList& arguments, bool inTerminal)
{
    if (program.isEmpty())
        return 0;
    const QString workingDir = QDir::currentPath();
    const QProcessEnvironment env = childEnvironment();
    const QString resolved = resolveProgram(program, workingDir, env);

    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingDir);
    QStringList terminal = inTerminal ? terminalCommand() : QStringList();
    if (!terminal.isEmpty()) {
        process.setProgram(terminal.takeFirst());
        process.setArguments(terminal + QStringList{QStringLiteral("-e"), resolved} + arguments);
    } else {
        process.setProgram(resolved);
        process.setArguments(arguments);
    }
    qint64 pid = 0;
    return process.startDetached(&pid) ? pid : 0;
}

qint64 startDetachedCommand(const QString& commandLine)
{
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return 0;
    const QString program = words.takeFirst();
    return startDetached(program, words);
}

} // namespace Processes
