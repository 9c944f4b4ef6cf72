#pragma once

#include "ui_editdialog.h"

#include <QDialog>

// The multi-line view of a text value. It opens at the size the user last gave it, in this run or
// an earlier one.
class EditDialog : public QDialog, public Ui::EditDialogClass
{
    Q_OBJECT

public:
    explicit EditDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

protected:
    // Closed with OK or Cancel alike, the dialog remembers its size.
    void hideEvent(QHideEvent* event) override;
};
