// Firmware loading: the command lines of "pld.bat", running the chosen one and judging its output.
#include "app/notepad.h"
#include "app/volmar.h"
#include "control/processwait.h"
#include "control/programlist.h"
#include "control/qprocessex.h"
#include "platform/processes.h"
#include "platform/textcodec.h"
#include "platform/userfile.h"
#include "widgets/messagebox.h"

#include <QFile>

namespace
{
constexpr int PldTimeoutMs = 30000;
} // namespace

void Volmar::fillPldList()
{
    m_pPldComboBox->clear();
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
    if (!entries.isEmpty()) {
        m_pActionLoadPld->setEnabled(true);
        m_pPldComboBox->setEnabled(true);
        m_pPldButton->setEnabled(true);
        m_pHelpPld->setEnabled(true);
    }
}

bool Volmar::loadPld()
{
    m_pPldProcess->setStandardErrorFile(QProcess::nullDevice());
    if (!Processes::startCommand(*m_pPldProcess, m_pPldComboBox->currentText(), QIODevice::ReadWrite))
        return false;
    // A tool still running after the limit keeps running; what it wrote so far decides.
    if (!ProcessWait::waitForFinished(m_pPldProcess, PldTimeoutMs))
        m_pPldProcess->waitForReadyRead(0);
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
        m_pPldProcess->close();
    if (wasRunning)
        stopProgram();
    if (loadPld() && wasRunning)
        startProgram();
}

void Volmar::slotHelpPld()
{
    Notepad::open(this, QStringLiteral("pld.bat"));
}
