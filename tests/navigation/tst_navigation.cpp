#include "app/volmar.h"
#include "document/inientry.h"
#include "platform/textcodec.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{
const QColor Grey(120, 120, 120);
const QColor Red(255, 0, 0);
const QColor Black(0, 0, 0);

// The described file: "Level" in both sections, so that a switched-off key shows which one was meant.
const QByteArray AIni = "[Adc]\r\nMode=1\r\nGain=2 // gain\r\nLevel=4\r\n"
                        "[Gen]\r\nFreq=10 // from the file\r\nHidden=5\r\nLevel=3 // level\r\nExtra=9\r\n";
// The second file of a set lacks Gen.Extra.
const QByteArray BIni = "[Adc]\r\nMode=1\r\nGain=2\r\nLevel=4\r\n[Gen]\r\nFreq=10\r\nHidden=5\r\nLevel=3\r\n";

QByteArray description()
{
    return TextCodec::toCp1251(
        QStringLiteral("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
                       "<settings>\r\n"
                       "    <check>1</check>\r\n"
                       "    <group title=\"АЦП\" color=\"255,230,200\" open=\"0\">\r\n"
                       "        <param name=\"Adc.Mode\" title=\"Режим\"/>\r\n"
                       "    </group>\r\n"
                       "    <group title=\"Генератор\" color=\"210, 235, 255\" open=\"1\">\r\n"
                       "        <param name=\"Gen.Freq\" title=\"Частота\" comment=\"Из описания\"/>\r\n"
                       "        <param name=\"Gen.Hidden\" title=\"Скрытый\" invisible=\"1\"/>\r\n"
                       "        <param name=\"Gen.Level\" title=\"Уровень\"/>\r\n"
                       "        <param name=\"Gen.Extra\" title=\"Дополнительный\"/>\r\n"
                       "    </group>\r\n"
                       "</settings>\r\n"));
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QModelIndex indexOf(const QTreeWidget* tree, QTreeWidgetItem* item, int column)
{
    QTreeWidgetItem* parent = item->parent();
    if (!parent)
        return tree->model()->index(tree->indexOfTopLevelItem(item), column);
    return tree->model()->index(parent->indexOfChild(item), column, indexOf(tree, parent, 0));
}

QPoint centreOf(const QTreeWidget* tree, QTreeWidgetItem* item, int column = 0)
{
    return tree->visualRect(indexOf(tree, item, column)).center();
}

// The check box sits at the left of the title cell, inside the delegate's margin.
QPoint checkBoxOf(const QTreeWidget* tree, QTreeWidgetItem* item)
{
    const QRect cell = tree->visualRect(indexOf(tree, item, 0));
    const int margin = tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1;
    const int width = tree->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, tree);
    return QPoint(cell.left() + margin + width / 2, cell.center().y());
}
} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void commentFollowsClicks();
    void uncheckingDisablesOnlyThatKey();
    void missingKeyAskedBeforeAdding();
    void doubleClickStoresOpenInItsLine();
    void groupColour();
    void colourActionOnlyOnDescriptionGroups();
    void keyNamesShowHiddenRows();
    void fontDialog();

private:
    void open(const QStringList& files);
    ParamTreeItem* row(const QString& title) const;
    void click(const QString& title, bool onCheckBox = false);

    QTemporaryDir m_dir;
    QString m_ini;
    QString m_desc;
    std::unique_ptr<Volmar> m_window;
};

void TestNavigation::init()
{
    // Nothing is started when files open, and values are saved only on request.
    QSettings store(QStringLiteral("Korvane"), QStringLiteral("Volmar"));
    store.clear();
    for (const char* option : {"Auto Load Orvex", "Auto Load PLD", "Auto Run Program", "Auto Save", "Auto Reload"})
        store.setValue(QLatin1String(option), 0);
    store.sync();
    Dialogs::clearShown();
    Dialogs::clearPendingAnswers();
    m_ini = m_dir.filePath(QStringLiteral("a.ini"));
    m_desc = m_dir.filePath(QStringLiteral("a.vlmr"));
    writeBytes(m_ini, AIni);
    writeBytes(m_dir.filePath(QStringLiteral("b.ini")), BIni);
    writeBytes(m_desc, description());

    m_window = std::make_unique<Volmar>();
    m_window->resize(900, 800);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestNavigation::cleanup()
{
    m_window.reset();
    QVERIFY(!Dialogs::pendingAnswers());
    Dialogs::clearPendingAnswers();
}

void TestNavigation::open(const QStringList& files)
{
    m_window->m_openList = files;
    m_window->m_fileList = files;
    m_window->openFiles();
    QTRY_VERIFY(m_window->m_pParamsTree->isVisible());
}

ParamTreeItem* TestNavigation::row(const QString& title) const
{
    const QList<QTreeWidgetItem*> rows =
        m_window->m_pParamsTree->findItems(title, Qt::MatchFixedString | Qt::MatchRecursive, 0);
    return rows.isEmpty() ? nullptr : static_cast<ParamTreeItem*>(rows.first());
}

void TestNavigation::click(const QString& title, bool onCheckBox)
{
    ParamsTreeWidget* tree = m_window->m_pParamsTree;
    ParamTreeItem* item = row(title);
    QVERIFY2(item, qPrintable(title));
    const QPoint at = onCheckBox ? checkBoxOf(tree, item) : centreOf(tree, item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
}

void TestNavigation::commentFollowsClicks()
{
    open({m_ini});
    QLabel* comment = m_window->m_pCommentLabel;
    click(QStringLiteral("Gain"));
    QCOMPARE(comment->text(), QStringLiteral("gain"));
    click(QStringLiteral("Частота"));
    QCOMPARE(comment->text(), QStringLiteral("Из описания"));
    click(QStringLiteral("Генератор"));
    QCOMPARE(comment->text(), QString());

    // The keyboard moves the comment too.
    m_window->m_pParamsTree->setCurrentItem(row(QStringLiteral("Уровень")));
    QCOMPARE(comment->text(), QStringLiteral("level"));
    QCOMPARE(m_window->m_pParamsTree->currentColumn(), 1);
}

void TestNavigation::uncheckingDisablesOnlyThatKey()
{
    open({m_ini});
    ParamTreeItem* level = row(QStringLiteral("Уровень"));
    click(QStringLiteral("Уровень"), true);
    QCOMPARE(level->checkState(0), Qt::Unchecked);
    QVERIFY(!level->m_pEntry->enabled);
    QCOMPARE(level->foreground(0).color(), Grey);
    QVERIFY(!(level->flags() & Qt::ItemIsEditable));
    QVERIFY(m_window->m_pParamsTree->isModified());

    m_window->slotActionSave();
    // Switching a key off rewrites the file with LF line ends; only the [Gen] line gains the marker.
    QCOMPARE(readBytes(m_ini), QByteArray(AIni).replace("\r\n", "\n").replace("Level=3", "@Level=3"));
}

void TestNavigation::missingKeyAskedBeforeAdding()
{
    open({m_ini, m_dir.filePath(QStringLiteral("b.ini"))});
    ParamTreeItem* extra = row(QStringLiteral("Дополнительный"));
    QVERIFY(extra->m_pEntry->absent);

    Dialogs::setNextAnswer(QMessageBox::No);
    click(QStringLiteral("Дополнительный"), true);
    QCOMPARE(Dialogs::shown().size(), 1);
    const Dialogs::Shown asked = Dialogs::shown().constLast();
    QCOMPARE(asked.kind, QStringLiteral("question"));
    QCOMPARE(asked.text, QStringLiteral("Параметр отсутствует в некоторых файлах"));
    QCOMPARE(asked.informativeText, QStringLiteral("Добавить параметр во все файлы?"));
    QCOMPARE(asked.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(asked.defaultButton, QMessageBox::Yes);
    QCOMPARE(extra->checkState(0), Qt::Unchecked);
    QVERIFY(extra->m_pEntry->absent);
    QVERIFY(!extra->m_pEntry->enabled);

    // A double click asks the same; No leaves it alone.
    Dialogs::setNextAnswer(QMessageBox::No);
    QTest::mouseDClick(m_window->m_pParamsTree->viewport(), Qt::LeftButton, {},
                       centreOf(m_window->m_pParamsTree, extra));
    QCOMPARE(Dialogs::shown().constLast().informativeText, QStringLiteral("Добавить параметр во все файлы?"));
    QVERIFY(extra->m_pEntry->absent);

    Dialogs::setNextAnswer(QMessageBox::Yes);
    click(QStringLiteral("Дополнительный"), true);
    QCOMPARE(extra->checkState(0), Qt::Checked);
    QVERIFY(!extra->m_pEntry->absent);
    QVERIFY(extra->m_pEntry->enabled);
}

void TestNavigation::doubleClickStoresOpenInItsLine()
{
    open({m_ini});
    ParamsTreeWidget* tree = m_window->m_pParamsTree;
    ParamTreeItem* adc = row(QStringLiteral("АЦП"));
    QVERIFY(!adc->isExpanded());

    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, centreOf(tree, adc));
    QVERIFY(adc->isExpanded());
    QByteArray expected = description();
    expected.replace(TextCodec::toCp1251(QStringLiteral("255,230,200\" open=\"0\"")),
                     TextCodec::toCp1251(QStringLiteral("255,230,200\" open=\"1\"")));
    QCOMPARE(readBytes(m_desc), expected);

    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, centreOf(tree, adc));
    QVERIFY(!adc->isExpanded());
    QCOMPARE(readBytes(m_desc), description());
}

void TestNavigation::groupColour()
{
    open({m_ini});
    click(QStringLiteral("Генератор"));
    // The file writes the colour with blanks: a write of the same colour would show as their loss.
    const QByteArray before = readBytes(m_desc);

    Dialogs::setNextColor(QColor(210, 235, 255));
    m_window->m_pActionColorGroup->trigger();
    QCOMPARE(Dialogs::shown().constLast().kind, QStringLiteral("color"));
    QCOMPARE(Dialogs::shown().constLast().caption, QStringLiteral("Выберите цвет группы"));
    QCOMPARE(readBytes(m_desc), before);

    Dialogs::setNextColor(QColor(1, 2, 3));
    m_window->m_pActionColorGroup->trigger();
    QCOMPARE(readBytes(m_desc), QByteArray(before).replace("210, 235, 255", "1,2,3"));
    QCOMPARE(row(QStringLiteral("Генератор"))->m_color, QColor(1, 2, 3));
    QCOMPARE(row(QStringLiteral("Частота"))->m_color, QColor(1, 2, 3));
    // The view stays where it was.
    QCOMPARE(m_window->m_pParamsTree->currentItem(), row(QStringLiteral("Генератор")));
}

void TestNavigation::colourActionOnlyOnDescriptionGroups()
{
    open({m_ini});
    ParamsTreeWidget* tree = m_window->m_pParamsTree;
    const auto rightClick = [&](const QString& title) {
        QTest::mousePress(tree->viewport(), Qt::RightButton, {}, centreOf(tree, row(title)));
        QTest::mouseRelease(tree->viewport(), Qt::RightButton, {}, centreOf(tree, row(title)));
        return tree->actions().contains(m_window->m_pActionColorGroup);
    };
    QVERIFY(rightClick(QStringLiteral("Генератор")));
    QVERIFY(!rightClick(QStringLiteral("Частота")));
    QVERIFY(!rightClick(QStringLiteral("[Adc]")));
}

void TestNavigation::keyNamesShowHiddenRows()
{
    open({m_ini});
    ParamTreeItem* hidden = row(QStringLiteral("Скрытый"));
    ParamTreeItem* freq = row(QStringLiteral("Частота"));
    QVERIFY(hidden->isHidden());
    // An edited value, as the delegate leaves it.
    freq->m_pEntry->value = QStringLiteral("11");
    freq->setForeground(1, Red);

    m_window->m_pActionName->trigger();
    QCOMPARE(hidden->text(0), QStringLiteral("Hidden"));
    QVERIFY(!hidden->isHidden());
    QCOMPARE(freq->text(0), QStringLiteral("Freq"));
    QCOMPARE(freq->foreground(1).color(), Red);
    QCOMPARE(hidden->foreground(1).color(), Black);

    m_window->m_pActionName->trigger();
    QCOMPARE(hidden->text(0), QStringLiteral("Скрытый"));
    QVERIFY(hidden->isHidden());
    QCOMPARE(freq->text(0), QStringLiteral("Частота"));
    QCOMPARE(freq->foreground(1).color(), Red);
}

void TestNavigation::fontDialog()
{
    open({m_ini});
    QFont big = m_window->m_pParamsTree->font();
    big.setPointSize(23);
    Dialogs::setNextFont(big);
    m_window->m_pActionFont->trigger();
    QCOMPARE(m_window->m_pParamsTree->font().pointSize(), 23);
    QCOMPARE(m_window->m_pCommentLabel->font().pointSize(), 23);
    QCOMPARE(m_window->m_font.pointSize(), 23);

    // Cancelled: the trees keep their font, and the window takes the current tree's.
    m_window->m_font.setPointSize(5);
    QFont other = big;
    other.setPointSize(31);
    Dialogs::setNextFont(other, false);
    m_window->m_pActionFont->trigger();
    QCOMPARE(m_window->m_pParamsTree->font().pointSize(), 23);
    QCOMPARE(m_window->m_font.pointSize(), 23);
}

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
