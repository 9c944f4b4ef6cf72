// The editor's end, however it comes: signals run the closing sequence without questions, and the
// programs it started end with it, also when it is killed outright.
#include "app/volmar.h"
#include "platform/processes.h"
#include "tests/common/testutil.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"
#include "widgets/paramtreeitem.h"
#include "widgets/settings.h"

#include <QApplication>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>

namespace
{
// A program whose first process notes its pid and that of a child it leaves behind; it then either
// exits or goes on running.
QByteArray family(bool leaderExits)
{
    return QByteArray("sleep 600 &\necho $! > child.pid\necho $$ > leader.pid\n") +
           (leaderExits ? "" : "exec sleep 600\n");
}

qint64 pidIn(const QString& path)
{
    return TestUtil::readBytes(path).trimmed().toLongLong();
}
} // namespace

class TestShutdown : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<qint64> m_leftovers; // ended whatever the test's outcome

    QString path(const QString& name) const { return m_dir->filePath(name); }

    // A folder with an INI file whose description names the program, and the options of a first
    // start except that no visualiser is started.
    void prepareFolder(bool leaderExits)
    {
        QVERIFY(TestUtil::writeBytes(path("test.ini"), "[Main]\nA=1\n"));
        QVERIFY(TestUtil::writeBytes(path("test.vlmr"), "<settings>\n"
                                                        " <param name=\"Main.A\" type=\"1\" min=\"0\" max=\"9\"/>\n"
                                                        " <curprog cmdline=\"sh family.sh\"/>\n"
                                                        "</settings>\n"));
        QVERIFY(TestUtil::writeBytes(path("family.sh"), family(leaderExits)));
        QSettings options(path("config/Korvane/Volmar.conf"), QSettings::IniFormat);
        options.setValue("Auto Load Orvex", 0);
    }

    // The pids the program noted, once it has started its child.
    void waitForFamily(qint64* leader, qint64* child)
    {
        QTRY_VERIFY_WITH_TIMEOUT(pidIn(path("child.pid")) > 0 && pidIn(path("leader.pid")) > 0, 30000);
        *leader = pidIn(path("leader.pid"));
        *child = pidIn(path("child.pid"));
        m_leftovers << *leader << *child;
    }

    void startEditor(QProcess& editor)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("HOME", m_dir->path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        editor.setProcessEnvironment(env);
        editor.setWorkingDirectory(m_dir->path());
        editor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        editor.start(QStringLiteral(VOLMAR_BIN_DIR "/volmar"), {path("test.ini")});
        QVERIFY(editor.waitForStarted());
    }

private slots:
    void init()
    {
        Dialogs::clearShown();
        Dialogs::clearPendingAnswers();
        m_dir = std::make_unique<QTemporaryDir>();
        m_leftovers.clear();
    }

    void cleanup()
    {
        for (const qint64 pid : std::as_const(m_leftovers)) {
            if (Processes::isOpen(pid))
                ::kill(pid_t(pid), SIGKILL);
        }
    }

    void signalEndsEditor_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("leaderExits");
        QTest::newRow("SIGTERM, program running") << int(SIGTERM) << false;
        QTest::newRow("SIGTERM, first process exited") << int(SIGTERM) << true;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << true;
        QTest::newRow("SIGKILL") << int(SIGKILL) << false;
    }

    void signalEndsEditor()
    {
        // The closing sequence runs: the options are written and every program Volmar started ends.
        QFETCH(int, signalNumber);
        QFETCH(bool, leaderExits);
        prepareFolder(leaderExits);
        QProcess editor;
        startEditor(editor);
        qint64 leader = 0;
        qint64 child = 0;
        waitForFamily(&leader, &child);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(Processes::isOpen(child));
        QVERIFY(!QSettings(path("config/Korvane/Volmar.conf"), QSettings::IniFormat).contains("geometry"));

        QCOMPARE(::kill(pid_t(editor.processId()), signalNumber), 0);
        QVERIFY(editor.waitForFinished(30000));
        if (signalNumber == SIGKILL) {
            // Killed outright, the editor can do nothing; the program's first process still goes with it.
            QTRY_VERIFY(!Processes::isOpen(leader));
            return;
        }
        QCOMPARE(editor.exitStatus(), QProcess::NormalExit);
        QTRY_VERIFY(!Processes::isOpen(child) && !Processes::isOpen(leader));
        const QSettings options(path("config/Korvane/Volmar.conf"), QSettings::IniFormat);
        QVERIFY(options.contains("geometry"));
        QCOMPARE(options.value("Auto Load Orvex").toInt(), 0);
        QVERIFY(TestUtil::readBytes(path("test.vlmr")).contains("cmdline=\"sh family.sh\""));
    }

    // Last: the signal raised here stays noted for the rest of the process.
    void signalAnswersNoQuestion()
    {
        // Unsaved parameters and an open dialog: nobody answers, the window closes all the same and
        // writes no parameter.
        prepareFolder(false);
        QVERIFY(TestUtil::writeBytes(path("family.sh"), "exec sleep 600\n"));
        TestUtil::resetStoreWithoutAutoStarts({"Auto Save"});
        Volmar window;
        window.m_session.setOpenList(QStringList{path("test.ini")});
        window.openFiles();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* row = dynamic_cast<ParamTreeItem*>(window.m_view.m_pParamsTree->topLevelItem(0)->child(0));
        QVERIFY(row && row->m_pEntry);
        row->m_pEntry->value = QStringLiteral("7");
        QVERIFY(window.m_session.isModified());

        bool dialogShown = false;
        QTimer::singleShot(0, &window, [&] {
            dialogShown = qobject_cast<Settings*>(QApplication::activeModalWidget()) != nullptr;
            ::raise(SIGTERM);
        });
        window.m_ui.m_pActionSettings->trigger();
        QVERIFY(dialogShown);
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(Dialogs::shown().isEmpty());
        QCOMPARE(TestUtil::readBytes(path("test.ini")), QByteArray("[Main]\nA=1\n"));
    }
};

int main(int argc, char** argv)
{
    // The window reads file names from the application's arguments; QtTest's options stay out of them.
    int appArgc = 1;
    QApplication app(appArgc, argv);
    app.setQuitOnLastWindowClosed(false);
    TestShutdown test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shutdown.moc"
