// The editor asked to end by a signal (SIGTERM, SIGINT, SIGHUP): the normal closing sequence runs,
// without the questions nobody is there to answer.
#include "app/volmar.h"

#include <QApplication>

void Volmar::slotTerminationSignal(int)
{
    // Unsaved parameters stay unsaved: writing them needs the user's yes.
    m_bUnattendedClose = true;
    // Open dialogs, message boxes and menus are dismissed as with Escape; their loops end once this
    // slot returns.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != this && window->isVisible() && (window->isModal() || window->windowType() == Qt::Popup))
            window->close();
    }
    // Runs in the loop that is left then; a window already closing, or closed, stays as it is.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible())
                close();
        },
        Qt::QueuedConnection);
}
