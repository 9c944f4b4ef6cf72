// The log as a console (CR returns to the start of the line), the decoding of program output, the
// stream of output into the log and the limits of the log.
#include "control/blockheights.h"
#include "control/logbuffer.h"
#include "control/logconsole.h"
#include "control/logstream.h"
#include "control/outputdecoder.h"
#include "tests/common/logtext.h"

#include <QtTest>

namespace
{
using Encoding = OutputDecoder::Encoding;

using TestUtil::applyLogUpdate;

// The log as the pane shows it after an edit of its end.
void applyEdit(QString& log, const LogConsole::Edit& edit)
{
    applyLogUpdate(log, {true, false, edit});
}

// The log after a stream of output, read in chunks of chunkSize bytes (0: in one chunk).
QString streamed(const QByteArray& output, qsizetype chunkSize, Encoding encoding = Encoding::Auto)
{
    LogStream stream;
    stream.reset(encoding, QString());
    QString pendingCr;
    QString log;
    const qsizetype step = chunkSize > 0 ? chunkSize : qMax<qsizetype>(1, output.size());
    for (qsizetype i = 0; i < output.size(); i += step)
        applyLogUpdate(log, stream.append(output.mid(i, step), pendingCr));
    applyLogUpdate(log, stream.finish(pendingCr));
    return log;
}

// A pane that takes the buffer's steps: the note about dropped lines is kept apart from the lines.
struct PaneModel
{
    QString lines;
    qint64 noted = 0;
    qsizetype mostLines = 0;

    void apply(const LogBuffer::Step& step)
    {
        applyLogUpdate(lines, {true, step.clearAll, {step.keep, step.text}});
        // As the pane does: the lines dropped are counted off in characters.
        lines.remove(0, step.dropChars);
        noted = step.droppedTotal;
        mostLines = qMax(mostLines, lines.count(QLatin1Char('\n')) + 1);
    }
};
} // namespace

class TestLogConsole : public QObject
{
    Q_OBJECT

private slots:
    void consoleRules_data()
    {
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QString>("log");
        QTest::newRow("cr overwrites the start") << QStringList{"abc\r12"} << QString("12c");
        QTest::newRow("longer cr segment replaces the line") << QStringList{"ab\rxyz"} << QString("xyz");
        QTest::newRow("progress in two chunks") << QStringList{"\rP 10%", "\rP 20%"} << QString("P 20%");
        QTest::newRow("crlf lines") << QStringList{"one\r\ntwo\r\n", "three\r\n"} << QString("one\ntwo\nthree\n");
        QTest::newRow("plain chunk replaces open line") << QStringList{"L1\nabc", "def"} << QString("L1\ndef");
        QTest::newRow("cursor stays after the cr segment") << QStringList{"abc\r12", "x\n"} << QString("12x\n");
        QTest::newRow("lone cr at chunk end") << QStringList{"abc\r", "de"} << QString("dec");
        QTest::newRow("cr segment of an earlier line is carried") << QStringList{"a\rb\nc", "d"} << QString("b\nbd");
        QTest::newRow("several segments in one line") << QStringList{"12345\rab\rx"} << QString("xb345");
        QTest::newRow("paragraph separator is a line end") << QStringList{"a\u2029b\n"} << QString("a\nb\n");
        QTest::newRow("no-break space is a blank") << QStringList{"a\u00a0b\n"} << QString("a b\n");
    }

    void consoleRules()
    {
        QFETCH(QStringList, chunks);
        QFETCH(QString, log);
        // The pane applies each edit to the end of its last line, or several gathered into one.
        LogConsole console;
        QString pendingCr;
        QString shown;
        QString gatheredShown;
        LogConsole::Edit gathered;
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            const LogConsole::Edit edit = console.append(chunks.at(i), pendingCr);
            applyEdit(shown, edit);
            if (i == 0)
                gathered = edit;
            else
                gathered.then(edit);
        }
        applyEdit(gatheredShown, gathered);
        QCOMPARE(shown, log);
        QCOMPARE(gatheredShown, log);
        QCOMPARE(console.lastLine(), log.section(QLatin1Char('\n'), -1));
    }

    void decoding_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Encoding>("encoding");
        const auto row = [](const char* name, const QList<QByteArray>& chunks, const QString& text,
                            Encoding encoding = Encoding::Auto) { QTest::newRow(name) << chunks << text << encoding; };
        const QByteArray privet = QStringLiteral("Привет").toUtf8();
        const QByteArray emoji = QStringLiteral("a\U0001F600b").toUtf8();
        row("utf-8 split", {privet.left(3), privet.mid(3, 4), privet.mid(7)}, QStringLiteral("Привет"));
        row("4 bytes, 3 chunks", {emoji.left(2), emoji.mid(2, 2), emoji.mid(4)}, QStringLiteral("a\U0001F600b"));
        row("cp1251 after ascii", {"Test ", "\xce\xca\n"}, QStringLiteral("Test ОК\n"));
        // Bytes that would also be UTF-8 ("¸") keep their CP1251 meaning in such a stream.
        row("cp1251 stays", {"\xc2\xe2\xee\xe4\n", "\xc2\xb8"}, QStringLiteral("Ввод\nВё"));
        row("overlong form is not utf-8", {"\xc0\xaf"}, QStringLiteral("АЇ"));
        row("character cut short at the end", {"ok \xd0"}, QStringLiteral("ok Р"));
        row("surrogate is not utf-8", {"\xed\xa0\x80"}, QStringLiteral("н\u00a0Ђ"));
        // A stream is decided as a whole: what looked like UTF-8 before the proof is CP1251 too.
        row("cp1251 that looked like utf-8", {"\xc2\xb8 ok\n", "\xc2\xe2\xee\xe4"}, QStringLiteral("Вё ok\nВвод"));
        row("chosen cp1251", {"\xc2\xb8"}, QStringLiteral("Вё"), Encoding::Cp1251);
        row("chosen utf-8, split and invalid", {privet.left(3), privet.mid(3) + "\xff", "!"},
            QStringLiteral("Привет\uFFFD!"), Encoding::Utf8);
        row("chosen utf-8, cut short at the end", {"ok \xd0"}, QStringLiteral("ok \uFFFD"), Encoding::Utf8);
        // Past the bytes kept for decoding again, a UTF-8 stream stays UTF-8 and an ASCII one turns
        // CP1251 from where it shows.
        const QString longUtf8(OutputDecoder::ReplayLimit / 2 + 1, u'ж');
        row("long utf-8 stays utf-8", {longUtf8.toUtf8(), "\xc2\xe2"}, longUtf8 + QStringLiteral("\uFFFD\uFFFD"));
        const QByteArray longAscii(OutputDecoder::ReplayLimit + 1, 'a');
        row("long ascii, then cp1251", {longAscii, "\xc2\xe2"}, QString::fromLatin1(longAscii) + QStringLiteral("Вв"));
    }

    void decoding()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QString, text);
        QFETCH(Encoding, encoding);
        OutputDecoder decoder;
        decoder.reset(encoding);
        QString decoded;
        for (const QByteArray& chunk : chunks) {
            const OutputDecoder::Decoded next = decoder.decode(chunk);
            if (next.restart)
                decoded = next.earlier.join(QString());
            decoded += next.text;
        }
        QCOMPARE(decoded + decoder.finish(), text);
    }

    void streamReadsLikeConsole_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("log");
        QByteArray numbered;
        QString numberedLog;
        for (int i = 1; i <= 300; ++i) {
            numbered += "line " + QByteArray::number(i) + '\n';
            numberedLog += QStringLiteral("line %1\n").arg(i);
        }
        QTest::newRow("numbered lines") << numbered << numberedLog;
        QTest::newRow("console lines with progress")
            << QByteArray("Block 1\rBlock 1: ok\r\nBlock 2\rBlock 2: ok\r\nend")
            << QStringLiteral("Block 1: ok\nBlock 2: ok\nend");
        QTest::newRow("progress without line ends") << QByteArray("\rP 10%\rP 20%\rP 100%") << QStringLiteral("P 100%");
        QTest::newRow("cr overwrites the start") << QByteArray("abcdef\r12\n") << QStringLiteral("12cdef\n");
        QTest::newRow("cp1251") << QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2\r\n\xc2\xb8\r\n")
                                << QStringLiteral("Привет\nВё\n");
    }

    void streamReadsLikeConsole()
    {
        // However the pipe cuts the output, no line loses its beginning.
        QFETCH(QByteArray, output);
        QFETCH(QString, log);
        for (const qsizetype chunkSize :
             {qsizetype(0), qsizetype(1), qsizetype(2), qsizetype(3), qsizetype(7), qsizetype(64), qsizetype(4096)})
            QVERIFY2(streamed(output, chunkSize) == log, qPrintable(QString::number(chunkSize)));
    }

    void heldLineShownMeanwhile()
    {
        // The start of a line is shown while its end has not arrived; the end then completes it.
        LogStream stream;
        stream.reset(Encoding::Auto, QString());
        QString pendingCr;
        QString log;
        applyLogUpdate(log, stream.append("L1\nabc", pendingCr));
        QCOMPARE(log, QStringLiteral("L1\nabc"));
        QCOMPARE(stream.heldLine(), QStringLiteral("abc"));
        applyLogUpdate(log, stream.append("def", pendingCr));
        QCOMPARE(log, QStringLiteral("L1\nabcdef"));
        applyLogUpdate(log, stream.append("\r\nL3\n", pendingCr));
        QCOMPARE(log, QStringLiteral("L1\nabcdef\nL3\n"));
        QVERIFY(stream.heldLine().isEmpty());
    }

    void endlessLineIsBroken()
    {
        // A program that never ends its line fills lines of the longest length, not one line for ever.
        const QByteArray output(3 * LogStream::MaxLineChars + 10, 'x');
        const QStringList lines = streamed(output, 1000).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.first().size(), LogStream::MaxLineChars);
        QCOMPARE(lines.last().size(), 10);
    }

    void streamDecodedAgain()
    {
        // CP1251 that read as UTF-8 until a later chunk is shown again from the start, as the
        // console takes it chunk by chunk.
        const QByteArray output("\xc2\xb8\xc2\rab\r\n\xc2\xe2\xee\xe4\r\n");
        QCOMPARE(streamed(output, 4), QStringLiteral("abВ\nВвод\n"));
        QCOMPARE(streamed(output, 0, Encoding::Utf8), QStringLiteral("ab\n\uFFFD\uFFFD\uFFFD\uFFFD\n"));
    }

    void logLimits_data()
    {
        QTest::addColumn<int>("lines");      // printed: "line N", one a line
        QTest::addColumn<int>("chunkSize");  // bytes a read
        QTest::addColumn<int>("readsAStep"); // reads between two steps into the pane
        QTest::addColumn<qsizetype>("maxLines");
        QTest::addColumn<qsizetype>("maxChars");
        QTest::addColumn<int>("fewestKept"); // lines of the log that stay, the empty last one included
        QTest::addColumn<int>("mostKept");
        QTest::newRow("within the limits") << 500 << 100 << 1 << qsizetype(1000) << qsizetype(100000) << 501 << 501;
        // Lines go an eighth of the limit at a time.
        QTest::newRow("line limit") << 20000 << 4096 << 1 << qsizetype(1000) << qsizetype(1000000) << 875 << 1000;
        QTest::newRow("limit at one line more")
            << 1000 << 777 << 1 << qsizetype(1000) << qsizetype(1000000) << 875 << 875;
        // "line 18911" to "line 20000" are 10 characters and a feed each.
        QTest::newRow("character limit") << 20000 << 4096 << 1 << qsizetype(100000) << qsizetype(12000) << 955 << 1091;
        // The pane falls behind: lines that would only be dropped again never reach it.
        QTest::newRow("pane behind") << 200000 << 65536 << 50 << qsizetype(1000) << qsizetype(1000000) << 875 << 1000;
    }

    void logLimits()
    {
        QFETCH(int, lines);
        QFETCH(int, chunkSize);
        QFETCH(int, readsAStep);
        QFETCH(qsizetype, maxLines);
        QFETCH(qsizetype, maxChars);
        QFETCH(int, fewestKept);
        QFETCH(int, mostKept);
        QByteArray output;
        for (int i = 1; i <= lines; ++i)
            output += "line " + QByteArray::number(i) + '\n';

        LogStream stream;
        stream.reset(Encoding::Auto, QString());
        LogBuffer buffer;
        buffer.setLimits({maxLines, maxChars});
        PaneModel pane;
        QString pendingCr;
        qsizetype mostWaiting = 0;
        int reads = 0;
        for (qsizetype i = 0; i < output.size(); i += chunkSize) {
            const LogStream::Update update = stream.append(output.mid(i, chunkSize), pendingCr);
            if (update.changed)
                buffer.add(update.edit);
            mostWaiting = qMax(mostWaiting, buffer.waitingChars());
            if (++reads % readsAStep == 0)
                pane.apply(buffer.takeStep(4096, 100));
        }
        while (buffer.hasPending())
            pane.apply(buffer.takeStep(4096, 100));

        // The newest lines stay, the note counts the others.
        const int kept = int(buffer.lineCount());
        QVERIFY2(kept >= fewestKept && kept <= mostKept, qPrintable(QString::number(kept)));
        QString expected;
        for (int i = lines - kept + 2; i <= lines; ++i)
            expected += QStringLiteral("line %1\n").arg(i);
        QCOMPARE(pane.lines, expected);
        QCOMPARE(pane.noted, qint64(lines + 1 - kept));
        QVERIFY(pane.mostLines <= maxLines + 100);
        QVERIFY(buffer.charCount() <= maxChars);
        QVERIFY(mostWaiting <= maxChars);
    }

    void blockHeightsReplace()
    {
        // Lines dropped from the top and added at the end, over and over, as a long log does; the
        // positions stay those of a plain list of heights.
        BlockHeights heights;
        std::vector<qreal> plain;
        heights.reset(50, 10);
        plain.assign(50, 10);
        const auto replace = [&](int first, int removeCount, int insertCount, qreal height) {
            heights.replace(first, removeCount, insertCount, height);
            plain.erase(plain.begin() + first, plain.begin() + first + removeCount);
            plain.insert(plain.begin() + first, size_t(insertCount), height);
        };
        for (int round = 0; round < 400; ++round) {
            replace(int(plain.size()) - 1, 1, 1 + round % 7, 10 + round % 3); // lines added at the end
            replace(1, qMin(int(plain.size()) - 2, round % 9), 0, 0);         // lines dropped after the note
            replace(0, 2, 2, 15);                                             // the note and the new first line
            if (round % 50 == 0)
                heights.set(int(plain.size()) / 2, plain[plain.size() / 2] = 33);
            QCOMPARE(heights.size(), int(plain.size()));
            qreal top = 0;
            for (int i = 0; i < int(plain.size()); ++i) {
                QCOMPARE(heights.top(i), top);
                QCOMPARE(heights.indexAt(top + plain[size_t(i)] / 2), i);
                top += plain[size_t(i)];
            }
            QCOMPARE(heights.total(), top);
            QCOMPARE(heights.indexAt(-5), 0);
            QCOMPARE(heights.indexAt(top + 5), int(plain.size()) - 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestLogConsole)
#include "tst_logconsole.moc"
