#include "tests/app/windowfixture.h"

#include <QPointer>
#include <QSpinBox>

namespace
{
const QByteArray SectionsIni = "[A]\r\nAlpha=1\r\n[B]\r\nBeta=2\r\n[C]\r\nGamma=3\r\n";
const QByteArray TabsDescription = "<?xml version=\"1.0\"?>\r\n<settings>\r\n<tabs>1</tabs>\r\n</settings>\r\n";
const QByteArray SpinDescription = "<?xml version=\"1.0\"?>\r\n<settings>\r\n<group title=\"Gen\">\r\n"
                                   "<param name=\"B.Beta\" title=\"Beta\" type=\"spin-int\" min=\"0\" max=\"999\"/>\r\n"
                                   "</group>\r\n</settings>\r\n";
const QString OneChanged = QStringLiteral("Файл b.ini был изменен. Хотите перезагрузить его?");

// Moves a file's time stamp as another program writing it would.
void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(file.fileTime(QFileDevice::FileModificationTime).addSecs(10),
                             QFileDevice::FileModificationTime));
}

QStringList questions()
{
    QStringList texts;
    for (const Dialogs::Shown& s : Dialogs::shown())
        if (s.kind == QLatin1String("question"))
            texts << s.text;
    return texts;
}
} // namespace

class TestTabs : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_f.start(); }
    void cleanup() { m_f.finish(); }

    void detachedLogReturnsLastAndCurrent();
    void sectionReturnsToItsPlace_data();
    void sectionReturnsToItsPlace();
    void onlyTheLastClosedWindowIsRemembered();
    void firstDetachmentTakesWindowSize();
    void returnEditsTheCurrentValue();

    void outsideChangesNamed_data();
    void outsideChangesNamed();
    void askedAgainOnlyAfterDeactivation();
    void yesReloads();
    void noQuestionAfterSave();

private:
    void openThree();
    // The user switches to another program and back.
    void cycleActivation(bool deactivate = true);

    WindowFixture m_f;
};

void TestTabs::openThree()
{
    const QStringList names{QStringLiteral("a.ini"), QStringLiteral("b.ini"), QStringLiteral("c.ini")};
    for (const QString& name : names)
        writeBytes(m_f.path(name), SectionsIni);
    m_f.open(names);
}

void TestTabs::cycleActivation(bool deactivate)
{
    QEvent off(QEvent::WindowDeactivate);
    if (deactivate)
        QCoreApplication::sendEvent(m_f.window.get(), &off);
    QEvent on(QEvent::WindowActivate);
    QCoreApplication::sendEvent(m_f.window.get(), &on);
}

void TestTabs::detachedLogReturnsLastAndCurrent()
{
    writeBytes(m_f.path(QStringLiteral("a.ini")), SectionsIni);
    m_f.open({QStringLiteral("a.ini")});
    Volmar* window = m_f.window.get();

    QPointer<TabWgt> w = m_f.detach(QStringLiteral("Log"));
    QVERIFY(w);
    QCOMPARE(Dialogs::shown().last().text, QStringLiteral("Показать в отдельном окне"));
    QCOMPARE(window->tabTitles(), QStringList{QStringLiteral("Ini")});
    QCOMPARE(w->windowTitle(), QStringLiteral("Log"));
    QVERIFY(w->isAncestorOf(window->m_pLogTextEdit));
    QVERIFY(window->m_pLogTextEdit->isVisible());

    // The last page left cannot go: no menu at all.
    QVERIFY(!m_f.detach(QStringLiteral("Ini")));
    QCOMPARE(Dialogs::shown().size(), 1);
    Dialogs::clearPendingAnswers();

    w->close();
    QCOMPARE(window->tabTitles(), (QStringList{QStringLiteral("Ini"), QStringLiteral("Log")}));
    QCOMPARE(window->tabWidget->currentWidget(), window->widget_2);
    QVERIFY(window->m_pLogTextEdit->isVisible());
    QVERIFY(window->m_tabWindows.isEmpty());
    QTRY_VERIFY(w.isNull());
}

void TestTabs::sectionReturnsToItsPlace_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("A") << 0;
    QTest::newRow("B") << 1;
    QTest::newRow("C") << 2;
    QTest::newRow("Log") << 3;
}

void TestTabs::sectionReturnsToItsPlace()
{
    QFETCH(int, index);
    writeBytes(m_f.path(QStringLiteral("a.ini")), SectionsIni);
    writeBytes(m_f.path(QStringLiteral("a.vlmr")), TabsDescription);
    m_f.open({QStringLiteral("a.ini")});
    Volmar* window = m_f.window.get();
    const QStringList all = window->tabTitles();
    QCOMPARE(all, (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("Log")}));
    QWidget* page = window->tabWidget->widget(index);

    TabWgt* w = m_f.detach(all.at(index));
    QVERIFY(w);
    QCOMPARE(window->tabTitles().size(), 3);
    window->tabWidget->setCurrentIndex(0);
    w->close();
    QCOMPARE(window->tabTitles(), all);
    QCOMPARE(window->tabWidget->currentWidget(), page);
    QVERIFY(page->isVisible());
}

void TestTabs::onlyTheLastClosedWindowIsRemembered()
{
    writeBytes(m_f.path(QStringLiteral("a.ini")), SectionsIni);
    writeBytes(m_f.path(QStringLiteral("a.vlmr")), TabsDescription);
    m_f.open({QStringLiteral("a.ini")});
    TabWgt* first = m_f.detach(QStringLiteral("A"));
    TabWgt* second = m_f.detach(QStringLiteral("C"));
    QVERIFY(first && second);
    first->setGeometry(30, 40, 300, 200);
    second->resize(350, 250);
    second->move(50, 60);

    first->close();
    QVERIFY(!programStore().contains(QStringLiteral("geometry_tab")));
    QVERIFY(!programStore().contains(QStringLiteral("state_tab")));
    second->close();
    QCOMPARE(programStore().value(QStringLiteral("state_tab")).toPoint(), QPoint(50, 60));

    TabWgt* next = m_f.detach(QStringLiteral("B"));
    QVERIFY(next);
    QCOMPARE(next->size(), QSize(350, 250));
    QCOMPARE(next->pos(), QPoint(50, 60));
}

void TestTabs::firstDetachmentTakesWindowSize()
{
    writeBytes(m_f.path(QStringLiteral("a.ini")), SectionsIni);
    m_f.open({QStringLiteral("a.ini")});
    m_f.window->move(120, 80);
    TabWgt* w = m_f.detach(QStringLiteral("Ini"));
    QVERIFY(w);
    QCOMPARE(w->size(), m_f.window->size());
    QCOMPARE(w->pos(), QPoint(0, 0));
}

void TestTabs::returnEditsTheCurrentValue()
{
    const QString ini = m_f.path(QStringLiteral("a.ini"));
    writeBytes(ini, SectionsIni);
    writeBytes(m_f.path(QStringLiteral("a.vlmr")), SpinDescription);
    m_f.open({QStringLiteral("a.ini")});
    ParamsTreeWidget* tree = m_f.window->m_pCurTree;
    QVERIFY(m_f.row(QStringLiteral("Beta")));
    tree->setCurrentItem(m_f.row(QStringLiteral("Beta")));

    QTest::keyClick(tree, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(!tree->viewport()->findChild<QSpinBox*>());
    QTest::keyClick(tree, Qt::Key_Return);
    auto* editor = tree->viewport()->findChild<QSpinBox*>();
    QVERIFY(editor);
    QCOMPARE(editor->value(), 2);
    QVERIFY(tree->visualItemRect(m_f.row(QStringLiteral("Beta"))).intersects(editor->geometry()));

    // "Auto Save" is on: the committed value goes straight into the file.
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("77"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(readBytes(ini).contains("Beta=77\r\n"));
}

void TestTabs::outsideChangesNamed_data()
{
    QTest::addColumn<QStringList>("touched");
    QTest::addColumn<QString>("text");
    QTest::newRow("one") << QStringList{QStringLiteral("b.ini")} << OneChanged;
    QTest::newRow("two") << QStringList{QStringLiteral("a.ini"), QStringLiteral("c.ini")}
                         << QStringLiteral("Файлы a.ini, c.ini были изменены. Хотите перезагрузить их?");
    QTest::newRow("deleted") << QStringList{QStringLiteral("-b.ini")} << OneChanged;
}

void TestTabs::outsideChangesNamed()
{
    QFETCH(QStringList, touched);
    QFETCH(QString, text);
    openThree();
    for (const QString& name : touched) {
        if (name.startsWith(QLatin1Char('-')))
            QVERIFY(QFile::remove(m_f.path(name.mid(1))));
        else
            touch(m_f.path(name));
    }
    Dialogs::setNextAnswer(QMessageBox::No);
    cycleActivation();
    QCOMPARE(questions(), QStringList{text});
    const Dialogs::Shown& asked = Dialogs::shown().last();
    QCOMPARE(asked.title, QString());
    QCOMPARE(asked.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(asked.defaultButton, QMessageBox::Yes);
}

void TestTabs::askedAgainOnlyAfterDeactivation()
{
    openThree();
    cycleActivation(false);
    QVERIFY(questions().isEmpty());

    touch(m_f.path(QStringLiteral("b.ini")));
    cycleActivation(false);
    QVERIFY(questions().isEmpty());
    Dialogs::setNextAnswer(QMessageBox::No);
    cycleActivation();
    cycleActivation(false);
    QCOMPARE(questions().size(), 1);
    Dialogs::setNextAnswer(QMessageBox::No);
    cycleActivation();
    QCOMPARE(questions(), (QStringList{OneChanged, OneChanged}));
}

void TestTabs::yesReloads()
{
    const QString ini = m_f.path(QStringLiteral("a.ini"));
    writeBytes(ini, SectionsIni);
    m_f.open({QStringLiteral("a.ini")});
    writeBytes(ini, QByteArray(SectionsIni).replace("Beta=2", "Beta=99"));
    touch(ini);

    Dialogs::setNextAnswer(QMessageBox::Yes);
    cycleActivation();
    QCOMPARE(questions().size(), 1);
    QVERIFY(m_f.row(QStringLiteral("Beta")));
    QCOMPARE(m_f.row(QStringLiteral("Beta"))->text(ParamsTreeWidget::ValueColumn), QStringLiteral("99"));
    // The reload took the new time: nothing more to report.
    cycleActivation();
    QCOMPARE(questions().size(), 1);
}

void TestTabs::noQuestionAfterSave()
{
    openThree();
    touch(m_f.path(QStringLiteral("b.ini")));
    m_f.window->slotActionSave();
    cycleActivation();
    QVERIFY(questions().isEmpty());
}

QTEST_MAIN(TestTabs)
#include "tst_tabs.moc"
