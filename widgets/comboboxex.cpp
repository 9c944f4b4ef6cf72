#include "widgets/comboboxex.h"

#include <QKeyEvent>

ComboBoxEx::ComboBoxEx(QWidget* parent) : QComboBox(parent) {}

void ComboBoxEx::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Control)
        showPopup();
    else
        QComboBox::keyPressEvent(event);
}
