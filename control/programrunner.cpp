#include "control/programrunner.h"

#include "control/processgroup.h"
#include "control/processwait.h"
#include "control/qprocessex.h"
#include "control/terminationsignals.h"
#include "platform/processes.h"
#include "platform/textcodec.h"
#include "settings/options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTimer>

namespace
{
constexpr int PldTimeoutMs = 30000;
} // namespace

ProgramRunner::ProgramRunner(const Options& options, QObject* parent)
    : QObject(parent), m_options(options), m_pProgProcess(new QProcessEx(this)), m_pPldProcess(new QProcessEx(this)),
      m_pOrvexProcess(new QProcessEx()), m_pAuxProcess(new QProcessEx(this))
{
    // runOrvex() sets the visualiser's group up at each start, as the options then say.
    for (QProcessEx* process : {m_pProgProcess, m_pPldProcess, m_pAuxProcess})
        ProcessGroup::of(process, ProcessGroup::Lifetime::EndsWithEditor);
    connect(m_pProgProcess, &QProcess::readyReadStandardOutput, this,
            [this] { emit outputArrived(m_pProgProcess->readAllStandardOutput()); });
    connect(m_pProgProcess, &QProcess::finished, this, &ProgramRunner::outputFinished);
    connect(m_pProgProcess, &QProcess::stateChanged, this, &ProgramRunner::updateState);
}

ProgramRunner::~ProgramRunner()
{
    // The programs go with their whole process groups, as on a stop; nothing they do reaches the
    // runner any more.
    for (QProcessEx* process : {m_pProgProcess, m_pPldProcess, m_pAuxProcess}) {
        process->disconnect();
        ProcessGroup::end(process);
    }
    // A running visualiser is left alone so that it keeps running after the editor ends; an idle
    // process object is only memory.
    if (m_pOrvexProcess->state() == QProcess::NotRunning)
        delete m_pOrvexProcess;
}

ProgramRunner::State ProgramRunner::state() const
{
    if (!m_bStart)
        return State::Stopped;
    if (m_options.m_bShowProgWindow)
        return State::Running;
    switch (m_pProgProcess->state()) {
    case QProcess::Running:
        return State::Running;
    case QProcess::Starting:
        return State::Starting;
    case QProcess::NotRunning:
        break;
    }
    return m_bRestartQueued ? State::Starting : State::Ended;
}

void ProgramRunner::updateState()
{
    const State now = state();
    if (now == m_state)
        return;
    m_state = now;
    emit stateChanged(now);
}

void ProgramRunner::toggle()
{
    m_bStart = !m_bStart;
    step();
    updateState();
}

void ProgramRunner::restartTick()
{
    // A restart that comes due while a blocking operation waits for its tool runs once the wait is over.
    if (ProcessWait::isWaiting()) {
        ProcessWait::deferCall(this, [this] { restartTick(); });
        return;
    }
    m_bRestartQueued = false;
    step();
    updateState();
}

void ProgramRunner::armRestart()
{
    // Never cancelled: a period armed before a stop still comes, and then finds nothing to restart.
    if (m_options.m_bRestart)
        QTimer::singleShot(int(m_options.m_nRestartTimeout), this, &ProgramRunner::restartTick);
}

void ProgramRunner::step()
{
    if (!m_options.m_bShowProgWindow) {
        if (m_pProgProcess->state() != QProcess::Running && m_bStart) {
            startProgram();
            armRestart();
            return;
        }
        if (m_pPldProcess->state() == QProcess::Running)
            ProcessGroup::end(m_pPldProcess);
        stopProgram();
        // Stopped now, started again on the next pass of the event loop.
        if (m_bStart) {
            m_bRestartQueued = true;
            QTimer::singleShot(0, this, &ProgramRunner::restartTick);
        }
        return;
    }

    if (!Processes::isOpen(m_progPid)) {
        startProgram();
        return;
    }
    if (m_pPldProcess->state() == QProcess::Running)
        ProcessGroup::end(m_pPldProcess);
    stopProgram();
    Processes::terminate(m_progPid);
}

void ProgramRunner::autoStart()
{
    m_bStart = true;
    startProgram();
    if (!m_options.m_bShowProgWindow)
        armRestart();
    updateState();
}

void ProgramRunner::restartAfterChange()
{
    if (m_options.m_bAutoReload && m_bStart) {
        stopProgram();
        startProgram();
    }
    updateState();
}

void ProgramRunner::startProgram()
{
    emit outputStarted(m_bOutputCut);
    m_bOutputCut = false;

    if (!m_options.m_bShowProgWindow) {
        // What the last run left behind goes before the next run starts.
        ProcessGroup::of(m_pProgProcess)->kill();
        m_pProgProcess->setStandardErrorFile(QProcess::nullDevice());
        Processes::startCommand(*m_pProgProcess, m_sCommandLine, QIODevice::ReadWrite);
        return;
    }

    // Only single blanks separate words here, and quotes mean nothing.
    QStringList words = m_sCommandLine.split(QLatin1Char(' '));
    const QString program = words.takeFirst();
    words.removeAll(QString());
    if (const qint64 pid = Processes::startDetached(program, words, true))
        m_progPid = pid;
}

void ProgramRunner::stopProgram()
{
    // Whatever the program started is ended, also when the program itself has already exited.
    ProcessGroup::of(m_pProgProcess)->kill();
    if (m_pProgProcess->state() == QProcess::Running || m_options.m_bShowProgWindow) {
        m_pProgProcess->close();
        m_bOutputCut = true;
    }
}

ProgramRunner::PldResult ProgramRunner::loadPld(const QString& command)
{
    m_pPldProcess->setStandardErrorFile(QProcess::nullDevice());
    if (!Processes::startCommand(*m_pPldProcess, command, QIODevice::ReadWrite)) {
        emit pldFinished(PldResult::NotStarted);
        return PldResult::NotStarted;
    }
    // A tool still running after the limit keeps running; what it wrote so far decides.
    if (!ProcessWait::waitForFinished(m_pPldProcess, PldTimeoutMs))
        m_pPldProcess->waitForReadyRead(0);
    PldResult result = PldResult::Failed;
    if (TerminationSignals::arrived()) {
        // The editor is asked to end: the tool goes with it.
        ProcessGroup::end(m_pPldProcess);
        result = PldResult::Interrupted;
    } else if (TextCodec::fromCp1251(m_pPldProcess->readAllStandardOutput())
                   .contains(QLatin1String("OK: PLD is progammed"))) {
        result = PldResult::Loaded;
    }
    emit pldFinished(result);
    return result;
}

ProgramRunner::PldResult ProgramRunner::loadPldAroundProgram(const QString& command)
{
    const bool wasRunning = m_pProgProcess->state() == QProcess::Running;
    if (m_pPldProcess->state() == QProcess::Running)
        ProcessGroup::end(m_pPldProcess);
    if (wasRunning)
        stopProgram();
    const PldResult result = loadPld(command);
    if (result == PldResult::Loaded && wasRunning)
        startProgram();
    updateState();
    return result;
}

ProgramRunner::OrvexStart ProgramRunner::runOrvex(const QString& dataFile, const QRect& beside, bool othersAllowed)
{
    if (m_pOrvexProcess->state() == QProcess::Running)
        return OrvexStart::AlreadyRunning;
    if (!othersAllowed && Processes::count(QByteArrayLiteral("Orvex.exe")) > 0)
        return OrvexStart::OthersRunning;

    const QString data =
        QDir::toNativeSeparators(dataFile.isEmpty() ? dataFile : QFileInfo(dataFile).absoluteFilePath());
    QString dir = m_options.m_sOrvexDirectory.isEmpty() ? m_options.m_sOrvexOwnDir : m_options.m_sOrvexDirectory;
    // Neither Volmar nor the visualiser has named a folder yet (a first start): the visualiser that
    // ships with Volmar is the one to use.
    if (dir.isEmpty())
        dir = Processes::helperDirectory(QCoreApplication::applicationDirPath());
    // Ended with the editor, even one killed outright, unless it is to outlive it.
    ProcessGroup::of(m_pOrvexProcess)
        ->setLifetime(m_options.m_bAutoExitOrvex ? ProcessGroup::Lifetime::EndsWithEditor
                                                 : ProcessGroup::Lifetime::OutlivesEditor);
    // Its output is never read; a pipe nobody empties would only fill memory.
    m_pOrvexProcess->setStandardOutputFile(QProcess::nullDevice());
    m_pOrvexProcess->setStandardErrorFile(QProcess::nullDevice());
    // The stand-in visualiser opens beside the window rather than over it; a real one ignores this.
    QProcessEnvironment place;
    place.insert(
        QStringLiteral("VOLMAR_GEOMETRY"),
        QStringLiteral("%1,%2,%3,%4").arg(beside.x()).arg(beside.y()).arg(beside.width()).arg(beside.height()));
    Processes::start(*m_pOrvexProcess, dir + QStringLiteral("/Orvex.exe"),
                     {QStringLiteral("-r"), data, QStringLiteral("-j")}, QIODevice::ReadWrite, place);
    return m_pOrvexProcess->state() == QProcess::NotRunning ? OrvexStart::Failed : OrvexStart::Started;
}

ProgramRunner::StrayProcesses ProgramRunner::strayProcesses() const
{
    StrayProcesses stray;
    stray.name = m_sCommandLine;
    // Any command line that runs through the board server names the server.
    if (stray.name.contains(QLatin1String("kelda.exe")))
        stray.name = QStringLiteral("kelda.exe");
    if (m_pOrvexProcess->state() != QProcess::Running)
        stray.count = Processes::count(stray.name.toLocal8Bit());
    return stray;
}

int ProgramRunner::killProcesses(const QString& name)
{
    return Processes::kill(name.toLocal8Bit());
}

std::optional<CommandOutcome::Message> ProgramRunner::runAuxCommand(const QString& title, const QString& commandLine,
                                                                    int timeoutMs)
{
    // The output is kept only to say why the command failed.
    QByteArray outputTail;
    m_pAuxProcess->setProcessChannelMode(QProcess::MergedChannels);
    const QMetaObject::Connection reading = connect(m_pAuxProcess, &QProcess::readyReadStandardOutput, this, [&] {
        CommandOutcome::keepTail(outputTail, m_pAuxProcess->readAllStandardOutput());
    });
    const auto finished = qScopeGuard([&] { disconnect(reading); });

    if (!Processes::startCommand(*m_pAuxProcess, commandLine, QIODevice::ReadWrite))
        return CommandOutcome::notStarted(title);
    const bool ended =
        ProcessWait::waitForFinished(m_pAuxProcess, timeoutMs) || m_pAuxProcess->state() == QProcess::NotRunning;
    if (TerminationSignals::arrived()) {
        // The editor is asked to end: the command goes with it, without a word.
        ProcessGroup::end(m_pAuxProcess);
        return std::nullopt;
    }
    if (!ended) {
        ProcessGroup::end(m_pAuxProcess);
        return CommandOutcome::timedOut(title);
    }
    CommandOutcome::keepTail(outputTail, m_pAuxProcess->readAllStandardOutput());
    return CommandOutcome::ended(title, m_pAuxProcess->exitStatus(), m_pAuxProcess->exitCode(), outputTail);
}

void ProgramRunner::endForClose()
{
    if (m_options.m_bAutoExitOrvex)
        m_pOrvexProcess->close();
    // A captured program ends with its process object; a detached one has only its pid.
    if (m_options.m_bShowProgWindow)
        Processes::terminate(m_progPid);
}
