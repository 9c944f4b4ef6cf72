#pragma once

#include <QComboBox>

// The list editor: the Control key opens the list, so a choice can be made from the keyboard
// without leaving the typed text.
class ComboBoxEx : public QComboBox
{
public:
    explicit ComboBoxEx(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
