#include "app/programpanel.h"

#include "app/notepad.h"
#include "control/processwait.h"
#include "control/programlist.h"
#include "platform/textcodec.h"
#include "platform/userfile.h"
#include "settings/options.h"
#include "ui_volmar.h"
#include "widgets/logpane.h"
#include "widgets/messagebox.h"

#include <QDir>
#include <QFile>

#include <functional>

namespace
{
// Calls back when a widget is enabled or disabled, also through its parent.
class EnabledChangeFilter : public QObject
{
public:
    EnabledChangeFilter(QWidget* widget, QObject* owner, std::function<void()> changed)
        : QObject(owner), m_changed(std::move(changed))
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

QString findInPath(const QString& name)
{
    return ProgramList::findInPath(name, qEnvironmentVariable("PATH"));
}

const QString Title = QStringLiteral("Volmar");
} // namespace

ProgramPanel::ProgramPanel(QWidget* window, Ui::VolmarClass& form, ProgramRunner& runner)
    : QObject(window), m_pWindow(window), m_form(form), m_runner(runner)
{
    connect(m_form.m_pStartButton, &QPushButton::clicked, this, &ProgramPanel::slotStartButton);
    connect(m_form.m_pPldButton, &QPushButton::clicked, this, &ProgramPanel::slotLoadPld);
    connect(m_form.m_pActionLoadPld, &QAction::triggered, this, &ProgramPanel::slotLoadPld);
    connect(m_form.m_pHelpPld, &QPushButton::clicked, this, &ProgramPanel::slotHelpPld);
    connect(m_form.m_pActionRunOrvex, &QAction::triggered, this, &ProgramPanel::runOrvex);
    connect(m_form.m_pTerminateButton, &QPushButton::clicked, this, &ProgramPanel::slotTerminate);
    connect(m_form.m_pProgComboBox, &QComboBox::currentTextChanged, &m_runner, &ProgramRunner::setCommandLine);

    connect(&m_runner, &ProgramRunner::stateChanged, this, &ProgramPanel::updateStartButton);
    connect(&m_runner, &ProgramRunner::outputStarted, this, [this](bool afterStop) {
        if (afterStop)
            m_sPendingCr.clear();
        const Options& options = m_runner.options();
        const qint64 bytesPerMb = 1024 * 1024;
        logPane()->setLimits({options.m_nLogMaxLines, qsizetype(options.m_nLogMaxMb) * bytesPerMb});
        logPane()->clear(options.m_outputEncoding, m_sPendingCr);
    });
    connect(&m_runner, &ProgramRunner::outputArrived, this,
            [this](const QByteArray& bytes) { logPane()->append(bytes, m_sPendingCr); });
    connect(&m_runner, &ProgramRunner::outputFinished, this, [this] { logPane()->finish(m_sPendingCr); });
    connect(&m_runner, &ProgramRunner::pldFinished, this, &ProgramPanel::showPldResult);

    new EnabledChangeFilter(m_form.m_pStartButton, this, [this] { updateStartButton(); });
    updateStartButton();
}

LogPane* ProgramPanel::logPane()
{
    if (!m_pLogPane)
        m_pLogPane = new LogPane(m_form.m_pLogTextEdit, this);
    return m_pLogPane;
}

void ProgramPanel::updateStartButton()
{
    QPushButton* button = m_form.m_pStartButton;
    const bool offersStop = m_runner.state() != ProgramRunner::State::Stopped;
    button->setText(offersStop ? tr("Стоп") : tr("Старт"));
    // A disabled button keeps the style's own look, so that it reads as disabled.
    if (!button->isEnabled())
        button->setStyleSheet(QString());
    else if (offersStop)
        button->setStyleSheet(QStringLiteral("background-color: red"));
    else
        button->setStyleSheet(QStringLiteral("background-color: #00FF00"));
}

void ProgramPanel::fillLists(QStringList programs, const QString& curProg, int defList, const QString& firstIniFile)
{
    const bool any = ProgramList::complete(programs, curProg, defList, firstIniFile,
                                           ProgramList::programFiles(QDir::currentPath()), &findInPath);
    if (any) {
        m_form.m_pProgComboBox->setEnabled(true);
        m_form.m_pStartButton->setEnabled(true);
    }
    m_form.m_pProgComboBox->clear();
    m_form.m_pProgComboBox->addItems(programs);
    m_form.m_pProgComboBox->setCurrentIndex(0);

    m_form.m_pPldComboBox->clear();
    // Without a firmware command there is nothing to load.
    setPldControlsEnabled(false);
    QString batchName = QStringLiteral("pld.bat");
    if (!QFile::exists(batchName))
        batchName = QStringLiteral("pldload.bat");
    // A FIFO or a folder named like the batch file is not read.
    QByteArray batch;
    if (QFile::exists(batchName) && UserFile::read(batchName, &batch) == UserFile::Status::Regular) {
        const QStringList entries = ProgramList::pldEntries(TextCodec::decode(batch));
        m_form.m_pPldComboBox->addItems(entries);
        setPldControlsEnabled(!entries.isEmpty());
    }

    const QStringList dataFiles = ProgramList::dataFiles(QDir::currentPath());
    m_form.m_pBinComboBox->clear();
    m_form.m_pBinComboBox->addItems(dataFiles);
    if (!dataFiles.isEmpty())
        m_form.m_pBinComboBox->setEnabled(true);
    m_form.m_pBinComboBox->setCurrentIndex(ProgramList::preferredDataFile(dataFiles));
}

void ProgramPanel::setPldControlsEnabled(bool enabled)
{
    m_form.m_pActionLoadPld->setEnabled(enabled);
    m_form.m_pPldComboBox->setEnabled(enabled);
    m_form.m_pPldButton->setEnabled(enabled);
    m_form.m_pHelpPld->setEnabled(enabled);
}

void ProgramPanel::slotStartButton()
{
    m_runner.toggle();
}

void ProgramPanel::slotPrepare()
{
    if (ProcessWait::isWaiting()) {
        ProcessWait::deferCall(this, [this] { slotPrepare(); });
        return;
    }
    const Options& options = m_runner.options();
    if (options.m_bAutoLoadOrvex)
        runOrvex();
    if (options.m_bAutoLoadPld)
        loadPld();
    if (options.m_bAutoRunProgram)
        m_runner.autoStart();
    m_pWindow->activateWindow();
}

void ProgramPanel::showPldResult(ProgramRunner::PldResult result)
{
    if (result == ProgramRunner::PldResult::Loaded)
        Dialogs::information(m_pWindow, Title, tr("\nПрошивка успешно загружена!"));
    else if (result == ProgramRunner::PldResult::Failed)
        Dialogs::critical(m_pWindow, Title, tr("\nПрошивка не загружена!"));
}

void ProgramPanel::loadPld()
{
    m_runner.loadPld(m_form.m_pPldComboBox->currentText());
}

void ProgramPanel::slotLoadPld()
{
    m_runner.loadPldAroundProgram(m_form.m_pPldComboBox->currentText());
}

void ProgramPanel::slotHelpPld()
{
    Notepad::open(m_pWindow, QStringLiteral("pld.bat"));
}

void ProgramPanel::runOrvex()
{
    const QString data = m_form.m_pBinComboBox->currentText();
    const QRect frame = m_pWindow->frameGeometry();
    ProgramRunner::OrvexStart started = m_runner.runOrvex(data, frame);
    if (started == ProgramRunner::OrvexStart::OthersRunning) {
        if (Dialogs::question(m_pWindow, Title, tr("Orvex уже запущена!\nЗагрузить ещё один экземпляр программы?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes)
            return;
        started = m_runner.runOrvex(data, frame, true);
    }
    if (started == ProgramRunner::OrvexStart::Failed)
        Dialogs::warning(m_pWindow, Title, tr("\nНеверно указана директория Orvex!"));
}

void ProgramPanel::slotTerminate()
{
    const ProgramRunner::StrayProcesses stray = m_runner.strayProcesses();
    if (stray.count == 0)
        return;
    const QMessageBox::StandardButton answer =
        Dialogs::question(nullptr, QString(),
                          tr("Хотите завершить все процессы ") + stray.name + QStringLiteral("(") +
                              QString::number(stray.count) + QStringLiteral(")?"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::No)
        ProgramRunner::killProcesses(stray.name);
}

void ProgramPanel::runAuxCommand(const QString& title, const QString& commandLine, int timeoutMs)
{
    QPushButton* button = m_form.m_pAuxButton;
    button->setText(title);
    button->setFixedSize(button->sizeHint().width() + 10, button->sizeHint().height());
    const std::optional<CommandOutcome::Message> message = m_runner.runAuxCommand(title, commandLine, timeoutMs);
    if (!message)
        return;
    if (message->kind == CommandOutcome::Kind::Finished)
        Dialogs::about(m_pWindow, Title, message->text);
    else
        Dialogs::warning(m_pWindow, Title, message->text);
}
