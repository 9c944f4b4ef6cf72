#include "app/volmar.h"

#include "app/firstlook.h"
#include "app/tabwgt.h"
#include "control/qprocessex.h"
#include "platform/processes.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTabBar>

Volmar::Volmar(QWidget* parent, Qt::WindowFlags flags, const QStringList& files)
    : QMainWindow(parent, flags), m_view(*this, m_session)
{
    setupUi(this);

    // Shown only when a description defines the auxiliary command.
    m_pAuxButton->hide();

    centreOnScreen();

    QStringList openList = files;
    openList.sort();
    // Opening moves the current directory to the first file's folder; names typed relative to the
    // shell's folder must still find their files after that.
    for (QString& name : openList)
        if (QFileInfo(name).isRelative())
            name = QFileInfo(name).absoluteFilePath();
    // A folder, a FIFO or a file that cannot be read is named in a message and left out.
    m_session.setOpenList(openableFiles(openList));

    m_bStart = false;
    m_progPid = 0;

    m_pProgProcess = new QProcessEx(this);
    m_pPldProcess = new QProcessEx(this);
    // No parent: with "Auto Exit Orvex" off the visualiser outlives the window.
    m_pOrvexProcess = new QProcessEx();
    m_pAuxProcess = new QProcessEx(this);
    setUpProgramControl();

    loadSettings();
    openFiles();

    connect(m_pActionOpen, &QAction::triggered, this, &Volmar::slotActionOpen);
    connect(m_pActionSave, &QAction::triggered, this, &Volmar::slotActionSave);
    connect(m_pActionSaveAs, &QAction::triggered, this, &Volmar::slotActionSaveAs);
    connect(m_pActionFont, &QAction::triggered, &m_view, &ParamsView::slotActionFont);
    connect(m_pActionAbout, &QAction::triggered, this, &Volmar::slotActionAbout);
    connect(m_pActionName, &QAction::triggered, &m_view, &ParamsView::slotActionName);
    connect(m_pActionColorGroup, &QAction::triggered, &m_view, &ParamsView::slotActionColorGroup);
    connect(m_pActionSettings, &QAction::triggered, this, &Volmar::slotActionSettings);
    connect(m_pActionLoadPld, &QAction::triggered, this, &Volmar::slotLoadPld);
    connect(m_pActionRunOrvex, &QAction::triggered, this, &Volmar::slotActionRunOrvex);
    connect(m_pActionUpdateIni, &QAction::triggered, this, &Volmar::slotActionUpdateIni);
    connect(m_pProgProcess, &QProcess::readyReadStandardOutput, this, &Volmar::slotLogUpdate);
    connect(m_pProgProcess, &QProcess::finished, this, &Volmar::slotFinishedExam);

    // QTabWidget keeps its tab bar to itself; the child is found by type.
    if (auto* tabBar = tabWidget->findChild<QTabBar*>()) {
        tabBar->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(tabBar, &QTabBar::customContextMenuRequested, this, &Volmar::slotShowTabBarContextMenu);
    }
}

// The view goes before the session: its rows point into the session's document, and an editor still
// open commits while its tree is destroyed.
Volmar::~Volmar()
{
    // A running visualiser is left alone so that it keeps running after the editor ends; an idle
    // process object is only memory.
    if (m_pOrvexProcess && m_pOrvexProcess->state() == QProcess::NotRunning)
        delete m_pOrvexProcess;
}

void Volmar::centreOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QPoint centre((area.left() + area.right()) / 2, (area.top() + area.bottom()) / 2);
    QRect frame = frameGeometry();
    frame.moveCenter(centre);
    move(frame.topLeft());
}

bool Volmar::event(QEvent* e)
{
    // Shown for the first time ever: large enough for the tree. By now the pages are laid out, and the
    // window is not yet on the screen, so it does not jump.
    if (e->type() == QEvent::Show && !e->spontaneous() &&
        !QSettings(QStringLiteral("Korvane"), QStringLiteral("Volmar")).contains(QStringLiteral("geometry"))) {
        const QWidget* page = tabWidget->currentWidget();
        if (const auto* tree = page ? page->findChild<ParamsTreeWidget*>() : nullptr) {
            if (const QScreen* screen = QGuiApplication::primaryScreen()) {
                resize(FirstLook::windowSize(this, tree, screen->availableGeometry()));
                centreOnScreen();
            }
        }
    }
    if (e->type() == QEvent::WindowActivate && m_bDeactivated) {
        checkOutsideChanges();
    } else if (e->type() == QEvent::WindowDeactivate) {
        m_bDeactivated = true;
    }
    return QMainWindow::event(e);
}

bool Volmar::eventFilter(QObject* obj, QEvent* e)
{
    if (e->type() == QEvent::Close) {
        if (auto* w = qobject_cast<TabWgt*>(obj)) {
            const QString title = m_tabWindows.key(w);
            if (!title.isEmpty()) {
                returnDetachedPage(w, title);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(obj, e);
}

void Volmar::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape)
        close();
    else
        e->ignore();
}

void Volmar::closeEvent(QCloseEvent* e)
{
    // Taking the focus away from an open editor makes it hand its value to the tree before the
    // question about unsaved values.
    if (m_view.m_pCurTree)
        m_view.m_pCurTree->setFocus();
    saveSettings();
    // Ended by a signal, nobody is there to answer.
    if (!m_bUnattendedClose)
        askSave();
    m_session.rememberProgram(m_pProgComboBox->currentText());

    if (m_bAutoExitOrvex && m_pOrvexProcess) {
        m_pOrvexProcess->close();
        delete m_pOrvexProcess;
        m_pOrvexProcess = nullptr;
    }
    // A captured program ends with its process object; a detached one has only its pid.
    if (m_bShowProgWindow)
        Processes::terminate(m_progPid);

    // Detached pages come back through eventFilter and remember their window.
    QApplication::closeAllWindows();
    e->accept();
}

void Volmar::slotActionAbout()
{
    Dialogs::about(this, tr("О программе Volmar"),
                   tr("Volmar, версия %1\n\n"
                      "Редактор INI-файлов программ испытаний плат ЦОС и пульт для их запуска.")
                       .arg(QStringLiteral(VOLMAR_VERSION)));
}

void Volmar::slotActionUpdateIni() {}
