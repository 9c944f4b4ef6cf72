#pragma once

#include "app/paramsview.h"
#include "control/outputdecoder.h"
#include "session/editingsession.h"
#include "ui_volmar.h"

#include <QDateTime>
#include <QFont>
#include <QMainWindow>
#include <QMap>
#include <QProcess>
#include <QStringList>

class ParamTreeItem;
class QProcessEx;
class LogPane;
class TabWgt;

// The main window. The editing session holds the files and their description, the view shows them
// in the parameter trees; the window asks the user's questions and passes the answers on.
class Volmar : public QMainWindow, public Ui::VolmarClass
{
    Q_OBJECT

public:
    // `files` are the names given on the command line: main reads them, so that a window made by a
    // test or a benchmark never takes that program's own arguments for files.
    explicit Volmar(QWidget* parent = nullptr, Qt::WindowFlags flags = {}, const QStringList& files = {});
    ~Volmar() override;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

public slots:
    void slotClicked();
    void slotActionOpen();
    void slotActionSave();
    void slotActionSaveAs();
    void slotActionAbout();
    void slotActionSettings();
    void slotLoadPld();
    void slotActionRunOrvex();
    void slotActionUpdateIni();
    void slotStartButton();
    void slotHelpPld();
    void slotTerminate();
    void slotLogUpdate();
    void slotParamChanged(ParamTreeItem* pItem);
    void slotPrepare();
    void slotFinishedExam(int exitCode, QProcess::ExitStatus exitStatus);
    void slotShowTabBarContextMenu(QPoint point);
    void slotAuxButton();
    void slotTerminationSignal(int signalNumber);

public:
    // Window set-up (app/)
    void centreOnScreen();
    QWidget* tabPageAt(const QPoint& pos) const;
    QStringList tabTitles() const;
    void returnDetachedPage(TabWgt* w, const QString& title);
    void rehomeDetachedPages();
    TabWgt* activeDetachedWindow() const;

    // Opening and saving (app/volmar_files.cpp)
    // The openable ones of `files`; the others are named in one message.
    QStringList openableFiles(const QStringList& files);
    void openFiles();
    void loadFiles();
    void showRefusals(const QStringList& refused);
    // Asks whether to save changed values, and saves them if the user says so.
    void askSave();
    void checkOutsideChanges();

    // Program, firmware and data lists (control/)
    void fillProgramList();
    void fillPldList();
    void fillBinList();
    static QString findInPath(const QString& name);
    bool loadPld();
    void setPldControlsEnabled(bool enabled);

    // Program runner (control/)
    void setUpProgramControl();
    void restartAfterChange();
    void updateStartButton();
    void startProgram();
    void stopProgram();
    LogPane* logPane();

    // Visualiser and stray processes (control/)
    void runOrvex();
    static int countProcesses(const QByteArray& name, qint64 excludedPid = -1);
    static int killProcesses(const QByteArray& name);

    // Options (settings/)
    void loadSettings();
    void saveSettings();

    EditingSession m_session;
    ParamsView m_view;
    bool m_bDeactivated = false;

    QMap<QString, TabWgt*> m_tabWindows;

    QProcessEx* m_pProgProcess = nullptr;
    QProcessEx* m_pPldProcess = nullptr;
    QProcessEx* m_pOrvexProcess = nullptr;
    QProcessEx* m_pAuxProcess = nullptr;
    bool m_bStart = false;
    qint64 m_progPid = 0;
    QString m_sPendingCr;
    LogPane* m_pLogPane = nullptr;   // created with the first program start
    bool m_bUnattendedClose = false; // a signal asked the editor to end: no questions

    // Options
    QFont m_font;
    int m_nWidthColumn = 0;
    QString m_sOrvexDirectory;
    QString m_sOrvexOwnDir;
    bool m_bAutoLoadOrvex = false;
    bool m_bAutoExitOrvex = false;
    bool m_bAutoLoadPld = false;
    bool m_bAutoSave = false;
    bool m_bAutoRunProgram = false;
    bool m_bAutoReload = false;
    bool m_bSpinApply = false;
    bool m_bSingleModeOff = false;
    bool m_bShowProgWindow = false;
    bool m_bRestart = false;
    uint m_nRestartTimeout = 0;
    int m_nLogMaxLines = 50000;
    int m_nLogMaxMb = 32;
    OutputDecoder::Encoding m_outputEncoding = OutputDecoder::Encoding::Auto;
};
