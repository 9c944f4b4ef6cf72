#include "widgets/editwidget.h"

#include "widgets/celleditor.h"
#include "widgets/editdialog.h"

#include <QLineEdit>
#include <QPushButton>

namespace
{
const QString StoredLineBreak = QStringLiteral("\\n");
} // namespace

EditWidget::EditWidget(QWidget* parent) : QWidget(parent)
{
    CellEditor::build(this, m_pLineEdit, m_pButton, QStringLiteral(":/Brindle/Resources/pencil.png"));
    connect(m_pButton, &QPushButton::clicked, this, &EditWidget::slotClicked);
}

void EditWidget::slotClicked()
{
    // A child of the editor: while it runs, the focus is still inside the editor as the view sees it.
    // It stays a child, hidden, until the editor goes.
    auto* dialog = new EditDialog(this, {});
    QString text = m_pLineEdit->text();
    text.replace(StoredLineBreak, QStringLiteral("\n"));
    dialog->m_pTextEdit->setPlainText(text);
    dialog->m_pTextEdit->setFont(m_font);
    if (dialog->exec() == QDialog::Accepted) {
        QString edited = dialog->m_pTextEdit->toPlainText();
        edited.replace(QLatin1Char('\n'), StoredLineBreak);
        m_pLineEdit->setText(edited);
    }
    CellEditor::returnFocus(this, m_pLineEdit);
}

bool EditWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pLineEdit && CellEditor::filterLineEditEvent(this, event))
        return true;
    return QWidget::eventFilter(watched, event);
}
