// Hostile input: each file a lab could be handed by mistake, opened in the real window and closed
// again. Nothing may crash or hang, and nothing in the folder may change except what closing writes
// by contract (the description's "curprog", or an empty description where none was).
#include "app/volmar.h"
#include "tests/common/testutil.h"
#include "widgets/messagebox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QXmlStreamReader>
#include <QtTest>

#include <functional>
#include <future>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Ends the process with the case's name when a case runs far beyond any reasonable time, so that a
// hang is reported as which input hung rather than as the whole suite timing out.
class HangGuard
{
public:
    explicit HangGuard(const QByteArray& what)
        : m_watch(std::async(std::launch::async, [what, done = m_done.get_future()] {
              if (done.wait_for(std::chrono::seconds(60)) == std::future_status::timeout)
                  qFatal("hung on %s", what.constData());
          }))
    {}
    // The watch's future waits for its thread as it goes.
    ~HangGuard() { m_done.set_value(); }

private:
    std::promise<void> m_done;
    std::future<void> m_watch;
};

QByteArray repeated(int count, const std::function<QByteArray(int)>& piece)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += piece(i);
    return bytes;
}

// A description as a flat list of what it says, blank text left out and attributes in name order;
// the root's first "curprog" (what closing writes) is left out too.
QStringList meaning(const QByteArray& bytes)
{
    QStringList tokens;
    QXmlStreamReader xml(bytes);
    int depth = 0;
    int skipFrom = -1;
    bool curprogSeen = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType type = xml.readNext();
        if (type == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 2 && !curprogSeen && xml.name() == QLatin1String("curprog")) {
                curprogSeen = true;
                skipFrom = depth;
            }
            if (skipFrom < 0) {
                QStringList attributes;
                for (const QXmlStreamAttribute& a : xml.attributes())
                    attributes << a.qualifiedName().toString() + '=' + a.value().toString();
                attributes.sort();
                tokens << '<' + xml.qualifiedName().toString() + ' ' + attributes.join(' ');
            }
        } else if (type == QXmlStreamReader::EndElement) {
            if (skipFrom < 0)
                tokens << "</" + xml.qualifiedName().toString();
            if (depth == skipFrom)
                skipFrom = -1;
            --depth;
        } else if (type == QXmlStreamReader::Characters && !xml.isWhitespace() && skipFrom < 0) {
            tokens << xml.text().toString();
        } else if (type == QXmlStreamReader::Comment && skipFrom < 0) {
            tokens << "<!--" + xml.text().toString();
        }
    }
    if (xml.hasError())
        tokens << "error: " + xml.errorString();
    return tokens;
}

using Setup = std::function<void(const QString& folder)>;

void write(const QString& path, const QByteArray& bytes)
{
    QVERIFY2(TestUtil::writeBytes(path, bytes), qPrintable(path));
}

const QByteArray SmallIni = "[Main]\r\nFreq=100 // frequency\r\nGain=2\r\n";
} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // Nothing is started after opening: only the files are the subject here.
        TestUtil::resetStoreWithoutAutoStarts({"Auto Exit Orvex"});
    }

    void openAndClose_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("open");          // the name given to the window
        QTest::addColumn<bool>("refused");          // the window says it cannot open it
        QTest::addColumn<QByteArray>("headerFor");  // a file that gains "[00]\n" by contract
        QTest::addColumn<QString>("description");   // the description closing may write
        QTest::addColumn<bool>("needsPermissions"); // meaningless for root

        const auto row = [](const char* name, const Setup& setup, const QString& open, bool refused = false,
                            const QByteArray& headerFor = {}, const QString& description = "x.vlmr",
                            bool needsPermissions = false) {
            QTest::newRow(name) << setup << open << refused << headerFor << description << needsPermissions;
        };

        row(
            "binary file",
            [](const QString& d) {
                QRandomGenerator random(9);
                QByteArray bytes(1 << 20, Qt::Uninitialized);
                random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
                write(d + "/x.ini", bytes);
            },
            "x.ini");
        row(
            "50 MB single line", [](const QString& d) { write(d + "/x.ini", "Key=" + QByteArray(50 << 20, 'v')); },
            "x.ini", false, "x.ini");
        row(
            "200,000 sections",
            [](const QString& d) {
                write(d + "/x.ini",
                      repeated(200000, [](int i) { return "[S" + QByteArray::number(i) + "]\r\nK=1\r\n"; }));
            },
            "x.ini");
        row(
            "100,000 described parameters",
            [](const QString& d) {
                QByteArray ini, description = "<settings>\n";
                for (int n = 0; n < 100000; ++n) {
                    const QByteArray section = QByteArray::number(n / 1000), key = QByteArray::number(n % 1000);
                    ini += (n % 1000 ? "" : "[S" + section + "]\r\n") + "K" + key + "=1 // c\r\n";
                    if (n % 100 == 0)
                        description += "<group title=\"G" + QByteArray::number(n / 100) + "\" color=\"200,220,240\">\n";
                    description += "<param name=\"S" + section + ".K" + key + "\" title=\"P" + QByteArray::number(n) +
                                   "\" type=\"spin-int\" min=\"0\" max=\"9\"/>\n" + (n % 100 == 99 ? "</group>\n" : "");
                }
                write(d + "/x.ini", ini);
                write(d + "/x.vlmr", description + "</settings>\n");
            },
            "x.ini");
        row(
            "10,000-level XML",
            [](const QString& d) {
                write(d + "/x.ini", SmallIni);
                write(d + "/x.vlmr", "<settings><curprog cmdline=\"\"/>" +
                                         repeated(10000, [](int) { return "<group>"; }) +
                                         repeated(10000, [](int) { return "</group>"; }) + "</settings>");
            },
            "x.ini");
        row(
            "entity bomb",
            [](const QString& d) {
                QByteArray dtd = "<!DOCTYPE settings [<!ENTITY a0 \"lol\">";
                for (int i = 1; i < 10; ++i)
                    dtd += "<!ENTITY a" + QByteArray::number(i) + " \"" +
                           repeated(10, [i](int) { return "&a" + QByteArray::number(i - 1) + ";"; }) + "\">";
                write(d + "/x.ini", SmallIni);
                write(d + "/x.vlmr", dtd + "]>\n<settings><group title=\"&a9;\"/></settings>\n");
            },
            "x.ini");
        row(
            "non-UTF-8 description",
            [](const QString& d) {
                write(d + "/x.ini", SmallIni);
                write(d + "/x.vlmr", "<settings><group title=\"\xc3\xf0\xf3\xef\xef\xe0\"/></settings>\n");
            },
            "x.ini");
        // Something other than a readable file in place of the description beside a good INI file,
        // or in place of the file named.
        const auto unusual = [](const QString& kind, const QString& name) {
            return [kind, name](const QString& d) {
                if (name == "x.vlmr")
                    write(d + "/x.ini", SmallIni);
                QVERIFY(TestUtil::makeUnusualFile(d + '/' + name, kind));
            };
        };
        row("description that is a FIFO", unusual("fifo", "x.vlmr"), "x.ini");
        row("description that is a folder", unusual("folder", "x.vlmr"), "x.ini");
        row("folder named x.ini", unusual("folder", "x.ini"), "x.ini", true);
        row("unreadable file (0000)", unusual("unreadable", "x.ini"), "x.ini", true, {}, "x.vlmr", true);
        row("write-only file (0200)", unusual("write-only", "x.ini"), "x.ini", true, {}, "x.vlmr", true);
        row("link loop", unusual("link loop", "x.ini"), "x.ini", true);
        row("FIFO", unusual("fifo", "x.ini"), "x.ini", true);
        row("FIFO given as the description", unusual("fifo", "x.vlmr"), "x.vlmr", true);
        const QString odd = "a b \"c\" 'd'\ne;$(x).ini";
        row(
            "blanks, quotes and a newline in the name", [odd](const QString& d) { write(d + '/' + odd, SmallIni); },
            odd, false, {}, "a b \"c\" 'd'\ne;$(x).vlmr");
    }

    void openAndClose()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, open);
        QFETCH(bool, refused);
        QFETCH(QByteArray, headerFor);
        QFETCH(QString, description);
        QFETCH(bool, needsPermissions);
        if (needsPermissions && !TestUtil::permissionsApply())
            QSKIP("root reads files whatever their permissions");

        QTemporaryDir dir;
        setup(dir.path());
        if (QTest::currentTestFailed())
            return;
        const auto before = TestUtil::snapshot(dir.path());
        const QByteArray descriptionKey = QFile::encodeName(description);
        const bool descriptionWasFile = QFileInfo(dir.filePath(description)).isFile();
        const QByteArray descriptionBefore =
            descriptionWasFile ? TestUtil::readBytes(dir.filePath(description)) : QByteArray();
        const QByteArray headerBefore =
            headerFor.isEmpty() ? QByteArray() : TestUtil::readBytes(dir.filePath(headerFor));

        Dialogs::clearShown();
        Dialogs::clearPendingAnswers();
        if (refused)
            Dialogs::setNextAnswer(QMessageBox::Ok);
        QElapsedTimer timer;
        timer.start();
        {
            const HangGuard guard(QTest::currentDataTag());
            Volmar window(nullptr, {}, {dir.filePath(open)});
            const qint64 opened = timer.elapsed();
            QVERIFY(window.close());
            qInfo("%s: opened in %lld ms, closed in %lld ms", QTest::currentDataTag(), opened,
                  timer.elapsed() - opened);
        }
        QCOMPARE(Dialogs::pendingAnswers(), false);
        QCOMPARE(Dialogs::shown().size(), refused ? 1 : 0);
        if (refused)
            QVERIFY(Dialogs::shown().first().text.startsWith("Файл не открыт: " + dir.filePath(open) + ": "));

        // Every entry as it was, except what the contract writes: the description's "curprog" (or
        // an empty description where there was none), and "[00]" in front of a file without sections.
        auto after = TestUtil::snapshot(dir.path());
        auto expected = before;
        if (descriptionWasFile) {
            const QByteArray descriptionAfter = TestUtil::readBytes(dir.filePath(description));
            if (descriptionAfter != descriptionBefore)
                QCOMPARE(meaning(descriptionAfter), meaning(descriptionBefore));
            after.remove(descriptionKey);
            expected.remove(descriptionKey);
        } else if (!before.contains(descriptionKey) && after.contains(descriptionKey)) {
            QCOMPARE(TestUtil::readBytes(dir.filePath(description)), QByteArray());
            after.remove(descriptionKey);
        }
        if (!headerFor.isEmpty()) {
            QVERIFY(TestUtil::readBytes(dir.filePath(headerFor)) == "[00]\n" + headerBefore);
            after.remove(headerFor);
            expected.remove(headerFor);
        }
        QCOMPARE(after, expected);
        // Permissions as they were, so that the temporary folder can be removed.
        for (const char* name : {"x.ini", "x.vlmr"})
            ::chmod(QFile::encodeName(dir.filePath(name)).constData(), 0644);
    }

    void killedSavesLeaveOldOrNewBytes()
    {
        // The engine's save in a child process (the command-line tool), killed at moments spread
        // over the time one save takes: the delay of each kill is the fault injected, not a wait.
        QTemporaryDir dir;
        const QString file = dir.filePath("big.ini");
        const QByteArray keys = repeated(20000, [](int i) {
            return "Key" + QByteArray::number(i) + "=" + QByteArray::number(i * 7919) + " // c\r\n";
        });
        const QByteArray a = "[Test]\r\nValue=A\r\n" + keys;
        QByteArray b = a;
        b.replace("Value=A", "Value=B");
        write(file, a);

        const auto save = [&](const QByteArray& value, int killAfterMs) {
            QProcess tool;
            tool.start(QStringLiteral(VOLMAR_BIN_DIR "/volmar-ini"), {"set", file, "Test", "Value", value});
            QSignalSpy finished(&tool, &QProcess::finished);
            if (killAfterMs >= 0)
                QTimer::singleShot(killAfterMs, &tool, &QProcess::kill);
            QVERIFY(finished.wait(30000));
        };
        QElapsedTimer timer;
        timer.start();
        save("B", -1);
        save("A", -1);
        const int span = int(qMax<qint64>(timer.elapsed() / 2, 4));

        int killed = 0;
        for (int run = 0; run < 40; ++run) {
            const bool toB = TestUtil::readBytes(file) == a;
            save(toB ? "B" : "A", span * (run % 20) / 16);
            // A save killed between naming its file and renaming it is finished by the helper that
            // does those two steps and outlives it, an instant after the tool's own end.
            QTRY_COMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                         QStringList{"big.ini"});
            const QByteArray now = TestUtil::readBytes(file);
            QVERIFY2(now == a || now == b, qPrintable(QString("run %1: neither the old nor the new file").arg(run)));
            killed += now == (toB ? a : b);
        }
        qInfo("%d of 40 saves killed before they were done (one save: %d ms)", killed, span);
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
