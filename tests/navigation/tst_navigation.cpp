#include "app/detachedpages.h"
#include "app/tabwgt.h"
#include "app/volmar.h"
#include "document/inientry.h"
#include "platform/textcodec.h"
#include "tests/common/testutil.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using TestUtil::readBytes;

namespace
{
// The described file: "Level" in both sections, so that a switched-off key shows which one was meant.
const QByteArray AIni = "[Adc]\r\nMode=1\r\nGain=2 // gain\r\nLevel=4\r\n"
                        "[Gen]\r\nFreq=10 // from the file\r\nHidden=5\r\nLevel=3 // level\r\nExtra=9\r\n";
// The second file of a set lacks Gen.Extra.
const QByteArray BIni = "[Adc]\r\nMode=1\r\nGain=2\r\nLevel=4\r\n[Gen]\r\nFreq=10\r\nHidden=5\r\nLevel=3\r\n";

QByteArray description()
{
    return TextCodec::toCp1251(
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<settings>\r\n    <check>1</check>\r\n"
        "    <group title=\"АЦП\" color=\"255,230,200\" open=\"0\">\r\n"
        "        <param name=\"Adc.Mode\" title=\"Режим\"/>\r\n    </group>\r\n"
        "    <group title=\"Генератор\" color=\"210, 235, 255\" open=\"1\">\r\n"
        "        <param name=\"Gen.Freq\" title=\"Частота\" comment=\"Из описания\"/>\r\n"
        "        <param name=\"Gen.Hidden\" title=\"Скрытый\" invisible=\"1\"/>\r\n"
        "        <param name=\"Gen.Level\" title=\"Уровень\"/>\r\n"
        "        <param name=\"Gen.Extra\" title=\"Дополнительный\"/>\r\n    </group>\r\n</settings>\r\n");
}
} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Nothing is started when files open, and values are saved only on request.
        TestUtil::resetStoreWithoutAutoStarts({"Auto Save", "Auto Reload"});
        Dialogs::clearShown();
        Dialogs::clearPendingAnswers();
        m_ini = m_dir.filePath("a.ini");
        m_desc = m_dir.filePath("a.vlmr");
        TestUtil::writeBytes(m_ini, AIni);
        TestUtil::writeBytes(m_dir.filePath("b.ini"), BIni);
        TestUtil::writeBytes(m_desc, description());
        m_window = std::make_unique<Volmar>();
        m_window->resize(900, 800);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        open({m_ini});
    }

    void cleanup()
    {
        m_window.reset();
        QVERIFY(!Dialogs::pendingAnswers());
        Dialogs::clearPendingAnswers();
    }

    void commentFollowsClicks()
    {
        QLabel* comment = m_window->m_ui.m_pCommentLabel;
        click("Gain");
        QCOMPARE(comment->text(), "gain");
        click("Частота");
        QCOMPARE(comment->text(), "Из описания");
        click("Генератор");
        QCOMPARE(comment->text(), QString());
        // The keyboard moves the comment too.
        m_window->m_view.m_pParamsTree->setCurrentItem(row("Уровень"));
        QCOMPARE(comment->text(), "level");
        QCOMPARE(m_window->m_view.m_pParamsTree->currentColumn(), 1);
    }

    void doubleClickStoresOpenInItsLine()
    {
        ParamTreeItem* adc = row("АЦП");
        QVERIFY(!adc->isExpanded());
        QTest::mouseDClick(m_window->m_view.m_pParamsTree->viewport(), Qt::LeftButton, {}, centreOf(adc));
        QVERIFY(adc->isExpanded());
        QCOMPARE(readBytes(m_desc), description().replace("200\" open=\"0\"", "200\" open=\"1\""));
        QTest::mouseDClick(m_window->m_view.m_pParamsTree->viewport(), Qt::LeftButton, {}, centreOf(adc));
        QVERIFY(!adc->isExpanded());
        QCOMPARE(readBytes(m_desc), description());
    }

    void keyboardStoresOpen_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("open"); // the state the key leaves the closed or opened group in
        QTest::newRow("Right") << int(Qt::Key_Right) << true;
        QTest::newRow("plus") << int(Qt::Key_Plus) << true;
        QTest::newRow("asterisk") << int(Qt::Key_Asterisk) << true;
        QTest::newRow("Left") << int(Qt::Key_Left) << false;
        QTest::newRow("minus") << int(Qt::Key_Minus) << false;
    }

    void keyboardStoresOpen()
    {
        QFETCH(int, key);
        QFETCH(bool, open);
        ParamsTreeWidget* tree = m_window->m_view.m_pParamsTree;
        const QByteArray opened = description().replace("200\" open=\"0\"", "200\" open=\"1\"");
        ParamTreeItem* adc = row("АЦП");
        // The group starts in the other state, in the tree and in the file.
        adc->setExpanded(!open);
        if (!open)
            TestUtil::writeBytes(m_desc, opened);
        tree->setCurrentItem(adc);
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key(key));
        QCOMPARE(adc->isExpanded(), open);
        QCOMPARE(readBytes(m_desc), open ? opened : description());
        // A key that opens or closes nothing writes nothing.
        TestUtil::writeBytes(m_desc, "unchanged");
        QTest::keyClick(tree, Qt::Key(key));
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(readBytes(m_desc), "unchanged");
    }

    void groupColour()
    {
        click("Генератор");
        // The file writes the colour with blanks: a write of the same colour would show as their loss.
        Dialogs::setNextColor(QColor(210, 235, 255));
        m_window->m_ui.m_pActionColorGroup->trigger();
        QCOMPARE(Dialogs::shown().constLast().kind + '|' + Dialogs::shown().constLast().caption,
                 "color|Выберите цвет группы");
        QCOMPARE(readBytes(m_desc), description());

        Dialogs::setNextColor(QColor(1, 2, 3));
        m_window->m_ui.m_pActionColorGroup->trigger();
        QCOMPARE(readBytes(m_desc), description().replace("210, 235, 255", "1,2,3"));
        QCOMPARE(row("Генератор")->m_color, QColor(1, 2, 3));
        QCOMPARE(row("Частота")->m_color, QColor(1, 2, 3));
        // The view stays where it was.
        QCOMPARE(m_window->m_view.m_pParamsTree->currentItem(), row("Генератор"));
    }

    void colourActionOnlyOnDescriptionGroups()
    {
        ParamsTreeWidget* tree = m_window->m_view.m_pParamsTree;
        const auto rightClick = [&](const QString& title) {
            QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centreOf(row(title)));
            return tree->actions().contains(m_window->m_ui.m_pActionColorGroup);
        };
        QVERIFY(rightClick("Генератор"));
        QVERIFY(!rightClick("Частота"));
        QVERIFY(!rightClick("[Adc]"));
    }

    void keyNamesShowHiddenRows()
    {
        ParamTreeItem* hidden = row("Скрытый");
        ParamTreeItem* freq = row("Частота");
        QVERIFY(hidden->isHidden());
        // An edited value, as the delegate leaves it.
        freq->m_pEntry->value = "11";
        freq->setForeground(1, Qt::red);

        m_window->m_ui.m_pActionName->trigger();
        QCOMPARE(hidden->text(0) + '|' + freq->text(0), "Hidden|Freq");
        QVERIFY(!hidden->isHidden());
        QCOMPARE(freq->foreground(1).color(), QColor(Qt::red));
        QCOMPARE(hidden->foreground(1).color(), QColor(Qt::black));

        m_window->m_ui.m_pActionName->trigger();
        QCOMPARE(hidden->text(0) + '|' + freq->text(0), "Скрытый|Частота");
        QVERIFY(hidden->isHidden());
        QCOMPARE(freq->foreground(1).color(), QColor(Qt::red));

        // A reload keeps showing what the checked menu entry says.
        m_window->m_ui.m_pActionName->trigger();
        m_window->loadFiles();
        hidden = row("Hidden");
        QVERIFY(hidden && row("Freq"));
        QVERIFY(!hidden->isHidden());
        m_window->m_ui.m_pActionName->trigger();
    }

    void fontDialog()
    {
        QFont big = m_window->m_view.m_pParamsTree->font();
        big.setPointSize(23);
        Dialogs::setNextFont(big);
        m_window->m_ui.m_pActionFont->trigger();
        QCOMPARE(m_window->m_view.m_pParamsTree->font().pointSize(), 23);
        QCOMPARE(m_window->m_ui.m_pCommentLabel->font().pointSize(), 23);
        QCOMPARE(m_window->m_font.pointSize(), 23);

        // Cancelled: the trees keep their font, and the window takes the current tree's.
        m_window->m_font.setPointSize(5);
        big.setPointSize(31);
        Dialogs::setNextFont(big, false);
        m_window->m_ui.m_pActionFont->trigger();
        QCOMPARE(m_window->m_view.m_pParamsTree->font().pointSize(), 23);
        QCOMPARE(m_window->m_font.pointSize(), 23);
    }

    void sectionTabs()
    {
        TestUtil::writeBytes(m_desc, QByteArray(description()).replace("<check>1</check>", "<tabs>1</tabs>"));
        open({m_ini});
        ParamsTreeWidget* gen = m_window->m_view.m_sectionTrees.value("Gen");
        QVERIFY(gen);
        m_window->m_ui.tabWidget->setCurrentWidget(gen->parentWidget());
        // Laid out once the page is shown.
        QTRY_VERIFY(gen->viewport()->height() > 100);
        QTreeWidgetItem* freq = gen->findItems("Частота", Qt::MatchRecursive, 0).value(0);
        QVERIFY(freq);
        QTest::mouseClick(gen->viewport(), Qt::LeftButton, {}, gen->visualItemRect(freq).center());
        QCOMPARE(m_window->m_view.m_pCurTree, gen);
        gen->setCurrentItem(freq->parent());

        // A new colour reaches the screen at once, and the keyboard stays with the tree in view.
        QWidget* window = m_window.get();
        const auto onScreen = [&] {
            const QPoint at = gen->viewport()->mapTo(window, gen->visualItemRect(freq).center());
            return QGuiApplication::primaryScreen()->grabWindow(window->winId()).toImage().pixelColor(at);
        };
        const auto changeColour = [&](const QColor& colour) {
            Dialogs::setNextColor(colour);
            m_window->m_ui.m_pActionColorGroup->trigger();
            QTRY_COMPARE(onScreen(), colour);
        };
        changeColour(QColor(1, 2, 3));
        QTRY_COMPARE(QApplication::focusWidget(), gen);
        QCOMPARE(gen->currentItem(), freq->parent());

        // Also in a separate window.
        QTabBar* bar = m_window->m_ui.tabWidget->tabBar();
        const QPoint tab = bar->tabRect(m_window->m_pPages->tabTitles().indexOf("Gen")).center();
        Dialogs::setNextMenuChoice(m_window->m_ui.m_pTopAction);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, tab, bar->mapToGlobal(tab));
        QCoreApplication::sendEvent(bar, &menu);
        window = m_window->m_pPages->windows().value("Gen");
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_VERIFY(gen->viewport()->height() > 100);
        changeColour(QColor(4, 5, 6));

        // Key names switch the section trees too.
        m_window->m_ui.m_pActionName->trigger();
        QCOMPARE(freq->text(0), "Freq");
        QVERIFY(!gen->findItems("Hidden", Qt::MatchRecursive, 0).value(0)->isHidden());
        m_window->m_ui.m_pActionName->trigger();
        QCOMPARE(freq->text(0), "Частота");
        window->close();
    }

private:
    void open(const QStringList& files)
    {
        m_window->m_session.setOpenList(files);
        m_window->openFiles();
        QTRY_VERIFY(m_window->m_session.description().m_nTabs != 0 || m_window->m_view.m_pParamsTree->isVisible());
    }

    ParamTreeItem* row(const QString& title) const
    {
        const QList<QTreeWidgetItem*> rows =
            m_window->m_view.m_pParamsTree->findItems(title, Qt::MatchFixedString | Qt::MatchRecursive, 0);
        return rows.isEmpty() ? nullptr : static_cast<ParamTreeItem*>(rows.first());
    }

    QPoint centreOf(QTreeWidgetItem* item) const
    {
        return m_window->m_view.m_pParamsTree->visualRect(m_window->m_view.m_pParamsTree->indexFromItem(item)).center();
    }

    void click(const QString& title)
    {
        ParamTreeItem* item = row(title);
        QVERIFY2(item, qPrintable(title));
        QTest::mouseClick(m_window->m_view.m_pParamsTree->viewport(), Qt::LeftButton, {}, centreOf(item));
    }

    QTemporaryDir m_dir;
    QString m_ini;
    QString m_desc;
    std::unique_ptr<Volmar> m_window;
};

int main(int argc, char** argv)
{
    // The window opens the files named in the application's arguments; the test functions named on a
    // command line must not become INI files in the current folder.
    int appArgc = 1;
    QApplication app(appArgc, argv);
    TestNavigation test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_navigation.moc"
