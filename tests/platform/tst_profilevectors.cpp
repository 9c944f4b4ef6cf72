// Every golden vector of the INI dialect, run through the engine and (a handful) through volmar-ini.

#include "platform/profile.h"
#include "platform/profilewrite.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace
{
const QString CasesDir = QStringLiteral(VOLMAR_SHARED_DIR "/ini-dialect/cases");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Fields of ops.txt: \t \n \r \\ \0 \xHH, the bytes being CP1251.
QString unescapeField(const QByteArray& field)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) != '\\' || i + 1 >= field.size()) {
            bytes.append(field.at(i));
            continue;
        }
        const char next = field.at(++i);
        if (next == 'x') {
            bytes.append(char(field.mid(i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else {
            bytes.append(next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next == '0' ? '\0' : next);
        }
    }
    return TextCodec::fromCp1251(bytes);
}

struct Op
{
    int line;
    QString name;
    QStringList fields;
};

QList<Op> readOps(const QString& path)
{
    QList<Op> ops;
    const QList<QByteArray> lines = readAll(path).split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray& line = lines.at(n);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QList<QByteArray> parts = line.split('\t');
        Op op{int(n + 1), QString::fromLatin1(parts.takeFirst()), {}};
        for (const QByteArray& part : parts)
            op.fields.append(unescapeField(part));
        ops.append(op);
    }
    return ops;
}

QList<QByteArray> expectedLines(const QString& caseDir)
{
    QList<QByteArray> lines = readAll(caseDir + "/expected.jsonl").split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

QJsonObject parseLine(const QByteArray& line)
{
    return QJsonDocument::fromJson(line).object();
}

// The case's file in a fresh folder, writable (the shared vectors are read-only).
QString prepareInput(const QTemporaryDir& dir, const QString& caseDir)
{
    const QString path = dir.filePath(QStringLiteral("input.ini"));
    if (QFile::exists(caseDir + "/input.ini")) {
        QFile::copy(caseDir + "/input.ini", path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    return path;
}

QJsonObject runOp(const QString& path, const Op& op)
{
    QJsonObject result{{"line", op.line}, {"op", op.name}};
    const QStringList& f = op.fields;
    if (op.name == "sections") {
        result["list"] = QJsonArray::fromStringList(Profile::sectionNames(path));
    } else if (op.name == "keys") {
        result["list"] = QJsonArray::fromStringList(Profile::keyNames(path, f.value(0)));
    } else if (op.name == "get") {
        const std::optional<QString> value = Profile::readString(path, f.value(0), f.value(1));
        result["found"] = value.has_value();
        if (value)
            result["text"] = *value;
    } else {
        if (op.name == "put")
            Profile::writeString(path, f.value(0), f.value(1), f.value(2));
        else if (op.name == "putnull")
            Profile::deleteKey(path, f.value(0), f.value(1));
        else if (op.name == "delsection")
            Profile::deleteSection(path, f.value(0));
        result["file_hex"] =
            QFile::exists(path) ? QJsonValue(QString::fromLatin1(readAll(path).toHex())) : QJsonValue(QJsonValue::Null);
    }
    return result;
}

QString compact(const QJsonObject& object)
{
    const QString text = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    return text.size() > 400 ? text.left(400) + "..." : text;
}

// The field names of one output line in the order printed.
QStringList fieldOrder(const QByteArray& line)
{
    static const QRegularExpression field(QStringLiteral(R"re([{,]"(line|op|list|found|text|file_hex)":)re"));
    QStringList names;
    auto it = field.globalMatch(QString::fromUtf8(line));
    while (it.hasNext())
        names.append(it.next().captured(1));
    return names;
}
} // namespace

class TestProfileVectors : public QObject
{
    Q_OBJECT

private slots:
    void casesArePresent();
    void engine_data();
    void engine();
    void volmarIniRun_data();
    void volmarIniRun();
};

void TestProfileVectors::casesArePresent()
{
    QVERIFY2(!QDir(CasesDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty(), qPrintable(CasesDir));
}

void TestProfileVectors::engine_data()
{
    QTest::addColumn<QString>("caseDir");
    const QStringList cases = QDir(CasesDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : cases)
        QTest::newRow(qPrintable(name)) << QDir(CasesDir).filePath(name);
}

void TestProfileVectors::engine()
{
    QFETCH(QString, caseDir);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = prepareInput(dir, caseDir);

    const QList<Op> ops = readOps(caseDir + "/ops.txt");
    const QList<QByteArray> expected = expectedLines(caseDir);
    QCOMPARE(ops.size(), expected.size());
    for (qsizetype i = 0; i < ops.size(); ++i) {
        const QJsonObject want = parseLine(expected.at(i));
        const QJsonObject got = runOp(path, ops.at(i));
        QVERIFY2(got == want, qPrintable(QStringLiteral("\n   got %1\n  want %2").arg(compact(got), compact(want))));
    }
}

void TestProfileVectors::volmarIniRun_data()
{
    QTest::addColumn<QString>("caseDir");
    // Cyrillic folding, the undefined CP1251 byte, CRLF/CR-only/UTF-8 rewrites, a missing file, long lists.
    for (const char* name :
         {"017-case-cyrillic-special", "029-ws-other-space-chars", "067-bytes-0x98-roundtrip", "068-ctrl-z-eof",
          "075-many-keys-list", "092-write-missing-file", "113-write-comment-lines-kept", "127-contract-keep-bytes-lf",
          "128-contract-keep-bytes-cr-only", "131-contract-utf8-no-bom-cyrillic"})
        QTest::newRow(name) << QDir(CasesDir).filePath(QString::fromLatin1(name));
}

void TestProfileVectors::volmarIniRun()
{
    QFETCH(QString, caseDir);
    QVERIFY(QFile::exists(caseDir));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = prepareInput(dir, caseDir);

    QProcess tool;
    tool.start(QStringLiteral(VOLMAR_BIN_DIR "/volmar-ini"), {"run", path, caseDir + "/ops.txt"});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(tool.readAllStandardError(), QByteArray());

    QList<QByteArray> lines = tool.readAllStandardOutput().split('\n');
    QCOMPARE(lines.takeLast(), QByteArray()); // every line ends in LF
    const QList<QByteArray> expected = expectedLines(caseDir);
    QCOMPARE(lines.size(), expected.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QJsonObject got = parseLine(lines.at(i));
        const QJsonObject want = parseLine(expected.at(i));
        QVERIFY2(got == want, qPrintable(QStringLiteral("\n   got %1\n  want %2").arg(compact(got), compact(want))));
        QCOMPARE(fieldOrder(lines.at(i)), fieldOrder(expected.at(i)));
    }
}

QTEST_GUILESS_MAIN(TestProfileVectors)
#include "tst_profilevectors.moc"
