// The program and data-file lists filled after opening, and the notepad button.
#include "app/notepad.h"
#include "app/volmar.h"
#include "control/programlist.h"

#include <QDir>

void Volmar::fillProgramList()
{
    DescriptionModel& desc = m_session.description();
    const bool any =
        ProgramList::complete(desc.m_progList, desc.m_sCurProg, desc.m_nDefList, m_session.fileList().value(0),
                              ProgramList::programFiles(QDir::currentPath()), &Volmar::findInPath);
    if (any) {
        m_pProgComboBox->setEnabled(true);
        m_pStartButton->setEnabled(true);
    }
    m_pProgComboBox->clear();
    m_pProgComboBox->addItems(desc.m_progList);
    m_pProgComboBox->setCurrentIndex(0);
}

void Volmar::fillBinList()
{
    const QStringList names = ProgramList::dataFiles(QDir::currentPath());
    m_pBinComboBox->clear();
    m_pBinComboBox->addItems(names);
    if (!names.isEmpty())
        m_pBinComboBox->setEnabled(true);
    m_pBinComboBox->setCurrentIndex(ProgramList::preferredDataFile(names));
}

QString Volmar::findInPath(const QString& name)
{
    return ProgramList::findInPath(name, qEnvironmentVariable("PATH"));
}

void Volmar::slotClicked()
{
    Notepad::open(this, m_session.fileList().value(0));
}
