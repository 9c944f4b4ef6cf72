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
    QtTranslations::install();

    // Declared after the application, so it is destroyed before it.
    Volmar window;
    window.show();
    return QApplication::exec();
}
