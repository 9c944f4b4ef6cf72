// The visualiser launch and the termination of stray processes of the selected program.
#include "app/volmar.h"
#include "control/processgroup.h"
#include "control/qprocessex.h"
#include "platform/processes.h"
#include "widgets/messagebox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

void Volmar::runOrvex()
{
    QString data = m_pBinComboBox->currentText();
    if (!data.isEmpty())
        data = QFileInfo(data).absoluteFilePath();
    data = QDir::toNativeSeparators(data);
    QString dir = m_sOrvexDirectory.isEmpty() ? m_sOrvexOwnDir : m_sOrvexDirectory;
    // Neither Volmar nor the visualiser has named a folder yet (a first start): the visualiser that
    // ships with Volmar is the one to use.
    if (dir.isEmpty())
        dir = Processes::helperDirectory(QCoreApplication::applicationDirPath());
    const QStringList arguments{QStringLiteral("-r"), data, QStringLiteral("-j")};

    if (m_pOrvexProcess->state() == QProcess::Running)
        return;
    if (countProcesses(QByteArrayLiteral("Orvex.exe")) > 0) {
        const QMessageBox::StandardButton answer = Dialogs::question(
            this, QStringLiteral("Volmar"), tr("Orvex уже запущена!\nЗагрузить ещё один экземпляр программы?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer != QMessageBox::Yes)
            return;
    }
    // Ended with the editor, even one killed outright, unless it is to outlive it.
    ProcessGroup::of(m_pOrvexProcess)
        ->setLifetime(m_bAutoExitOrvex ? ProcessGroup::Lifetime::EndsWithEditor
                                       : ProcessGroup::Lifetime::OutlivesEditor);
    // Its output is never read; a pipe nobody empties would only fill memory.
    m_pOrvexProcess->setStandardOutputFile(QProcess::nullDevice());
    m_pOrvexProcess->setStandardErrorFile(QProcess::nullDevice());
    // The stand-in visualiser opens beside this window rather than over it; a real one ignores this.
    const QRect frame = frameGeometry();
    QProcessEnvironment place;
    place.insert(QStringLiteral("VOLMAR_GEOMETRY"),
                 QStringLiteral("%1,%2,%3,%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height()));
    Processes::start(*m_pOrvexProcess, dir + QStringLiteral("/Orvex.exe"), arguments, QIODevice::ReadWrite, place);
    if (m_pOrvexProcess->state() == QProcess::NotRunning)
        Dialogs::warning(this, QStringLiteral("Volmar"), tr("\nНеверно указана директория Orvex!"));
}

void Volmar::slotActionRunOrvex()
{
    runOrvex();
}

int Volmar::countProcesses(const QByteArray& name, qint64 excludedPid)
{
    return Processes::count(name, excludedPid);
}

int Volmar::killProcesses(const QByteArray& name)
{
    return Processes::kill(name);
}

void Volmar::slotTerminate()
{
    QString name = m_pProgComboBox->currentText();
    if (name.contains(QLatin1String("kelda.exe")))
        name = QStringLiteral("kelda.exe");
    if (m_pOrvexProcess->state() == QProcess::Running)
        return;
    const int n = countProcesses(name.toLocal8Bit());
    if (n == 0)
        return;
    const QMessageBox::StandardButton answer = Dialogs::question(
        nullptr, QString(),
        tr("Хотите завершить все процессы ") + name + QStringLiteral("(") + QString::number(n) + QStringLiteral(")?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::No)
        killProcesses(name.toLocal8Bit());
}
