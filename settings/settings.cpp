#include "settings/settings.h"

#include "widgets/messagebox.h"

#include <QIntValidator>
#include <QToolButton>

namespace
{
// Integers from bottom to top: a key that would take the number past the top is refused, as one
// that makes it no number at all; text left out of range when the edit is done is brought into it.
class BoundedIntValidator : public QIntValidator
{
public:
    using QIntValidator::QIntValidator;

    State validate(QString& input, int& pos) const override
    {
        const State state = QIntValidator::validate(input, pos);
        bool ok = false;
        const qlonglong value = input.toLongLong(&ok);
        return state == Intermediate && ok && value > top() ? Invalid : state;
    }

    void fixup(QString& input) const override
    {
        bool ok = false;
        const qlonglong value = input.toLongLong(&ok);
        if (ok)
            input = QString::number(qBound(qlonglong(bottom()), value, qlonglong(top())));
    }
};
} // namespace

Settings::Settings(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags | Qt::WindowCloseButtonHint)
{
    setupUi(this);
    // Made here rather than in the form: the form's connection to a slot it does not know would be
    // string-based.
    connect(toolButton, &QToolButton::clicked, this, &Settings::slotClicked);
    m_pRestartTimeoutEdit->setValidator(new BoundedIntValidator(0, MaxRestartTimeout, m_pRestartTimeoutEdit));
    m_pLogLinesSpin->setRange(MinLogLines, MaxLogLines);
    m_pLogMbSpin->setRange(MinLogMb, MaxLogMb);
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
    m_pRestartTimeoutEdit->setText(QString::number(qBound(0, ms, MaxRestartTimeout)));
}

int Settings::restartTimeout() const
{
    return qBound(0, m_pRestartTimeoutEdit->text().toInt(nullptr, 10), MaxRestartTimeout);
}

void Settings::setLogMaxLines(int lines)
{
    m_pLogLinesSpin->setValue(lines);
}

int Settings::logMaxLines() const
{
    return m_pLogLinesSpin->value();
}

void Settings::setLogMaxMb(int megabytes)
{
    m_pLogMbSpin->setValue(megabytes);
}

int Settings::logMaxMb() const
{
    return m_pLogMbSpin->value();
}

void Settings::setOutputEncoding(OutputDecoder::Encoding encoding)
{
    // The list holds the choices in the order of the enumeration.
    m_pOutputEncodingCombo->setCurrentIndex(int(encoding));
}

OutputDecoder::Encoding Settings::outputEncoding() const
{
    return OutputDecoder::Encoding(qMax(0, m_pOutputEncodingCombo->currentIndex()));
}

void Settings::slotClicked()
{
    const QString dir = Dialogs::getExistingDirectory(this, tr("Выберите директорию Orvex"), m_pOrvexDirEdit->text());
    if (!dir.isEmpty())
        m_pOrvexDirEdit->setText(dir);
}
