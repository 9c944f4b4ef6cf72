#include "document/inidocument.h"
#include "document/keychanges.h"
#include "platform/textcodec.h"
#include "tests/common/testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using TestUtil::readBytes;
using TestUtil::writeBytes;

namespace
{
const IniEntry* findEntry(const IniDocument& doc, const QString& section, const QString& key)
{
    for (const IniEntry* entry : doc.m_entries)
        if (entry->section == section && entry->key == key)
            return entry;
    return nullptr;
}
} // namespace

class TestIniDocument : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void singleFileEntry_data();
    void singleFileEntry();
    void commentLinesNeverBecomeEntries();
    void continuationBelowOwnSection();
    void sectionsMergedInFileOrder();
    void multiFileMerge_data();
    void multiFileMerge();
    void defaultSectionAddedToFirstFileOnly();
    void unreadableFilesAreEmptyDocuments();
    void filesThatCannotBeReadAreNeverWritten_data();
    void filesThatCannotBeReadAreNeverWritten();
    void cp1251AndUtf8Texts();
    void rememberTimesFollowsTheFiles();
    void enabledMarkerMovesAlone_data();
    void enabledMarkerMovesAlone();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestIniDocument::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir::setCurrent(m_dir->path());
}

void TestIniDocument::singleFileEntry_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("slash comment") << QByteArray("[A]\r\nFreq=100 // frequency\r\n") << "Freq"
                                   << "100"
                                   << "frequency" << true;
    QTest::newRow("only a comment") << QByteArray("[A]\r\nFreq=// frequency\r\n") << "Freq"
                                    << ""
                                    << "frequency" << true;
    QTest::newRow("semicolon separates") << QByteArray("[A]\r\nMode=1;2\r\n") << "Mode"
                                         << "1"
                                         << "2" << true;
    QTest::newRow("slashes split a path") << QByteArray("[A]\r\nPath=d://data\r\n") << "Path"
                                          << "d:"
                                          << "data" << true;
    QTest::newRow("second comment dropped") << QByteArray("[A]\r\nFreq=1 // a // b\r\n") << "Freq"
                                            << "1"
                                            << "a" << true;
    QTest::newRow("separators only") << QByteArray("[A]\r\nFreq=//\r\n") << "Freq"
                                     << ""
                                     << "" << true;
    QTest::newRow("disabled key") << QByteArray("[A]\r\n@Gain=5\r\n") << "Gain"
                                  << "5"
                                  << "" << false;
    QTest::newRow("continuation CRLF") << QByteArray("[A]\r\nFreq=100 // frequency\r\n// in Hz\r\n; step 1\r\n")
                                       << "Freq"
                                       << "100"
                                       << "frequency\n in Hz\n step 1" << true;
    QTest::newRow("continuation ends at blank")
        << QByteArray("[A]\r\nFreq=100 // frequency\r\n// in Hz\r\n\r\n// far\r\n") << "Freq"
        << "100"
        << "frequency\n in Hz" << true;
    QTest::newRow("continuation LF only") << QByteArray("[A]\nFreq=100 // frequency\n// in Hz\n; step 1\n") << "Freq"
                                          << "100"
                                          << "frequency" << true;
    QTest::newRow("no key comment no continuation") << QByteArray("[A]\r\nFreq=100\r\n// in Hz\r\n") << "Freq"
                                                    << "100"
                                                    << "" << true;
    // The key line is found textually: a longer key that begins with the same text comes first.
    QTest::newRow("continuation below a longer key")
        << QByteArray("[A]\r\nFreqMax=5 // max\r\nFreq=1 // f\r\n// more\r\n") << "Freq"
        << "1"
        << "f" << true;
    QTest::newRow("continuation of a repeated-letter key") << QByteArray("[A]\r\naa=1 // one\r\n// more\r\n") << "aa"
                                                           << "1"
                                                           << "one\n more" << true;
    QTest::newRow("continuation of a disabled key") << QByteArray("[A]\r\n@Gain=5 // gain\r\n// in dB\r\n") << "Gain"
                                                    << "5"
                                                    << "gain\n in dB" << false;
}

void TestIniDocument::singleFileEntry()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    writeBytes(path("a.ini"), content);

    IniDocument doc;
    doc.m_fileList = {path("a.ini")};
    doc.m_bSingleFile = true;
    doc.readFiles();

    const IniEntry* entry = findEntry(doc, "A", key);
    QVERIFY(entry);
    QTEST(entry->value, "value");
    QTEST(entry->comment, "comment");
    QTEST(entry->enabled, "enabled");
    QVERIFY(!entry->absent);
}

void TestIniDocument::commentLinesNeverBecomeEntries()
{
    writeBytes(path("a.ini"), "[A]\r\n; Freq=1\r\n// Gain=2\r\nMode=3\r\n");
    IniDocument doc;
    doc.m_fileList = {path("a.ini")};
    doc.m_bSingleFile = true;
    doc.readFiles();
    QCOMPARE(doc.m_entries.size(), 1);
    QCOMPARE(doc.m_entries.first()->key, QString("Mode"));
}

void TestIniDocument::continuationBelowOwnSection()
{
    writeBytes(path("a.ini"), "[A]\r\nFreq=1 // first\r\n// of A\r\n[B]\r\nFreq=2 // second\r\n// of B\r\n");
    IniDocument doc;
    doc.m_fileList = {path("a.ini")};
    doc.m_bSingleFile = true;
    doc.readFiles();
    QCOMPARE(findEntry(doc, "A", "Freq")->comment, QString("first\n of A"));
    QCOMPARE(findEntry(doc, "B", "Freq")->comment, QString("second\n of B"));
}

void TestIniDocument::sectionsMergedInFileOrder()
{
    writeBytes(path("a.ini"), "[Adc]\r\nX=1\r\n[Dac]\r\nY=1\r\n");
    writeBytes(path("b.ini"), "[Gen]\r\nZ=1\r\n[adc]\r\nX=1\r\n[Dac]\r\nY=1\r\n");
    IniDocument doc;
    doc.m_fileList = {path("a.ini"), path("b.ini")};
    doc.readFiles();
    // Section names are merged by exact text: "adc" is listed although it matches "Adc" for look-ups.
    QCOMPARE(doc.m_sections, QStringList({"Adc", "Dac", "Gen", "adc"}));
}

void TestIniDocument::multiFileMerge_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("absent");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("equal values") << QByteArray("[S]\r\nK=1\r\n") << QByteArray("[S]\r\nK=1 // other\r\n") << "1"
                                  << false << true;
    QTest::newRow("values differ") << QByteArray("[S]\r\nK=1\r\n") << QByteArray("[S]\r\nK=2\r\n") << "" << false
                                   << true;
    QTest::newRow("only in second") << QByteArray("[S]\r\nX=0\r\n") << QByteArray("[S]\r\nK=2\r\n") << "" << true
                                    << false;
    QTest::newRow("only in first") << QByteArray("[S]\r\nK=1\r\n") << QByteArray("[S]\r\nX=0\r\n") << "" << true
                                   << false;
    QTest::newRow("disabled in first") << QByteArray("[S]\r\n@K=1\r\n") << QByteArray("[S]\r\n@K=1\r\n") << "1" << false
                                       << false;
}

void TestIniDocument::multiFileMerge()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    writeBytes(path("a.ini"), first);
    writeBytes(path("b.ini"), second);

    IniDocument doc;
    doc.m_fileList = {path("a.ini"), path("b.ini")};
    doc.m_bSingleFile = false;
    doc.readFiles();

    const IniEntry* entry = findEntry(doc, "S", "K");
    QVERIFY(entry);
    QTEST(entry->value, "value");
    QTEST(entry->absent, "absent");
    QTEST(entry->enabled, "enabled");
    int count = 0;
    for (const IniEntry* e : doc.m_entries)
        count += e->key == "K";
    QCOMPARE(count, 1);
}

void TestIniDocument::defaultSectionAddedToFirstFileOnly()
{
    writeBytes(path("a.ini"), "Freq=100 // frequency\r\nGain=2\r\n");
    writeBytes(path("b.ini"), "Freq=100\r\n");
    IniDocument doc;
    doc.m_fileList = {path("a.ini"), path("b.ini")};
    doc.rememberTimes();
    const QDateTime before = doc.m_fileTimes.at(0);
    doc.readFiles();

    QCOMPARE(readBytes(path("a.ini")), QByteArray("[00]\nFreq=100 // frequency\r\nGain=2\r\n"));
    QCOMPARE(readBytes(path("b.ini")), QByteArray("Freq=100\r\n"));
    QCOMPARE(doc.m_sections, QStringList{"00"});
    QVERIFY(findEntry(doc, "00", "Freq"));
    QVERIFY(findEntry(doc, "00", "Gain"));
    // The write is the editor's own: the change check must not report it.
    QCOMPARE(doc.m_fileTimes.at(0), IniDocument::fileTime(path("a.ini")));
    QVERIFY(before.isValid());
}

void TestIniDocument::unreadableFilesAreEmptyDocuments()
{
    QDir(m_dir->path()).mkdir("folder.ini");
    IniDocument doc;
    doc.m_fileList = {path("missing.ini")};
    doc.m_bSingleFile = true;
    doc.readFiles();
    QCOMPARE(doc.m_sections, QStringList{"00"});
    QVERIFY(doc.m_entries.isEmpty());
    QCOMPARE(readBytes(path("missing.ini")), QByteArray("[00]\n"));

    IniDocument folder;
    folder.m_fileList = {path("folder.ini")};
    folder.m_bSingleFile = true;
    folder.readFiles();
    QVERIFY(folder.m_entries.isEmpty());
    QVERIFY(QFileInfo(path("folder.ini")).isDir());
}

void TestIniDocument::filesThatCannotBeReadAreNeverWritten_data()
{
    // What stands under the name "x.ini"; none of them has a section, so a readable text file would
    // get "[00]".
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"folder", "fifo", "link loop", "binary", "write-only", "unreadable"})
        QTest::newRow(kind) << QString(kind);
}

void TestIniDocument::filesThatCannotBeReadAreNeverWritten()
{
    QFETCH(QString, kind);
    if ((kind == "write-only" || kind == "unreadable") && !TestUtil::permissionsApply())
        QSKIP("root reads files whatever their permissions");
    QVERIFY(TestUtil::makeUnusualFile(path("x.ini"), kind));
    const auto before = TestUtil::snapshot(m_dir->path());

    IniDocument doc;
    doc.m_fileList = {path("x.ini")};
    doc.m_bSingleFile = true;
    doc.rememberTimes();
    doc.readFiles();

    if (kind != "binary") {
        QVERIFY(doc.m_entries.isEmpty());
        QCOMPARE(doc.m_fileTexts, QStringList{QString()});
    }
    QCOMPARE(TestUtil::snapshot(m_dir->path()), before);
}

void TestIniDocument::cp1251AndUtf8Texts()
{
    const QString title = QStringLiteral("Частота");
    writeBytes(path("cp.ini"),
               "[" + TextCodec::toCp1251(title) + "]\r\nF=1 // " + TextCodec::toCp1251(QStringLiteral("Гц")) + "\r\n");
    writeBytes(path("u8.ini"), "[" + title.toUtf8() + "]\r\nF=1 // " + QStringLiteral("Гц").toUtf8() + "\r\n");
    for (const QString& name : {QStringLiteral("cp.ini"), QStringLiteral("u8.ini")}) {
        IniDocument doc;
        doc.m_fileList = {path(name)};
        doc.m_bSingleFile = true;
        doc.readFiles();
        QCOMPARE(doc.m_sections, QStringList{title});
        const IniEntry* entry = findEntry(doc, title, "F");
        QVERIFY(entry);
        QCOMPARE(entry->comment, QStringLiteral("Гц"));
    }
}

void TestIniDocument::rememberTimesFollowsTheFiles()
{
    writeBytes(path("a.ini"), "[S]\r\nK=1\r\n");
    IniDocument doc;
    doc.m_fileList = {path("a.ini"), path("missing.ini")};
    doc.rememberTimes();
    QCOMPARE(doc.m_fileTimes.size(), 2);
    QVERIFY(doc.m_fileTimes.at(0).isValid());
    QVERIFY(!doc.m_fileTimes.at(1).isValid());
}

void TestIniDocument::enabledMarkerMovesAlone_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("enabled");     // the state the key takes
    QTest::addColumn<QByteArray>("after"); // equal to before: nothing changed
    const auto row = [](const char* name, const QByteArray& before, bool enabled, const QByteArray& after) {
        QTest::newRow(name) << before << enabled << after;
    };
    row("plain", "[S]\r\nKey=1\r\n", false, "[S]\r\n@Key=1\r\n");
    row("blanks around =", "[S]\r\nKey = v // c\r\n", false, "[S]\r\n@Key = v // c\r\n");
    row("indented", "[S]\r\n  Key=v\r\n", false, "[S]\r\n  @Key=v\r\n");
    row("switched on, tab and LF", "[S]\n\t@Key =v\n", true, "[S]\n\tKey =v\n");
    row("names in another case", "[ s ]\r\nKEY=1\r\n", false, "[ s ]\r\n@KEY=1\r\n");
    row("only its section", "[A]\r\nKey=1\r\n[S]\r\nKey=2\r\n", false, "[A]\r\nKey=1\r\n[S]\r\n@Key=2\r\n");
    row("every line of the section", "[S]\r\nKey=1\r\nKey=2\r\n[T]\r\n", false, "[S]\r\n@Key=1\r\n@Key=2\r\n[T]\r\n");
    row("no final line end", "[S]\r\nKey=1", false, "[S]\r\n@Key=1");
    row("longer name", "[S]\r\nKeyX=1\r\n", false, "[S]\r\nKeyX=1\r\n");
    row("no = is no key", "[S]\r\nKey\r\n", false, "[S]\r\nKey\r\n");
    row("already off", "[S]\r\n@Key=1\r\n", false, "[S]\r\n@Key=1\r\n");
    row("code page", TextCodec::toCp1251("[S]\r\nKey = Частота\r\n"), false,
        TextCodec::toCp1251("[S]\r\n@Key = Частота\r\n"));
    const auto utf16 = [](const QString& text) {
        return QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    };
    row("UTF-16", utf16("[S]\r\n Key=1\r\n"), false, utf16("[S]\r\n @Key=1\r\n"));
}

void TestIniDocument::enabledMarkerMovesAlone()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, enabled);
    QFETCH(QByteArray, after);
    QByteArray bytes = before;
    QCOMPARE(moveEnabledMarker(bytes, QStringLiteral("S"), QStringLiteral("Key"), enabled), after != before);
    QCOMPARE(bytes, after);
}

QTEST_GUILESS_MAIN(TestIniDocument)
#include "tst_inidocument.moc"
