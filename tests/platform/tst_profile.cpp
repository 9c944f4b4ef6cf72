// The profile engine on real files: what a write leaves on disk, what the cache notices, the limits.

#include "platform/profile.h"
#include "platform/textcodec.h"
#include "tests/common/testutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace
{
struct stat stateOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

bool setModified(const QString& path, qint64 secsSinceEpoch)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(QDateTime::fromSecsSinceEpoch(secsSinceEpoch), QFileDevice::FileModificationTime);
}

QByteArray utf16(const QString& text)
{
    return "\xFF\xFE" + TextCodec::encode(text, TextCodec::Encoding::Utf16Le);
}

// Everything a reader can see of a file, for comparing the cached answers with a cold parse.
QStringList snapshot(const QString& path)
{
    QStringList out = Profile::sectionNames(path);
    const QStringList sections = QStringList(out) << QString();
    for (const QString& section : sections) {
        const QStringList keys = Profile::keyNames(path, section);
        out << "[" + section + "]" << keys;
        for (const QString& key : keys)
            out << Profile::readString(path, section, key).value_or(QStringLiteral("<none>"));
    }
    return out;
}
} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

    QString path(const QString& name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void sameValueDoesNotTouchTheFile()
    {
        const QString file = path("a.ini");
        QVERIFY(TestUtil::writeBytes(file, "[S]\r\nK=  v // c\r\n"));
        QVERIFY(setModified(file, 1000000000)); // an old time, so that any rewrite would show in it
        const struct stat before = stateOf(file);
        QVERIFY(Profile::writeString(file, "s", "k", "  v // c"));
        QCOMPARE(stateOf(file).st_ino, before.st_ino);
        QCOMPARE(stateOf(file).st_mtim.tv_sec, before.st_mtim.tv_sec);
        QCOMPARE(stateOf(file).st_mtim.tv_nsec, before.st_mtim.tv_nsec);

        // The read value is equal but the text after "=" is not: that is a change.
        QVERIFY(Profile::writeString(file, "S", "K", "v // c"));
        QCOMPARE(TestUtil::readBytes(file), QByteArray("[S]\r\nK=v // c\r\n"));
        QVERIFY(stateOf(file).st_ino != before.st_ino);
    }

    void symbolicLinkStaysALink()
    {
        // The rewrite replaces the file at the end of the links, with its permissions.
        QVERIFY(QDir(m_dir->path()).mkdir("real"));
        QVERIFY(TestUtil::writeBytes(path("real/target.ini"), "[S]\nK=1\nL=1\n"));
        QCOMPARE(::chmod(QFile::encodeName(path("real/target.ini")).constData(), 0640), 0);
        QVERIFY(QFile::link("real/target.ini", path("link.ini"))); // relative, as people make them
        QVERIFY(QFile::link("link.ini", path("chain.ini")));
        QVERIFY(Profile::writeString(path("chain.ini"), "S", "K", "2"));
        QVERIFY(Profile::deleteKey(path("chain.ini"), "S", "L"));
        QVERIFY(QFileInfo(path("link.ini")).isSymLink() && QFileInfo(path("chain.ini")).isSymLink());
        QCOMPARE(TestUtil::readBytes(path("real/target.ini")), QByteArray("[S]\nK=2\n"));
        QCOMPARE(stateOf(path("real/target.ini")).st_mode & 07777, 0640u);
        QCOMPARE(Profile::readString(path("link.ini"), "S", "K"), QStringLiteral("2"));
        QCOMPARE(QDir(path("real")).entryList(QDir::Files | QDir::Hidden), QStringList{"target.ini"});

        // A link whose file does not exist yet: the file appears where the link points.
        QVERIFY(QFile::link("real/new.ini", path("dangling.ini")));
        QVERIFY(Profile::writeString(path("dangling.ini"), "N", "k", "v"));
        QVERIFY(QFileInfo(path("dangling.ini")).isSymLink());
        QCOMPARE(TestUtil::readBytes(path("real/new.ini")), QByteArray("[N]\r\nk=v\r\n"));
    }

    void unwritablePlaces()
    {
        // A folder in place of the file, a file in place of its folder.
        QVERIFY(QDir(m_dir->path()).mkdir("folder.ini"));
        QVERIFY(TestUtil::writeBytes(path("plain"), "[S]\r\nK=1\r\n"));
        for (const QString& file : {path("folder.ini"), path("plain/sub.ini")}) {
            QVERIFY(!Profile::writeString(file, "S", "K", "2"));
            QVERIFY(!Profile::deleteSection(file, "S"));
            QVERIFY(!Profile::readString(file, "S", "K"));
            QVERIFY(Profile::sectionNames(file).isEmpty());
        }
        QCOMPARE(TestUtil::readBytes(path("plain")), QByteArray("[S]\r\nK=1\r\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
        // A read-only file is not replaced, though its folder would allow it (root may write any file).
        if (::geteuid() != 0) {
            QVERIFY(QFile::setPermissions(path("plain"), QFile::ReadOwner));
            QVERIFY(!Profile::writeString(path("plain"), "S", "K", "2"));
            QCOMPARE(TestUtil::readBytes(path("plain")), QByteArray("[S]\r\nK=1\r\n"));
        }
    }

    void failedWriteLeavesTheFileWhole()
    {
        // A file-size limit makes the write of the temporary file fail half-way, for root as for anyone.
        const QString file = path("big.ini");
        const QByteArray original = "[S]\r\nK=1\r\n" + QByteArray(20000, 'x') + "\r\n";
        QVERIFY(TestUtil::writeBytes(file, original));
        QCOMPARE(Profile::readString(file, "S", "K"), QStringLiteral("1"));
        struct rlimit saved = {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = Profile::writeString(file, "S", "K", "2");
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QCOMPARE(TestUtil::readBytes(file), original);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"big.ini"});
        QCOMPARE(Profile::readString(file, "S", "K"), QStringLiteral("1"));
    }

    void outsideChangeOfSameSizeIsSeen()
    {
        const QString file = path("c.ini");
        QVERIFY(TestUtil::writeBytes(file, "[S]\r\nK=1\r\n") && setModified(file, 1500000000));
        QCOMPARE(Profile::readString(file, "S", "K"), QStringLiteral("1"));
        // Same inode, same size, and the modification time set back as a coarse clock would leave it.
        QVERIFY(TestUtil::writeBytes(file, "[S]\r\nK=2\r\n") && setModified(file, 1500000000));
        QCOMPARE(Profile::readString(file, "S", "K"), QStringLiteral("2"));
        // Replaced by another file of the same size.
        QVERIFY(TestUtil::writeBytes(path("other"), "[S]\r\nK=3\r\n"));
        QVERIFY(::rename(QFile::encodeName(path("other")).constData(), QFile::encodeName(file).constData()) == 0);
        QCOMPARE(Profile::readString(file, "S", "K"), QStringLiteral("3"));
    }

    void cachedAnswersMatchAColdRead()
    {
        // Random writes of every kind; after each, what the cache answers must be what a fresh parse says.
        const QString file = path("r.ini");
        QVERIFY(TestUtil::writeBytes(file, "; top\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny = 2 // c\r\n[a]\r\nz=3\r\n"));
        QRandomGenerator random(20240611);
        const QStringList sections{"", "A", "b", "C", "Ж"};
        const QStringList keys{"x", "Y", "z", "ключ", "[k"};
        const QStringList values{"1", "", "  lead", "ж", "Ω", "\"q\"", "a]", "x\ny", "12345678901234567890"};
        for (int step = 0; step < 300; ++step) {
            const QString s = sections.at(random.bounded(sections.size()));
            const QString k = keys.at(random.bounded(keys.size()));
            const int kind = random.bounded(10);
            if (kind < 7)
                Profile::writeString(file, s, k, values.at(random.bounded(values.size())));
            else if (kind < 9)
                Profile::deleteKey(file, s, k);
            else
                Profile::deleteSection(file, s);
            const QStringList cached = snapshot(file);
            Profile::clearCache();
            QCOMPARE(cached, snapshot(file));
        }
    }

    void batchMatchesSingleWrites()
    {
        // Writes collected in memory and saved once leave the same bytes as the same writes one by one.
        const QByteArray original = TextCodec::toCp1251(QStringLiteral("; set\n[Частота]\nF=1 // Гц\n\n[B]\ny=2\n"));
        const QString single = path("single.ini");
        QVERIFY(TestUtil::writeBytes(single, original));
        // Section, key, value; the fifth write comes after the caller's own edit, the sixth changes nothing.
        const QStringList writes{"частота", "f",   " 2\t\t// Гц", "B",       "y", "3", "B", "z", "new",
                                 "C",       "k",   "v",           "B",       "y", "3", "B", "y", "3",
                                 "",        "top", "1",           "частота", "F", "ж", "C", "k", "v2"};
        QByteArray bytes = original;
        int changes = 0;
        for (qsizetype i = 0; i < writes.size(); i += 3) {
            if (i == 12) {
                bytes.replace("y=3", "y=4");
                Profile::writeString(single, "B", "y", "4");
            }
            Profile::writeString(single, writes.at(i), writes.at(i + 1), writes.at(i + 2));
            changes += Profile::applyWrite(bytes, writes.at(i), writes.at(i + 1), writes.at(i + 2)) ? 1 : 0;
        }
        QCOMPARE(changes, writes.size() / 3 - 1);
        QVERIFY(Profile::replaceFile(path("batch.ini"), bytes));
        QCOMPARE(TestUtil::readBytes(path("batch.ini")), TestUtil::readBytes(single));
        QCOMPARE(snapshot(path("batch.ini")), snapshot(single));

        QByteArray empty;
        QVERIFY(Profile::applyWrite(empty, "S", "K", "v"));
        QCOMPARE(empty, QByteArray("[S]\r\nK=v\r\n"));
        QVERIFY(!Profile::replaceFile(path("batch.ini/under"), empty));
    }

    void listLimit_data()
    {
        QTest::addColumn<QList<int>>("lengths");
        QTest::addColumn<QList<int>>("listed");
        // Names, each followed by a NUL, fill at most 8190 characters; the last name may be cut.
        QTest::newRow("n-1") << QList<int>{8189} << QList<int>{8189};
        QTest::newRow("n") << QList<int>{8190} << QList<int>{8190};
        QTest::newRow("n+1") << QList<int>{8191} << QList<int>{8190};
        QTest::newRow("second fits without NUL") << QList<int>{5, 8184} << QList<int>{5, 8184};
        QTest::newRow("second cut") << QList<int>{5, 8185, 3} << QList<int>{5, 8184};
    }

    void listLimit()
    {
        QFETCH(QList<int>, lengths);
        QFETCH(QList<int>, listed);
        QByteArray sections;
        QByteArray keys = "[S]\n";
        for (int i = 0; i < lengths.size(); ++i) {
            const QByteArray name(lengths.at(i), char('a' + i));
            sections += "[" + name + "]\n";
            keys += name + "=1\n";
        }
        QVERIFY(TestUtil::writeBytes(path("s.ini"), sections) && TestUtil::writeBytes(path("k.ini"), keys));
        for (const QStringList& list : {Profile::sectionNames(path("s.ini")), Profile::keyNames(path("k.ini"), "S")}) {
            QCOMPARE(list.size(), listed.size());
            for (int i = 0; i < list.size(); ++i)
                QCOMPARE(list.at(i), QString(listed.at(i), QChar(u'a' + i)));
        }
    }

    void encodings_data()
    {
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("readBack");
        const QString before = QStringLiteral("[Частота]\r\nКлюч=1\r\n");
        const QString yo = QStringLiteral("Ёж");
        QTest::newRow("UTF-16LE") << utf16(before) << yo << utf16(QStringLiteral("[Частота]\r\nКлюч=Ёж\r\n")) << yo;
        QTest::newRow("UTF-16LE cut after half a unit, new section")
            << utf16(QStringLiteral("[x]\r\n")) + 'A' << yo
            << utf16(QStringLiteral("[x]\r\n[ЧАСТОТА]\r\nключ=Ёж\r\n")) + 'A' << yo;
        QTest::newRow("UTF-16LE, LF, new key") << utf16(QStringLiteral("[Частота]\nА=1\n")) << yo
                                               << utf16(QStringLiteral("[Частота]\nА=1\nключ=Ёж\n")) << yo;
        QTest::newRow("CP1251 lacks the letter")
            << TextCodec::toCp1251(before) << QStringLiteral("Ω")
            << TextCodec::toCp1251(QStringLiteral("[Частота]\r\nКлюч=?\r\n")) << QStringLiteral("?");
        QTest::newRow("ASCII file takes UTF-8")
            << QByteArray("[x]\r\n") << QStringLiteral("Ω")
            << "[x]\r\n" + QStringLiteral("[ЧАСТОТА]\r\nключ=Ω\r\n").toUtf8() << QStringLiteral("Ω");
    }

    void encodings()
    {
        QFETCH(QByteArray, original);
        QFETCH(QString, value);
        QFETCH(QByteArray, written);
        QFETCH(QString, readBack);
        const QString file = path("t.ini");
        QVERIFY(TestUtil::writeBytes(file, original));
        QVERIFY(Profile::writeString(file, QStringLiteral("ЧАСТОТА"), QStringLiteral("ключ"), value));
        QCOMPARE(TestUtil::readBytes(file), written);
        Profile::clearCache();
        QCOMPARE(Profile::readString(file, QStringLiteral("частота"), QStringLiteral("КЛЮЧ")), readBack);
    }

    void asciiFileTakesWhatReadsBack_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("CP1251 when it stays CP1251") << "Ёж" << QByteArray("[x]\r\nk=\xA8\xE6\r\n");
        // In CP1251 "Жё" is C6 B8, which is UTF-8 too: so written, the next read would see "Ƹ".
        QTest::newRow("UTF-8 when CP1251 would read as UTF-8") << "Жё" << QByteArray("[x]\r\nk=\xD0\x96\xD1\x91\r\n");
    }

    void asciiFileTakesWhatReadsBack()
    {
        QFETCH(QString, value);
        const QString file = path("a.ini");
        QVERIFY(TestUtil::writeBytes(file, "[x]\r\n"));
        QVERIFY(Profile::writeString(file, "x", "k", value));
        QTEST(TestUtil::readBytes(file), "written");
        Profile::clearCache();
        QCOMPARE(Profile::readString(file, "x", "k"), value);
    }

    void foldsEveryScript()
    {
        // Each letter by its simple upper case, Greek and Latin ones too; but ß is not SS.
        QVERIFY(TestUtil::writeBytes(path("f.ini"), QStringLiteral("[Ωμέγα]\nGröße=1\n").toUtf8()));
        QCOMPARE(Profile::readString(path("f.ini"), QStringLiteral("ΩΜΈΓΑ"), QStringLiteral("GRÖßE")),
                 QStringLiteral("1"));
        QCOMPARE(Profile::keyNames(path("f.ini"), QStringLiteral("ωμέγα")), QStringList{QStringLiteral("Größe")});
        QVERIFY(!Profile::readString(path("f.ini"), QStringLiteral("ΩΜΈΓΑ"), QStringLiteral("GRÖSSE")));
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
