#include "widgets/settings.h"

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
    m_pRestartTimeoutEdit->setValidator(new BoundedIntValidator(0, Options::MaxRestartTimeout, m_pRestartTimeoutEdit));
    m_pLogLinesSpin->setRange(Options::MinLogLines, Options::MaxLogLines);
    m_pLogMbSpin->setRange(Options::MinLogMb, Options::MaxLogMb);
}

void Settings::setOptions(const Options& options)
{
    m_options = options;
    setOrvexDir(options.m_sOrvexDirectory);
    setAutoLoadOrvex(options.m_bAutoLoadOrvex);
    setAutoExitOrvex(options.m_bAutoExitOrvex);
    setAutoLoadPld(options.m_bAutoLoadPld);
    setAutoSave(options.m_bAutoSave);
    setAutoRunProgram(options.m_bAutoRunProgram);
    setAutoReload(options.m_bAutoReload);
    setSingleModeOff(options.m_bSingleModeOff);
    setShowProgWindow(options.m_bShowProgWindow);
    setRestart(options.m_bRestart);
    setRestartTimeout(int(qMin<uint>(options.m_nRestartTimeout, Options::MaxRestartTimeout)));
    setLogMaxLines(options.m_nLogMaxLines);
    setLogMaxMb(options.m_nLogMaxMb);
    setOutputEncoding(options.m_outputEncoding);
}

Options Settings::options() const
{
    Options options = m_options;
    options.m_sOrvexDirectory = orvexDir();
    options.m_bAutoLoadOrvex = autoLoadOrvex();
    options.m_bAutoExitOrvex = autoExitOrvex();
    options.m_bAutoLoadPld = autoLoadPld();
    options.m_bAutoSave = autoSave();
    options.m_bAutoRunProgram = autoRunProgram();
    options.m_bAutoReload = autoReload();
    options.m_bSingleModeOff = singleModeOff();
    options.m_bShowProgWindow = showProgWindow();
    options.m_bRestart = restart();
    options.m_nRestartTimeout = uint(qMax(0, restartTimeout()));
    options.m_nLogMaxLines = logMaxLines();
    options.m_nLogMaxMb = logMaxMb();
    options.m_outputEncoding = outputEncoding();
    return options;
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
    m_pRestartTimeoutEdit->setText(QString::number(qBound(0, ms, Options::MaxRestartTimeout)));
}

int Settings::restartTimeout() const
{
    return qBound(0, m_pRestartTimeoutEdit->text().toInt(nullptr, 10), Options::MaxRestartTimeout);
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

void Settings::setOutputEncoding(TextCodec::OutputEncoding encoding)
{
    // The list holds the choices in the order of the enumeration.
    m_pOutputEncodingCombo->setCurrentIndex(int(encoding));
}

TextCodec::OutputEncoding Settings::outputEncoding() const
{
    return TextCodec::OutputEncoding(qMax(0, m_pOutputEncodingCombo->currentIndex()));
}

void Settings::slotClicked()
{
    const QString dir = Dialogs::getExistingDirectory(this, tr("Выберите директорию Orvex"), m_pOrvexDirEdit->text());
    if (!dir.isEmpty())
        m_pOrvexDirEdit->setText(dir);
}
