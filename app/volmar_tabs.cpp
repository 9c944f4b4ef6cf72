// Pages of the main tab widget taken out into windows of their own and put back when those close.
#include "app/tabwgt.h"
#include "app/volmar.h"
#include "widgets/messagebox.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QSettings>
#include <QTabBar>

#include <algorithm>

namespace
{
const QString GeometryKey = QStringLiteral("geometry_tab");
const QString PositionKey = QStringLiteral("state_tab");
const QString Organisation = QStringLiteral("Korvane");
const QString Application = QStringLiteral("Volmar");
} // namespace

QWidget* Volmar::tabPageAt(const QPoint& pos) const
{
    const QTabBar* bar = m_ui.tabWidget->tabBar();
    for (int i = 0; i < bar->count(); ++i)
        if (bar->tabRect(i).contains(pos))
            return m_ui.tabWidget->widget(i);
    return nullptr;
}

QStringList Volmar::tabTitles() const
{
    QStringList titles;
    for (int i = 0; i < m_ui.tabWidget->count(); ++i)
        titles << m_ui.tabWidget->tabText(i);
    return titles;
}

void Volmar::slotShowTabBarContextMenu(QPoint point)
{
    // The last page stays: a tab widget with nothing in it would leave the window blank.
    if (m_ui.tabWidget->count() == 1)
        return;
    QWidget* page = tabPageAt(point);
    if (!page)
        return;
    m_ui.tabWidget->setCurrentWidget(page);
    const int idx = m_ui.tabWidget->currentIndex();

    QMenu menu;
    menu.addAction(m_ui.m_pTopAction);
    if (Dialogs::execMenu(&menu, m_ui.tabWidget->tabBar()->mapToGlobal(point)) != m_ui.m_pTopAction)
        return;

    const QString title = m_ui.tabWidget->tabText(idx);
    auto* w = new TabWgt;
    // Taking the page's parent away removes its tab.
    page->setParent(w);
    w->setWindowTitle(title);

    const QSettings store(Organisation, Application);
    const QByteArray geometry = store.value(GeometryKey).toByteArray();
    if (!geometry.isEmpty())
        w->restoreGeometry(geometry);
    else
        w->resize(size());
    // The stored position wins over the one inside the stored geometry.
    w->move(store.value(PositionKey, QPoint(0, 0)).toPoint());

    w->m_pPage = page;
    w->m_pLayout->addWidget(page);
    w->show();
    page->show();

    w->installEventFilter(this);
    // Opening and saving stay at hand in the page's own window.
    w->addActions({m_ui.m_pActionOpen, m_ui.m_pActionSave});
    m_tabWindows[title] = w;
}

void Volmar::returnDetachedPage(TabWgt* w, const QString& title)
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
        int index = m_ui.tabWidget->indexOf(page);
        if (index < 0)
            index = m_ui.tabWidget->insertTab(p, page, title);
        m_ui.tabWidget->setCurrentIndex(index);
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

void Volmar::rehomeDetachedPages()
{
    // A reload rebuilds every page into the tab row. A page whose window stands apart goes back into
    // that window, so the window keeps showing it and the row does not show it twice.
    const QStringList titles = m_tabWindows.keys();
    for (const QString& title : titles) {
        TabWgt* w = m_tabWindows.value(title);
        const int index = tabTitles().indexOf(title);
        // The last page stays in the row, as it does when pages are taken out.
        if (index >= 0 && m_ui.tabWidget->count() > 1) {
            QWidget* page = m_ui.tabWidget->widget(index);
            page->setParent(w);
            w->m_pPage = page;
            w->m_pLayout->addWidget(page);
            page->show();
            continue;
        }
        // Nothing of that name was rebuilt (a section gone, "Ini" while sections have tabs of their
        // own): the window has nothing left to show and closes.
        QWidget* page = w->m_pPage;
        if (page && page->parentWidget() == w) {
            page->hide();
            page->setParent(m_ui.tabWidget);
        }
        w->m_pPage = nullptr;
        returnDetachedPage(w, title);
    }
}

TabWgt* Volmar::activeDetachedWindow() const
{
    for (TabWgt* window : m_tabWindows)
        if (window && window->isActiveWindow())
            return window;
    return nullptr;
}
