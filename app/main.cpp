#include "app/qttranslations.h"
#include "app/volmar.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The default settings store is the one the options live in.
    QCoreApplication::setOrganizationName(QStringLiteral("Korvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Volmar"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VOLMAR_VERSION));
    // The desktop entry Volmar is installed with: a desktop shows its name and icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvane.Volmar"));
    QtTranslations::install();

    // Declared after the application, so it is destroyed before it.
    Volmar window;
    window.show();
    return QApplication::exec();
}
