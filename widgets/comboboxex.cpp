#include "widgets/comboboxex.h"

#include <QKeyEvent>

ComboBoxEx::ComboBoxEx(QWidget* parent) : QComboBox(parent) {}

bool ComboBoxEx::event(QEvent* event)
{
    // A shortcut reaches the focus widget as an override request only, not as a key press.
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->key() != Qt::Key_Control)
        m_bControlAlone = false;
    return QComboBox::event(event);
}

void ComboBoxEx::keyPressEvent(QKeyEvent* event)
{
    m_bControlAlone = event->key() == Qt::Key_Control && !event->isAutoRepeat();
    if (event->key() != Qt::Key_Control)
        QComboBox::keyPressEvent(event);
}

void ComboBoxEx::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Control && m_bControlAlone) {
        m_bControlAlone = false;
        showPopup();
        return;
    }
    QComboBox::keyReleaseEvent(event);
}
