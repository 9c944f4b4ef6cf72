#include "description/descriptionmodel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cfloat>
#include <memory>

namespace
{
// A description whose root holds body, as a UTF-8 file without declaration.
QByteArray settings(const QByteArray& body)
{
    return "<settings>" + body + "</settings>";
}

QStringList keysOf(const QList<ParamDescription*>& params)
{
    QStringList keys;
    for (const ParamDescription* param : params)
        keys.append(param->key);
    return keys;
}
} // namespace

class TestDescriptionReader : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void nameSplitsAtFirstDot_data();
    void nameSplitsAtFirstDot();
    void checkUsesLowByte_data();
    void checkUsesLowByte();
    void elementText_data();
    void elementText();
    void groupColor_data();
    void groupColor();
    void groupOpen_data();
    void groupOpen();
    void programDependence();
    void rootParamsFollowGroupParams();
    void groupTitleComesFromParent();
    void typeKeywords_data();
    void typeKeywords();
    void spinDefaults();
    void invalidNumbersReadAsZero_data();
    void invalidNumbersReadAsZero();
    void listItems();
    void windowSettings();
    void failedReadKeepsSettings_data();
    void failedReadKeepsSettings();
    void russianTitles_data();
    void russianTitles();
    void iniFileNamedBy_data();
    void iniFileNamedBy();
    void folderInPlaceOfFile();

private:
    QString write(const QString& name, const QByteArray& bytes);
    // Reads a description made of body; fails the test when it was not read.
    void read(const QByteArray& body);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DescriptionModel> m_model;
    QString m_sLastDir;
};

void TestDescriptionReader::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir::setCurrent(m_dir->path());
    m_model = std::make_unique<DescriptionModel>();
}

QString TestDescriptionReader::write(const QString& name, const QByteArray& bytes)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

void TestDescriptionReader::read(const QByteArray& body)
{
    const DescriptionReadResult result = m_model->readDescription(write("test.vlmr", settings(body)), &m_sLastDir);
    QVERIFY(result.read);
}

void TestDescriptionReader::nameSplitsAtFirstDot_data()
{
    QTest::addColumn<QByteArray>("attribute");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");

    QTest::newRow("dotted key") << QByteArray("name='a.b.c'") << "a"
                                << "b.c";
    QTest::newRow("no dot") << QByteArray("name='abc'") << ""
                            << "abc";
    QTest::newRow("empty") << QByteArray("name=''") << ""
                           << "";
    QTest::newRow("missing") << QByteArray() << ""
                             << "";
    QTest::newRow("leading dot") << QByteArray("name='.abc'") << ""
                                 << "abc";
    QTest::newRow("trailing dot") << QByteArray("name='Adc.'") << "Adc"
                                  << "";
}

void TestDescriptionReader::nameSplitsAtFirstDot()
{
    QFETCH(QByteArray, attribute);
    QFETCH(QString, section);
    QFETCH(QString, key);

    read("<param " + attribute + "/>");
    QCOMPARE(m_model->m_params.size(), 1);
    QCOMPARE(m_model->m_params[0]->section, section);
    QCOMPARE(m_model->m_params[0]->key, key);
}

void TestDescriptionReader::checkUsesLowByte_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("check");

    QTest::newRow("256 is off") << QByteArray("<check>256</check>") << false;
    QTest::newRow("257 is on") << QByteArray("<check>257</check>") << true;
    QTest::newRow("1 is on") << QByteArray("<check>1</check>") << true;
    QTest::newRow("empty element") << QByteArray("<check/>") << false;
    QTest::newRow("no element") << QByteArray("<tabs>1</tabs>") << false;
    QTest::newRow("not a number") << QByteArray("<check>yes</check>") << false;
    QTest::newRow("blanks around") << QByteArray("<check> 1 </check>") << true;
    QTest::newRow("text of children") << QByteArray("<check><b>1</b></check>") << true;
    QTest::newRow("first only") << QByteArray("<check>0</check><check>1</check>") << false;
}

void TestDescriptionReader::checkUsesLowByte()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, check);

    m_model->m_bCheck = !check;
    const DescriptionReadResult result = m_model->readDescription(write("t.vlmr", settings(body)), &m_sLastDir);
    QVERIFY(result.read);
    QCOMPARE(m_model->m_bCheck, check);
    QCOMPARE(result.check, check);
}

void TestDescriptionReader::elementText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("tabs");

    QTest::newRow("plain") << QByteArray("<tabs>1</tabs>") << 1;
    QTest::newRow("negative") << QByteArray("<tabs>-2</tabs>") << -2;
    QTest::newRow("absent") << QByteArray("<deflist>1</deflist>") << 0;
    QTest::newRow("empty") << QByteArray("<tabs></tabs>") << 0;
    QTest::newRow("word") << QByteArray("<tabs>one</tabs>") << 0;
    QTest::newRow("CDATA") << QByteArray("<tabs><![CDATA[3]]></tabs>") << 3;
    QTest::newRow("character reference") << QByteArray("<tabs>&#52;</tabs>") << 4;
    QTest::newRow("text around children") << QByteArray("<tabs>1<b>2</b>3</tabs>") << 123;
    QTest::newRow("blank-only node dropped") << QByteArray("<tabs>1<b/> <c/>2</tabs>") << 12;
    QTest::newRow("inner blank kept") << QByteArray("<tabs>1 2</tabs>") << 0;
}

void TestDescriptionReader::elementText()
{
    QFETCH(QByteArray, body);
    QFETCH(int, tabs);

    m_model->m_nTabs = 99;
    read(body);
    QCOMPARE(m_model->m_nTabs, tabs);
}

void TestDescriptionReader::groupColor_data()
{
    QTest::addColumn<QByteArray>("attribute");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("green");
    QTest::addColumn<int>("blue");

    QTest::newRow("plain") << QByteArray("color='255,230,200'") << true << 255 << 230 << 200;
    QTest::newRow("blanks around numbers") << QByteArray("color=' 10 , 20 , 30 '") << true << 10 << 20 << 30;
    QTest::newRow("empty is white") << QByteArray("color=''") << true << 255 << 255 << 255;
    QTest::newRow("missing is white") << QByteArray() << true << 255 << 255 << 255;
    QTest::newRow("two parts are white") << QByteArray("color='10,20'") << true << 255 << 255 << 255;
    QTest::newRow("one part is white") << QByteArray("color='10'") << true << 255 << 255 << 255;
    QTest::newRow("fourth part ignored") << QByteArray("color='1,2,3,4'") << true << 1 << 2 << 3;
    QTest::newRow("empty part is 0") << QByteArray("color='10,,30'") << true << 10 << 0 << 30;
    QTest::newRow("words are 0") << QByteArray("color='red,green,blue'") << true << 0 << 0 << 0;
    QTest::newRow("above 255") << QByteArray("color='10,20,256'") << false << 0 << 0 << 0;
    QTest::newRow("negative") << QByteArray("color='-1,20,30'") << false << 0 << 0 << 0;
}

void TestDescriptionReader::groupColor()
{
    QFETCH(QByteArray, attribute);
    QFETCH(bool, valid);

    read("<group title='G' " + attribute + "/>");
    QCOMPARE(m_model->m_groups.size(), 1);
    const QColor color = m_model->m_groups[0]->color;
    QCOMPARE(color.isValid(), valid);
    if (valid) {
        QTEST(color.red(), "red");
        QTEST(color.green(), "green");
        QTEST(color.blue(), "blue");
        QCOMPARE(color.alpha(), 255);
    }
}

void TestDescriptionReader::groupOpen_data()
{
    QTest::addColumn<QByteArray>("attribute");
    QTest::addColumn<bool>("open");

    QTest::newRow("missing is open") << QByteArray() << true;
    QTest::newRow("0 is collapsed") << QByteArray("open='0'") << false;
    QTest::newRow("1 is open") << QByteArray("open='1'") << true;
    QTest::newRow("256 is collapsed") << QByteArray("open='256'") << false;
    QTest::newRow("empty is collapsed") << QByteArray("open=''") << false;
    QTest::newRow("word is collapsed") << QByteArray("open='yes'") << false;
}

void TestDescriptionReader::groupOpen()
{
    QFETCH(QByteArray, attribute);
    QFETCH(bool, open);

    read("<group " + attribute + "/>");
    QCOMPARE(m_model->m_groups.size(), 1);
    QCOMPARE(m_model->m_groups[0]->open, open);
}

void TestDescriptionReader::programDependence()
{
    write("present.bin", "x");
    QVERIFY(QDir().mkdir("sub"));
    write("sub/inner.bin", "x");
    m_model->m_progList = QStringList{"stale.exe"};

    read("<program cmdline='a.exe' dependence='present.bin'/>"
         "<program cmdline='b.exe' dependence='missing.bin'/>"
         "<program cmdline='c.exe' dependence=''/>"
         "<program cmdline='d.exe'/>"
         "<program cmdline='e.exe' dependence='sub/inner.bin'/>"
         "<program dependence='present.bin'/>");
    QCOMPARE(m_model->m_progList, QStringList({"a.exe", "c.exe", "d.exe", "e.exe", ""}));

    // The dependence is looked for in the current directory, not in the description's folder.
    QTemporaryDir elsewhere;
    QDir::setCurrent(elsewhere.path());
    read("<program cmdline='a.exe' dependence='present.bin'/>");
    QVERIFY(m_model->m_progList.isEmpty());
}

void TestDescriptionReader::rootParamsFollowGroupParams()
{
    read("<param name='R.r1'/>"
         "<group title='A'><param name='A.a1'/><group title='Inner'><param name='N.n1'/></group>"
         "<other><param name='N.n2'/></other><param name='A.a2'/></group>"
         "<param name='R.r2'/>"
         "<block><param name='N.n3'/></block>"
         "<group title='B'><param name='B.b1'/></group>");
    QCOMPARE(keysOf(m_model->m_params), QStringList({"a1", "a2", "b1", "r1", "r2"}));
    QCOMPARE(m_model->m_groups.size(), 2);
    QCOMPARE(m_model->m_groups[0]->title, "A");
    QCOMPARE(m_model->m_groups[1]->title, "B");
}

void TestDescriptionReader::groupTitleComesFromParent()
{
    m_model->readDescription(write("t.vlmr", "<settings title='Root'><param name='r'/><group title='G'>"
                                             "<param name='g'/></group><group><param name='u'/></group>"
                                             "</settings>"),
                             &m_sLastDir);
    QCOMPARE(keysOf(m_model->m_params), QStringList({"g", "u", "r"}));
    QCOMPARE(m_model->m_params[0]->groupTitle, "G");
    QCOMPARE(m_model->m_params[1]->groupTitle, "");
    QCOMPARE(m_model->m_params[2]->groupTitle, "Root");
}

void TestDescriptionReader::typeKeywords_data()
{
    QTest::addColumn<QByteArray>("attribute");
    QTest::addColumn<int>("type");

    QTest::newRow("spin-int") << QByteArray("type='spin-int'") << int(TypeSpinInt);
    QTest::newRow("spin-double") << QByteArray("type='spin-double'") << int(TypeSpinDouble);
    QTest::newRow("list") << QByteArray("type='list'") << int(TypeList);
    QTest::newRow("file") << QByteArray("type='file'") << int(TypeFile);
    QTest::newRow("List is text") << QByteArray("type='List'") << int(TypeText);
    QTest::newRow("SPIN-INT is text") << QByteArray("type='SPIN-INT'") << int(TypeText);
    QTest::newRow("blank around is text") << QByteArray("type=' list'") << int(TypeText);
    QTest::newRow("unknown is text") << QByteArray("type='text'") << int(TypeText);
    QTest::newRow("missing is text") << QByteArray() << int(TypeText);
}

void TestDescriptionReader::typeKeywords()
{
    QFETCH(QByteArray, attribute);
    QFETCH(int, type);

    read("<param name='A.k' pattern='*.bin' " + attribute + "/>");
    QCOMPARE(m_model->m_params.size(), 1);
    const ParamDescription* param = m_model->m_params[0];
    QCOMPARE(param->type, type);
    // Only file parameters share the window's last directory and keep their pattern.
    QCOMPARE(param->pLastDir, type == TypeFile ? &m_sLastDir : nullptr);
    QCOMPARE(param->pattern, type == TypeFile ? "*.bin" : "");
}

void TestDescriptionReader::spinDefaults()
{
    read("<param name='i' type='spin-int'/><param name='d' type='spin-double'/>");
    QCOMPARE(m_model->m_params.size(), 2);
    const ParamDescription* intParam = m_model->m_params[0];
    QCOMPARE(intParam->intMin, INT_MIN);
    QCOMPARE(intParam->intMax, INT_MAX);
    QCOMPARE(intParam->intStep, 1);

    // The limits are the six-digit texts of the largest double, so they stay finite and just inside it.
    const ParamDescription* dblParam = m_model->m_params[1];
    QCOMPARE(dblParam->dblMin, QStringLiteral("-1.79769e+308").toDouble());
    QCOMPARE(dblParam->dblMax, QStringLiteral("1.79769e+308").toDouble());
    QVERIFY(dblParam->dblMax < DBL_MAX);
    QCOMPARE(dblParam->dblStep, 0.1);
}

void TestDescriptionReader::invalidNumbersReadAsZero_data()
{
    QTest::addColumn<QByteArray>("param");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");

    QTest::newRow("int min word") << QByteArray("type='spin-int' min='abc'") << "intMin" << 0.0;
    QTest::newRow("int max too big") << QByteArray("type='spin-int' max='99999999999'") << "intMax" << 0.0;
    QTest::newRow("int inc hex") << QByteArray("type='spin-int' inc='0x10'") << "intStep" << 0.0;
    QTest::newRow("int inc leading zero") << QByteArray("type='spin-int' inc='010'") << "intStep" << 10.0;
    QTest::newRow("int max negative") << QByteArray("type='spin-int' max='-5'") << "intMax" << -5.0;
    QTest::newRow("double comma") << QByteArray("type='spin-double' min='1,5'") << "dblMin" << 0.0;
    QTest::newRow("double dot") << QByteArray("type='spin-double' min='-1.5'") << "dblMin" << -1.5;
    QTest::newRow("double overflow") << QByteArray("type='spin-double' max='1e400'") << "dblMax" << 0.0;
    QTest::newRow("double empty inc") << QByteArray("type='spin-double' inc=''") << "dblStep" << 0.0;
    QTest::newRow("invisible word") << QByteArray("invisible='yes'") << "invisible" << 0.0;
    QTest::newRow("invisible number") << QByteArray("invisible='2'") << "invisible" << 2.0;
    QTest::newRow("noedit word") << QByteArray("noedit='true'") << "noedit" << 0.0;
    QTest::newRow("noedit 256 stays") << QByteArray("noedit='256'") << "noedit" << 256.0;
}

void TestDescriptionReader::invalidNumbersReadAsZero()
{
    QFETCH(QByteArray, param);
    QFETCH(QString, field);
    QFETCH(double, value);

    read("<param name='k' " + param + "/>");
    QCOMPARE(m_model->m_params.size(), 1);
    const ParamDescription* p = m_model->m_params[0];
    const QMap<QString, double> fields{{"intMin", p->intMin},       {"intMax", p->intMax}, {"intStep", p->intStep},
                                       {"dblMin", p->dblMin},       {"dblMax", p->dblMax}, {"dblStep", p->dblStep},
                                       {"invisible", p->invisible}, {"noedit", p->noedit}};
    QCOMPARE(fields.value(field), value);
}

void TestDescriptionReader::listItems()
{
    read("<param name='A.Mode' type='list' title='Mode' comment='How'>"
         "<item val='0' descr='internal'/><other val='x'/><item descr='none'/>"
         "<item val='1' descr='external'><item val='nested'/></item></param>"
         "<param name='A.Text'><item val='ignored'/></param>");
    QCOMPARE(m_model->m_params.size(), 2);
    const ParamDescription* list = m_model->m_params[0];
    QCOMPARE(list->title, "Mode");
    QCOMPARE(list->comment, "How");
    QCOMPARE(list->items.size(), 3);
    QCOMPARE(list->items[0]->val, "0");
    QCOMPARE(list->items[0]->descr, "internal");
    QCOMPARE(list->items[1]->val, "");
    QCOMPARE(list->items[1]->descr, "none");
    QCOMPARE(list->items[2]->val, "1");
    QVERIFY(m_model->m_params[1]->items.isEmpty());
}

void TestDescriptionReader::windowSettings()
{
    m_model->m_sAuxTitle = "old";
    m_model->m_nAuxTimeout = 7;
    m_model->m_sCurProg = "old.exe";
    read("<tabs>1</tabs><deflist> 2 </deflist><tabs>5</tabs><deflist>7</deflist><program cmdline='x.exe'/>");
    QCOMPARE(m_model->m_nTabs, 1);
    QCOMPARE(m_model->m_nDefList, 2);
    // Absent auxbutton and curprog leave their members alone.
    QCOMPARE(m_model->m_sAuxTitle, "old");
    QCOMPARE(m_model->m_nAuxTimeout, 7);
    QCOMPARE(m_model->m_sCurProg, "old.exe");

    DescriptionReadResult result = m_model->readDescription(
        write("a.vlmr", settings("<auxbutton title='Сброс' cmdline='reset.exe 1'/><auxbutton title='second'/>"
                                 "<curprog cmdline='b.exe -v'/><curprog cmdline='c.exe'/>")),
        &m_sLastDir);
    QVERIFY(result.auxButton);
    QCOMPARE(m_model->m_sAuxTitle, "Сброс");
    QCOMPARE(m_model->m_nAuxTimeout, -1);
    QCOMPARE(m_model->m_sAuxCmdLine, "reset.exe 1");
    QCOMPARE(m_model->m_sCurProg, "b.exe -v");
    QCOMPARE(m_model->m_nTabs, 0);
    QCOMPARE(m_model->m_nDefList, 0);
    QVERIFY(m_model->m_progList.isEmpty());

    result = m_model->readDescription(write("b.vlmr", settings("<auxbutton timeout='abc'/>")), &m_sLastDir);
    QVERIFY(result.auxButton);
    QCOMPARE(m_model->m_sAuxTitle, "");
    QCOMPARE(m_model->m_nAuxTimeout, 0);
    QCOMPARE(m_model->m_sAuxCmdLine, "");

    result = m_model->readDescription(write("c.vlmr", settings("")), &m_sLastDir);
    QVERIFY(result.read);
    QVERIFY(!result.auxButton);
}

void TestDescriptionReader::failedReadKeepsSettings_data()
{
    QTest::addColumn<QString>("fixture"); // a file of the test data, or "" to write bytes
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("missing file") << "missing.vlmr" << QByteArray();
    QTest::newRow("truncated") << "truncated.vlmr" << QByteArray();
    QTest::newRow("garbage after root") << "trailing-garbage.vlmr" << QByteArray();
    QTest::newRow("mismatched tag deep inside") << "mismatched-tag.vlmr" << QByteArray();
    QTest::newRow("duplicate attribute") << "duplicate-attribute.vlmr" << QByteArray();
    QTest::newRow("empty file") << "" << QByteArray();
    QTest::newRow("wrong root") << "" << QByteArray("<Settings><param name='A.k'/></Settings>");
    QTest::newRow("prefixed root") << "" << QByteArray("<a:settings><param name='A.k'/></a:settings>");
    QTest::newRow("binary") << "" << QByteArray("\x01\x02\xff\xfe\x00<settings/>", 16);
    QTest::newRow("unknown encoding") << "" << QByteArray("<?xml version='1.0' encoding='no-such'?><settings/>");
}

void TestDescriptionReader::failedReadKeepsSettings()
{
    QFETCH(QString, fixture);
    QFETCH(QByteArray, bytes);

    read("<check>1</check><tabs>3</tabs><deflist>1</deflist><group title='G'><param name='A.k'/></group>"
         "<program cmdline='p.exe'/><curprog cmdline='p.exe'/><auxbutton title='Aux' timeout='5'/>");
    QCOMPARE(m_model->m_params.size(), 1);

    const QString path =
        fixture.isEmpty() ? write("broken.vlmr", bytes) : QString(VOLMAR_TEST_DATA "/description/") + fixture;
    const DescriptionReadResult result = m_model->readDescription(path, &m_sLastDir);
    QVERIFY(!result.read);
    QVERIFY(!result.auxButton);
    QVERIFY(m_model->m_params.isEmpty());
    QVERIFY(m_model->m_groups.isEmpty());
    QVERIFY(m_model->m_bCheck);
    QCOMPARE(m_model->m_nTabs, 3);
    QCOMPARE(m_model->m_nDefList, 1);
    QCOMPARE(m_model->m_progList, QStringList{"p.exe"});
    QCOMPARE(m_model->m_sCurProg, "p.exe");
    QCOMPARE(m_model->m_sAuxTitle, "Aux");
    QCOMPARE(m_model->m_nAuxTimeout, 5);
    QCOMPARE(DescriptionModel::iniFileNamedBy(path), "");
}

void TestDescriptionReader::russianTitles_data()
{
    QTest::addColumn<QString>("fixture");

    QTest::newRow("windows-1251") << "cp1251.vlmr";
    QTest::newRow("utf-8 declared") << "utf8.vlmr";
    QTest::newRow("utf-8 with BOM, undeclared") << "utf8-bom.vlmr";
}

void TestDescriptionReader::russianTitles()
{
    QFETCH(QString, fixture);

    const DescriptionReadResult result =
        m_model->readDescription(QString(VOLMAR_TEST_DATA "/description/") + fixture, &m_sLastDir);
    QVERIFY(result.read);
    QCOMPARE(m_model->m_groups.size(), 1);
    QCOMPARE(m_model->m_groups[0]->title, "АЦП");
    QCOMPARE(m_model->m_params.size(), 2);
    QCOMPARE(m_model->m_params[0]->section, "Ацп");
    QCOMPARE(m_model->m_params[0]->key, "Частота");
    QCOMPARE(m_model->m_params[0]->title, "Частота дискретизации");
    QCOMPARE(m_model->m_params[0]->comment, "Частота в Гц");
    QCOMPARE(m_model->m_params[0]->groupTitle, "АЦП");
    QCOMPARE(m_model->m_params[1]->items.size(), 2);
    QCOMPARE(m_model->m_params[1]->items[1]->descr, "внешний");
    QCOMPARE(m_model->m_sAuxTitle, "Сброс платы");
}

void TestDescriptionReader::iniFileNamedBy_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("iniName");

    QTest::newRow("named") << "test.vlmr" << settings("<inifile name='run.ini'/>") << "run.ini";
    QTest::newRow("absolute") << "test.vlmr" << settings("<inifile name='/srv/a.ini'/>") << "/srv/a.ini";
    QTest::newRow("first element wins") << "test.vlmr"
                                        << settings("<param/><inifile name='a.ini'/><inifile name='b.ini'/>")
                                        << "a.ini";
    QTest::newRow("without name") << "test.vlmr" << settings("<inifile/>") << "";
    QTest::newRow("no element") << "test.vlmr" << settings("<param name='A.k'/>") << "test.ini";
    QTest::newRow("nested element does not count")
        << "test.vlmr" << settings("<group><inifile name='x.ini'/></group>") << "test.ini";
    QTest::newRow("last suffix replaced") << "test.rev2.vlmr" << settings("") << "test.rev2.ini";
    QTest::newRow("wrong root") << "test.vlmr" << QByteArray("<setting><inifile name='a.ini'/></setting>") << "";
    QTest::newRow("broken after element") << "test.vlmr" << QByteArray("<settings><inifile name='a.ini'/><x>") << "";
}

void TestDescriptionReader::iniFileNamedBy()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QString, iniName);

    QCOMPARE(DescriptionModel::iniFileNamedBy(write(fileName, content)), iniName);
}

void TestDescriptionReader::folderInPlaceOfFile()
{
    QVERIFY(QDir().mkdir("folder.vlmr"));
    const QString path = m_dir->filePath("folder.vlmr");
    QVERIFY(!m_model->readDescription(path, &m_sLastDir).read);
    QCOMPARE(DescriptionModel::iniFileNamedBy(path), "");
}

QTEST_GUILESS_MAIN(TestDescriptionReader)
#include "tst_descriptionreader.moc"
