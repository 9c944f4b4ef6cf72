// Reading descriptions, linking them to INI keys, and writing back into them.
#include "description/descriptionmatch.h"
#include "description/descriptionmodel.h"
#include "description/descriptionwriter.h"
#include "document/inientry.h"
#include "platform/textcodec.h"
#include "tests/common/testutil.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <vector>

using TestUtil::readBytes;

namespace
{
const QString Data = VOLMAR_TEST_DATA "/description/";

// A double as its six-digit text, marked "~" when that text is not its exact value.
QString number(double value)
{
    const QString text = QString::number(value);
    return text.toDouble() == value ? text : text + '~';
}

template <typename T, typename Show>
QString each(const QList<T*>& list, Show show)
{
    QStringList out;
    for (const T* item : list)
        out << show(*item);
    return out.join(',');
}

ino_t inodeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// A hand-written description as the lab keeps them: CP1251, CRLF, four-space indentation, a blank
// line and a comment, attributes in no particular order.
const QByteArray HandWritten = readBytes(Data + "handwritten.vlmr");
} // namespace

class TestDescription : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        QVERIFY(QDir().mkdir("sub"));
        write("present.bin", "x");
        write("sub/inner.bin", "x");
        m_model = std::make_unique<DescriptionModel>();
    }

    void reads_data()
    {
        QTest::addColumn<QByteArray>("body"); // inside a "settings" root unless it has one
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& body, const char* fields, const char* expected) {
            QTest::newRow(name) << body << QString(fields) << QString(expected);
        };

        row("names split at the first dot",
            "<param name='a.b.c'/><param name='abc'/><param name=''/><param/><param name='.abc'/><param name='Adc.'/>",
            "name", "a|b.c,|abc,|,|,|abc,Adc|");
        row("group params first, nested ones dropped",
            "<param name='r1'/><group title='A'><param name='a1'/><group><param name='n1'/></group><x><param "
            "name='n2'/>"
            "</x><param name='a2'/></group><param name='r2'/><x><param name='n3'/></x><group title='B'/>",
            "name groups", "|a1,|a2,|r1,|r2 / A,B");
        row("group title from the parent",
            "<settings title='Root'><param name='r' title='R' comment='C'/><group title='G'><param name='g'/></group>"
            "<group><param name='u'/></group></settings>",
            "title", "||G,||,R|C|Root");

        // The check mode takes the low byte of the number; the first element of each kind counts.
        row("low byte, first ones",
            "<check>256</check><tabs>-2</tabs><deflist> 2 </deflist><tabs>5</tabs><deflist>7</deflist>", "check tabs",
            "00 / -2|2");
        row("257, absent tabs", "<check>257</check><deflist>1</deflist>", "check tabs", "11 / 0|1");
        row("absent check, empty tabs", "<tabs></tabs>", "check tabs", "00 / 0|0");
        row("words", "<check>yes</check><tabs>one</tabs>", "check tabs", "00 / 0|0");
        row("blanks around, blank inside", "<check> 1 </check><tabs>1 2</tabs>", "check tabs", "11 / 0|0");
        row("text of children", "<check><b>1</b></check><tabs>1<b>2</b>3</tabs>", "check tabs", "11 / 123|0");
        row("blank-only node dropped", "<check>0</check><check>1</check><tabs>1<b/> <c/>2</tabs>", "check tabs",
            "00 / 12|0");
        row("CDATA and references", "<tabs><![CDATA[3]]>&#52;</tabs>", "tabs", "34|0");

        // White for too few parts, 0 for words and empty parts, invalid out of range.
        row("colors",
            "<group color='255,230,200'/><group color=' 10 , 20 , 30 '/><group color=''/><group/><group color='10,20'/>"
            "<group color='1,2,3,4'/><group color='10,,30'/><group color='red,green,blue'/><group color='10,20,256'/>"
            "<group color='-1,20,30'/>",
            "color", "#ffe6c8,#0a141e,#ffffff,#ffffff,#ffffff,#010203,#0a001e,#000000,invalid,invalid");
        row("open", "<group/><group open='0'/><group open='1'/><group open='256'/><group open=''/><group open='yes'/>",
            "open", "1,0,1,0,0,0");

        // Only file parameters keep their pattern and share the window's last directory (here "last").
        row("types",
            "<param pattern='*.bin' type='spin-int'/><param type='list'/><param pattern='*.bin' type='file'/>"
            "<param type='List'/><param type=' list'/><param type='text'/><param/>",
            "type", "spin-int||,list||,file|*.bin|last,text||,text||,text||,text||");

        // The double limits are the six-digit texts of the largest double: finite and just inside it.
        row("spin-int defaults", "<param type='spin-int'/>", "int", "-2147483648|2147483647|1");
        row("spin-double defaults", "<param type='spin-double'/>", "double", "-1.79769e+308|1.79769e+308|0.1");
        row("int numbers",
            "<param type='spin-int' min='abc' max='99999999999' inc='0x10'/><param type='spin-int' max='-5' "
            "inc='010'/>",
            "int", "0|0|0,-2147483648|-5|10");
        row("double numbers",
            "<param type='spin-double' min='1,5' max='1e400' inc=''/><param type='spin-double' min='-1.5'/>", "double",
            "0|0|0,-1.5|1.79769e+308|0.1");
        row("flags", "<param invisible='yes' noedit='true'/><param invisible='2' noedit='256'/>", "flags", "0|0,2|256");
        row("list items",
            "<param type='list'><item val='0' descr='internal'/><other val='x'/><item descr='none'/>"
            "<item val='1' descr='external'><item val='nested'/></item></param><param><item val='ignored'/></param>",
            "items", "0=internal,=none,1=external,");

        // The description lies in "sub", the current folder holds present.bin and sub/inner.bin.
        row("dependence",
            "<program cmdline='a.exe' dependence='present.bin'/><program cmdline='b.exe' dependence='missing.bin'/>"
            "<program cmdline='c.exe' dependence=''/><program cmdline='d.exe'/><program dependence='present.bin'/>"
            "<program cmdline='e.exe' dependence='sub/inner.bin'/><program cmdline='f.exe' dependence='inner.bin'/>",
            "programs", "a.exe,c.exe,d.exe,,e.exe|old.exe");

        // Absent elements leave the members they fill alone (see reads()), other than the lists.
        row("window settings absent", "<tabs>1</tabs>", "aux programs", "0|old|7| / |old.exe");
        row("auxbutton and curprog, first ones",
            "<auxbutton title='Сброс' cmdline='reset.exe 1'/><auxbutton title='second'/>"
            "<curprog cmdline='b.exe -v'/><curprog cmdline='c.exe'/>",
            "aux programs", "1|Сброс|-1|reset.exe 1 / |b.exe -v");
        row("auxbutton without attributes", "<auxbutton timeout='abc'/>", "aux", "1||0|");

        const char* russian = "АЦП / Ацп|Частота,Ацп|Режим / Частота дискретизации|Частота в Гц|АЦП,||АЦП / "
                              ",0=внутренний,1=внешний / 1|Сброс платы|-1|reset.exe";
        for (const char* fixture : {"cp1251.vlmr", "utf8.vlmr", "utf8-bom.vlmr"})
            row(fixture, readBytes(Data + fixture), "groups name title items aux", russian);
    }

    void reads()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, fields);
        m_model->m_bCheck = true;
        m_model->m_nTabs = 99;
        m_model->m_progList = QStringList{"stale.exe"};
        m_model->m_sCurProg = "old.exe";
        m_model->m_sAuxTitle = "old";
        m_model->m_nAuxTimeout = 7;
        m_sLastDir = "last";
        const QString path =
            write("sub/t.vlmr", body.contains("<settings") ? body : "<settings>" + body + "</settings>");
        const DescriptionReadResult result = m_model->readDescription(path, &m_sLastDir);
        QVERIFY(result.read);
        QTEST(describe(fields, result), "expected");
    }

    void failedReadKeepsSettings_data()
    {
        QTest::addColumn<QString>("fixture"); // a file of the test data, "" to write bytes, "/" for a folder
        QTest::addColumn<QByteArray>("bytes");
        for (const char* fixture : {"missing.vlmr", "truncated.vlmr", "trailing-garbage.vlmr", "mismatched-tag.vlmr",
                                    "duplicate-attribute.vlmr"})
            QTest::newRow(fixture) << QString(fixture) << QByteArray();
        QTest::newRow("empty file") << "" << QByteArray();
        QTest::newRow("wrong root") << "" << QByteArray("<Settings><param name='A.k'/></Settings>");
        QTest::newRow("prefixed root") << "" << QByteArray("<a:settings><param name='A.k'/></a:settings>");
        QTest::newRow("binary") << "" << QByteArray("\x01\x02\xff\xfe\x00<settings/>", 16);
        QTest::newRow("unknown encoding") << "" << QByteArray("<?xml version='1.0' encoding='no-such'?><settings/>");
        QTest::newRow("folder") << "/" << QByteArray();
    }

    void failedReadKeepsSettings()
    {
        QFETCH(QString, fixture);
        QFETCH(QByteArray, bytes);
        const QByteArray good = "<settings><check>1</check><tabs>3</tabs><deflist>1</deflist><program cmdline='p.exe'/>"
                                "<group title='G'><param name='A.k'/></group><curprog cmdline='p.exe'/>"
                                "<auxbutton title='Aux' timeout='5'/></settings>";
        QVERIFY(m_model->readDescription(write("good.vlmr", good), &m_sLastDir).read);
        const QString path = fixture.isEmpty() ? write("broken.vlmr", bytes)
                             : fixture == "/"  ? m_dir->path()
                                               : Data + fixture;
        const DescriptionReadResult result = m_model->readDescription(path, &m_sLastDir);
        QVERIFY(!result.read);
        // Both lists are emptied, every other member stays.
        QCOMPARE(describe("name groups check tabs programs aux", result), " /  / 01 / 3|1 / p.exe|p.exe / 0|Aux|5|");
        QCOMPARE(DescriptionModel::iniFileNamedBy(path), "");
    }

    void iniFileNamedBy_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("iniName");
        const auto row = [](const char* name, const char* file, const QByteArray& content, const char* ini) {
            QTest::newRow(name) << QString(file) << content << QString(ini);
        };
        row("named", "t.vlmr", "<settings><inifile name='run.ini'/></settings>", "run.ini");
        row("absolute", "t.vlmr", "<settings><inifile name='/srv/a.ini'/></settings>", "/srv/a.ini");
        row("first wins", "t.vlmr", "<settings><param/><inifile name='a.ini'/><inifile name='b.ini'/></settings>",
            "a.ini");
        row("without name", "t.vlmr", "<settings><inifile/></settings>", "");
        row("no element", "t.vlmr", "<settings><param name='A.k'/></settings>", "t.ini");
        row("nested does not count", "t.vlmr", "<settings><group><inifile name='x.ini'/></group></settings>", "t.ini");
        row("last suffix replaced", "t.rev2.vlmr", "<settings/>", "t.rev2.ini");
        row("wrong root", "t.vlmr", "<setting><inifile name='a.ini'/></setting>", "");
        row("broken after element", "t.vlmr", "<settings><inifile name='a.ini'/><x>", "");
    }

    void iniFileNamedBy()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QTEST(DescriptionModel::iniFileNamedBy(write(fileName, content)), "iniName");
    }

    void matchFollowsTheRule()
    {
        // The first description whose key is the entry's in any case and whose section is the entry's or empty.
        // Few keys and sections in mixed case, so that most entries have several candidates.
        QRandomGenerator random(20240611);
        const QStringList sections{"", "Adc", "adc", "ADC", "Adc ", "Dac"};
        const QStringList keys{"Freq", "freq", "FREQ", "Ch.Gain", "ch.gain", "Mode", "Частота", "ЧАСТОТА"};
        auto pick = [&random](const QStringList& from) { return from.at(random.bounded(int(from.size()))); };
        std::vector<std::unique_ptr<ParamDescription>> owned;
        QList<ParamDescription*> descs;
        for (int i = 0; i < 400; ++i) {
            ParamDescription& d = *owned.emplace_back(std::make_unique<ParamDescription>());
            d.section = pick(sections);
            d.key = pick(keys);
            d.noedit = random.bounded(4) ? 0 : 1;
            descs << &d;
        }
        std::vector<IniEntry> entries(2000);
        QList<IniEntry*> pointers;
        QList<bool> wasEnabled;
        for (IniEntry& entry : entries) {
            entry.section = pick(sections);
            entry.key = pick(keys) + (random.bounded(10) ? "" : "x");
            wasEnabled << (entry.enabled = random.bounded(8) != 0);
            pointers << &entry;
        }
        matchDescriptions(pointers, descs);
        for (int i = 0; i < int(entries.size()); ++i) {
            const ParamDescription* expected = nullptr;
            for (auto d = descs.crbegin(); d != descs.crend(); ++d)
                if ((*d)->key.toLower() == entries[i].key.toLower() &&
                    QStringList{"", entries[i].section}.contains((*d)->section))
                    expected = *d;
            QCOMPARE(entries[i].desc, expected);
            // A read-only description switches its key off; a switched-off key stays off.
            QCOMPARE(entries[i].enabled, wasEnabled[i] && (!expected || expected->noedit == 0));
        }
        // Links from an earlier description are not left behind.
        matchDescriptions(pointers, {});
        QVERIFY(std::none_of(entries.cbegin(), entries.cend(), [](const IniEntry& e) { return e.desc; }));
    }

    void setAttrInLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("attr");
        QTest::addColumn<QString>("expected"); // with the value "1"
        const auto row = [](const char* name, const char* line, const char* attr, const char* expected) {
            QTest::newRow(name) << QString(line) << QString(attr) << QString(expected);
        };
        row("in place, comment after", R"(<group color="1,2,3" title="A">  <!-- x -->)", "color",
            R"(<group color="1" title="A">  <!-- x -->)");
        row("no tag end", R"(<group title="A")", "open", R"(<group title="A")");
        row("empty element", R"(<group title="A"/>)", "open", R"(<group title="A" open="1"/>)");
        row("name ending in attr", R"(<group reopen="x" title="A">)", "open", R"(<group reopen="1" title="A">)");
        row("single quotes", "<group title='A' open='0' color='1'>", "open", R"(<group title='A' open="1" color='1'>)");
        row("CR kept", "<group title=\"A\">\r", "open", "<group title=\"A\" open=\"1\">\r");
    }

    void setAttrInLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, attr);
        DescriptionWriter::setAttrInLine(line, attr, "1");
        QTEST(line, "expected");
    }

    void groupStateEditsOnlyItsLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("after"); // closed, colour 10,20,30
        const QByteArray utf8 =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n<group title=\"Фильтр\" open=\"1\">\n"
            "</group>\n</settings>\n";
        const QByteArray split = "<settings>\n<group\n title=\"A\">\n</group>\n</settings>";
        QTest::newRow("windows-1251")
            << HandWritten << "АЦП"
            << QByteArray(HandWritten).replace("255,230,200\" open=\"1\"", "10,20,30\" open=\"0\"");
        QTest::newRow("utf-8, attributes appended")
            << utf8 << "Фильтр" << QByteArray(utf8).replace("open=\"1\">", "open=\"0\" color=\"10,20,30\">");
        QTest::newRow("not found") << HandWritten << "Нет такой" << HandWritten + "\r\n";
        QTest::newRow("split start tag") << split << "A" << split + "\n\n";
    }

    void groupStateEditsOnlyItsLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, title);
        const QString path = write("group.vlmr", before);
        DescriptionWriter::saveGroupState(path, title, false, 10, 20, 30);
        QTEST(readBytes(path), "after");
    }

    void curprogWritten_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("ok");
        const auto row = [](const char* name, const QByteArray& before, const QString& value, const QByteArray& after,
                            bool ok = true) { QTest::newRow(name) << before << value << after << ok; };
        row("only its value changes", HandWritten, "new.exe", QByteArray(HandWritten).replace("old.exe", "new.exe"));
        row("escaped, in the code page", HandWritten, "тест.exe \"a<b\"",
            QByteArray(HandWritten).replace("old.exe", TextCodec::toCp1251("тест.exe &quot;a&lt;b&quot;")));
        row("already there", HandWritten, "old.exe", HandWritten);
        row("character outside the code page", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<settings/>\n",
            "run ✓",
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<settings>\n\t<curprog cmdline=\"run &#10003;\"/>\n"
            "</settings>\n");
        row("added with the file's indentation and line ends", "<settings>\r\n  <check>1</check>\r\n</settings>\r\n",
            "a.exe", "<settings>\r\n  <check>1</check>\r\n  <curprog cmdline=\"a.exe\"/>\r\n</settings>\r\n");
        row("added on the root's line", R"(<settings><check v="x          y">0</check></settings>)", "",
            "<settings><check v=\"x          y\">0</check>\n\t<curprog cmdline=\"\"/>\n</settings>");
        row("attribute added last", "<settings>\n <curprog other=\"1\" />\n</settings>", "x",
            "<settings>\n <curprog other=\"1\" cmdline=\"x\" />\n</settings>");
        row("single quotes kept", "<settings><curprog cmdline='a' /></settings>", "it's",
            "<settings><curprog cmdline='it&apos;s' /></settings>");
        row("start tag over lines", "<settings>\n<curprog\n   cmdline = \"a\"\n/>\n</settings>", "b",
            "<settings>\n<curprog\n   cmdline = \"b\"\n/>\n</settings>");
        row("nested one does not count", "<settings><group><curprog cmdline=\"a\"/></group>\n</settings>", "b",
            "<settings><group><curprog cmdline=\"a\"/></group>\n\t<curprog cmdline=\"b\"/>\n</settings>");
        row("end tag in a comment after the root", "<settings>\n</settings>\n<!-- </settings> -->\n", "b",
            "<settings>\n\t<curprog cmdline=\"b\"/>\n</settings>\n<!-- </settings> -->\n");
        row("after a character beyond 16 bits",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n<!-- \xF0\x9F\x98\x80 -->\n<curprog "
            "cmdline=\"a\"/>\n"
            "</settings>\n",
            "b",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n<!-- \xF0\x9F\x98\x80 -->\n<curprog "
            "cmdline=\"b\"/>\n"
            "</settings>\n");
        row("end tag in character data", "<settings><check><![CDATA[</settings>]]></check></settings>", "b",
            "<settings><check><![CDATA[</settings>]]></check>\n\t<curprog cmdline=\"b\"/>\n</settings>");
        const QByteArray entity =
            "<!DOCTYPE settings [<!ENTITY cp \"<curprog cmdline='a'/>\">]>\n<settings>&cp;</settings>";
        row("element from an entity", entity, "b", entity, false);
        row("other root untouched", "<other><curprog cmdline=\"a\"/></other>", "b",
            "<other><curprog cmdline=\"a\"/></other>", false);
        row("missing file created empty", QByteArray(), "x.exe", "", false);
        for (const char* fixture : {"truncated.vlmr", "mismatched-tag.vlmr", "trailing-garbage.vlmr"})
            row(fixture, readBytes(Data + fixture), "x.exe", readBytes(Data + fixture), false);
        // Far deeper and wider than any description: the write-back reads the document once, without
        // recursing per level or searching back per element.
        const QByteArray deep = QByteArray("<g>").repeated(10000) + QByteArray("</g>").repeated(10000);
        const QByteArray wide = QByteArray("<p name=\"a.b\"/>").repeated(100000);
        const QByteArray added = "\n\t<curprog cmdline=\"run.exe\"/>\n</settings>";
        const QByteArray there = "<settings><curprog cmdline=\"run.exe\"/>" + deep + "</settings>";
        row("10,000 levels, value already there", there, "run.exe", there);
        row("10,000 levels, another root", "<other>" + deep + "</other>", "run.exe", "<other>" + deep + "</other>",
            false);
        row("10,000 levels, program added", "<settings>" + deep + "</settings>", "run.exe",
            "<settings>" + deep + added);
        row("100,000 parameters on one line", "<settings>" + wide + "</settings>", "run.exe",
            "<settings>" + wide + added);
    }

    void curprogWritten()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QFETCH(bool, ok);
        const QString path = before.isNull() ? m_dir->filePath("d.vlmr") : write("d.vlmr", before);
        const ino_t inode = inodeOf(path);
        const QDateTime time = QFileInfo(path).lastModified();
        QCOMPARE(DescriptionWriter::writeDescription(path, "curprog", "cmdline", value), ok);
        QTEST(readBytes(path), "after");
        QVERIFY(QFileInfo(path).isFile());
        // A file left as it was is not even replaced by a copy, nor its time moved.
        if (before == after && !before.isNull()) {
            QCOMPARE(inodeOf(path), inode);
            QCOMPARE(QFileInfo(path).lastModified(), time);
        }
        // What was written reads back.
        if (ok) {
            DescriptionModel model;
            QVERIFY(model.readDescription(path, &m_sLastDir).read);
            QCOMPARE(model.m_sCurProg, value);
        }
    }

    void rewriteReplacesTheFile()
    {
        // Replaced whole, as every save is, with its permissions.
        const QString path = write("inode.vlmr", HandWritten);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const ino_t inode = inodeOf(path);
        QVERIFY(DescriptionWriter::writeDescription(path, "curprog", "cmdline", "new.exe"));
        QVERIFY(inodeOf(path) != inode);
        QCOMPARE(QFile::permissions(path),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);

        // A folder in place of the file is no description.
        QVERIFY(!DescriptionWriter::writeDescription(m_dir->filePath("sub"), "curprog", "cmdline", "x.exe"));
        QVERIFY(!DescriptionWriter::saveGroupState(m_dir->filePath("sub"), "A", true, 1, 2, 3));
    }

private:
    QString write(const QString& name, const QByteArray& bytes)
    {
        TestUtil::writeBytes(m_dir->filePath(name), bytes);
        return m_dir->filePath(name);
    }

    // The model's `fields` (separated by blanks) as text; lists give one entry per parameter or group.
    QString describe(const QString& fields, const DescriptionReadResult& r) const
    {
        const DescriptionModel& m = *m_model;
        const QStringList types{"text", "spin-int", "spin-double", "list", "", "file"};
        const auto ps = [&m](auto show) { return each(m.m_params, show); };
        const auto gs = [&m](auto show) { return each(m.m_groups, show); };
        const QMap<QString, QString> all{
            {"name", ps([](auto& p) { return p.section + '|' + p.key; })},
            {"title", ps([](auto& p) { return p.title + '|' + p.comment + '|' + p.groupTitle; })},
            {"type",
             ps([&](auto& p) { return types[p.type] + '|' + p.pattern + '|' + (p.pLastDir ? *p.pLastDir : ""); })},
            {"int", ps([](auto& p) { return QString("%1|%2|%3").arg(p.intMin).arg(p.intMax).arg(p.intStep); })},
            {"double", ps([](auto& p) { return number(p.dblMin) + '|' + number(p.dblMax) + '|' + number(p.dblStep); })},
            {"flags", ps([](auto& p) { return QString("%1|%2").arg(p.invisible).arg(p.noedit); })},
            {"items", ps([](auto& p) { return each(p.items, [](auto& i) { return i.val + '=' + i.descr; }); })},
            {"groups", gs([](auto& g) { return g.title; })},
            {"color", gs([](auto& g) {
                 return g.hasValidColor() ? QString::asprintf("#%02x%02x%02x", g.red, g.green, g.blue) : "invalid";
             })},
            {"open", gs([](auto& g) { return QString::number(g.open); })},
            {"check", QString("%1%2").arg(int(r.check)).arg(int(m.m_bCheck))},
            {"tabs", QString("%1|%2").arg(m.m_nTabs).arg(m.m_nDefList)},
            {"programs", m.m_progList.join(',') + '|' + m.m_sCurProg},
            {"aux",
             QString("%1|%2|%3|%4").arg(int(r.auxButton)).arg(m.m_sAuxTitle).arg(m.m_nAuxTimeout).arg(m.m_sAuxCmdLine)},
        };
        QStringList out;
        for (const QString& field : fields.split(' '))
            out << all.value(field, "no field " + field);
        return out.join(" / ");
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DescriptionModel> m_model;
    QString m_sLastDir;
};

QTEST_GUILESS_MAIN(TestDescription)
#include "tst_description.moc"
