#pragma once

class QEvent;
class QLineEdit;
class QPushButton;
class QString;
class QWidget;

// What the two composite value editors (text and file path) share: a frameless line edit and an
// icon button on a white ground, and the rule that keeps the keyboard focus inside the editor while
// its button or dialog is in use, so the item view does not close it under the user's hands.
namespace CellEditor
{

// Lays out the line edit, then the button with the icon, on editor; the line edit becomes the
// editor's focus proxy and gets editor as its event filter.
void build(QWidget* editor, QLineEdit*& lineEdit, QPushButton*& button, const QString& iconPath);

// The line edit's events as the editor's event filter sees them. True when the event is consumed.
bool filterLineEditEvent(QWidget* editor, QEvent* event);

// The editor itself holds the focus from now on, not its line edit.
void takeFocus(QWidget* editor);

// After the editor's dialog: typing goes on in the line edit.
void returnFocus(QWidget* editor, QLineEdit* lineEdit);

} // namespace CellEditor
