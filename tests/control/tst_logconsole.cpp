// The log as a console (CR returns to the start of the line) and the decoding of program output.
#include "control/logconsole.h"
#include "control/outputdecoder.h"

#include <QtTest>

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
        const auto apply = [](QString& text, const LogConsole::Edit& edit) {
            text.truncate(text.lastIndexOf(QLatin1Char('\n')) + 1 + edit.keep);
            text += edit.text;
        };
        LogConsole console;
        QString pendingCr;
        QString shown;
        QString gatheredShown;
        LogConsole::Edit gathered;
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            const LogConsole::Edit edit = console.append(chunks.at(i), pendingCr);
            apply(shown, edit);
            if (i == 0)
                gathered = edit;
            else
                gathered.then(edit);
        }
        apply(gatheredShown, gathered);
        QCOMPARE(shown, log);
        QCOMPARE(gatheredShown, log);
        QCOMPARE(console.lastLine(), log.section(QLatin1Char('\n'), -1));
    }

    void decoding_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QString>("text");
        const QByteArray privet = QStringLiteral("Привет").toUtf8();
        const QByteArray emoji = QStringLiteral("a\U0001F600b").toUtf8();
        QTest::newRow("utf-8 split") << QList<QByteArray>{privet.left(3), privet.mid(3, 4), privet.mid(7)}
                                     << QStringLiteral("Привет");
        QTest::newRow("4 bytes, 3 chunks")
            << QList<QByteArray>{emoji.left(2), emoji.mid(2, 2), emoji.mid(4)} << QStringLiteral("a\U0001F600b");
        QTest::newRow("cp1251 after ascii") << QList<QByteArray>{"Test ", "\xce\xca\n"} << QStringLiteral("Test ОК\n");
        // Bytes that would also be UTF-8 ("¸") keep their CP1251 meaning in such a stream.
        QTest::newRow("cp1251 stays") << QList<QByteArray>{"\xc2\xe2\xee\xe4\n", "\xc2\xb8"}
                                      << QStringLiteral("Ввод\nВё");
        QTest::newRow("overlong form is not utf-8") << QList<QByteArray>{"\xc0\xaf"} << QStringLiteral("АЇ");
        QTest::newRow("character cut short at the end") << QList<QByteArray>{"ok \xd0"} << QStringLiteral("ok Р");
        QTest::newRow("surrogate is not utf-8") << QList<QByteArray>{"\xed\xa0\x80"} << QStringLiteral("н\u00a0Ђ");
    }

    void decoding()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QString, text);
        OutputDecoder decoder;
        QString decoded;
        for (const QByteArray& chunk : chunks)
            decoded += decoder.decode(chunk);
        QCOMPARE(decoded + decoder.finish(), text);
    }
};

QTEST_GUILESS_MAIN(TestLogConsole)
#include "tst_logconsole.moc"
