#include "app/notepad.h"

#include "platform/processes.h"
#include "platform/texteditor.h"
#include "widgets/messagebox.h"

#include <QCoreApplication>
#include <QDir>

namespace Notepad
{

void open(QWidget* window, const QString& file)
{
    const QString program = QStringLiteral("notepad.exe");
    const QProcessEnvironment env = Processes::childEnvironment();
    QStringList missing;
    if (!Processes::resolveProgram(program, QDir::currentPath(), env).contains(QLatin1Char('/'))) {
        missing << QCoreApplication::translate("Notepad", "не найдена программа %1").arg(program);
    } else {
        const TextEditor::Plan plan = TextEditor::plan(file, env);
        if (plan.commands.isEmpty())
            missing = plan.missing;
    }
    if (missing.isEmpty()) {
        if (Processes::startDetachedCommand(program + QLatin1Char(' ') + file) != 0)
            return;
        missing << QCoreApplication::translate("Notepad", "%1 не запустилась").arg(program);
    }
    Dialogs::warning(window, QStringLiteral("Volmar"),
                     QCoreApplication::translate("Notepad", "Не удалось открыть %1 в текстовом редакторе: %2.")
                         .arg(file, missing.join(QStringLiteral("; "))));
}

} // namespace Notepad
