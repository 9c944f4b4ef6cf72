#pragma once

#include <QMap>
#include <QObject>
#include <QPoint>
#include <QStringList>

class EditingSession;
class QAction;
class QTabWidget;
class QWidget;
class TabWgt;

// Pages of the window's tab widget taken out into windows of their own (TabWgt) through the tab bar's
// context menu, put back when those windows close, and put back into them after a reload rebuilt
// every page into the tab row.
class DetachedPages : public QObject
{
    Q_OBJECT

public:
    // `window` lends its size to a first detached window; `windowActions` stay at hand in each
    // detached window; the session gives the order the pages are normally built in.
    DetachedPages(QWidget* window, QTabWidget* tabs, QAction* topAction, const QList<QAction*>& windowActions,
                  const EditingSession& session);

    QStringList tabTitles() const;
    // The detached windows by the title of the page each shows.
    const QMap<QString, TabWgt*>& windows() const { return m_tabWindows; }
    TabWgt* activeWindow() const;
    // After a reload: each detached window takes back its rebuilt page, or closes when there is none.
    void rehome();

public slots:
    void slotShowTabBarContextMenu(QPoint point);

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    QWidget* pageAt(const QPoint& pos) const;
    void returnPage(TabWgt* w, const QString& title);
    void takeInto(TabWgt* w, QWidget* page);

    QWidget* m_pWindow;
    QTabWidget* m_pTabs;
    QAction* m_pTopAction;
    QList<QAction*> m_windowActions;
    const EditingSession& m_session;
    QMap<QString, TabWgt*> m_tabWindows;
};
