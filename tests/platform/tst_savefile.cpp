// Replacing whole files: what a save leaves in the folder, whatever the name and whatever a killed
// save left there before.
#include "platform/savefile.h"
#include "tests/common/testutil.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

class TestSaveFile : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QStringList entries() const
    {
        return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void anyNameTheFileSystemTakes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("one byte") << "a";
        QTest::newRow("254 bytes") << QString(250, 'n') + ".ini";
        QTest::newRow("255 bytes, the limit") << QString(251, 'n') + ".ini";
        // Two bytes a letter in the file system's encoding: 125 letters, "z" and ".ini" make 255 bytes.
        QTest::newRow("255 bytes of Cyrillic") << QString(125, QChar(0x0416)) + "z.ini";
        QTest::newRow("blanks, quotes, a newline") << "a b \"c\" 'd'\ne.ini";
    }

    void anyNameTheFileSystemTakes()
    {
        QFETCH(QString, name);
        QVERIFY(QFile::encodeName(name).size() <= 255);
        QVERIFY(SaveFile::replace(path(name), "first"));
        QVERIFY(SaveFile::replace(path(name), "second"));
        QCOMPARE(TestUtil::readBytes(path(name)), QByteArray("second"));
        QCOMPARE(entries(), QStringList{name});
    }

    void linkLoopIsNotReplaced()
    {
        QVERIFY(QFile::link("y.ini", path("x.ini")) && QFile::link("x.ini", path("y.ini")));
        const auto before = TestUtil::snapshot(m_dir->path());
        QString error;
        QVERIFY(!SaveFile::replace(SaveFile::resolveLinks(path("x.ini")), "[00]\n", &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(TestUtil::snapshot(m_dir->path()), before);
    }

    void staleTemporariesAreSwept_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("locked"); // by a save still running
        QTest::addColumn<bool>("swept");
        QTest::newRow("left by a killed save") << ".volmar-0123456789.tmp" << false << true;
        QTest::newRow("of a save still running") << ".volmar-abcdefghij.tmp" << true << false;
        QTest::newRow("too short for ours") << ".volmar-012345678.tmp" << false << false;
        QTest::newRow("capitals are not ours") << ".volmar-ABCDEFGHIJ.tmp" << false << false;
        QTest::newRow("someone else's pattern") << ".lab.ini.0123456789.tmp" << false << false;
    }

    void staleTemporariesAreSwept()
    {
        QFETCH(QString, name);
        QFETCH(bool, locked);
        QFETCH(bool, swept);
        QVERIFY(TestUtil::writeBytes(path(name), "half a file"));
        QVERIFY(TestUtil::writeBytes(path("lab.ini"), "[S]\r\n"));
        const int fd = ::open(QFile::encodeName(path(name)).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        if (locked)
            QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);

        QVERIFY(SaveFile::replace(path("lab.ini"), "[S]\r\nK=1\r\n"));
        ::close(fd);
        QCOMPARE(entries().contains(name), !swept);
        QCOMPARE(TestUtil::readBytes(path("lab.ini")), QByteArray("[S]\r\nK=1\r\n"));
    }

    void othersTemporariesAreLeftAlone()
    {
        if (::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        const QString name = ".volmar-0123456789.tmp";
        QVERIFY(TestUtil::writeBytes(path(name), "someone else's"));
        QCOMPARE(::chown(QFile::encodeName(path(name)).constData(), 65534, 65534), 0);
        QVERIFY(SaveFile::replace(path("lab.ini"), "[S]\r\n"));
        QVERIFY(entries().contains(name));
    }
};

QTEST_GUILESS_MAIN(TestSaveFile)
#include "tst_savefile.moc"
