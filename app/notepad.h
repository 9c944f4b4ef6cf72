#pragma once

class QString;
class QWidget;

// The "Блокнот" and "?" buttons: a file opened in the text editor through "notepad.exe FILE".
namespace Notepad
{

// Starts notepad.exe on file, detached. When there is no notepad.exe, or nothing it could open the
// file with, the user is told what is missing, over window, instead of nothing happening.
void open(QWidget* window, const QString& file);

} // namespace Notepad
