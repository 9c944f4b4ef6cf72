// The profile engine on real files: what a write leaves on disk, what the cache notices, the limits.

#include "platform/profile.h"
#include "platform/textcodec.h"

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
QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

struct FileState
{
    ino_t inode = 0;
    qint64 modifiedNs = 0;
    mode_t mode = 0;
};

FileState stateOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return {st.st_ino, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, st.st_mode & 07777};
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

private slots:
    void init();
    void sameValueDoesNotTouchTheFile();
    void symbolicLinkStaysALink();
    void permissionsKept();
    void readOnlyFileKeepsItsText();
    void failedWriteLeavesTheFileWhole();
    void writeUnderAFileFails();
    void folderInPlaceOfFile();
    void outsideChangeOfSameSizeIsSeen();
    void cachedAnswersMatchAColdRead();
    void batchMatchesSingleWrites();
    void valueLimit_data();
    void valueLimit();
    void listLimit_data();
    void listLimit();
    void roundTrip_data();
    void roundTrip();
    void foldsEveryScript_data();
    void foldsEveryScript();
    void binaryJunkIsHarmless();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestProfile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestProfile::sameValueDoesNotTouchTheFile()
{
    const QString file = path("a.ini");
    QVERIFY(writeAll(file, "[S]\r\nK=  v // c\r\n"));
    // An old time, so that any rewrite would show in it.
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000), QFileDevice::FileModificationTime));
    f.close();
    const FileState before = stateOf(file);

    QVERIFY(Profile::writeString(file, "s", "k", "  v // c"));
    const FileState after = stateOf(file);
    QCOMPARE(after.inode, before.inode);
    QCOMPARE(after.modifiedNs, before.modifiedNs);

    // The read value is equal but the text after "=" is not: that is a change.
    QVERIFY(Profile::writeString(file, "S", "K", "v // c"));
    QCOMPARE(readAll(file), QByteArray("[S]\r\nK=v // c\r\n"));
    QVERIFY(stateOf(file).inode != before.inode);
}

void TestProfile::symbolicLinkStaysALink()
{
    QVERIFY(QDir(m_dir->path()).mkdir("real"));
    const QString target = path("real/target.ini");
    QVERIFY(writeAll(target, "[S]\nK=1\n"));
    const QString link = path("link.ini");
    const QString chain = path("chain.ini");
    QVERIFY(QFile::link("real/target.ini", link)); // relative, as people make them
    QVERIFY(QFile::link("link.ini", chain));

    QVERIFY(Profile::writeString(chain, "S", "K", "2"));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo(chain).isSymLink());
    QCOMPARE(readAll(target), QByteArray("[S]\nK=2\n"));
    QCOMPARE(Profile::readString(link, "S", "K"), QStringLiteral("2"));
    QCOMPARE(QDir(path("real")).entryList(QDir::Files | QDir::Hidden), QStringList{"target.ini"});

    // A link whose file does not exist yet: the file appears where the link points.
    const QString dangling = path("dangling.ini");
    QVERIFY(QFile::link("real/new.ini", dangling));
    QVERIFY(Profile::writeString(dangling, "N", "k", "v"));
    QVERIFY(QFileInfo(dangling).isSymLink());
    QCOMPARE(readAll(path("real/new.ini")), QByteArray("[N]\r\nk=v\r\n"));
}

void TestProfile::permissionsKept()
{
    const QString file = path("p.ini");
    QVERIFY(writeAll(file, "[S]\r\nK=1\r\n"));
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0640), 0);
    QVERIFY(Profile::writeString(file, "S", "K", "2"));
    QCOMPARE(stateOf(file).mode, mode_t(0640));
    QVERIFY(Profile::deleteKey(file, "S", "K"));
    QCOMPARE(stateOf(file).mode, mode_t(0640));
    QCOMPARE(readAll(file), QByteArray("[S]\r\n"));
}

void TestProfile::readOnlyFileKeepsItsText()
{
    if (::geteuid() == 0)
        QSKIP("root may write any file");
    const QString file = path("ro.ini");
    QVERIFY(writeAll(file, "[S]\r\nK=1\r\n"));
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0444), 0);
    QVERIFY(!Profile::writeString(file, "S", "K", "2"));
    QCOMPARE(readAll(file), QByteArray("[S]\r\nK=1\r\n"));
}

void TestProfile::failedWriteLeavesTheFileWhole()
{
    // A file-size limit makes the write of the temporary file fail half-way, for root as for anyone.
    const QString file = path("big.ini");
    const QByteArray original = "[S]\r\nK=1\r\n" + QByteArray(20000, 'x') + "\r\n";
    QVERIFY(writeAll(file, original));
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
    QCOMPARE(readAll(file), original);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"big.ini"});
    QCOMPARE(Profile::readString(file, "S", "K"), QStringLiteral("1"));
}

void TestProfile::writeUnderAFileFails()
{
    QVERIFY(writeAll(path("plain"), "not a folder"));
    const QString file = path("plain/sub.ini");
    QVERIFY(!Profile::writeString(file, "S", "K", "1"));
    QVERIFY(!Profile::deleteSection(file, "S"));
    QCOMPARE(readAll(path("plain")), QByteArray("not a folder"));
    QVERIFY(Profile::sectionNames(file).isEmpty());
}

void TestProfile::folderInPlaceOfFile()
{
    QVERIFY(QDir(m_dir->path()).mkdir("folder.ini"));
    const QString folder = path("folder.ini");
    QVERIFY(Profile::sectionNames(folder).isEmpty());
    QVERIFY(!Profile::readString(folder, "S", "K"));
    QVERIFY(!Profile::writeString(folder, "S", "K", "1"));
    QVERIFY(QFileInfo(folder).isDir());
}

void TestProfile::outsideChangeOfSameSizeIsSeen()
{
    const QString file = path("c.ini");
    QVERIFY(writeAll(file, "[S]\r\nK=1\r\n"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QDateTime time = QDateTime::fromSecsSinceEpoch(1500000000);
    QVERIFY(f.setFileTime(time, QFileDevice::FileModificationTime));
    f.close();
    QCOMPARE(Profile::readString(file, "S", "K"), QStringLiteral("1"));

    // Same inode, same size, and the modification time set back as a coarse clock would leave it.
    QVERIFY(writeAll(file, "[S]\r\nK=2\r\n"));
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(time, QFileDevice::FileModificationTime));
    f.close();
    QCOMPARE(Profile::readString(file, "S", "K"), QStringLiteral("2"));

    // Replaced by another file of the same size.
    QVERIFY(writeAll(path("other"), "[S]\r\nK=3\r\n"));
    QVERIFY(::rename(QFile::encodeName(path("other")).constData(), QFile::encodeName(file).constData()) == 0);
    QCOMPARE(Profile::readString(file, "S", "K"), QStringLiteral("3"));
}

void TestProfile::cachedAnswersMatchAColdRead()
{
    // Random writes of every kind; after each, what the cache answers must be what a fresh parse says.
    const QString file = path("r.ini");
    QVERIFY(writeAll(file, "; top\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny = 2 // c\r\n[a]\r\nz=3\r\n"));
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

void TestProfile::batchMatchesSingleWrites()
{
    // Writes collected in memory and saved once leave the same bytes as the same writes one by one.
    const QByteArray original = TextCodec::toCp1251(QStringLiteral("; set\n[Частота]\nF=1 // Гц\n\n[B]\ny=2\n"));
    const QString single = path("single.ini");
    const QString batch = path("batch.ini");
    QVERIFY(writeAll(single, original));
    QVERIFY(writeAll(batch, original));
    QVERIFY(QFile::link("batch.ini", path("link.ini")));

    struct Write
    {
        QString section, key, value;
    };
    const QList<Write> writes{{"частота", "f", " 2\t\t// Гц"},
                              {"B", "y", "3"},
                              {"B", "z", "new"},
                              {"C", "k", "v"},
                              {"B", "y", "3"}, // after the caller's own edit below
                              {"B", "y", "3"}, // nothing to change
                              {"", "top", "1"},
                              {"частота", "F", "ж"},
                              {"C", "k", "v2"}};
    QByteArray bytes = readAll(batch);
    int changes = 0;
    for (qsizetype i = 0; i < writes.size(); ++i) {
        const Write& w = writes.at(i);
        if (i == 4) {
            // The caller edits the buffer between two writes.
            bytes.replace("y=3", "y=4");
            Profile::writeString(single, "B", "y", "4");
        }
        Profile::writeString(single, w.section, w.key, w.value);
        changes += Profile::applyWrite(bytes, w.section, w.key, w.value) ? 1 : 0;
    }
    QCOMPARE(changes, writes.size() - 1);
    QVERIFY(Profile::replaceFile(path("link.ini"), bytes));
    QVERIFY(QFileInfo(path("link.ini")).isSymLink());
    QCOMPARE(readAll(batch), readAll(single));
    QCOMPARE(snapshot(batch), snapshot(single));
    QCOMPARE(Profile::readString(batch, QStringLiteral("Частота"), "F"), QStringLiteral("ж"));

    QByteArray empty;
    QVERIFY(Profile::applyWrite(empty, "S", "K", "v"));
    QCOMPARE(empty, QByteArray("[S]\r\nK=v\r\n"));
    QVERIFY(!Profile::replaceFile(path("batch.ini/under"), empty));
}

void TestProfile::valueLimit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("expected");
    QTest::newRow("n-1") << 8190 << 8190;
    QTest::newRow("n") << 8191 << 8191;
    QTest::newRow("n+1") << 8192 << 8191;
}

void TestProfile::valueLimit()
{
    QFETCH(int, length);
    QFETCH(int, expected);
    const QString file = path("v.ini");
    const QString value = QString(length, QChar(u'ж'));
    QVERIFY(Profile::writeString(file, "S", "V", value));
    QCOMPARE(Profile::readString(file, "S", "V"), value.left(expected));
}

void TestProfile::listLimit_data()
{
    QTest::addColumn<QList<int>>("lengths");
    QTest::addColumn<QList<int>>("listed");
    // Names, each followed by a NUL, fill at most 8190 characters; the last name may be cut.
    QTest::newRow("n-1") << QList<int>{8189} << QList<int>{8189};
    QTest::newRow("n") << QList<int>{8190} << QList<int>{8190};
    QTest::newRow("n+1") << QList<int>{8191} << QList<int>{8190};
    QTest::newRow("second fits without NUL") << QList<int>{5, 8184} << QList<int>{5, 8184};
    QTest::newRow("second cut") << QList<int>{5, 8185, 3} << QList<int>{5, 8184};
    QTest::newRow("no room left") << QList<int>{8190, 3} << QList<int>{8190};
}

void TestProfile::listLimit()
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
    QVERIFY(writeAll(path("s.ini"), sections));
    QVERIFY(writeAll(path("k.ini"), keys));
    for (const QStringList& list : {Profile::sectionNames(path("s.ini")), Profile::keyNames(path("k.ini"), "S")}) {
        QCOMPARE(list.size(), listed.size());
        for (int i = 0; i < list.size(); ++i)
            QCOMPARE(list.at(i), QString(listed.at(i), QChar(u'a' + i)));
    }
}

void TestProfile::roundTrip_data()
{
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("readBack");

    const QString before = QStringLiteral("[Частота]\r\nКлюч=1\r\n");
    const QString after = QStringLiteral("[Частота]\r\nКлюч=Ёж\r\n");
    const QString section = QStringLiteral("ЧАСТОТА");
    const QString key = QStringLiteral("ключ");
    const QString value = QStringLiteral("Ёж");
    QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + before.toUtf8() << section << key << value
                                    << "\xEF\xBB\xBF" + after.toUtf8() << value;
    QTest::newRow("UTF-8 without BOM") << before.toUtf8() << section << key << value << after.toUtf8() << value;
    QTest::newRow("UTF-16LE") << utf16(before) << section << key << value << utf16(after) << value;
    QTest::newRow("UTF-16LE, LF, new key") << utf16(QStringLiteral("[Частота]\nА=1\n")) << section << key << value
                                           << utf16(QStringLiteral("[Частота]\nА=1\nключ=Ёж\n")) << value;
    QTest::newRow("CP1251 keeps 0x98") << TextCodec::toCp1251(before) + "X=a\x98"
                                                                        "b\r\n"
                                       << section << key << value
                                       << TextCodec::toCp1251(after) + "X=a\x98"
                                                                       "b\r\n"
                                       << value;
    QTest::newRow("CP1251 lacks the letter")
        << TextCodec::toCp1251(before) << section << key << QStringLiteral("Ω")
        << TextCodec::toCp1251(QStringLiteral("[Частота]\r\nКлюч=?\r\n")) << QStringLiteral("?");
    QTest::newRow("ASCII file takes UTF-8")
        << QByteArray("[F]\r\nK=1\r\n") << "f"
        << "k" << QStringLiteral("Ω") << QStringLiteral("[F]\r\nK=Ω\r\n").toUtf8() << QStringLiteral("Ω");
}

void TestProfile::roundTrip()
{
    QFETCH(QByteArray, original);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, written);
    QFETCH(QString, readBack);
    const QString file = path("t.ini");
    QVERIFY(writeAll(file, original));
    QVERIFY(Profile::writeString(file, section, key, value));
    QCOMPARE(readAll(file), written);
    QCOMPARE(Profile::readString(file, section.toLower(), key.toUpper()), readBack);
    Profile::clearCache();
    QCOMPARE(Profile::readString(file, section, key), readBack);
}

void TestProfile::foldsEveryScript_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("found");
    QTest::newRow("Greek") << QStringLiteral("Ωμέγα") << QStringLiteral("ΩΜΈΓΑ") << true;
    QTest::newRow("Latin accents") << QStringLiteral("Größe") << QStringLiteral("GRÖßE") << true;
    QTest::newRow("no one-to-many folding") << QStringLiteral("Größe") << QStringLiteral("GRÖSSE") << false;
    QTest::newRow("Cyrillic yo") << QStringLiteral("ёлка") << QStringLiteral("ЁЛКА") << true;
    QTest::newRow("ye is not yo") << QStringLiteral("ёлка") << QStringLiteral("ЕЛКА") << false;
}

void TestProfile::foldsEveryScript()
{
    QFETCH(QString, name);
    QFETCH(QString, asked);
    QFETCH(bool, found);
    const QString file = path("f.ini");
    QVERIFY(writeAll(file, QStringLiteral("[%1]\n%1=1\n").arg(name).toUtf8()));
    QCOMPARE(Profile::readString(file, asked, asked).has_value(), found);
    QCOMPARE(Profile::keyNames(file, asked).size(), found ? 1 : 0);
}

void TestProfile::binaryJunkIsHarmless()
{
    QRandomGenerator random(7);
    const QString file = path("junk.ini");
    for (int round = 0; round < 50; ++round) {
        QByteArray junk(random.bounded(1, 4000), Qt::Uninitialized);
        for (char& c : junk)
            c = char(random.bounded(256));
        if (round % 3 == 0)
            junk.prepend("\xFF\xFE");
        QVERIFY(writeAll(file, junk));
        const QStringList sections = Profile::sectionNames(file);
        const QString section = sections.value(0);
        for (const QString& key : Profile::keyNames(file, section))
            Profile::readString(file, section, key);
        QVERIFY(Profile::writeString(file, section, "K", "v"));
        QCOMPARE(Profile::readString(file, section, "K"), QStringLiteral("v"));
    }
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
