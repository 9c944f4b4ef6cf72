#pragma once

#include "control/logconsole.h"
#include "control/outputdecoder.h"

#include <QByteArray>
#include <QString>

// A program's output on its way into the log: bytes are decoded, over-long lines are broken, and
// the text goes through the console (LogConsole), whose edits of the log's end come out.
//
// A pipe read may end anywhere in a line. The console takes a chunk's first line as a new version
// of the log's last line unless a "\r" segment is pending, so the rest of a line cut by a read would
// replace its beginning. The start of such a line (one without "\r" so far) is therefore held back
// until its end arrives and then goes to the console together with it, as if the read had ended at
// the line feed; meanwhile the log shows it as it would stand if nothing followed. Chunks that end
// with a line feed, and lines that a "\r" segment already carries on, go through unchanged.
class LogStream
{
public:
    // Longer runs of text without "\n" or "\r" are broken, so that one endless line can neither grow
    // the log without bound nor freeze the pane that lays it out.
    static constexpr qsizetype MaxLineChars = 64 * 1024;

    struct Update
    {
        // Something reached the log; edit then applies to its end.
        bool changed = false;
        // The log is to be emptied before the edit applies (the stream was decoded anew).
        bool restart = false;
        LogConsole::Edit edit;
    };

    // A new stream. pendingCr is the "\r" segment carried between chunks (the window's
    // m_sPendingCr), as it stands at the stream's start.
    void reset(OutputDecoder::Encoding encoding, const QString& pendingCr);

    Update append(const QByteArray& bytes, QString& pendingCr);
    // The stream ended: the line held back and a character cut short at the end are shown as they are.
    Update finish(QString& pendingCr);

    // The start of a line held back for its end.
    const QString& heldLine() const { return m_held; }

private:
    void feed(const QString& decoded, QString& pendingCr, Update& update, bool last);
    void apply(const LogConsole::Edit& edit, Update& update);
    QString breakLongRuns(const QString& text);

    OutputDecoder m_decoder;
    LogConsole m_console;
    QString m_held;
    qsizetype m_runLength = 0; // characters since the last "\n" or "\r"
    QString m_startPendingCr;
};
