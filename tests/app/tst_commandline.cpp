// volmar's command line: what it opens, what it refuses, and what it answers without a window.
#include "app/commandline.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace
{
const QString Volmar = QStringLiteral(VOLMAR_BIN_DIR "/volmar");

CommandLine parse(const QList<QByteArray>& arguments)
{
    std::vector<const char*> argv{"volmar"};
    for (const QByteArray& argument : arguments)
        argv.push_back(argument.constData());
    return CommandLine::parse(int(argv.size()), argv.data());
}
} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QList<QByteArray>>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QList<QByteArray>>("refused");
        const int run = int(CommandLine::Action::Run);
        const int error = int(CommandLine::Action::Error);
        const auto row = [](const char* name, const QList<QByteArray>& arguments, int action, const QStringList& files,
                            const QList<QByteArray>& refused = {}) {
            QTest::newRow(name) << arguments << action << files << refused;
        };
        row("nothing", {}, run, {});
        row("files in the order given", {"b.ini", "a.ini"}, run, {"b.ini", "a.ini"});
        row("--help", {"a.ini", "--help"}, int(CommandLine::Action::Help), {});
        row("-h", {"-h"}, int(CommandLine::Action::Help), {});
        row("--version", {"--version"}, int(CommandLine::Action::Version), {});
        row("-v", {"-v"}, int(CommandLine::Action::Version), {});
        row("unknown option", {"-x"}, error, {});
        row("a benchmark's option", {"--runs", "3"}, error, {});
        row("Qt's own option", {"-platform", "offscreen", "a.ini"}, error, {});
        row("unknown option after a file", {"a.ini", "--only"}, error, {});
        row("names after --", {"--", "-x.ini", "--help", "--"}, run, {"-x.ini", "--help", "--"});
        row("a lone dash is a name", {"-"}, run, {"-"});
        row("UTF-8 name", {"\xD0\x96.ini"}, run, {"Ж.ini"});
        row("name that is not UTF-8", {"bad\xFF.ini", "good.ini"}, run, {"good.ini"}, {"bad\xFF.ini"});
        row("Latin-1 name", {"caf\xE9.ini"}, run, {}, {"caf\xE9.ini"});
    }

    void parse()
    {
        QFETCH(QList<QByteArray>, arguments);
        const CommandLine line = ::parse(arguments);
        QTEST(int(line.action), "action");
        QTEST(line.files, "files");
        QTEST(line.refused, "refused");
        QCOMPARE(line.error.isEmpty(), line.action != CommandLine::Action::Error);
    }

    void answersWithoutAWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("--help") << QStringList{"--help"} << 0 << QByteArray("Usage: volmar [OPTION]... [--] [FILE]...")
                                << QByteArray();
        QTest::newRow("--version") << QStringList{"--version", "x.ini"} << 0
                                   << QByteArray("volmar " VOLMAR_VERSION "\n") << QByteArray();
        QTest::newRow("unknown option") << QStringList{"x.ini", "-x"} << 2 << QByteArray()
                                        << QByteArray("volmar: unknown option '-x'\nUsage: volmar");
        QTest::newRow("a benchmark's options") << QStringList{"--only", "open", "--runs", "3"} << 2 << QByteArray()
                                               << QByteArray("volmar: unknown option '--only'\nUsage: volmar");
    }

    void answersWithoutAWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QTemporaryDir dir;
        QProcess volmar;
        volmar.setWorkingDirectory(dir.path());
        volmar.start(Volmar, arguments);
        QVERIFY(volmar.waitForFinished(30000));
        QCOMPARE(volmar.exitStatus(), QProcess::NormalExit);
        QTEST(volmar.exitCode(), "exitCode");
        QVERIFY(volmar.readAllStandardOutput().startsWith(out));
        QVERIFY(volmar.readAllStandardError().startsWith(err));
        // No option is ever taken for a file to create.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
