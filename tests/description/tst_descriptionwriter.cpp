#include "description/descriptionwriter.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace
{
QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

ino_t inodeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// A hand-written description as the lab keeps them: CP1251, CRLF, four-space indentation, a blank
// line and a comment, attributes in no particular order.
QByteArray handWritten()
{
    return TextCodec::toCp1251(QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
        "<settings>\r\n"
        "    <check>1</check>\r\n"
        "    <!-- groups -->\r\n"
        "    <group title=\"АЦП\" color=\"255,230,200\" open=\"1\">\r\n"
        "        <param name=\"Adc.Rate\" title=\"Частота\" type=\"spin-int\" min=\"1\" max=\"9\" inc=\"1\" "
        "comment=\"a &amp; b\"/>\r\n"
        "    </group>\r\n"
        "\r\n"
        "    <program dependence=\"x.exe\" cmdline=\"dsptest.exe\"/>\r\n"
        "    <curprog zeta=\"z\" cmdline=\"old.exe\" alpha=\"a\"/>\r\n"
        "</settings>\r\n"));
}

// The same file after the program "new.exe" was written back.
QByteArray rewritten(const QString& cmdline = QStringLiteral("new.exe"))
{
    return TextCodec::toCp1251(
        QStringLiteral("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
                       "<settings>\r\n"
                       "\t<check>1</check>\r\n"
                       "\t\t<!-- groups -->\r\n"
                       "\t<group title=\"АЦП\" color=\"255,230,200\" open=\"1\">\r\n"
                       "\t\t<param name=\"Adc.Rate\" title=\"Частота\" type=\"spin-int\" min=\"1\" max=\"9\" inc=\"1\" "
                       "comment=\"a &amp; b\"/>\r\n"
                       "\t</group>\r\n"
                       "\t<program dependence=\"x.exe\" cmdline=\"dsptest.exe\"/>\r\n"
                       "\t<curprog zeta=\"z\" cmdline=\"%1\" alpha=\"a\"/>\r\n"
                       "</settings>\r\n")
            .arg(cmdline));
}
} // namespace

class TestDescriptionWriter : public QObject
{
    Q_OBJECT

private slots:
    void setAttrInLine_data();
    void setAttrInLine();
    void fixIndent_data();
    void fixIndent();

    void groupStateEditsOnlyItsLine();
    void groupLineNotFoundAddsEmptyLine();
    void groupStateInUtf8File();

    void curprogKeepsLayoutOrderAndEncoding();
    void curprogTwiceGivesSameBytes();
    void curprogCreatedWhenMissing();
    void curprogOutsideEncodingIsReferenced();
    void brokenDescriptionLeftAlone_data();
    void brokenDescriptionLeftAlone();
    void otherRootWrittenUnchanged();
    void missingFileCreatedEmpty();

    void rewriteReplacesTheFile();
    void failedRewriteKeepsOldFile();

private:
    QTemporaryDir m_dir;
};

void TestDescriptionWriter::setAttrInLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("attr");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("present") << "\t<group title=\"A\" open=\"0\" color=\"1,2,3\">"
                             << "open"
                             << "1"
                             << "\t<group title=\"A\" open=\"1\" color=\"1,2,3\">";
    QTest::newRow("absent goes last") << "<group title=\"A\" color=\"1,2,3\">"
                                      << "open"
                                      << "0"
                                      << "<group title=\"A\" color=\"1,2,3\" open=\"0\">";
    QTest::newRow("colour replaced in place") << "<group color=\"1,2,3\" title=\"A\" open=\"1\">  <!-- x -->"
                                              << "color"
                                              << "255,255,255"
                                              << "<group color=\"255,255,255\" title=\"A\" open=\"1\">  <!-- x -->";
    QTest::newRow("no tag end") << "<group title=\"A\""
                                << "open"
                                << "1"
                                << "<group title=\"A\"";
    QTest::newRow("empty element") << "<group title=\"A\"/>"
                                   << "open"
                                   << "1"
                                   << "<group title=\"A\" open=\"1\"/>";
    QTest::newRow("name ending in attr") << "<group reopen=\"x\" title=\"A\">"
                                         << "open"
                                         << "1"
                                         << "<group reopen=\"1\" title=\"A\">";
    QTest::newRow("single quotes") << "<group title='A' open='0' color='1,2,3'>"
                                   << "open"
                                   << "1"
                                   << "<group title='A' open=\"1\" color='1,2,3'>";
    QTest::newRow("CR kept") << "<group title=\"A\">\r"
                             << "open"
                             << "1"
                             << "<group title=\"A\" open=\"1\">\r";
}

void TestDescriptionWriter::setAttrInLine()
{
    QFETCH(QString, line);
    QFETCH(QString, attr);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    DescriptionWriter::setAttrInLine(line, attr, value);
    QCOMPARE(line, expected);
}

void TestDescriptionWriter::fixIndent_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("levels") << QString(30, QLatin1Char(' ')) + "<a/>"
                            << "\t\t\t<a/>";
    QTest::newRow("comment") << "<!-- a --><!-- b -->"
                             << "\t<!-- a -->\t<!-- b -->";
    QTest::newRow("inside a value") << "<a t=\"x          y\"/>"
                                    << "<a t=\"x\ty\"/>";
}

void TestDescriptionWriter::fixIndent()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(DescriptionWriter::fixDescriptionIndent(text), expected);
}

void TestDescriptionWriter::groupStateEditsOnlyItsLine()
{
    const QString path = m_dir.filePath(QStringLiteral("group.vlmr"));
    writeBytes(path, handWritten());

    QVERIFY(DescriptionWriter::saveGroupState(path, QStringLiteral("АЦП"), false, 10, 20, 30));
    QByteArray expected = handWritten();
    expected.replace(TextCodec::toCp1251(QStringLiteral("color=\"255,230,200\" open=\"1\">")),
                     TextCodec::toCp1251(QStringLiteral("color=\"10,20,30\" open=\"0\">")));
    QCOMPARE(readBytes(path), expected);

    // A tag without "open" gets it as its last attribute.
    writeBytes(path, "<settings>\r\n <group title=\"T\" color=\"1,1,1\">\r\n </group>\r\n</settings>");
    QVERIFY(DescriptionWriter::saveGroupState(path, QStringLiteral("T"), true, 255, 255, 255));
    QCOMPARE(
        readBytes(path),
        QByteArray("<settings>\r\n <group title=\"T\" color=\"255,255,255\" open=\"1\">\r\n </group>\r\n</settings>"));
}

void TestDescriptionWriter::groupLineNotFoundAddsEmptyLine()
{
    const QString path = m_dir.filePath(QStringLiteral("notfound.vlmr"));
    writeBytes(path, handWritten());
    DescriptionWriter::saveGroupState(path, QStringLiteral("Нет такой"), true, 1, 2, 3);
    QCOMPARE(readBytes(path), handWritten() + "\r\n");

    // A split start tag is not found either.
    const QByteArray split = "<settings>\n<group\n title=\"A\">\n</group>\n</settings>";
    writeBytes(path, split);
    DescriptionWriter::saveGroupState(path, QStringLiteral("A"), true, 1, 2, 3);
    QCOMPARE(readBytes(path), split + "\n\n");
}

void TestDescriptionWriter::groupStateInUtf8File()
{
    const QString path = m_dir.filePath(QStringLiteral("utf8.vlmr"));
    const QByteArray utf8 = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n"
                                           "<group title=\"Фильтр\" open=\"1\">\n</group>\n</settings>\n")
                                .toUtf8();
    writeBytes(path, utf8);
    QVERIFY(DescriptionWriter::saveGroupState(path, QStringLiteral("Фильтр"), false, 1, 2, 3));
    QCOMPARE(readBytes(path), QByteArray(utf8).replace("open=\"1\">", "open=\"0\" color=\"1,2,3\">"));
}

void TestDescriptionWriter::curprogKeepsLayoutOrderAndEncoding()
{
    const QString path = m_dir.filePath(QStringLiteral("curprog.vlmr"));
    writeBytes(path, handWritten());
    QVERIFY(DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                                QStringLiteral("new.exe")));
    QCOMPARE(readBytes(path), rewritten());

    // Cyrillic in the value stays in the code page.
    QVERIFY(DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                                QStringLiteral("тест.exe \"a<b\"")));
    QCOMPARE(readBytes(path), rewritten(QStringLiteral("тест.exe &quot;a&lt;b&quot;")));
}

void TestDescriptionWriter::curprogTwiceGivesSameBytes()
{
    const QString path = m_dir.filePath(QStringLiteral("twice.vlmr"));
    writeBytes(path, handWritten());
    for (int i = 0; i < 2; ++i)
        DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                            QStringLiteral("new.exe"));
    QCOMPARE(readBytes(path), rewritten());
}

void TestDescriptionWriter::curprogCreatedWhenMissing()
{
    const QString path = m_dir.filePath(QStringLiteral("nocurprog.vlmr"));
    writeBytes(path, "<settings><check>0</check></settings>");
    QVERIFY(DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"), QString()));
    const QByteArray once = "<settings>\n\t<check>0</check>\n\t<curprog cmdline=\"\"/>\n</settings>\n";
    QCOMPARE(readBytes(path), once);

    // A second close updates the same element.
    QVERIFY(DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                                QStringLiteral("b.exe")));
    QCOMPARE(readBytes(path), QByteArray(once).replace("cmdline=\"\"", "cmdline=\"b.exe\""));
}

void TestDescriptionWriter::curprogOutsideEncodingIsReferenced()
{
    const QString path = m_dir.filePath(QStringLiteral("ref.vlmr"));
    writeBytes(path, "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<settings/>\n");
    QVERIFY(DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                                QStringLiteral("run ✓")));
    QCOMPARE(readBytes(path), QByteArray("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<settings>\n"
                                         "\t<curprog cmdline=\"run &#10003;\"/>\n</settings>\n"));
}

void TestDescriptionWriter::brokenDescriptionLeftAlone_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("truncated") << "truncated.vlmr";
    QTest::newRow("mismatched tag") << "mismatched-tag.vlmr";
    QTest::newRow("trailing garbage") << "trailing-garbage.vlmr";
}

void TestDescriptionWriter::brokenDescriptionLeftAlone()
{
    QFETCH(QString, fixture);
    const QString path = m_dir.filePath(fixture);
    const QByteArray original = readBytes(QStringLiteral(VOLMAR_TEST_DATA "/description/") + fixture);
    QVERIFY(!original.isEmpty());
    writeBytes(path, original);
    const ino_t inode = inodeOf(path);
    QVERIFY(!DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                                 QStringLiteral("x.exe")));
    QCOMPARE(readBytes(path), original);
    QCOMPARE(inodeOf(path), inode);
}

void TestDescriptionWriter::otherRootWrittenUnchanged()
{
    const QString path = m_dir.filePath(QStringLiteral("other.vlmr"));
    writeBytes(path, "<other><curprog cmdline=\"a\"/></other>");
    DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                        QStringLiteral("b"));
    QCOMPARE(readBytes(path), QByteArray("<other>\n\t<curprog cmdline=\"a\"/>\n</other>\n"));
}

void TestDescriptionWriter::missingFileCreatedEmpty()
{
    const QString path = m_dir.filePath(QStringLiteral("missing.vlmr"));
    QVERIFY(!DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                                 QStringLiteral("x.exe")));
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(readBytes(path), QByteArray());

    // A folder in place of the file is no description.
    const QString folder = m_dir.filePath(QStringLiteral("folder.vlmr"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(!DescriptionWriter::writeDescription(folder, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                                 QStringLiteral("x.exe")));
    QVERIFY(!DescriptionWriter::saveGroupState(folder, QStringLiteral("A"), true, 1, 2, 3));
    QVERIFY(QFileInfo(folder).isDir());
}

void TestDescriptionWriter::rewriteReplacesTheFile()
{
    const QString path = m_dir.filePath(QStringLiteral("inode.vlmr"));
    writeBytes(path, handWritten());
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ino_t inode = inodeOf(path);
    QVERIFY(DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                                QStringLiteral("new.exe")));
    QVERIFY(inodeOf(path) != inode);
    QCOMPARE(QFile::permissions(path),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);

    inode = inodeOf(path);
    QVERIFY(DescriptionWriter::saveGroupState(path, QStringLiteral("АЦП"), false, 1, 2, 3));
    QVERIFY(inodeOf(path) != inode);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".tmp")), QStringList());
}

void TestDescriptionWriter::failedRewriteKeepsOldFile()
{
    // A name so long that no temporary name beside it fits: the write fails even for root.
    const QString path = m_dir.filePath(QString(240, QLatin1Char('d')) + QStringLiteral(".vlmr"));
    writeBytes(path, handWritten());
    QVERIFY(!DescriptionWriter::writeDescription(path, QStringLiteral("curprog"), QStringLiteral("cmdline"),
                                                 QStringLiteral("new.exe")));
    QVERIFY(!DescriptionWriter::saveGroupState(path, QStringLiteral("АЦП"), false, 1, 2, 3));
    QCOMPARE(readBytes(path), handWritten());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".tmp")), QStringList());
}

QTEST_GUILESS_MAIN(TestDescriptionWriter)
#include "tst_descriptionwriter.moc"
