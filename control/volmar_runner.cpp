// The DSP program runner: the start button in both modes, the log, the automatic actions after
// opening, the restarts, and the auxiliary command of a description.
#include "app/volmar.h"
#include "control/logpane.h"
#include "control/processwait.h"
#include "control/qprocessex.h"
#include "platform/processes.h"
#include "widgets/messagebox.h"

#include <QDir>
#include <QTimer>

LogPane* Volmar::logPane()
{
    if (!m_pLogPane) {
        m_pLogPane = new LogPane(m_pLogTextEdit, this);
        // The window's children are deleted after it announces its end; by then nothing may reach
        // its slots. A captured program goes with its whole process group, as on a stop.
        QProcessEx* process = m_pProgProcess;
        connect(this, &QObject::destroyed, process, [process] {
            process->disconnect();
            if (process->state() != QProcess::NotRunning) {
                Processes::killGroup(process->processId());
                process->kill();
                process->waitForFinished(-1);
            }
        });
    }
    return m_pLogPane;
}

void Volmar::updateStartButton()
{
    if (m_bStart) {
        m_pStartButton->setText(tr("Стоп"));
        m_pStartButton->setStyleSheet(QStringLiteral("background-color: red"));
    } else {
        m_pStartButton->setText(tr("Старт"));
        m_pStartButton->setStyleSheet(QStringLiteral("background-color: #00FF00"));
    }
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
            m_pPldProcess->close();
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
        m_pPldProcess->close();
    stopProgram();
    Processes::terminate(m_progPid);
}

void Volmar::startProgram()
{
    logPane()->clear();
    const QString commandLine = m_pProgComboBox->currentText();

    if (!m_bShowProgWindow) {
        // Its own process group, so that stopping it also ends whatever it started.
        Processes::runInOwnGroup(*m_pProgProcess);
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
    if (m_pProgProcess->state() == QProcess::Running || m_bShowProgWindow) {
        if (m_pProgProcess->state() != QProcess::NotRunning)
            Processes::killGroup(m_pProgProcess->processId());
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
    if (m_bAutoReload && m_pStartButton->text() == tr("Стоп")) {
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
    if (m_bAutoRunProgram)
        startProgram();
    activateWindow();
}

void Volmar::slotAuxButton()
{
    m_pAuxButton->setText(m_sAuxTitle);
    m_pAuxButton->setFixedSize(m_pAuxButton->sizeHint().width() + 10, m_pAuxButton->sizeHint().height());

    m_pAuxProcess->setStandardOutputFile(QProcess::nullDevice());
    m_pAuxProcess->setStandardErrorFile(QProcess::nullDevice());
    if (!Processes::startCommand(*m_pAuxProcess, m_sAuxCmdLine, QIODevice::ReadWrite)) {
        Dialogs::warning(this, QStringLiteral("Volmar"), QStringLiteral("\n") + m_sAuxTitle + tr(" не запустилась!"));
        return;
    }
    // The window takes no input until the command ends or its time is up.
    const bool finished =
        ProcessWait::waitForFinished(m_pAuxProcess, m_nAuxTimeout) || m_pAuxProcess->state() == QProcess::NotRunning;
    if (!finished) {
        m_pAuxProcess->kill();
        m_pAuxProcess->waitForFinished(-1);
        Dialogs::warning(this, QStringLiteral("Volmar"),
                         QStringLiteral("\n") + m_sAuxTitle + tr(" не завершилась в отведенное время!"));
        return;
    }
    Dialogs::about(this, QStringLiteral("Volmar"), QStringLiteral("\n") + m_sAuxTitle + tr(" завершилась."));
}
