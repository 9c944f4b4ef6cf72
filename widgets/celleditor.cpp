#include "widgets/celleditor.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

// Resources of a static library are registered by hand; the call must stand outside any namespace.
static void initBrindleResources()
{
    Q_INIT_RESOURCE(brindle);
}

namespace CellEditor
{

void build(QWidget* editor, QLineEdit*& lineEdit, QPushButton*& button, const QString& iconPath)
{
    static const bool resourcesReady = (initBrindleResources(), true);
    Q_UNUSED(resourcesReady);

    QPalette palette = editor->palette();
    const QBrush white(QColor(255, 255, 255, 255), Qt::SolidPattern);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setBrush(group, QPalette::Base, white);
        palette.setBrush(group, QPalette::Window, white);
    }
    editor->setPalette(palette);
    editor->setAutoFillBackground(true);

    lineEdit = new QLineEdit(editor);
    lineEdit->installEventFilter(editor);
    lineEdit->setFrame(false);

    button = new QPushButton(editor);
    button->setIcon(QIcon(iconPath));
    button->setText(QString());
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    auto* layout = new QHBoxLayout(editor);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lineEdit);
    layout->addWidget(button);

    editor->setFocusProxy(lineEdit);
}

bool filterLineEditEvent(QWidget* editor, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Tab && key != Qt::Key_Backtab)
            return false;
        // The line edit would pass Tab on as a move to the next widget, which is the editor's own
        // button. The item view's delegate watches the editor: there Tab commits and moves to the next
        // row like in every other editor.
        QCoreApplication::sendEvent(editor, event);
        return true;
    }
    if (event->type() != QEvent::FocusOut)
        return false;
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    // By now the focus widget is the one that takes the focus (or none while the window changes).
    const QWidget* next = QApplication::focusWidget();
    const bool leftTheEditor = next && next != editor && !editor->isAncestorOf(next) &&
                               next->window() == editor->window() && reason != Qt::PopupFocusReason &&
                               reason != Qt::ActiveWindowFocusReason;
    if (!leftTheEditor) {
        // The button, a dialog or a popup is taking over: the editor must stay open meanwhile.
        takeFocus(editor);
        return true;
    }
    // The focus went to another widget of the window: the editor is done. The view watches the
    // editor, not its line edit, so it is told here and commits and closes it as any other editor.
    QFocusEvent focusOut(QEvent::FocusOut, reason);
    QCoreApplication::sendEvent(editor, &focusOut);
    return false;
}

void takeFocus(QWidget* editor)
{
    editor->setFocusProxy(nullptr);
    editor->setFocus(Qt::OtherFocusReason);
}

void returnFocus(QWidget* editor, QLineEdit* lineEdit)
{
    editor->setFocusProxy(lineEdit);
    // While the window is not yet active again this only names the widget that gets the focus back.
    lineEdit->setFocus(Qt::OtherFocusReason);
}

} // namespace CellEditor
