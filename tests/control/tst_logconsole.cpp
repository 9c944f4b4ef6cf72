#include "control/blockheights.h"
#include "control/logconsole.h"
#include "control/outputdecoder.h"

#include <QRandomGenerator>
#include <QtTest>

namespace
{
// The log as the window first kept it: the whole text is split, edited and joined again for every
// chunk. The incremental console must show exactly this text.
struct WholeTextLog
{
    QString text;
    QString pendingCr;

    void update(const QString& rawChunk)
    {
        const QString chunk = LogConsole::plainChunk(rawChunk);
        QStringList oldLines = text.split(QLatin1Char('\n'));
        QStringList newLines = chunk.split(QLatin1Char('\n'));
        if (!pendingCr.isEmpty())
            newLines[0] = oldLines.last() + pendingCr + newLines[0];
        oldLines.removeLast();
        pendingCr.clear();
        for (QString& l : newLines) {
            const QStringList parts = l.split(QLatin1Char('\r'));
            QString line = parts.first();
            for (qsizetype i = 1; i < parts.size(); ++i) {
                const QString& s = parts.at(i);
                line.remove(0, s.size());
                line.insert(0, s);
                pendingCr = QLatin1Char('\r') + s;
            }
            l = line;
        }
        const QString joined = newLines.join(QLatin1Char('\n'));
        text = oldLines.isEmpty() ? joined : oldLines.join(QLatin1Char('\n')) + QLatin1Char('\n') + joined;
    }
};

// The pane's side: an edit replaces the end of the last line.
void apply(QString& log, const LogConsole::Edit& edit)
{
    const qsizetype lineStart = log.lastIndexOf(QLatin1Char('\n')) + 1;
    log.truncate(lineStart + edit.keep);
    log += edit.text;
}

QString randomChunk(QRandomGenerator& random, int maxLength)
{
    static const QString alphabet = QStringLiteral("abcdefg 0123456789%\n\n\r\r\u0416\u2029\u00a0");
    QString chunk;
    const int length = random.bounded(maxLength + 1);
    for (int i = 0; i < length; ++i) {
        if (random.bounded(12) == 0)
            chunk += QStringLiteral("\r\n");
        else
            chunk += alphabet.at(random.bounded(int(alphabet.size())));
    }
    return chunk;
}
} // namespace

class TestLogConsole : public QObject
{
    Q_OBJECT

private slots:
    void consoleRules_data();
    void consoleRules();
    void sameTextAsWholeTextLog_data();
    void sameTextAsWholeTextLog();

    void decoding_data();
    void decoding();
    void cp1251DecidedForTheRestOfTheStream();

    void blockHeightsPlaceBlocks();
};

void TestLogConsole::consoleRules_data()
{
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QString>("log");

    QTest::newRow("cr overwrites the start") << QStringList{QStringLiteral("abc\r12")} << QStringLiteral("12c");
    QTest::newRow("longer cr segment replaces the line")
        << QStringList{QStringLiteral("ab\rxyz")} << QStringLiteral("xyz");
    QTest::newRow("progress in two chunks")
        << QStringList{QStringLiteral("\rP 10%"), QStringLiteral("\rP 20%")} << QStringLiteral("P 20%");
    QTest::newRow("crlf lines") << QStringList{QStringLiteral("one\r\ntwo\r\n"), QStringLiteral("three\r\n")}
                                << QStringLiteral("one\ntwo\nthree\n");
    QTest::newRow("line after a line feed")
        << QStringList{QStringLiteral("L1\n"), QStringLiteral("x\n")} << QStringLiteral("L1\nx\n");
    QTest::newRow("chunk without cr replaces an unfinished line")
        << QStringList{QStringLiteral("L1\nabc"), QStringLiteral("def")} << QStringLiteral("L1\ndef");
    QTest::newRow("cursor stays after the cr segment")
        << QStringList{QStringLiteral("abc\r12"), QStringLiteral("x\n")} << QStringLiteral("12x\n");
    QTest::newRow("lone cr at chunk end")
        << QStringList{QStringLiteral("abc\r"), QStringLiteral("de")} << QStringLiteral("dec");
    QTest::newRow("cr segment of an earlier line is carried")
        << QStringList{QStringLiteral("a\rb\nc"), QStringLiteral("d")} << QStringLiteral("b\nbd");
    QTest::newRow("several segments in one line")
        << QStringList{QStringLiteral("12345\rab\rx")} << QStringLiteral("xb345");
    QTest::newRow("paragraph separator is a line end")
        << QStringList{QStringLiteral("a\u2029b\n")} << QStringLiteral("a\nb\n");
    QTest::newRow("empty log") << QStringList{QStringLiteral("\n")} << QStringLiteral("\n");
}

void TestLogConsole::consoleRules()
{
    QFETCH(QStringList, chunks);
    QFETCH(QString, log);

    LogConsole console;
    QString pendingCr;
    QString shown;
    for (const QString& chunk : chunks)
        apply(shown, console.append(chunk, pendingCr));
    QCOMPARE(shown, log);
}

void TestLogConsole::sameTextAsWholeTextLog_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("maxChunk");
    for (quint32 seed = 1; seed <= 40; ++seed)
        QTest::addRow("seed %u", seed) << seed << int(1 + seed % 5 * 7);
}

void TestLogConsole::sameTextAsWholeTextLog()
{
    QFETCH(quint32, seed);
    QFETCH(int, maxChunk);

    QRandomGenerator random(seed);
    WholeTextLog reference;
    LogConsole console;
    QString pendingCr;
    QString shown;
    // Edits gathered between two updates of the pane, as the window coalesces them.
    LogConsole::Edit gathered;
    bool anyGathered = false;
    for (int step = 0; step < 300; ++step) {
        const QString chunk = randomChunk(random, maxChunk);
        reference.update(chunk);
        const LogConsole::Edit edit = console.append(chunk, pendingCr);
        if (anyGathered) {
            gathered.then(edit);
        } else {
            gathered = edit;
            anyGathered = true;
        }
        QCOMPARE(pendingCr, reference.pendingCr);
        if (random.bounded(3) == 0) {
            apply(shown, gathered);
            anyGathered = false;
            QCOMPARE(shown, reference.text);
            QCOMPARE(console.lastLine(), reference.text.section(QLatin1Char('\n'), -1));
        }
        // The program is stopped now and then.
        if (random.bounded(25) == 0) {
            pendingCr.clear();
            reference.pendingCr.clear();
        }
    }
    if (anyGathered)
        apply(shown, gathered);
    QCOMPARE(shown, reference.text);
}

void TestLogConsole::decoding_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QString>("text");

    const QByteArray privet = QStringLiteral("Привет").toUtf8();
    QTest::newRow("ascii") << QList<QByteArray>{"abc\r\n", "def"} << QStringLiteral("abc\r\ndef");
    QTest::newRow("utf-8 split inside a letter")
        << QList<QByteArray>{privet.left(3), privet.mid(3, 4), privet.mid(7)} << QStringLiteral("Привет");
    const QByteArray emoji = QStringLiteral("a\U0001F600b").toUtf8();
    QTest::newRow("four-byte character in three chunks")
        << QList<QByteArray>{emoji.left(2), emoji.mid(2, 2), emoji.mid(4)} << QStringLiteral("a\U0001F600b");
    QTest::newRow("cp1251") << QList<QByteArray>{"\xcf\xf0\xe8\xe2\xe5\xf2\r\n"} << QStringLiteral("Привет\r\n");
    QTest::newRow("cp1251 after ascii chunks")
        << QList<QByteArray>{"Test ", "\xce\xca\n"} << QStringLiteral("Test ОК\n");
    QTest::newRow("overlong form is not utf-8") << QList<QByteArray>{"\xc0\xaf"} << QStringLiteral("АЇ");
    QTest::newRow("character cut short at the end") << QList<QByteArray>{"ok \xd0"} << QStringLiteral("ok Р");
    QTest::newRow("surrogate is not utf-8") << QList<QByteArray>{"\xed\xa0\x80"} << QStringLiteral("н\u00a0Ђ");
}

void TestLogConsole::decoding()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QString, text);

    OutputDecoder decoder;
    QString decoded;
    for (const QByteArray& chunk : chunks)
        decoded += decoder.decode(chunk);
    decoded += decoder.finish();
    QCOMPARE(decoded, text);
}

void TestLogConsole::cp1251DecidedForTheRestOfTheStream()
{
    OutputDecoder decoder;
    QCOMPARE(decoder.decode("\xc2\xe2\xee\xe4\n"), QStringLiteral("Ввод\n"));
    // Bytes that would also be UTF-8 ("¸") keep their CP1251 meaning in such a stream.
    QCOMPARE(decoder.decode("\xc2\xb8"), QStringLiteral("Вё"));
    decoder.reset();
    QCOMPARE(decoder.decode("\xc2\xb8"), QStringLiteral("\u00b8"));
}

void TestLogConsole::blockHeightsPlaceBlocks()
{
    // Against plain sums, through appends, cuts, changed heights and a reset.
    QRandomGenerator random(3);
    BlockHeights heights;
    std::vector<qreal> plain;
    const auto check = [&] {
        QCOMPARE(heights.size(), int(plain.size()));
        qreal top = 0;
        for (int i = 0; i < int(plain.size()); ++i) {
            QCOMPARE(heights.top(i), top);
            QCOMPARE(heights.indexAt(top), i);
            QCOMPARE(heights.indexAt(top + plain[size_t(i)] / 2), i);
            top += plain[size_t(i)];
        }
        QCOMPARE(heights.total(), top);
        QCOMPARE(heights.indexAt(-5), plain.empty() ? -1 : 0);
        QCOMPARE(heights.indexAt(top + 100), int(plain.size()) - 1);
    };
    check();
    for (int round = 0; round < 30; ++round) {
        for (int i = random.bounded(40); i > 0; --i) {
            const qreal h = 1 + random.bounded(5) * 16;
            heights.append(h);
            plain.push_back(h);
        }
        if (!plain.empty()) {
            const int index = random.bounded(int(plain.size()));
            heights.set(index, 32);
            plain[size_t(index)] = 32;
            const int keep = random.bounded(int(plain.size()) + 1);
            heights.truncate(keep);
            plain.resize(size_t(keep));
        }
        check();
    }
    heights.reset(7, 16);
    plain.assign(7, 16);
    check();
}

QTEST_GUILESS_MAIN(TestLogConsole)
#include "tst_logconsole.moc"
