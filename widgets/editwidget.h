#pragma once

#include <QFont>
#include <QWidget>

class QLineEdit;
class QPushButton;

// The in-cell editor of a text value: the value on one line, and a pencil button that opens it in
// a multi-line dialog. Line breaks live in the INI file as the two characters "\n".
class EditWidget : public QWidget
{
    Q_OBJECT

public:
    explicit EditWidget(QWidget* parent = nullptr);

    QLineEdit* m_pLineEdit = nullptr;
    QPushButton* m_pButton = nullptr;
    QFont m_font; // the dialog's text font

public slots:
    void slotClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
