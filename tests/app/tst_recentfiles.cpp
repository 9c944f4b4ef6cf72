// Opening through the recent files menu and by dropping files on the window.
#include "app/volmar.h"
#include "settings/recentfiles.h"
#include "tests/common/testutil.h"
#include "widgets/messagebox.h"

#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <memory>

class TestRecentFiles : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TestUtil::resetStoreWithoutAutoStarts();
        Dialogs::clearShown();
        QVERIFY(m_dir.isValid());
    }

    void cleanup() { QVERIFY(!Dialogs::pendingAnswers()); }

    void dropThenReopenFromAnotherWindow()
    {
        for (const char* name : {"a.ini", "b.ini", "c.ini"})
            QVERIFY(TestUtil::writeBytes(path(name), "[Main]\r\nFreq=48000\r\n"));
        QVERIFY(TestUtil::makeUnusualFile(path("d.ini"), "folder"));

        Volmar first;
        first.show();
        QVERIFY(QTest::qWaitForWindowActive(&first));
        // Dropped in any order, with a file of another kind, the set opens sorted as on the command line.
        drop(first, {"b.ini", "notes.txt", "a.ini"});
        QTRY_COMPARE(first.m_session.fileList(), QStringList({path("a.ini"), path("b.ini")}));
        QCOMPARE(first.windowTitle(), QString("Volmar - Редактируется 2 файла"));

        // A folder is refused with its message; the set stays open.
        Dialogs::setNextAnswer(QMessageBox::Ok);
        drop(first, {"d.ini"});
        QTRY_COMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(Dialogs::shown().first().kind, QString("warning"));
        QVERIFY(Dialogs::shown().first().text.contains("d.ini"));
        QCOMPARE(first.m_session.fileList().size(), 2);

        // Unsaved values are asked about before the dropped file replaces them.
        first.m_session.document().m_entries.first()->value = "44100";
        Dialogs::setNextAnswer(QMessageBox::No);
        drop(first, {"c.ini"});
        QTRY_COMPARE(first.m_session.fileList(), QStringList({path("c.ini")}));
        QCOMPARE(Dialogs::shown().last().kind, QString("question"));
        QCOMPARE(TestUtil::readBytes(path("a.ini")), QByteArray("[Main]\r\nFreq=48000\r\n"));

        // A window made later reads the list from the store: newest first, the set as one entry.
        Volmar second;
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        emit second.m_ui.m_pRecentMenu->aboutToShow();
        const QList<QAction*> entries = second.m_ui.m_pRecentMenu->actions();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(TestUtil::shownText(entries.at(0)->text()), "1 " + path("c.ini"));
        QCOMPARE(TestUtil::shownText(entries.at(1)->text()), "2 " + path("a.ini") + ", " + path("b.ini"));
        entries.at(1)->trigger();
        QCOMPARE(second.m_session.fileList(), QStringList({path("a.ini"), path("b.ini")}));

        // A vanished file: its entry goes, with a message, and the open set stays.
        Dialogs::clearShown();
        QVERIFY(QFile::remove(path("c.ini")));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        emit second.m_ui.m_pRecentMenu->aboutToShow();
        second.m_ui.m_pRecentMenu->actions().at(1)->trigger();
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shown().first().text.contains(path("c.ini")));
        QCOMPARE(second.m_session.fileList().size(), 2);
        QSettings store("Korvane", "Volmar");
        QCOMPARE(RecentFiles::load(store), QList<QStringList>({{path("a.ini"), path("b.ini")}}));
        Dialogs::clearShown();
    }

    void keepsTheNewestTen()
    {
        QSettings store("Korvane", "Volmar");
        for (int i = 0; i < 12; ++i)
            RecentFiles::add(store, {QString("/f%1.ini").arg(i)});
        RecentFiles::add(store, {"/f5.ini"});
        const QList<QStringList> entries = RecentFiles::load(store);
        QCOMPARE(entries.size(), RecentFiles::MaxEntries);
        QCOMPARE(entries.first(), QStringList("/f5.ini"));
        QCOMPARE(entries.at(1), QStringList("/f11.ini"));
        QCOMPARE(entries.last(), QStringList("/f2.ini"));
    }

private:
    void drop(Volmar& window, const QStringList& names)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& name : names)
            urls.append(QUrl::fromLocalFile(path(name)));
        data.setUrls(urls);
        const QPointF centre = QPointF(window.rect().center());
        QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &dropped);
        QVERIFY(dropped.isAccepted());
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestRecentFiles)
#include "tst_recentfiles.moc"
