// Volmar installed as a desktop application: the tree `cmake --install` lays out, every file in it
// valid for the tools a Debian desktop reads it with, and the Debian package holding exactly that tree.
#include "platform/processes.h"
#include "tests/common/testutil.h"

#include <QDir>
#include <QDirIterator>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

namespace
{
using TestUtil::Run;
using TestUtil::run;

const QString AppId = QStringLiteral("org.korvane.Volmar");

// Every file below the folder, as paths relative to it.
QStringList filesBelow(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The value of a key of the desktop entry's main group (a QSettings INI reading would take ";" for a comment).
QString desktopValue(const QByteArray& entry, const QByteArray& key)
{
    for (const QByteArray& line : entry.split('\n')) {
        if (line.startsWith(key + '='))
            return QString::fromUtf8(line.mid(key.size() + 1));
    }
    return {};
}

QSize pngSize(const QByteArray& png)
{
    if (!png.startsWith("\x89PNG\r\n\x1a\n") || png.mid(12, 4) != "IHDR")
        return {};
    return QSize(int(qFromBigEndian<quint32>(png.constData() + 16)),
                 int(qFromBigEndian<quint32>(png.constData() + 20)));
}
} // namespace

class TestPackaging : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_prefix;

    QString installed(const QString& path) const { return m_prefix + '/' + path; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_prefix = m_dir.filePath("prefix");
        const Run install = run(VOLMAR_CMAKE, {"--install", VOLMAR_BUILD_DIR, "--prefix", m_prefix});
        QVERIFY2(install.exitCode == 0, install.err.constData());
    }

    // The programs; the other files are each read by a test of its own below.
    void installedPrograms_data()
    {
        QTest::addColumn<QString>("path");
        for (const char* program : {"bin/volmar", "bin/volmar-ini", "lib/volmar/kelda.exe", "lib/volmar/Orvex.exe",
                                    "lib/volmar/tprog.exe", "lib/volmar/notepad.exe", "lib/volmar/dsptest.exe"})
            QTest::newRow(program) << QString(program);
    }

    void installedPrograms()
    {
        QFETCH(QString, path);
        const QFileInfo info(installed(path));
        QVERIFY2(info.isFile() && info.size() > 0 && info.isExecutable(), qPrintable(path));
    }

    // The editor, installed, finds the stand-ins beside its bin/ folder; in the build tree, beside itself.
    void helperFolder()
    {
        QCOMPARE(Processes::helperDirectory(installed("bin")), installed("lib/volmar"));
        QCOMPARE(Processes::helperDirectory(VOLMAR_BIN_DIR), QStringLiteral(VOLMAR_BIN_DIR));
    }

    void installedToolChecksTheDemo()
    {
        const QString demo = installed("share/volmar/examples/demo");
        const Run check = run(installed("bin/volmar-ini"), {"check", demo + "/demo.vlmr"});
        QCOMPARE(check.out, QByteArray());
        QCOMPARE(check.exitCode, 0);
    }

    void desktopEntry()
    {
        const QString desktop = installed("share/applications/" + AppId + ".desktop");
        const Run validate = run("desktop-file-validate", {desktop});
        QVERIFY2(validate.exitCode == 0 && validate.out.isEmpty(), (validate.out + validate.err).constData());

        // The icon it names is the one installed, and the file types it opens are defined (Wine's type
        // for INI files comes with Wine).
        const QByteArray entry = TestUtil::readBytes(desktop);
        const QString icon = desktopValue(entry, "Icon");
        QVERIFY(QFile::exists(installed("share/icons/hicolor/scalable/apps/" + icon + ".svg")));
        QCOMPARE(desktopValue(entry, "Exec"), "volmar %F");
        const QString defined =
            QString::fromUtf8(TestUtil::readBytes(installed("share/mime/packages/" + AppId + ".xml")));
        const QStringList types = desktopValue(entry, "MimeType").split(';', Qt::SkipEmptyParts);
        QVERIFY(types.contains("application/x-volmar-description"));
        QVERIFY(types.contains("text/x-ini"));
        for (const QString& type : types) {
            if (type != "application/x-wine-extension-ini")
                QVERIFY2(defined.contains("type=\"" + type + '"'), qPrintable(type));
        }
    }

    void appStreamData()
    {
        const Run validate =
            run("appstreamcli", {"validate", "--no-net", installed("share/metainfo/" + AppId + ".metainfo.xml")});
        QVERIFY2(validate.exitCode == 0, (validate.out + validate.err).constData());
        // What it launches is the desktop entry installed.
        const QByteArray metainfo = TestUtil::readBytes(installed("share/metainfo/" + AppId + ".metainfo.xml"));
        QVERIFY(metainfo.contains("<launchable type=\"desktop-id\">" + AppId.toUtf8() + ".desktop</launchable>"));
    }

    // The database a desktop builds from the file types names ".vlmr" files, XML files whose root is
    // "settings" and ".ini" files by the types the desktop entry opens.
    void fileTypes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("type");
        QTest::newRow("description by name") << "test.vlmr" << QByteArray() << "application/x-volmar-description";
        QTest::newRow("other XML") << "config" << QByteArray("<?xml version=\"1.0\"?>\n<root/>\n") << "application/xml";
        QTest::newRow("INI file") << "test.ini" << QByteArray("[Adc]\r\nFreq=1\r\n") << "text/x-ini";
    }

    void fileTypes()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, type);
        static const Run update = [this] {
            // Qt reads the databases of the folders named here when it is first asked; the tool warns
            // about a folder that is not among them.
            qputenv("XDG_DATA_DIRS", QFile::encodeName(installed("share")) + ":/usr/share");
            return run("update-mime-database", {installed("share/mime")});
        }();
        QVERIFY2(update.exitCode == 0 && update.err.isEmpty(), update.err.constData());

        const QString file = m_dir.filePath("types/" + name);
        QVERIFY(QDir().mkpath(m_dir.filePath("types")));
        QVERIFY(TestUtil::writeBytes(file, content));
        const QMimeType found = QMimeDatabase().mimeTypeForFile(file);
        QCOMPARE(found.name(), type);
        if (type == "application/x-volmar-description") {
            QVERIFY(found.inherits("application/xml"));
            // Desktops that look into XML files know a description by its root element.
            QVERIFY(TestUtil::readBytes(installed("share/mime/XMLnamespaces"))
                        .contains(" settings application/x-volmar-description\n"));
        }
    }

    void icons_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("48") << 48;
        QTest::newRow("256") << 256;
    }

    void icons()
    {
        QFETCH(int, size);
        const QString png =
            installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + AppId + QStringLiteral(".png"));
        QCOMPARE(pngSize(TestUtil::readBytes(png)), QSize(size, size));

        QXmlStreamReader svg(TestUtil::readBytes(installed("share/icons/hicolor/scalable/apps/" + AppId + ".svg")));
        QVERIFY(svg.readNextStartElement());
        QCOMPARE(svg.name(), QLatin1String("svg"));
        while (!svg.atEnd())
            svg.readNext();
        QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
    }

    // groff reads the pages without a warning, and the tool's page lists every command its help lists.
    void manualPages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("volmar") << "volmar";
        QTest::newRow("volmar-ini") << "volmar-ini";
    }

    void manualPages()
    {
        QFETCH(QString, page);
        const Run unpacked = run("gzip", {"-dc", installed("share/man/man1/" + page + ".1.gz")});
        QCOMPARE(unpacked.exitCode, 0);
        const QString source = m_dir.filePath(page + ".1");
        QVERIFY(TestUtil::writeBytes(source, unpacked.out));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "C.UTF-8");
        const Run lint = run("groff", {"-k", "-man", "-ww", "-z", "-Tutf8", source}, {}, env);
        QVERIFY2(lint.exitCode == 0 && lint.err.isEmpty(), lint.err.constData());
        QVERIFY(unpacked.out.contains(".TH " + page.toUpper().replace("-", "\\-").toUtf8() + " 1"));

        if (page != "volmar-ini")
            return;
        const QByteArray help = run(installed("bin/volmar-ini"), {"--help"}).out;
        const QList<QByteArray> lines = help.split('\n');
        QSet<QByteArray> commands;
        for (const QByteArray& line : lines) {
            if (!line.startsWith("  volmar-ini "))
                continue;
            const QByteArray command = line.trimmed().split(' ').value(1);
            QVERIFY2(unpacked.out.contains(".B volmar\\-ini " + QByteArray(command).replace("-", "\\-")),
                     command.constData());
            commands.insert(command);
        }
        QCOMPARE(commands, (QSet<QByteArray>{"sections", "keys", "get", "set", "delete", "run", "check", "diff",
                                             "--help", "--version"}));
    }

    // Completion as bash runs it for the words on the line, with the installed volmar-ini on PATH.
    void bashCompletion_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("commands") << QStringList{"volmar-ini", "d"} << QStringList{"delete", "diff"};
        QTest::newRow("description") << QStringList{"volmar-ini", "check", ""} << QStringList{"lab.vlmr", "sub"};
        QTest::newRow("INI files after it")
            << QStringList{"volmar-ini", "check", "lab.vlmr", ""} << QStringList{"my lab.ini", "sub"};
        QTest::newRow("diff option") << QStringList{"volmar-ini", "diff", "-"} << QStringList{"--json"};
        QTest::newRow("sections of the file")
            << QStringList{"volmar-ini", "get", "my\\ lab.ini", ""} << QStringList{"Adc", "Dac\\ Out"};
        QTest::newRow("keys of the section")
            << QStringList{"volmar-ini", "set", "'my lab.ini'", "Adc", "F"} << QStringList{"FREQ2", "Freq"};
        QTest::newRow("nothing run from the line")
            << QStringList{"volmar-ini", "get", "$(touch ran)", ""} << QStringList();
    }

    void bashCompletion()
    {
        QFETCH(QStringList, words);
        QFETCH(QStringList, expected);
        const QString work = m_dir.filePath("completion");
        QVERIFY(QDir().mkpath(work + "/sub"));
        QVERIFY(TestUtil::writeBytes(work + "/lab.vlmr", "<settings/>"));
        QVERIFY(TestUtil::writeBytes(work + "/my lab.ini", "[Adc]\r\nFreq=1\r\nGain=2\r\nFREQ2=3\r\n[Dac Out]\r\n"));
        QVERIFY(TestUtil::writeBytes(work + "/notes.txt", "x"));

        QString script = "source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _volmar_ini; "
                         "printf '%s\\n' \"${COMPREPLY[@]}\"";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", installed("bin") + ':' + env.value("PATH"));
        const Run completion =
            run("bash",
                QStringList{"-c", script, "bash", installed("share/bash-completion/completions/volmar-ini")} + words,
                work, env);
        QCOMPARE(completion.exitCode, 0);
        QStringList found = QString::fromUtf8(completion.out).split('\n', Qt::SkipEmptyParts);
        found.sort();
        QCOMPARE(found, expected);
        QVERIFY(!QFile::exists(work + "/ran"));
    }

    // build-deb.sh makes a package that depends on the Qt libraries and holds the installed tree.
    void debianPackage()
    {
        const QString out = m_dir.filePath("deb");
        const Run build = run(VOLMAR_SOURCE_DIR "/packaging/build-deb.sh", {"--no-build", VOLMAR_BUILD_DIR, out});
        QVERIFY2(build.exitCode == 0, build.err.constData());
        const QString deb = QString::fromUtf8(build.out).trimmed().split('\n').last();
        QVERIFY2(deb.startsWith(out + "/volmar_") && deb.endsWith(".deb") && QFile::exists(deb), qPrintable(deb));

        const Run info = run("dpkg-deb", {"-f", deb, "Package", "Depends"});
        QCOMPARE(info.exitCode, 0);
        for (const char* dependency :
             {"Package: volmar", "libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-qpa-plugins", "libc6"})
            QVERIFY2(info.out.contains(dependency), info.out.constData());

        const QString root = m_dir.filePath("root");
        QCOMPARE(run("dpkg", {"-x", deb, root}).exitCode, 0);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString destDir = m_dir.filePath("destdir");
        env.insert("DESTDIR", destDir);
        const Run install = run(VOLMAR_CMAKE, {"--install", VOLMAR_BUILD_DIR, "--prefix", "/usr"}, {}, env);
        QVERIFY2(install.exitCode == 0, install.err.constData());
        const QStringList packaged = filesBelow(root);
        QCOMPARE(packaged, filesBelow(destDir));
        QVERIFY(packaged.contains("usr/bin/volmar"));
        QVERIFY(packaged.contains("usr/lib/volmar/kelda.exe"));
    }
};

QTEST_GUILESS_MAIN(TestPackaging)
#include "tst_packaging.moc"
