#include "app/volmar.h"

#include "app/firstlook.h"
#include "app/tabwgt.h"
#include "control/qprocessex.h"
#include "platform/processes.h"
#include "widgets/logtools.h"
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

Volmar::Volmar(QWidget* parent, Qt::WindowFlags flags, const QStringList& files) : QMainWindow(parent, flags)
{
    setupUi(this);

    m_bDescFromIni = false;
    m_sLastDir = QString();
    m_bDeactivated = false;
    m_bCheck = false;
    m_nTabs = 0;
    m_nDefList = 0;
    m_pCurTree = nullptr;
    // Shown only when a description defines the auxiliary command.
    m_pAuxButton->hide();

    centreOnScreen();

    m_openList = files;
    m_openList.sort();
    // Opening moves the current directory to the first file's folder; names typed relative to the
    // shell's folder must still find their files after that.
    for (QString& name : m_openList)
        if (QFileInfo(name).isRelative())
            name = QFileInfo(name).absoluteFilePath();
    // A folder, a FIFO or a file that cannot be read is named in a message and left out.
    m_openList = openableFiles(m_openList);
    m_fileList = m_openList;

    m_pFileTabs = nullptr;
    m_pParamsTree = nullptr;
    m_bStart = false;
    m_progPid = 0;

    m_pProgProcess = new QProcessEx(this);
    m_pPldProcess = new QProcessEx(this);
    // No parent: with "Auto Exit Orvex" off the visualiser outlives the window.
    m_pOrvexProcess = new QProcessEx();
    m_pAuxProcess = new QProcessEx(this);
    setUpProgramControl();
    // The log's tools stand above it on its page.
    verticalLayout_9->insertWidget(0, new LogTools(logPane(), widget_2));

    loadSettings();
    openFiles();

    connect(m_pActionOpen, &QAction::triggered, this, &Volmar::slotActionOpen);
    connect(m_pActionSave, &QAction::triggered, this, &Volmar::slotActionSave);
    connect(m_pActionSaveAs, &QAction::triggered, this, &Volmar::slotActionSaveAs);
    connect(m_pActionFont, &QAction::triggered, this, &Volmar::slotActionFont);
    connect(m_pActionAbout, &QAction::triggered, this, &Volmar::slotActionAbout);
    connect(m_pActionName, &QAction::triggered, this, &Volmar::slotActionName);
    connect(m_pActionColorGroup, &QAction::triggered, this, &Volmar::slotActionColorGroup);
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

Volmar::~Volmar()
{
    qDeleteAll(m_sectionTrees);
    m_sectionTrees.clear();
    qDeleteAll(m_sectionLabels);
    m_sectionLabels.clear();
    // The rows point into the document, which goes before the widgets do: an editor still open
    // commits while its tree is destroyed, so the trees go first.
    clearGroupItems();
    m_pCurTree = nullptr;
    if (m_pFileTabs)
        disconnect(m_pFileTabs, nullptr, this, nullptr);
    delete m_pParamsTree; // leaves its file tab, if it stands in one
    m_pParamsTree = nullptr;
    delete m_pFileTabs;
    m_pFileTabs = nullptr;
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
        QStringList changed;
        for (int i = 0; i < m_fileList.size(); ++i)
            if (fileTime(m_fileList.at(i)) != m_fileTimes.value(i))
                changed << QFileInfo(m_fileList.at(i)).fileName();
        // Nothing changed: the next activation looks again.
        if (!changed.isEmpty()) {
            const QString text = changed.size() == 1
                                     ? tr("Файл ") + changed.first() + tr(" был изменен. Хотите перезагрузить его?")
                                     : tr("Файлы ") + changed.join(QStringLiteral(", ")) +
                                           tr(" были изменены. Хотите перезагрузить их?");
            const QPalette windowPalette = palette();
            if (Dialogs::question(nullptr, QString(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                                  &windowPalette) == QMessageBox::Yes)
                loadFiles();
            // The box itself deactivated the window; that must not arm the next check.
            m_bDeactivated = false;
        }
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
    // Keypad Enter (Qt::Key_Enter) is left to the tree.
    if (m_pCurTree && obj == m_pCurTree && e->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Return) {
        // An open editor passes its own Return up when it commits; that one closes it and opens nothing.
        QTreeWidgetItem* item = m_pCurTree->currentItem();
        if (item && !m_pCurTree->isEditing())
            m_pCurTree->editItem(item, ParamsTreeWidget::ValueColumn);
        return true;
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
    if (m_pCurTree)
        m_pCurTree->setFocus();
    saveSettings();
    // Ended by a signal, nobody is there to answer.
    if (!m_bUnattendedClose)
        askSave();
    writeDescription(QStringLiteral("curprog"), QStringLiteral("cmdline"), m_pProgComboBox->currentText());

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
