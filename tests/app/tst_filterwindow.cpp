// The filter boxes of the main window: one over every tree the window shows, each narrowing its own
// tree, and what was typed kept when the files are read again.
#include "app/volmar.h"
#include "tests/common/testutil.h"
#include "widgets/messagebox.h"
#include "widgets/paramsfilterbar.h"
#include "widgets/paramstreewidget.h"

#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{
const QByteArray SectionsIni = "[A]\r\nAlpha=1\r\n[B]\r\nBeta=2\r\n[C]\r\nGamma=3\r\n";
}

class TestFilterWindow : public QObject
{
    Q_OBJECT

private slots:
    void everyTreeHasItsBox_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("tabs");
        QTest::addColumn<QStringList>("counts"); // of the boxes over the trees in view, "beta" typed
        QTest::newRow("one file") << QStringList{"a.ini"} << false << QStringList{"1 из 3"};
        QTest::newRow("set of files") << QStringList{"a.ini", "b.ini"} << false << QStringList{"1 из 3"};
        QTest::newRow("section tabs") << QStringList{"a.ini"} << true << QStringList{"0 из 1", "1 из 1", "0 из 1"};
    }

    void everyTreeHasItsBox()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, tabs);
        QSettings store("Korvane", "Volmar");
        store.clear();
        // Nothing is started after opening.
        for (const char* option : {"Auto Load Orvex", "Auto Run Program", "Auto Load PLD"})
            store.setValue(option, 0);
        store.sync();
        Dialogs::clearShown();
        QTemporaryDir dir;
        QStringList paths;
        for (const QString& name : files) {
            paths << dir.filePath(name);
            QVERIFY(TestUtil::writeBytes(paths.last(), SectionsIni));
        }
        if (tabs)
            QVERIFY(TestUtil::writeBytes(dir.filePath("a.vlmr"), "<settings><tabs>1</tabs></settings>"));
        Volmar window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.m_session.setOpenList(paths);
        window.openFiles();

        QFETCH(QStringList, counts);
        QCOMPARE(boxes(window, "beta"), counts);
        // Another file of the set, or the same files read again: the boxes keep what they hold.
        if (window.m_view.m_pFileTabs)
            window.m_view.m_pFileTabs->setCurrentIndex(2);
        else
            window.loadFiles();
        QCOMPARE(boxes(window, QString()), counts);
        QVERIFY(Dialogs::shown().isEmpty());
    }

private:
    // Types `text` into the box over every tree in view, and returns the boxes' counts.
    static QStringList boxes(const Volmar& window, const QString& text)
    {
        QStringList counts;
        const QList<ParamsTreeWidget*> trees = window.m_view.allTrees();
        for (ParamsFilterBar* bar : window.findChildren<ParamsFilterBar*>()) {
            if (!bar->tree() || !trees.contains(bar->tree()) || bar->tree()->topLevelItemCount() == 0)
                continue;
            if (!text.isEmpty())
                bar->m_pEdit->setText(text);
            counts << bar->m_pCount->text();
        }
        return counts;
    }
};

QTEST_MAIN(TestFilterWindow)
#include "tst_filterwindow.moc"
