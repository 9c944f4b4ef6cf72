// Comparing two INI files as the editor reads them, and the keys of one file with their lines.
#include "document/inidiff.h"
#include "document/inifilekeys.h"
#include "tests/common/testutil.h"

#include <QTemporaryDir>
#include <QTest>

namespace
{
// One difference as "section|key|changes|a|b", a value written "@value" when switched off and "-"
// when missing.
QString describe(const IniDifference& difference)
{
    const auto side = [](const std::optional<IniKeyLine>& key) {
        if (!key)
            return QStringLiteral("-");
        return (key->enabled ? QString() : QStringLiteral("@")) + key->value + u':' + QString::number(key->line);
    };
    QStringList changes;
    if (difference.missing())
        changes << "missing";
    if (difference.valueDiffers())
        changes << "value";
    if (difference.switchDiffers())
        changes << "switched";
    return QStringList{difference.section, difference.key, changes.join(','), side(difference.a), side(difference.b)}
        .join('|');
}
} // namespace

class TestIniDiff : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void compare_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<QStringList>("expected");

        const QByteArray base = "[Adc]\r\nFreq=100 // Hz\r\nGain=5\r\n";
        QTest::newRow("same") << base << base << QStringList();
        QTest::newRow("line ends, blanks and comments aside")
            << base << QByteArray("[Adc]\nFreq = 100\t\t// sampling rate\n; a note\nGain=5;\n") << QStringList();
        QTest::newRow("names in another case")
            << base << QByteArray("[ADC]\r\nfreq=100\r\nGAIN=5\r\n") << QStringList();
        QTest::newRow("CP1251 and UTF-8 of one text")
            << QByteArray("[\xD7\xE0\xF1\xF2\xEE\xF2\xE0]\r\nName=\xC8\xEC\xFF\r\n")
            << QStringLiteral("[Частота]\r\nName=Имя\r\n").toUtf8() << QStringList();
        QTest::newRow("value") << base << QByteArray("[Adc]\r\nFreq=200 // Hz\r\nGain=5\r\n")
                               << QStringList{"Adc|Freq|value|100:2|200:2"};
        QTest::newRow("value to empty") << base << QByteArray("[Adc]\r\nFreq=// Hz\r\nGain=5\r\n")
                                        << QStringList{"Adc|Freq|value|100:2|:2"};
        QTest::newRow("missing from b") << base << QByteArray("[Adc]\r\nGain=5\r\n")
                                        << QStringList{"Adc|Freq|missing|100:2|-"};
        QTest::newRow("only in b, in b's order")
            << base << QByteArray("[Dac]\r\nZ=1\r\nA=2\r\n[Adc]\r\nGain=5\r\nFreq=100\r\n")
            << QStringList{"Dac|Z|missing|-|1:2", "Dac|A|missing|-|2:3"};
        QTest::newRow("switched off") << base << QByteArray("[Adc]\r\n@Freq=100\r\nGain=5\r\n")
                                      << QStringList{"Adc|Freq|switched|100:2|@100:2"};
        QTest::newRow("switched off with another value") << QByteArray("[Adc]\r\n@Freq=1\r\nGain=5\r\n") << base
                                                         << QStringList{"Adc|Freq|value,switched|@1:2|100:2"};
        QTest::newRow("the first of repeated keys counts")
            << QByteArray("[Adc]\r\nFreq=100\r\nFreq=1\r\nGain=5\r\n[adc]\r\nGain=6\r\n") << base << QStringList();
        QTest::newRow("a key in another section")
            << base << QByteArray("[Adc]\r\nGain=5\r\n[Dac]\r\nFreq=100\r\n")
            << QStringList{"Adc|Freq|missing|100:2|-", "Dac|Freq|missing|-|100:4"};
    }

    void compare()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(QStringList, expected);
        const QString pathA = m_dir.filePath("a.ini");
        const QString pathB = m_dir.filePath("b.ini");
        QVERIFY(TestUtil::writeBytes(pathA, a));
        QVERIFY(TestUtil::writeBytes(pathB, b));
        QStringList found;
        for (const IniDifference& difference : IniDiff::compare(pathA, pathB))
            found << describe(difference);
        QCOMPARE(found, expected);
    }

    // The file without a header is listed as the editor shows it, under "00", and stays unchanged.
    void keysOfAHeaderlessFile()
    {
        const QString path = m_dir.filePath("plain.ini");
        const QByteArray bytes = "; lab\r\nFreq=1 // Hz\r\n@Gain=2\r\n";
        QVERIFY(TestUtil::writeBytes(path, bytes));
        QStringList keys;
        for (const IniKeyLine& key : IniFileKeys::read(path))
            keys
                << QStringLiteral("%1|%2|%3|%4|%5").arg(key.section, key.key, key.value).arg(key.enabled).arg(key.line);
        QCOMPARE(keys, (QStringList{"00|Freq|1|1|2", "00|Gain|2|0|3"}));
        QCOMPARE(TestUtil::readBytes(path), bytes);
    }
};

QTEST_GUILESS_MAIN(TestIniDiff)
#include "tst_inidiff.moc"
