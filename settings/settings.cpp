#include "settings/settings.h"

#include "widgets/messagebox.h"

#include <QIntValidator>
#include <QToolButton>

Settings::Settings(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags | Qt::WindowCloseButtonHint)
{
    setupUi(this);
    // Made here rather than in the form: the form's connection to a slot it does not know would be
    // string-based.
    connect(toolButton, &QToolButton::clicked, this, &Settings::slotClicked);
    m_pRestartTimeoutEdit->setValidator(new QIntValidator(0, 1000000, m_pRestartTimeoutEdit));
}

void Settings::setOrvexDir(const QString& dir)
{
    m_pOrvexDirEdit->setText(dir);
}

QString Settings::orvexDir() const
{
    return m_pOrvexDirEdit->text();
}

void Settings::setAutoLoadOrvex(bool on)
{
    m_pAutoLoadOrvexCheck->setChecked(on);
}

bool Settings::autoLoadOrvex() const
{
    return m_pAutoLoadOrvexCheck->isChecked();
}

void Settings::setAutoExitOrvex(bool on)
{
    m_pAutoExitOrvexCheck->setChecked(on);
}

bool Settings::autoExitOrvex() const
{
    return m_pAutoExitOrvexCheck->isChecked();
}

void Settings::setAutoLoadPld(bool on)
{
    m_pAutoLoadPldCheck->setChecked(on);
}

bool Settings::autoLoadPld() const
{
    return m_pAutoLoadPldCheck->isChecked();
}

void Settings::setAutoSave(bool on)
{
    m_pAutoSaveCheck->setChecked(on);
}

bool Settings::autoSave() const
{
    return m_pAutoSaveCheck->isChecked();
}

void Settings::setAutoRunProgram(bool on)
{
    m_pAutoRunProgramCheck->setChecked(on);
}

bool Settings::autoRunProgram() const
{
    return m_pAutoRunProgramCheck->isChecked();
}

void Settings::setAutoReload(bool on)
{
    m_pAutoReloadCheck->setChecked(on);
}

bool Settings::autoReload() const
{
    return m_pAutoReloadCheck->isChecked();
}

void Settings::setSingleModeOff(bool on)
{
    m_pSingleModeOffCheck->setChecked(on);
}

bool Settings::singleModeOff() const
{
    return m_pSingleModeOffCheck->isChecked();
}

void Settings::setShowProgWindow(bool on)
{
    m_pProgWindowCheck->setChecked(on);
}

bool Settings::showProgWindow() const
{
    return m_pProgWindowCheck->isChecked();
}

void Settings::setRestart(bool on)
{
    m_pRestartCheck->setChecked(on);
}

bool Settings::restart() const
{
    return m_pRestartCheck->isChecked();
}

void Settings::setRestartTimeout(int ms)
{
    m_pRestartTimeoutEdit->setText(QString::number(ms));
}

int Settings::restartTimeout() const
{
    return m_pRestartTimeoutEdit->text().toInt(nullptr, 10);
}

void Settings::slotClicked()
{
    const QString dir = Dialogs::getExistingDirectory(this, tr("Выберите директорию Orvex"), m_pOrvexDirEdit->text());
    if (!dir.isEmpty())
        m_pOrvexDirEdit->setText(dir);
}
