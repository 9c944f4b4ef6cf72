#pragma once

#include "control/commandoutcome.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <optional>

class QProcessEx;
struct Options;

// Runs the programs of the control panel: the DSP program (captured, its output handed on for the
// log, or detached in a window of its own), its restarts, the firmware tool, the visualiser and the
// auxiliary command of a description; and ends stray processes of the selected program.
//
// Each program waited for runs in a process group of its own that ends with a stop, with the runner
// or with the editor itself. The visualiser may outlive the editor, as the options say.
//
// Nothing here asks the user anything: an operation that needs an answer says so in its result and
// is called again with the answer; outcomes the user is told about come back as results or signals.
// The options are read where they are used, so a change applies at its next use.
class ProgramRunner : public QObject
{
    Q_OBJECT

public:
    // What the start button shows: Stopped offers to start, every other state to stop. In
    // separate-window mode the runner knows only what was asked, not whether the program still runs.
    enum class State
    {
        Stopped,  // not asked to run
        Starting, // asked to run; started again on the next pass of the event loop
        Running,
        Ended // asked to run, but it ended by itself or could not be started
    };
    Q_ENUM(State)

    enum class PldResult
    {
        NotStarted, // the tool could not be started: nothing is told
        Loaded,
        Failed,
        Interrupted // the editor is asked to end: nothing is told
    };

    enum class OrvexStart
    {
        AlreadyRunning, // the one this runner started: nothing happens
        OthersRunning,  // copies started elsewhere run: ask whether to start another
        Started,
        Failed // nothing could be started from the visualiser's folder
    };

    struct StrayProcesses
    {
        QString name; // the executable the terminate button ends
        int count = 0;
    };

    explicit ProgramRunner(const Options& options, QObject* parent = nullptr);
    ~ProgramRunner() override;

    const Options& options() const { return m_options; }
    State state() const;

    // The program list's current command line, run at the next start.
    void setCommandLine(const QString& commandLine) { m_sCommandLine = commandLine; }

    // The start button: start, or stop (and no longer restart).
    void toggle();
    // The start after opening: as if the button had started the program.
    void autoStart();
    // A parameter changed: with "Auto Reload" on, a program asked to run starts again.
    void restartAfterChange();

    // Runs one firmware command line and judges its output; pldFinished tells the outcome first.
    PldResult loadPld(const QString& command);
    // The same around the captured program: stopped first, started again after a success.
    PldResult loadPldAroundProgram(const QString& command);

    // Starts the visualiser on dataFile (a relative name is taken from the current folder) beside the
    // window frame `beside`; othersAllowed is the answer to OthersRunning.
    OrvexStart runOrvex(const QString& dataFile, const QRect& beside, bool othersAllowed = false);

    // The processes that the terminate button would end for the current command line; none while the
    // visualiser started here runs.
    StrayProcesses strayProcesses() const;
    static int killProcesses(const QString& name);

    // Runs the auxiliary command, waiting for it at most timeoutMs (-1: without limit) while the
    // windows are painted but take no input. The message to show; none when the editor is asked to end.
    std::optional<CommandOutcome::Message> runAuxCommand(const QString& title, const QString& commandLine,
                                                         int timeoutMs);

    // The closing sequence's part: the visualiser ends if "Auto Exit Orvex" is on, a detached program
    // if "Show Prog Window" is on. The captured programs end with the runner.
    void endForClose();

    QProcessEx* progProcess() const { return m_pProgProcess; }
    QProcessEx* pldProcess() const { return m_pPldProcess; }
    QProcessEx* orvexProcess() const { return m_pOrvexProcess; }
    QProcessEx* auxProcess() const { return m_pAuxProcess; }
    qint64 progPid() const { return m_progPid; }

signals:
    void stateChanged(ProgramRunner::State state);
    // A program starts: the log is emptied for it. afterStop: the last run was ended by a stop, so
    // no "\r" segment it left pending carries on into this one (see LogConsole).
    void outputStarted(bool afterStop);
    void outputArrived(const QByteArray& bytes);
    void outputFinished();
    void pldFinished(ProgramRunner::PldResult result);

private:
    // The button's or a restart timer's turn: start, stop, or stop now and start again soon.
    void step();
    void restartTick();
    void startProgram();
    void stopProgram();
    void armRestart();
    void updateState();

    const Options& m_options;
    QString m_sCommandLine;
    QProcessEx* m_pProgProcess;
    QProcessEx* m_pPldProcess;
    QProcessEx* m_pOrvexProcess; // no parent: it may outlive the editor
    QProcessEx* m_pAuxProcess;
    bool m_bStart = false; // asked to run, by the button or the start after opening
    bool m_bRestartQueued = false;
    bool m_bOutputCut = false; // the last run was stopped
    qint64 m_progPid = 0;      // the program last started detached
    State m_state = State::Stopped;
};
