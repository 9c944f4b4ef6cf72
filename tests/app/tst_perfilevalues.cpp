// A value the files of a set disagree on, on the "Все файлы" tab: "≠" with each file's value in the
// tooltip, and one file's value taken into every file through the row's context menu.
#include "app/volmar.h"
#include "tests/common/testutil.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QByteArray FileA = "[Main]\r\nFreq=48000\r\nGain=3\r\nMode=fast\r\n";
const QByteArray FileB = "[Main]\r\nFreq=44100\r\nGain=4\r\nMode=fast\r\n";
const QByteArray FileC = "; stand 3\r\n[Main]\r\nFreq=22050\nMode=fast\r\n"; // no Gain, one LF line end
const QByteArray Description = R"(<settings>
 <group title="Звук" open="1">
  <param name="Main.Freq" type="spin-int" title="Частота" min="8000" max="96000"/>
  <param name="Main.Gain" type="spin-int" title="Усиление" min="0" max="100"/>
  <param name="Main.Mode" title="Режим"/>
 </group>
</settings>
)";
} // namespace

class TestPerFileValues : public QObject
{
    Q_OBJECT

private slots:
    void takeValue_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("autoSave");
        QTest::addColumn<int>("answer"); // to the missing-key question; NoButton when none is asked
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QByteArrayList>("expected"); // a.ini, b.ini, c.ini after "Взять значение из b.ini"
        QTest::addColumn<bool>("undoable");           // Ctrl+Z gives each file its own value back

        const QStringList all{"Взять значение из a.ini", "Взять значение из b.ini", "Взять значение из c.ini"};
        const QByteArrayList freqFromB{QByteArray(FileA).replace("48000", "44100"), FileB,
                                       QByteArray(FileC).replace("22050", "44100")};
        const QString freqTip = "a.ini: 48000\nb.ini: 44100\nc.ini: 22050";
        QTest::newRow("after Save") << "Частота" << false << int(QMessageBox::NoButton) << freqTip << all << freqFromB
                                    << true;
        QTest::newRow("auto save") << "Частота" << true << int(QMessageBox::NoButton) << freqTip << all << freqFromB
                                   << true;
        const QString gainTip = "a.ini: 3\nb.ini: 4\nc.ini: нет ключа";
        const QStringList gainFiles = all.mid(0, 2);
        QTest::newRow("missing key, not added") << "Усиление" << true << int(QMessageBox::No) << gainTip << gainFiles
                                                << QByteArrayList{FileA, FileB, FileC} << false;
        QTest::newRow("missing key added")
            << "Усиление" << true << int(QMessageBox::Yes) << gainTip << gainFiles
            << QByteArrayList{QByteArray(FileA).replace("Gain=3", "Gain=4"), FileB, FileC + "Gain=4\r\n"}
            // A key added to a file that lacked it is not taken out again.
            << false;
    }

    void takeValue()
    {
        QFETCH(QString, title);
        QFETCH(bool, autoSave);
        QFETCH(int, answer);
        TestUtil::resetStoreWithoutAutoStarts();
        Dialogs::clearShown();
        QTemporaryDir dir;
        const QStringList files{dir.filePath("a.ini"), dir.filePath("b.ini"), dir.filePath("c.ini")};
        const QByteArrayList before{FileA, FileB, FileC};
        for (int i = 0; i < files.size(); ++i)
            QVERIFY(TestUtil::writeBytes(files.at(i), before.at(i)));
        QVERIFY(TestUtil::writeBytes(dir.filePath("a.vlmr"), Description));
        Volmar window(nullptr, {}, files);
        window.m_options.m_bAutoSave = autoSave;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        ParamsTreeWidget* tree = window.m_view.m_pParamsTree;
        QTRY_VERIFY(tree->isVisible());

        QTreeWidgetItem* row = tree->findItems(title, Qt::MatchExactly | Qt::MatchRecursive).value(0);
        QVERIFY(row);
        QCOMPARE(row->text(ParamsTreeWidget::ValueColumn), QString("≠"));
        QTEST(row->toolTip(ParamsTreeWidget::ValueColumn), "tip");

        QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, tree->visualItemRect(row).center());
        QCOMPARE(tree->currentItem(), row);
        QStringList offered;
        QAction* fromB = nullptr;
        for (QAction* action : tree->actions()) {
            if (!action->text().startsWith("Взять"))
                continue;
            offered << TestUtil::shownText(action->text());
            if (offered.last().endsWith("b.ini"))
                fromB = action;
        }
        QTEST(offered, "offered");
        QVERIFY(fromB);
        if (answer != QMessageBox::NoButton)
            Dialogs::setNextAnswer(QMessageBox::StandardButton(answer));
        fromB->trigger();
        QCOMPARE(Dialogs::shown().size(), answer != QMessageBox::NoButton ? 1 : 0);
        Dialogs::clearShown();

        if (!autoSave) {
            // Waits for Save, in red, as any edit does.
            for (int i = 0; i < files.size(); ++i)
                QCOMPARE(TestUtil::readBytes(files.at(i)), before.at(i));
            QCOMPARE(row->foreground(ParamsTreeWidget::ValueColumn).color(), QColor(Qt::red));
            QVERIFY(window.m_ui.m_pActionSave->isEnabled());
            window.m_ui.m_pActionSave->trigger();
        }
        QFETCH(QByteArrayList, expected);
        for (int i = 0; i < files.size(); ++i)
            QCOMPARE(TestUtil::readBytes(files.at(i)), expected.at(i));
        QVERIFY(!window.m_session.isModified());
        // Once the files agree the row shows their value; a refused question leaves the disagreement.
        const bool agreed = expected.first() != FileA;
        QCOMPARE(row->text(ParamsTreeWidget::ValueColumn) == "≠", !agreed);
        QCOMPARE(row->toolTip(ParamsTreeWidget::ValueColumn).isEmpty(), agreed);

        QFETCH(bool, undoable);
        QTest::keyClick(tree, Qt::Key_Z, Qt::ControlModifier);
        if (!autoSave)
            window.m_ui.m_pActionSave->trigger();
        for (int i = 0; i < files.size(); ++i)
            QCOMPARE(TestUtil::readBytes(files.at(i)), undoable ? before.at(i) : expected.at(i));
        QCOMPARE(row->text(ParamsTreeWidget::ValueColumn) == "≠", undoable || !agreed);
    }
};

QTEST_MAIN(TestPerFileValues)
#include "tst_perfilevalues.moc"
