#include "control/processgroup.h"

#include <QByteArray>
#include <QList>
#include <QProcess>

#include <climits>
#include <csignal>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace
{
struct ProcStat
{
    qint64 pgrp = -1;
    qint64 session = -1;
    qint64 startTicks = -1;
};

ProcStat readStat(const char* pid)
{
    ProcStat stat;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", pid);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return stat;
    char buffer[1024];
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0)
        return stat;
    // The name in parentheses may itself hold ") ", so the fields follow the last one.
    const QByteArray text(buffer, n);
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return stat;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    // Counted from the state, the third field of the file: pgrp is the 5th, session the 6th,
    // starttime the 22nd.
    if (fields.size() < 20 || fields.at(0).isEmpty())
        return stat;
    stat.pgrp = fields.at(2).toLongLong();
    stat.session = fields.at(3).toLongLong();
    stat.startTicks = fields.at(19).toLongLong();
    return stat;
}
} // namespace

ProcessGroup::ProcessGroup(QProcess* process, Lifetime lifetime)
    : QObject(process), m_pProcess(process), m_lifetime(lifetime)
{
    applyModifier();
    connect(process, &QProcess::stateChanged, this, &ProcessGroup::onStateChanged);
}

ProcessGroup* ProcessGroup::of(QProcess* process, Lifetime lifetime)
{
    auto* group = process->findChild<ProcessGroup*>(QString(), Qt::FindDirectChildrenOnly);
    return group ? group : new ProcessGroup(process, lifetime);
}

void ProcessGroup::end(QProcess* process)
{
    of(process)->kill();
    if (process->state() != QProcess::NotRunning)
        process->close();
}

void ProcessGroup::setLifetime(Lifetime lifetime)
{
    if (lifetime == m_lifetime)
        return;
    m_lifetime = lifetime;
    applyModifier();
}

void ProcessGroup::applyModifier()
{
    const pid_t editor = ::getpid();
    const bool endsWithEditor = m_lifetime == Lifetime::EndsWithEditor;
    // Runs in the child between fork and exec: system calls only.
    m_pProcess->setChildProcessModifier([editor, endsWithEditor] {
        ::setpgid(0, 0);
        if (endsWithEditor) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            // The editor may have died before the request was made.
            if (::getppid() != editor)
                ::_exit(127);
        }
    });
}

void ProcessGroup::onStateChanged(int state)
{
    if (state == QProcess::Starting) {
        // Before the fork: the leader and all it starts are started from now on.
        m_fromTicks = nowTicks();
        m_toTicks = -1;
        m_pgid = 0;
    } else if (state == QProcess::Running) {
        m_pgid = m_pProcess->processId();
    } else if (m_pgid > 0) {
        // Rounded up, so that a program started in the tick the leader ended still counts.
        m_toTicks = nowTicks() + 1;
    }
}

qint64 ProcessGroup::nowTicks()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const qint64 hz = ::sysconf(_SC_CLK_TCK);
    return qint64(now.tv_sec) * hz + qint64(now.tv_nsec) * hz / 1000000000;
}

QList<qint64> ProcessGroup::members(qint64 pgid, qint64 fromTicks, qint64 toTicks)
{
    QList<qint64> found;
    if (pgid <= 0 || pgid > INT_MAX || pgid == ::getpgrp())
        return found;
    const qint64 session = ::getsid(0);
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return found;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        const ProcStat stat = readStat(entry->d_name);
        // A zombie counts: until it is reaped its pid, and so the group's number, stays taken.
        if (stat.pgrp != pgid || stat.session != session)
            continue;
        if (stat.startTicks < fromTicks || (toTicks >= 0 && stat.startTicks > toTicks))
            continue;
        found.append(QByteArray(entry->d_name).toLongLong());
    }
    ::closedir(dir);
    return found;
}

bool ProcessGroup::hasMembers() const
{
    return !members(m_pgid, m_fromTicks, m_toTicks).isEmpty();
}

bool ProcessGroup::kill()
{
    // While QProcess has not reaped the leader, its pid is the group's number for sure. After that a
    // look at the system decides; it sees the processes of the moment it began, and the kill reaches
    // those started since.
    const bool any = m_pgid > 0 && (m_pProcess->state() != QProcess::NotRunning || hasMembers());
    if (any)
        ::kill(-static_cast<pid_t>(m_pgid), SIGKILL);
    m_pgid = 0;
    return any;
}
