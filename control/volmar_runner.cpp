// The DSP program runner: the start button in both modes, the log, the automatic actions after
// opening, the restarts, and the auxiliary command of a description.
#include "app/volmar.h"
#include "control/commandoutcome.h"
#include "control/processgroup.h"
#include "control/processwait.h"
#include "control/qprocessex.h"
#include "control/terminationsignals.h"
#include "platform/processes.h"
#include "widgets/logpane.h"
#include "widgets/messagebox.h"

#include <QDir>
#include <QEvent>
#include <QScopeGuard>
#include <QTimer>

#include <functional>

namespace
{
// Calls back when a widget is enabled or disabled, also through its parent.
class EnabledChangeFilter : public QObject
{
public:
    EnabledChangeFilter(QWidget* widget, std::function<void()> changed) : QObject(widget), m_changed(std::move(changed))
    {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::EnabledChange)
            m_changed();
        return false;
    }

private:
    std::function<void()> m_changed;
};

} // namespace

void Volmar::setUpProgramControl()
{
    // Each program Volmar waits for runs in a group of its own that ends with a stop, a close, or the
    // editor itself. The visualiser may outlive the editor; runOrvex() sets it up at each start.
    for (QProcessEx* process : {m_pProgProcess, m_pPldProcess, m_pAuxProcess})
        ProcessGroup::of(process, ProcessGroup::Lifetime::EndsWithEditor);

    // The window's children are deleted after it announces its end; by then nothing may reach its
    // slots. The programs go with their whole process groups, as on a stop.
    const QList<QProcessEx*> ending{m_pProgProcess, m_pPldProcess, m_pAuxProcess};
    connect(this, &QObject::destroyed, m_pProgProcess, [ending] {
        for (QProcessEx* process : ending) {
            process->disconnect();
            ProcessGroup::end(process);
        }
    });

    new EnabledChangeFilter(m_pStartButton, [this] { updateStartButton(); });
    updateStartButton();

    connect(TerminationSignals::instance(), &TerminationSignals::received, this, &Volmar::slotTerminationSignal);
}

LogPane* Volmar::logPane()
{
    if (!m_pLogPane)
        m_pLogPane = new LogPane(m_pLogTextEdit, this);
    return m_pLogPane;
}

void Volmar::updateStartButton()
{
    m_pStartButton->setText(m_bStart ? tr("Стоп") : tr("Старт"));
    // A disabled button keeps the style's own look, so that it reads as disabled.
    if (!m_pStartButton->isEnabled())
        m_pStartButton->setStyleSheet(QString());
    else if (m_bStart)
        m_pStartButton->setStyleSheet(QStringLiteral("background-color: red"));
    else
        m_pStartButton->setStyleSheet(QStringLiteral("background-color: #00FF00"));
}

void Volmar::slotStartButton()
{
    // A restart timer that expires while the window waits for a tool runs once the wait is over.
    if (ProcessWait::isWaiting() && sender() != m_pStartButton) {
        ProcessWait::deferCall(this, [this] { slotStartButton(); });
        return;
    }
    if (sender() == m_pStartButton) {
        m_bStart = !m_bStart;
        updateStartButton();
    }

    if (!m_bShowProgWindow) {
        if (m_pProgProcess->state() != QProcess::Running && m_bStart) {
            startProgram();
            if (m_bRestart)
                QTimer::singleShot(int(m_nRestartTimeout), this, &Volmar::slotStartButton);
            return;
        }
        if (m_pPldProcess->state() == QProcess::Running)
            ProcessGroup::end(m_pPldProcess);
        stopProgram();
        // Stopped now, started again on the next pass of the event loop.
        if (m_bStart)
            QTimer::singleShot(0, this, &Volmar::slotStartButton);
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

void Volmar::startProgram()
{
    const qint64 bytesPerMb = 1024 * 1024;
    logPane()->setLimits({m_nLogMaxLines, qsizetype(m_nLogMaxMb) * bytesPerMb});
    logPane()->clear(m_outputEncoding, m_sPendingCr);
    const QString commandLine = m_pProgComboBox->currentText();

    if (!m_bShowProgWindow) {
        // What the last run left behind goes before the next run starts.
        ProcessGroup::of(m_pProgProcess)->kill();
        m_pProgProcess->setStandardErrorFile(QProcess::nullDevice());
        Processes::startCommand(*m_pProgProcess, commandLine, QIODevice::ReadWrite);
        return;
    }

    // Only single blanks separate words here, and quotes mean nothing.
    QStringList words = commandLine.split(QLatin1Char(' '));
    const QString program = words.takeFirst();
    words.removeAll(QString());
    if (const qint64 pid = Processes::startDetached(program, words, true))
        m_progPid = pid;
}

void Volmar::stopProgram()
{
    // Whatever the program started is ended, also when the program itself has already exited.
    ProcessGroup::of(m_pProgProcess)->kill();
    if (m_pProgProcess->state() == QProcess::Running || m_bShowProgWindow) {
        m_pProgProcess->close();
        m_sPendingCr.clear();
    }
}

void Volmar::slotLogUpdate()
{
    logPane()->append(m_pProgProcess->readAllStandardOutput(), m_sPendingCr);
}

void Volmar::slotFinishedExam(int, QProcess::ExitStatus)
{
    logPane()->finish(m_sPendingCr);
    updateStartButton();
}

void Volmar::restartAfterChange()
{
    if (m_bAutoReload && m_bStart) {
        stopProgram();
        startProgram();
    }
}

void Volmar::slotPrepare()
{
    if (ProcessWait::isWaiting()) {
        ProcessWait::deferCall(this, [this] { slotPrepare(); });
        return;
    }
    if (m_bAutoLoadOrvex)
        runOrvex();
    if (m_bAutoLoadPld)
        loadPld();
    if (m_bAutoRunProgram) {
        // Started by the options, the program runs as if the button had started it: the button
        // offers to stop it, a changed parameter restarts it, and so does the restart period.
        m_bStart = true;
        updateStartButton();
        startProgram();
        if (m_bRestart && !m_bShowProgWindow)
            QTimer::singleShot(int(m_nRestartTimeout), this, &Volmar::slotStartButton);
    }
    activateWindow();
}

void Volmar::slotAuxButton()
{
    m_pAuxButton->setText(m_sAuxTitle);
    m_pAuxButton->setFixedSize(m_pAuxButton->sizeHint().width() + 10, m_pAuxButton->sizeHint().height());

    // The output is kept only to say why the command failed.
    QByteArray outputTail;
    m_pAuxProcess->setProcessChannelMode(QProcess::MergedChannels);
    const QMetaObject::Connection reading = connect(m_pAuxProcess, &QProcess::readyReadStandardOutput, this, [&] {
        CommandOutcome::keepTail(outputTail, m_pAuxProcess->readAllStandardOutput());
    });
    const auto finished = qScopeGuard([&] { disconnect(reading); });

    if (!Processes::startCommand(*m_pAuxProcess, m_sAuxCmdLine, QIODevice::ReadWrite)) {
        Dialogs::warning(this, QStringLiteral("Volmar"), QStringLiteral("\n") + m_sAuxTitle + tr(" не запустилась!"));
        return;
    }
    // The window takes no input until the command ends or its time is up.
    const bool ended =
        ProcessWait::waitForFinished(m_pAuxProcess, m_nAuxTimeout) || m_pAuxProcess->state() == QProcess::NotRunning;
    if (TerminationSignals::arrived()) {
        // The editor is asked to end: the command goes with it, without a word.
        ProcessGroup::end(m_pAuxProcess);
        return;
    }
    if (!ended) {
        ProcessGroup::end(m_pAuxProcess);
        Dialogs::warning(this, QStringLiteral("Volmar"),
                         QStringLiteral("\n") + m_sAuxTitle + tr(" не завершилась в отведенное время!"));
        return;
    }
    CommandOutcome::keepTail(outputTail, m_pAuxProcess->readAllStandardOutput());
    const CommandOutcome::Message message =
        CommandOutcome::ended(m_sAuxTitle, m_pAuxProcess->exitStatus(), m_pAuxProcess->exitCode(), outputTail);
    if (message.kind == CommandOutcome::Kind::Finished)
        Dialogs::about(this, QStringLiteral("Volmar"), message.text);
    else
        Dialogs::warning(this, QStringLiteral("Volmar"), message.text);
}
