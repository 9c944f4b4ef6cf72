#pragma once

#include <QObject>

class QProcess;

// The programs a child started in turn: the child runs as the leader of a process group of its own,
// and the group is ended as a whole, also after the leader has exited and left programs behind.
//
// A group's number is the leader's pid, which the system may give to an unrelated process once the
// group is empty and the leader reaped. The group is therefore ended only while QProcess has not yet
// reaped the leader, or while it still holds a process (a zombie too) that was started no earlier
// than the leader and no later than the leader's end was seen: such a process has kept the group
// alive since then, so the number still names this group.
//
// The leader may also die with the editor (PR_SET_PDEATHSIG), so that even an editor killed
// outright takes the program with it; its own children are ended by a stop or a close.
class ProcessGroup : public QObject
{
    Q_OBJECT

public:
    enum class Lifetime
    {
        EndsWithEditor,
        OutlivesEditor
    };

    // Watches process (as its child object) and makes every start of it run in a group of its own.
    ProcessGroup(QProcess* process, Lifetime lifetime);

    // The group object of process, made on first use.
    static ProcessGroup* of(QProcess* process, Lifetime lifetime = Lifetime::EndsWithEditor);

    // Ends the program of process and every program of its group.
    static void end(QProcess* process);

    void setLifetime(Lifetime lifetime);

    // SIGKILL to every process of the last started group that is still the one started; returns
    // whether there was one. The group is forgotten.
    bool kill();
    // The last started group still has processes.
    bool hasMembers() const;
    qint64 groupId() const { return m_pgid; }

    // Processes of the system in group pgid, zombies included, started within [fromTicks, toTicks]
    // (clock ticks since boot, as /proc gives them; toTicks < 0: no upper bound) and in the session
    // of this process.
    static QList<qint64> members(qint64 pgid, qint64 fromTicks, qint64 toTicks);
    // The clock of /proc start times: ticks since boot.
    static qint64 nowTicks();

private:
    void applyModifier();
    void onStateChanged(int state);

    QProcess* m_pProcess;
    Lifetime m_lifetime;
    qint64 m_pgid = 0;
    qint64 m_fromTicks = 0;
    qint64 m_toTicks = -1; // the leader's end as seen here; -1 while it runs
};
