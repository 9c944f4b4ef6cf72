#pragma once

#include "control/programrunner.h"

#include <QObject>
#include <QStringList>

class LogPane;
class QWidget;
namespace Ui
{
class VolmarClass;
}

// The window's program row and log page over the ProgramRunner: fills the program, firmware and
// data-file lists, shows the runner's state on the start button, feeds the log pane, asks the
// questions the runner's operations need and tells their outcomes.
class ProgramPanel : public QObject
{
    Q_OBJECT

public:
    ProgramPanel(QWidget* window, Ui::VolmarClass& form, ProgramRunner& runner);

    // After a file (set) is opened: the description's programs (programs, curProg, defList) with
    // those of the folder, the firmware commands of its batch file, its data files.
    void fillLists(QStringList programs, const QString& curProg, int defList, const QString& firstIniFile);

    // Firmware loading with its message; the running program is left alone.
    void loadPld();
    void runOrvex();
    // The auxiliary command of the description, told as its button's title.
    void runAuxCommand(const QString& title, const QString& commandLine, int timeoutMs);

    // The log of the program's output, made on first use.
    LogPane* logPane();

public slots:
    void slotStartButton();
    // The automatic actions after opening: visualiser, firmware and program, as the options say.
    void slotPrepare();
    void slotLoadPld();
    void slotHelpPld();
    void slotTerminate();

private:
    void updateStartButton();
    void setPldControlsEnabled(bool enabled);
    void showPldResult(ProgramRunner::PldResult result);

    QWidget* m_pWindow;
    Ui::VolmarClass& m_form;
    ProgramRunner& m_runner;
    LogPane* m_pLogPane = nullptr; // made with the first program start
    QString m_sPendingCr;          // the log's "\r" segment carried between chunks
};
