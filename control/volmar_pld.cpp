// Firmware loading: the command lines of "pld.bat", running the chosen one and judging its output.
#include "app/notepad.h"
#include "app/volmar.h"
#include "control/processgroup.h"
#include "control/processwait.h"
#include "control/programlist.h"
#include "control/qprocessex.h"
#include "control/terminationsignals.h"
#include "platform/processes.h"
#include "platform/textcodec.h"
#include "platform/userfile.h"
#include "widgets/messagebox.h"

#include <QFile>

namespace
{
constexpr int PldTimeoutMs = 30000;
} // namespace

void Volmar::setPldControlsEnabled(bool enabled)
{
    m_pActionLoadPld->setEnabled(enabled);
    m_pPldComboBox->setEnabled(enabled);
    m_pPldButton->setEnabled(enabled);
    m_pHelpPld->setEnabled(enabled);
}

void Volmar::fillPldList()
{
    m_pPldComboBox->clear();
    // Without a firmware command there is nothing to load.
    setPldControlsEnabled(false);
    QString batchName = QStringLiteral("pld.bat");
    if (!QFile::exists(batchName)) {
        batchName = QStringLiteral("pldload.bat");
        if (!QFile::exists(batchName))
            return;
    }
    // A FIFO or a folder named like the batch file is not read.
    QByteArray batch;
    if (UserFile::read(batchName, &batch) != UserFile::Status::Regular)
        return;
    const QStringList entries = ProgramList::pldEntries(TextCodec::decode(batch));
    m_pPldComboBox->addItems(entries);
    setPldControlsEnabled(!entries.isEmpty());
}

bool Volmar::loadPld()
{
    m_pPldProcess->setStandardErrorFile(QProcess::nullDevice());
    if (!Processes::startCommand(*m_pPldProcess, m_pPldComboBox->currentText(), QIODevice::ReadWrite))
        return false;
    // A tool still running after the limit keeps running; what it wrote so far decides.
    if (!ProcessWait::waitForFinished(m_pPldProcess, PldTimeoutMs))
        m_pPldProcess->waitForReadyRead(0);
    if (TerminationSignals::arrived()) {
        // The editor is asked to end: the tool goes with it, without a word.
        ProcessGroup::end(m_pPldProcess);
        return false;
    }
    const QString output = TextCodec::fromCp1251(m_pPldProcess->readAllStandardOutput());
    if (output.contains(QLatin1String("OK: PLD is progammed"))) {
        Dialogs::information(this, QStringLiteral("Volmar"), tr("\nПрошивка успешно загружена!"));
        return true;
    }
    Dialogs::critical(this, QStringLiteral("Volmar"), tr("\nПрошивка не загружена!"));
    return false;
}

void Volmar::slotLoadPld()
{
    const bool wasRunning = m_pProgProcess->state() == QProcess::Running;
    if (m_pPldProcess->state() == QProcess::Running)
        ProcessGroup::end(m_pPldProcess);
    if (wasRunning)
        stopProgram();
    if (loadPld() && wasRunning)
        startProgram();
}

void Volmar::slotHelpPld()
{
    Notepad::open(this, QStringLiteral("pld.bat"));
}
