#include "app/detachedpages.h"

#include "app/tabwgt.h"
#include "session/editingsession.h"
#include "widgets/messagebox.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace
{
const QString GeometryKey = QStringLiteral("geometry_tab");
const QString PositionKey = QStringLiteral("state_tab");
const QString Organisation = QStringLiteral("Korvane");
const QString Application = QStringLiteral("Volmar");
} // namespace

DetachedPages::DetachedPages(QWidget* window, QTabWidget* tabs, QAction* topAction,
                             const QList<QAction*>& windowActions, const EditingSession& session)
    : QObject(window), m_pWindow(window), m_pTabs(tabs), m_pTopAction(topAction), m_windowActions(windowActions),
      m_session(session)
{
    // QTabWidget keeps its tab bar to itself; the child is found by type.
    if (auto* tabBar = m_pTabs->findChild<QTabBar*>()) {
        tabBar->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(tabBar, &QTabBar::customContextMenuRequested, this, &DetachedPages::slotShowTabBarContextMenu);
    }
}

QWidget* DetachedPages::pageAt(const QPoint& pos) const
{
    const QTabBar* bar = m_pTabs->tabBar();
    for (int i = 0; i < bar->count(); ++i)
        if (bar->tabRect(i).contains(pos))
            return m_pTabs->widget(i);
    return nullptr;
}

QStringList DetachedPages::tabTitles() const
{
    QStringList titles;
    for (int i = 0; i < m_pTabs->count(); ++i)
        titles << m_pTabs->tabText(i);
    return titles;
}

void DetachedPages::takeInto(TabWgt* w, QWidget* page)
{
    w->m_pPage = page;
    w->m_pLayout->addWidget(page);
}

void DetachedPages::slotShowTabBarContextMenu(QPoint point)
{
    // The last page stays: a tab widget with nothing in it would leave the window blank.
    if (m_pTabs->count() == 1)
        return;
    QWidget* page = pageAt(point);
    if (!page)
        return;
    m_pTabs->setCurrentWidget(page);
    const int idx = m_pTabs->currentIndex();

    QMenu menu;
    menu.addAction(m_pTopAction);
    if (Dialogs::execMenu(&menu, m_pTabs->tabBar()->mapToGlobal(point)) != m_pTopAction)
        return;

    const QString title = m_pTabs->tabText(idx);
    auto* w = new TabWgt;
    // Taking the page's parent away removes its tab.
    page->setParent(w);
    w->setWindowTitle(title);

    const QSettings store(Organisation, Application);
    const QByteArray geometry = store.value(GeometryKey).toByteArray();
    if (!geometry.isEmpty())
        w->restoreGeometry(geometry);
    else
        w->resize(m_pWindow->size());
    // The stored position wins over the one inside the stored geometry.
    w->move(store.value(PositionKey, QPoint(0, 0)).toPoint());

    takeInto(w, page);
    w->show();
    page->show();

    w->installEventFilter(this);
    // Opening, saving, undo and redo stay at hand in the page's own window.
    w->addActions(m_windowActions);
    m_tabWindows[title] = w;
}

bool DetachedPages::eventFilter(QObject* obj, QEvent* e)
{
    if (e->type() == QEvent::Close) {
        if (auto* w = qobject_cast<TabWgt*>(obj)) {
            const QString title = m_tabWindows.key(w);
            if (!title.isEmpty()) {
                returnPage(w, title);
                return true;
            }
        }
    }
    return QObject::eventFilter(obj, e);
}

void DetachedPages::returnPage(TabWgt* w, const QString& title)
{
    // The page goes back among the pages that are in place, in the order they are normally built.
    QStringList order =
        m_session.description().m_nTabs != 0 ? m_session.document().m_sections : QStringList{QStringLiteral("Ini")};
    order << QStringLiteral("Log");
    QStringList present = tabTitles();
    present << title;
    order.erase(std::remove_if(order.begin(), order.end(), [&](const QString& t) { return !present.contains(t); }),
                order.end());
    // A title no longer among the normal ones gives -1, which appends.
    const int p = order.indexOf(title);

    if (QWidget* page = w->m_pPage) {
        // A reload may already have put the page back.
        int index = m_pTabs->indexOf(page);
        if (index < 0)
            index = m_pTabs->insertTab(p, page, title);
        m_pTabs->setCurrentIndex(index);
    }

    if (m_tabWindows.size() == 1) {
        QSettings store(Organisation, Application);
        store.setValue(GeometryKey, w->saveGeometry());
        store.setValue(PositionKey, w->pos());
    }
    m_tabWindows.remove(title);
    w->removeEventFilter(this);
    // The window is still inside its own close handling.
    w->deleteLater();
}

void DetachedPages::rehome()
{
    // A reload rebuilds every page into the tab row. A page whose window stands apart goes back into
    // that window, so the window keeps showing it and the row does not show it twice.
    const QStringList titles = m_tabWindows.keys();
    for (const QString& title : titles) {
        TabWgt* w = m_tabWindows.value(title);
        const int index = tabTitles().indexOf(title);
        // The last page stays in the row, as it does when pages are taken out.
        if (index >= 0 && m_pTabs->count() > 1) {
            QWidget* page = m_pTabs->widget(index);
            page->setParent(w);
            takeInto(w, page);
            page->show();
            continue;
        }
        // Nothing of that name was rebuilt (a section gone, "Ini" while sections have tabs of their
        // own): the window has nothing left to show and closes.
        QWidget* page = w->m_pPage;
        if (page && page->parentWidget() == w) {
            page->hide();
            page->setParent(m_pTabs);
        }
        w->m_pPage = nullptr;
        returnPage(w, title);
    }
}

TabWgt* DetachedPages::activeWindow() const
{
    for (TabWgt* window : m_tabWindows)
        if (window && window->isActiveWindow())
            return window;
    return nullptr;
}
