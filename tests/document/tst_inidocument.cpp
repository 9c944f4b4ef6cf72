#include "document/inidocument.h"
#include "document/keychanges.h"
#include "platform/textcodec.h"
#include "tests/common/testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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

void readSingle(IniDocument& doc, const QStringList& files)
{
    doc.m_fileList = files;
    doc.m_bSingleFile = true;
    doc.readFiles();
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
    void continuationBelowOwnSection_data();
    void continuationBelowOwnSection();
    void sectionsMergedInFileOrder();
    void multiFileMerge_data();
    void multiFileMerge();
    void defaultSectionAddedToFirstFileOnly();
    void missingFileGetsADefaultSection();
    void filesThatCannotBeReadAreNeverWritten_data();
    void filesThatCannotBeReadAreNeverWritten();
    void cp1251AndUtf8Texts();
    void enabledMarkerMovesAlone_data();
    void enabledMarkerMovesAlone();
    void changesToOneFileApplyInOrder_data();
    void changesToOneFileApplyInOrder();

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
    const auto row = [](const char* name, const QByteArray& content, const char* key, const char* value,
                        const char* comment, bool enabled = true) {
        QTest::newRow(name) << content << QString(key) << QString(value) << QString(comment) << enabled;
    };
    row("slash comment", "[A]\r\nFreq=100 // frequency\r\n", "Freq", "100", "frequency");
    row("only a comment", "[A]\r\nFreq=// frequency\r\n", "Freq", "", "frequency");
    row("semicolon separates", "[A]\r\nMode=1;2\r\n", "Mode", "1", "2");
    row("slashes split a path", "[A]\r\nPath=d://data\r\n", "Path", "d:", "data");
    row("second comment dropped", "[A]\r\nFreq=1 // a // b\r\n", "Freq", "1", "a");
    row("separators only", "[A]\r\nFreq=//\r\n", "Freq", "", "");
    row("disabled key", "[A]\r\n@Gain=5\r\n", "Gain", "5", "", false);
    row("continuation CRLF", "[A]\r\nFreq=100 // frequency\r\n// in Hz\r\n; step 1\r\n", "Freq", "100",
        "frequency\n in Hz\n step 1");
    row("continuation ends at blank", "[A]\r\nFreq=100 // frequency\r\n// in Hz\r\n\r\n// far\r\n", "Freq", "100",
        "frequency\n in Hz");
    row("continuation LF only", "[A]\nFreq=100 // frequency\n// in Hz\n; step 1\n", "Freq", "100", "frequency");
    row("no key comment no continuation", "[A]\r\nFreq=100\r\n// in Hz\r\n", "Freq", "100", "");
    // The key line is found textually: a longer key that begins with the same text comes first.
    row("continuation below a longer key", "[A]\r\nFreqMax=5 // max\r\nFreq=1 // f\r\n// more\r\n", "Freq", "1", "f");
    row("continuation of a repeated-letter key", "[A]\r\naa=1 // one\r\n// more\r\n", "aa", "1", "one\n more");
    row("continuation of a disabled key", "[A]\r\n@Gain=5 // gain\r\n// in dB\r\n", "Gain", "5", "gain\n in dB", false);
}

void TestIniDocument::singleFileEntry()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    writeBytes(path("a.ini"), content);

    IniDocument doc;
    readSingle(doc, {path("a.ini")});

    const IniEntry* entry = findEntry(doc, "A", key);
    QVERIFY(entry);
    QTEST(entry->value, "value");
    QTEST(entry->comment, "comment");
    QTEST(entry->enabled, "enabled");
    QVERIFY(!entry->absent);

    // A key read on its own afterwards, from the file the whole read no longer keeps, reads the same.
    QString section = "A";
    const std::unique_ptr<IniEntry> single(doc.readEntry(path("a.ini"), section, (entry->enabled ? "" : "@") + key));
    QCOMPARE(single->value + '|' + single->comment, entry->value + '|' + entry->comment);
}

void TestIniDocument::commentLinesNeverBecomeEntries()
{
    writeBytes(path("a.ini"), "[A]\r\n; Freq=1\r\n// Gain=2\r\nMode=3\r\n");
    IniDocument doc;
    readSingle(doc, {path("a.ini")});
    QCOMPARE(doc.m_entries.size(), 1);
    QCOMPARE(doc.m_entries.first()->key, QString("Mode"));
}

void TestIniDocument::continuationBelowOwnSection_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("comments"); // of key "Freq" in the sections "A", "B", "C" that have it

    QTest::newRow("two sections") << QByteArray(
                                         "[A]\r\nFreq=1 // first\r\n// of A\r\n[B]\r\nFreq=2 // second\r\n// of B\r\n")
                                  << QStringList{"first\n of A", "second\n of B"};
    QTest::newRow("names shared by every section")
        << QByteArray(
               "[A]\r\nGain=0 // g\r\nFreq=1 // a\r\n; a1\r\n[B]\r\nGain=0 // g\r\nFreq=2 // b\r\n[C]\r\nGain=0 // "
               "g\r\nFreq=3 // c\r\n// c1\r\n// c2\r\n")
        << QStringList{"a\n a1", "b", "c\n c1\n c2"};
    QTest::newRow("section named like its key")
        << QByteArray("[A]\r\nA=0 // x\r\nFreq=1 // a\r\n; more\r\n") << QStringList{"a\n more"};
    QTest::newRow("longer key first in a later section")
        << QByteArray("[A]\r\nFreq=1 // a\r\n; a1\r\n[B]\r\nFreqMax=9 // m\r\nFreq=2 // b\r\n; b1\r\n")
        << QStringList{"a\n a1", "b"};
    QTest::newRow("CP1251") << TextCodec::toCp1251(QStringLiteral("[A]\r\nFreq=1 // Гц\r\n; шаг 1\r\n"))
                            << QStringList{QStringLiteral("Гц\n шаг 1")};
}

void TestIniDocument::continuationBelowOwnSection()
{
    QFETCH(QByteArray, content);
    writeBytes(path("a.ini"), content);
    IniDocument doc;
    readSingle(doc, {path("a.ini")});
    QStringList comments;
    for (const QString section : {"A", "B", "C"})
        if (const IniEntry* entry = findEntry(doc, section, "Freq"))
            comments.append(entry->comment);
    QTEST(comments, "comments");
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
    const auto row = [](const char* name, const QByteArray& first, const QByteArray& second, const char* value,
                        bool absent, bool enabled) {
        QTest::newRow(name) << first << second << QString(value) << absent << enabled;
    };
    row("equal values", "[S]\r\nK=1\r\n", "[S]\r\nK=1 // other\r\n", "1", false, true);
    row("values differ", "[S]\r\nK=1\r\n", "[S]\r\nK=2\r\n", "", false, true);
    row("only in second", "[S]\r\nX=0\r\n", "[S]\r\nK=2\r\n", "", true, false);
    row("only in first", "[S]\r\nK=1\r\n", "[S]\r\nX=0\r\n", "", true, false);
    row("disabled in first", "[S]\r\n@K=1\r\n", "[S]\r\n@K=1\r\n", "1", false, false);
    row("other order and case", "[S]\r\nK=1\r\nX=0\r\n", "[S]\r\nx=0\r\nk=1\r\n", "1", false, true);
    // The second file's later "K" is never read: its first one differs.
    row("second repeats the key", "[S]\r\nA=1\r\nK=1\r\n", "[S]\r\nK=2\r\nA=1\r\nK=1\r\n", "", false, true);
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

void TestIniDocument::missingFileGetsADefaultSection()
{
    IniDocument doc;
    readSingle(doc, {path("missing.ini")});
    QCOMPARE(doc.m_sections, QStringList{"00"});
    QVERIFY(doc.m_entries.isEmpty());
    QCOMPARE(readBytes(path("missing.ini")), QByteArray("[00]\n"));
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

    if (kind != "binary")
        QVERIFY(doc.m_entries.isEmpty());
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

void TestIniDocument::changesToOneFileApplyInOrder_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QList<KeyChange>>("changes");
    QTest::addColumn<QByteArray>("after");
    const auto value = [](const QString& key, const QString& text) {
        KeyChange change;
        change.section = QStringLiteral("S");
        change.key = key;
        change.text = text;
        return change;
    };
    const auto switched = [](const QString& key, bool enabled) {
        KeyChange change;
        change.kind = KeyChange::Enabled;
        change.section = QStringLiteral("S");
        change.key = key;
        change.enabled = enabled;
        return change;
    };

    QTest::newRow("first of a repeated key") << QByteArray("[S]\r\nK=1\r\nK=2\r\n") << QList<KeyChange>{value("K", "5")}
                                             << QByteArray("[S]\r\nK=5\r\nK=2\r\n");
    QTest::newRow("missing keys in order, then one of them again")
        << QByteArray("[S]\r\nA=1\r\n\r\n[T]\r\n")
        << QList<KeyChange>{value("B", "2"), value("A", "9"), value("C", "3"), value("B", "4")}
        << QByteArray("[S]\r\nA=9\r\nB=4\r\nC=3\r\n\r\n[T]\r\n");
    QTest::newRow("missing section") << QByteArray("[T]\nX=1") << QList<KeyChange>{value("A", "1"), value("B", "2")}
                                     << QByteArray("[T]\nX=1\n[S]\nA=1\nB=2\n");
    QTest::newRow("switched on, then written")
        << QByteArray("[S]\r\n@K=1\r\n") << QList<KeyChange>{switched("K", true), value("K", "2")}
        << QByteArray("[S]\r\nK=2\r\n");
    QTest::newRow("written, then switched off")
        << QByteArray("[S]\r\nK=1\r\nL=1\r\n")
        << QList<KeyChange>{value("L", "3"), value("K", "2"), switched("K", false)}
        << QByteArray("[S]\r\n@K=2\r\nL=3\r\n");
    QTest::newRow("written to a key that stays off")
        << QByteArray("[S]\r\n@K=1\r\n") << QList<KeyChange>{value("K", "2")} << QByteArray("[S]\r\n@K=1\r\nK=2\r\n");
    QTest::newRow("changed and changed back")
        << QByteArray("[S]\r\nK=1\r\n") << QList<KeyChange>{value("K", "2"), value("K", "1")}
        << QByteArray("[S]\r\nK=1\r\n");
    QTest::newRow("CP1251 stays CP1251") << TextCodec::toCp1251(QStringLiteral("[S]\r\nA=1 // Гц\r\nB=2\r\n"))
                                         << QList<KeyChange>{value("B", QStringLiteral("шаг")),
                                                             value("A", QStringLiteral("Ом")), value("C", "€")}
                                         << TextCodec::toCp1251(QStringLiteral("[S]\r\nA=Ом\r\nB=шаг\r\nC=€\r\n"));
    // An ASCII file takes UTF-8 for what CP1251 lacks; what follows is written in UTF-8 too.
    QTest::newRow("ASCII becomes UTF-8") << QByteArray("[S]\r\nA=1\r\nB=2\r\n")
                                         << QList<KeyChange>{value("A", QStringLiteral("中")),
                                                             value("B", QStringLiteral("Ом"))}
                                         << QStringLiteral("[S]\r\nA=中\r\nB=Ом\r\n").toUtf8();
}

void TestIniDocument::changesToOneFileApplyInOrder()
{
    QFETCH(QByteArray, before);
    QFETCH(QList<KeyChange>, changes);
    writeBytes(path("a.ini"), before);
    QVERIFY(applyKeyChanges(path("a.ini"), changes));
    QTEST(readBytes(path("a.ini")), "after");
}

QTEST_GUILESS_MAIN(TestIniDocument)
#include "tst_inidocument.moc"
