#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QStringList>

// How a text file is opened on a Linux desktop when a program asks for "notepad.exe FILE": in the
// user's terminal editor ($VISUAL, else $EDITOR) inside a terminal ($TERMINAL, else
// x-terminal-emulator), else in the desktop's default application for the file (xdg-open). The
// notepad stand-in follows these rules, and the editor asks them beforehand, so that it can say
// what is missing instead of starting a program that fails unseen.
namespace TextEditor
{

struct Plan
{
    QList<QStringList> commands; // the ways there are, best first; each begins with the program's path
    QStringList missing;         // why each other way is not there, in the user's words
};

// Programs are looked up on the PATH of env; file is taken relative to the current directory.
Plan plan(const QString& file, const QProcessEnvironment& env);

} // namespace TextEditor
