#pragma once

#include <QString>

// The log pane as a console: "\n" ends a line, "\r" returns to the start of the line so that what
// follows overwrites it. Only the last line of the log can change, so the model keeps just that
// line and reports each change as an edit of the log's end; the pane's cost per chunk does not grow
// with the length of the log.
//
// The rules, for a chunk of output arriving while the log ends with its last line L:
//  - the chunk's first line continues L only when the previous chunk left a "\r" segment pending
//    (pendingCr); otherwise the chunk's first line replaces L;
//  - in each line of the chunk every "\r" segment overwrites the start of the line, and the last
//    such segment becomes pendingCr for the next chunk.
class LogConsole
{
public:
    // An edit of the log's end: keep the first `keep` characters of the last line, drop everything
    // after them, then append `text` (which may hold further lines).
    struct Edit
    {
        qsizetype keep = 0;
        QString text;

        // This edit followed by next, as one edit of the same log.
        void then(const Edit& next);
    };

    // Applies one chunk of decoded output. pendingCr is the "\r" segment carried between chunks
    // (the window's m_sPendingCr); it is read and replaced.
    Edit append(const QString& chunk, QString& pendingCr);

    // The log was emptied.
    void clear() { m_lastLine.clear(); }

    const QString& lastLine() const { return m_lastLine; }

private:
    QString m_lastLine;
};
