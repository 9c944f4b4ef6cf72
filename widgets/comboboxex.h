#pragma once

#include <QComboBox>

// The list editor. Control pressed and released alone opens the list, so a choice can be made from
// the keyboard without leaving the typed text; Control as part of a shortcut (Ctrl+S) does not.
class ComboBoxEx : public QComboBox
{
public:
    explicit ComboBoxEx(QWidget* parent = nullptr);

    bool event(QEvent* event) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    bool m_bControlAlone = false; // Control is down and no other key came with it
};
