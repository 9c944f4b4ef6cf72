#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What volmar's command line asks for. It is read from the raw bytes of argv before the application
// object exists, so that --help and --version need no display, and so that no option of ours (nor
// of Qt's) is ever taken for a file to open.
struct CommandLine
{
    enum class Action
    {
        Run,     // open `files` (possibly none) in the window
        Help,    // print helpText() and exit 0
        Version, // print versionText() and exit 0
        Error    // print `error` and usageText() to stderr and exit 2
    };

    Action action = Action::Run;
    QStringList files;         // in the order given, as Qt's file API names them
    QList<QByteArray> refused; // names that have no such form (bytes invalid in the system's encoding)
    QString error;

    static CommandLine parse(int argc, const char* const* argv);

    static QString usageText();
    static QString helpText();
    static QString versionText();
    // The message for names that cannot be opened, for stderr and the message box.
    static QString refusedText(const QList<QByteArray>& names);
};
