#include "app/volmar.h"

#include "app/detachedpages.h"
#include "app/editactions.h"
#include "app/firstlook.h"
#include "app/notepad.h"
#include "app/programpanel.h"
#include "control/terminationsignals.h"
#include "widgets/logtools.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"
#include "widgets/settings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QSettings>

Volmar::Volmar(QWidget* parent, Qt::WindowFlags flags, const QStringList& files)
    : QMainWindow(parent, flags), m_view(*this, m_session)
{
    m_ui.setupUi(this);
    m_pEdit = new EditActions(*this, m_session, m_view);
    m_pPages = new DetachedPages(this, m_ui.tabWidget, m_ui.m_pTopAction,
                                 {m_ui.m_pActionOpen, m_ui.m_pActionSave, m_pEdit->undoAction(), m_pEdit->redoAction()},
                                 m_session);

    // Shown only when a description defines the auxiliary command.
    m_ui.m_pAuxButton->hide();

    centreOnScreen();

    // A folder, a FIFO or a file that cannot be read is named in a message and left out.
    m_session.setOpenList(openableFiles(commandLineOrder(files)));

    m_pPanel = new ProgramPanel(this, m_ui, m_runner);
    connect(TerminationSignals::instance(), &TerminationSignals::received, this, &Volmar::slotTerminationSignal);
    // The log's tools stand above it on its page.
    m_ui.verticalLayout_9->insertWidget(0, new LogTools(m_pPanel->logPane(), m_ui.widget_2));

    loadSettings();
    openFiles();

    connect(m_ui.m_pActionOpen, &QAction::triggered, this, &Volmar::slotActionOpen);
    connect(m_ui.m_pRecentMenu, &QMenu::aboutToShow, this, &Volmar::fillRecentMenu);
    setAcceptDrops(true);
    fillRecentMenu();
    connect(m_ui.m_pActionSave, &QAction::triggered, this, &Volmar::slotActionSave);
    connect(m_ui.m_pActionSaveAs, &QAction::triggered, this, &Volmar::slotActionSaveAs);
    connect(m_ui.m_pActionFont, &QAction::triggered, &m_view, &ParamsView::slotActionFont);
    connect(m_ui.m_pActionAbout, &QAction::triggered, this, &Volmar::slotActionAbout);
    connect(m_ui.m_pActionName, &QAction::triggered, &m_view, &ParamsView::slotActionName);
    connect(m_ui.m_pActionColorGroup, &QAction::triggered, &m_view, &ParamsView::slotActionColorGroup);
    connect(m_ui.m_pActionSettings, &QAction::triggered, this, &Volmar::slotActionSettings);
    connect(m_ui.m_pActionUpdateIni, &QAction::triggered, this, &Volmar::slotActionUpdateIni);
}

// The view goes before the session: its rows point into the session's document, and an editor still
// open commits while its tree is destroyed.
Volmar::~Volmar()
{
    // The program row goes before the runner it shows, and with it what still reaches it.
    delete m_pPanel;
    m_pPanel = nullptr;
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
        const QWidget* page = m_ui.tabWidget->currentWidget();
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
    m_session.rememberProgram(m_ui.m_pProgComboBox->currentText());
    m_runner.endForClose();

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

void Volmar::slotClicked()
{
    Notepad::open(this, m_session.fileList().value(0));
}

void Volmar::slotAuxButton()
{
    const DescriptionModel& desc = m_session.description();
    m_pPanel->runAuxCommand(desc.m_sAuxTitle, desc.m_sAuxCmdLine, desc.m_nAuxTimeout);
}

void Volmar::loadSettings()
{
    QSettings store(QStringLiteral("Korvane"), QStringLiteral("Volmar"));
    m_options = Options::load(store, QSettings(QStringLiteral("Korvane"), QStringLiteral("Orvex")));
    restoreState(m_options.m_windowState, 0);
    restoreGeometry(m_options.m_geometry);
    if (!m_options.m_sFont.isEmpty()) {
        // A description that does not parse keeps the current font rather than a half-applied one.
        QFont font = m_font;
        if (font.fromString(m_options.m_sFont))
            m_font = font;
        m_ui.m_pCommentLabel->setFont(m_font);
    }
}

void Volmar::saveSettings()
{
    m_options.m_geometry = saveGeometry();
    m_options.m_windowState = saveState(0);
    // The tree holds what the user changed since the start (font action, dragged column); with no
    // tree the loaded values go back unchanged.
    ParamsTreeWidget* tree = m_view.m_pParamsTree;
    m_options.m_sFont = (tree ? tree->font() : m_font).toString();
    if (tree)
        m_options.m_nWidthColumn = tree->columnWidth(ParamsTreeWidget::TitleColumn);
    QSettings store(QStringLiteral("Korvane"), QStringLiteral("Volmar"));
    m_options.save(store);
}

void Volmar::slotActionSettings()
{
    // The options apply where they are next read; the store is written at close.
    Settings dialog;
    dialog.setOptions(m_options);
    if (dialog.exec() == QDialog::Accepted)
        m_options = dialog.options();
}

void Volmar::slotTerminationSignal(int)
{
    // Unsaved parameters stay unsaved: writing them needs the user's yes.
    m_bUnattendedClose = true;
    // Open dialogs, message boxes and menus are dismissed as with Escape; their loops end once this
    // slot returns.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != this && window->isVisible() && (window->isModal() || window->windowType() == Qt::Popup))
            window->close();
    }
    // Runs in the loop that is left then; a window already closing, or closed, stays as it is.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible())
                close();
        },
        Qt::QueuedConnection);
}
