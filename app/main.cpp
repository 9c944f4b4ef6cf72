#include "app/commandline.h"
#include "app/qttranslations.h"
#include "app/volmar.h"
#include "widgets/messagebox.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace
{
void print(const QString& text, FILE* stream)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}
} // namespace

int main(int argc, char** argv)
{
    const CommandLine commandLine = CommandLine::parse(argc, argv);
    switch (commandLine.action) {
    case CommandLine::Action::Help:
        print(CommandLine::helpText(), stdout);
        return 0;
    case CommandLine::Action::Version:
        print(CommandLine::versionText(), stdout);
        return 0;
    case CommandLine::Action::Error:
        print(commandLine.error + QLatin1Char('\n') + CommandLine::usageText(), stderr);
        return 2;
    case CommandLine::Action::Run:
        break;
    }

    // Qt sees the program's name only: its own options would otherwise be taken out from among
    // the file names, even after "--".
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    // The default settings store is the one the options live in.
    QCoreApplication::setOrganizationName(QStringLiteral("Korvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Volmar"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VOLMAR_VERSION));
    // The desktop entry Volmar is installed with: a desktop shows its name and icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvane.Volmar"));
    QtTranslations::install();

    // Declared after the application, so it is destroyed before it.
    Volmar window(nullptr, {}, commandLine.files);
    window.show();
    if (!commandLine.refused.isEmpty()) {
        const QString text = CommandLine::refusedText(commandLine.refused);
        print(text + QLatin1Char('\n'), stderr);
        QTimer::singleShot(0, &window, [&window, text] { Dialogs::warning(&window, QStringLiteral("Volmar"), text); });
    }
    return QApplication::exec();
}
