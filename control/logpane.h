#pragma once

#include "control/logconsole.h"
#include "control/outputdecoder.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QTextEdit;

// Shows a program's output in the window's log pane. Chunks are decoded and applied to the console
// model at once; the pane itself is edited at its end only, and at most every few tens of
// milliseconds, so a program that writes fast costs one layout per interval, not one per chunk.
class LogPane : public QObject
{
    Q_OBJECT

public:
    explicit LogPane(QTextEdit* edit, QObject* parent = nullptr);

    // Empties the pane for a new program.
    void clear();
    // Output bytes of the program; pendingCr is carried between chunks (see LogConsole).
    void append(const QByteArray& bytes, QString& pendingCr);
    // The program ended: a character cut short at its end is shown as it is.
    void finish(QString& pendingCr);
    // Brings the pane up to date now and scrolls to its end.
    void flush();

private:
    // Takes in at most a slice of the gathered output; the rest follows on the next pass.
    void flushSome();
    void appendText(const QString& text, QString& pendingCr);

    QTextEdit* m_pEdit;
    OutputDecoder m_decoder;
    LogConsole m_console;
    LogConsole::Edit m_pending;
    bool m_bPending = false;
    QTimer m_flushTimer;
    QElapsedTimer m_sinceFlush;
};
