#pragma once

#include "app/tabwgt.h"
#include "app/volmar.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

inline QSettings programStore()
{
    return QSettings(QStringLiteral("Korvane"), QStringLiteral("Volmar"));
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A shown main window started without files, and a folder for the files it opens.
struct WindowFixture
{
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Volmar> window;

    void start()
    {
        QSettings store = programStore();
        store.clear();
        // Nothing is started after opening: the tests start the programs they need themselves.
        store.setValue(QStringLiteral("Auto Load Orvex"), 0);
        store.setValue(QStringLiteral("Auto Run Program"), 0);
        store.setValue(QStringLiteral("Auto Load PLD"), 0);
        store.sync();
        Dialogs::clearShown();
        Dialogs::clearPendingAnswers();
        dir = std::make_unique<QTemporaryDir>();
        window = std::make_unique<Volmar>();
        window->resize(700, 500);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void finish()
    {
        // Pages go home before the window that owns their trees is destroyed.
        const QList<TabWgt*> detached = window ? window->m_tabWindows.values() : QList<TabWgt*>();
        for (TabWgt* w : detached)
            w->close();
        window.reset();
        QVERIFY(!Dialogs::pendingAnswers());
        Dialogs::clearPendingAnswers();
    }

    QString path(const QString& name) const { return dir->filePath(name); }

    void open(const QStringList& names)
    {
        QStringList paths;
        for (const QString& name : names)
            paths << path(name);
        window->m_openList = window->m_fileList = paths;
        window->openFiles();
        // A tree put into a shown window appears on the next pass of the event loop.
        QTRY_VERIFY(window->m_nTabs != 0 || window->m_pParamsTree->isVisible());
    }

    // Right-clicks the tab and picks "Показать в отдельном окне".
    TabWgt* detach(const QString& title)
    {
        QTabBar* bar = window->tabWidget->tabBar();
        const QPoint at = bar->tabRect(window->tabTitles().indexOf(title)).center();
        Dialogs::setNextMenuChoice(window->m_pTopAction);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, bar->mapToGlobal(at));
        QCoreApplication::sendEvent(bar, &event);
        return window->m_tabWindows.value(title);
    }

    QTreeWidgetItem* row(const QString& title) const
    {
        const QList<QTreeWidgetItem*> rows = window->m_pCurTree->findItems(title, Qt::MatchRecursive, 0);
        return rows.size() == 1 ? rows.first() : nullptr;
    }
};
