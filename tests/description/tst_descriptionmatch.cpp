#include "description/descriptionmatch.h"
#include "description/paramdescription.h"
#include "document/inientry.h"

#include <QRandomGenerator>
#include <QTest>

#include <memory>
#include <vector>

namespace
{
// Descriptions made from "section.key" names; a leading "!" marks a read-only one.
struct Descriptions
{
    explicit Descriptions(const QStringList& names)
    {
        for (QString name : names) {
            auto desc = std::make_unique<ParamDescription>();
            if (name.startsWith('!')) {
                desc->noedit = 1;
                name.remove(0, 1);
            }
            const qsizetype dot = name.indexOf('.');
            if (dot >= 0)
                desc->section = name.left(dot);
            desc->key = name.mid(dot + 1);
            list.append(desc.get());
            owned.push_back(std::move(desc));
        }
    }
    std::vector<std::unique_ptr<ParamDescription>> owned;
    QList<ParamDescription*> list;
};

// What the matching means, one scan of the descriptions per entry.
const ParamDescription* naiveMatch(const IniEntry& entry, const QList<ParamDescription*>& params)
{
    for (const ParamDescription* desc : params) {
        if (desc->key.toLower() == entry.key.toLower() && (desc->section.isEmpty() || desc->section == entry.section))
            return desc;
    }
    return nullptr;
}
} // namespace

class TestDescriptionMatch : public QObject
{
    Q_OBJECT

private slots:
    void matchRules_data();
    void matchRules();
    void noeditDisables();
    void staleLinkCleared();
    void indexAgreesWithScan();
};

void TestDescriptionMatch::matchRules_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("expected"); // index into names, -1 for no match

    QTest::newRow("key case ignored") << "Adc"
                                      << "Freq" << QStringList{"Adc.FREQ"} << 0;
    QTest::newRow("section case counts") << "Adc"
                                         << "Freq" << QStringList{"adc.Freq"} << -1;
    QTest::newRow("no section matches any") << "Other"
                                            << "Freq" << QStringList{"Freq"} << 0;
    QTest::newRow("leading dot is no section") << "Other"
                                               << "Freq" << QStringList{".freq"} << 0;
    QTest::newRow("other section") << "Adc"
                                   << "Freq" << QStringList{"Dac.Freq"} << -1;
    QTest::newRow("first of same key wins") << "Adc"
                                            << "Freq" << QStringList{"Adc.FREQ", "Adc.Freq"} << 0;
    QTest::newRow("sectionless first wins") << "Adc"
                                            << "Freq" << QStringList{"Dac.Freq", "freq", "Adc.Freq"} << 1;
    QTest::newRow("own section first wins") << "Adc"
                                            << "Freq" << QStringList{"Dac.Freq", "Adc.Freq", "Freq"} << 1;
    QTest::newRow("dotted key") << "Dac"
                                << "Ch.Gain" << QStringList{"Dac.Ch", "Dac.Ch.Gain"} << 1;
    QTest::newRow("section blanks count") << "Adc"
                                          << "Freq" << QStringList{"Adc .Freq"} << -1;
    QTest::newRow("cyrillic key case") << "Ацп"
                                       << "Частота" << QStringList{"Ацп.ЧАСТОТА"} << 0;
    QTest::newRow("cyrillic section case") << "Ацп"
                                           << "Частота" << QStringList{"АЦП.Частота"} << -1;
    QTest::newRow("empty entry section") << ""
                                         << "Freq" << QStringList{"Adc.Freq", "Freq"} << 1;
}

void TestDescriptionMatch::matchRules()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QStringList, names);
    QFETCH(int, expected);

    const Descriptions descs(names);
    IniEntry entry;
    entry.section = section;
    entry.key = key;
    matchDescriptions({&entry}, descs.list);
    QCOMPARE(entry.desc, expected < 0 ? nullptr : descs.list.at(expected));
}

void TestDescriptionMatch::noeditDisables()
{
    const Descriptions descs({"!A.ro", "A.rw"});
    IniEntry readOnly, writable, disabled, unmatched;
    readOnly.section = writable.section = disabled.section = unmatched.section = "A";
    readOnly.key = "ro";
    writable.key = "rw";
    disabled.key = "RW";
    unmatched.key = "none";
    readOnly.enabled = writable.enabled = unmatched.enabled = true;

    matchDescriptions({&readOnly, &writable, &disabled, &unmatched}, descs.list);
    QVERIFY(!readOnly.enabled);
    QVERIFY(writable.enabled);
    QVERIFY(!disabled.enabled); // a "@" key stays off even when its description is editable
    QVERIFY(unmatched.enabled);
}

void TestDescriptionMatch::staleLinkCleared()
{
    const Descriptions old({"A.k"});
    IniEntry entry;
    entry.section = "A";
    entry.key = "k";
    matchDescriptions({&entry}, old.list);
    QCOMPARE(entry.desc, old.list.at(0));

    matchDescriptions({&entry}, {});
    QCOMPARE(entry.desc, nullptr);
}

void TestDescriptionMatch::indexAgreesWithScan()
{
    // Few keys and sections in mixed case, so that most entries have several candidates.
    QRandomGenerator random(20240611);
    const QStringList sections{"", "Adc", "adc", "ADC", "Dac", "Sync"};
    const QStringList keys{"Freq", "freq", "FREQ", "Gain", "Ch.Gain", "mode", "Mode", "Частота", "ЧАСТОТА"};
    auto pick = [&random](const QStringList& from) { return from.at(random.bounded(int(from.size()))); };

    QStringList names;
    for (int i = 0; i < 400; ++i) {
        const QString section = pick(sections);
        names.append((random.bounded(4) == 0 ? "!" : "") + (section.isEmpty() ? "" : section + ".") + pick(keys));
    }
    const Descriptions descs(names);

    std::vector<IniEntry> entries(2000);
    QList<IniEntry*> pointers;
    for (IniEntry& entry : entries) {
        entry.section = pick(sections);
        entry.key = pick(keys) + (random.bounded(10) == 0 ? "x" : "");
        entry.enabled = true;
        pointers.append(&entry);
    }

    matchDescriptions(pointers, descs.list);
    for (const IniEntry& entry : entries) {
        const ParamDescription* expected = naiveMatch(entry, descs.list);
        QCOMPARE(entry.desc, expected);
        QCOMPARE(entry.enabled, !expected || expected->noedit == 0);
    }
}

QTEST_GUILESS_MAIN(TestDescriptionMatch)
#include "tst_descriptionmatch.moc"
