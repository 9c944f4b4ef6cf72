#pragma once

#include "app/paramsview.h"
#include "control/programrunner.h"
#include "session/editingsession.h"
#include "settings/options.h"
#include "ui_volmar.h"

#include <QDateTime>
#include <QFont>
#include <QMainWindow>
#include <QStringList>

class DetachedPages;
class EditActions;
class ParamTreeItem;
class ProgramPanel;

// The main window. The editing session holds the files and their description, the view shows them
// in the parameter trees, the runner runs the test program; the window asks the user's questions
// and passes the answers on.
class Volmar : public QMainWindow
{
    Q_OBJECT

public:
    // `files` are the names given on the command line: main reads them, so that a window made by a
    // test or a benchmark never takes that program's own arguments for files.
    explicit Volmar(QWidget* parent = nullptr, Qt::WindowFlags flags = {}, const QStringList& files = {});
    ~Volmar() override;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

public slots:
    void slotClicked();
    void slotActionOpen();
    void slotActionSave();
    void slotActionSaveAs();
    void slotActionAbout();
    void slotActionSettings();
    void slotActionUpdateIni();
    void slotParamChanged(ParamTreeItem* pItem);
    void slotAuxButton();
    void slotTerminationSignal(int signalNumber);

public:
    // Window set-up (app/)
    void centreOnScreen();

    // Opening and saving (app/volmar_files.cpp)
    // The openable ones of `files`; the others are named in one message.
    QStringList openableFiles(const QStringList& files);
    void openFiles();
    // Names in the order and form the command line gives them: sorted, and absolute, since opening
    // moves the current directory.
    static QStringList commandLineOrder(QStringList files);
    // Opens the openable ones of `files` in place of the document; false, and the document as it
    // was, when none is. The caller has asked about unsaved values.
    bool openChosen(const QStringList& files);
    // The recent openings menu, read from the store each time it opens.
    void fillRecentMenu();
    void openRecent(const QStringList& files);
    void loadFiles();
    void showRefusals(const QStringList& refused);
    // Asks whether to save changed values, and saves them if the user says so.
    void askSave();
    void checkOutsideChanges();

    // Options: read before any file is opened, written at close.
    void loadSettings();
    void saveSettings();

    Ui::VolmarClass m_ui;
    EditingSession m_session;
    ParamsView m_view;
    bool m_bDeactivated = false;

    DetachedPages* m_pPages = nullptr;
    EditActions* m_pEdit = nullptr;

    bool m_bUnattendedClose = false; // a signal asked the editor to end: no questions

    Options m_options;
    QFont m_font; // of the trees and the comment label
    // Declared after the options it reads, so that it goes first.
    ProgramRunner m_runner{m_options};
    ProgramPanel* m_pPanel = nullptr;
};
