#include "app/volmar.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

// The window takes its files from the application's own arguments, which are fixed when the
// application is created; so this suite creates its application with file names on it.
class TestCommandLine : public QObject
{
    Q_OBJECT

public:
    explicit TestCommandLine(const QStringList& sorted) : m_sorted(sorted) {}

private slots:
    void filesAreTakenInPlainStringOrder();

private:
    QStringList m_sorted;
};

void TestCommandLine::filesAreTakenInPlainStringOrder()
{
    Volmar window;
    // Upper case before lower case, "a10" before "a9", and the program's own path left out.
    QCOMPARE(window.m_openList, m_sorted);
    QCOMPARE(window.m_fileList, m_sorted);

    QVERIFY(window.m_pFileTabs);
    QStringList tabs;
    for (int i = 0; i < window.m_pFileTabs->count(); ++i)
        tabs << window.m_pFileTabs->tabText(i);
    QStringList expectedTabs{QStringLiteral("Все файлы")};
    for (const QString& path : std::as_const(m_sorted))
        expectedTabs << QFileInfo(path).fileName();
    QCOMPARE(tabs, expectedTabs);
}

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QStringList given{QStringLiteral("b.ini"), QStringLiteral("a9.ini"), QStringLiteral("B.ini"),
                            QStringLiteral("a10.ini")};
    const QStringList sortedNames{QStringLiteral("B.ini"), QStringLiteral("a10.ini"), QStringLiteral("a9.ini"),
                                  QStringLiteral("b.ini")};

    std::vector<QByteArray> storage{QByteArray(argv[0])};
    for (const QString& name : given) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write("[main]\r\nkey=1\r\n") < 0)
            return 1;
        storage.push_back(QFile::encodeName(file.fileName()));
    }
    std::vector<char*> appArgv;
    for (QByteArray& arg : storage)
        appArgv.push_back(arg.data());
    appArgv.push_back(nullptr);
    int appArgc = int(storage.size());
    QApplication app(appArgc, appArgv.data());

    QStringList sorted;
    for (const QString& name : sortedNames)
        sorted << dir.filePath(name);
    TestCommandLine test(sorted);
    // QtTest reads only the test binary's own arguments.
    return QTest::qExec(&test, argc, argv);
}

#include "tst_commandline.moc"
