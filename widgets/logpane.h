#pragma once

#include "control/logbuffer.h"
#include "control/logstream.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class LogDocumentLayout;
class QTextEdit;

// Shows a program's output in the window's log pane. Chunks are decoded and applied to the console
// model at once; the pane itself is edited at its end only, and at most every few tens of
// milliseconds, so a program that writes fast costs one layout per interval, not one per chunk.
// The pane keeps the newest lines within the log's limits; a line at its top tells how many older
// ones were dropped.
class LogPane : public QObject
{
    Q_OBJECT

public:
    explicit LogPane(QTextEdit* edit, QObject* parent = nullptr);

    // Empties the pane for a new program whose output is read with `encoding`; pendingCr as it
    // stands when the program starts.
    void clear(OutputDecoder::Encoding encoding = OutputDecoder::Encoding::Auto, const QString& pendingCr = {});
    void setLimits(const LogBuffer::Limits& limits);
    // Output bytes of the program; pendingCr is carried between chunks (see LogConsole).
    void append(const QByteArray& bytes, QString& pendingCr);
    // The program ended: what was held back for the rest of its line is shown as it is.
    void finish(QString& pendingCr);
    // Brings the pane up to date now and scrolls to its end.
    void flush();

    // Empties the pane at the user's wish while the program may go on writing: the line it is
    // writing stays, so that what overwrites it still lands in place.
    void clearShown();
    // The pane follows the end of the log while the user has not scrolled up to earlier lines.
    bool isFollowing() const { return m_bFollow; }
    // Every occurrence of text (case aside) is marked; empty marks nothing.
    void setHighlight(const QString& text);
    void setLineWrap(bool on);
    QTextEdit* edit() const { return m_pEdit; }

    // Output is waiting to be shown.
    bool hasPending() const { return m_buffer.hasPending(); }
    qint64 droppedLines() const { return m_buffer.droppedLines(); }
    // The text of the line at the top that tells how many lines were dropped.
    static QString droppedNote(qint64 lines);

signals:
    void followingChanged(bool following);

private:
    void scrolled(int value);
    void setFollowing(bool following);
    // Takes in at most a slice of the gathered output; the rest follows on the next pass.
    void flushSome();
    void take(const LogStream::Update& update);
    // Returns the height that left the top of the pane.
    qreal applyStep(const LogBuffer::Step& step);
    // The text with its line feeds, but those that close a block, turned into line separators; the
    // last block holds blockLines lines of blockChars characters so far.
    static QString packLines(const QString& text, int blockLines, int blockChars);

    QTextEdit* m_pEdit;
    LogDocumentLayout* m_pLayout;
    LogStream m_stream;
    LogBuffer m_buffer;
    qint64 m_nNoted = 0; // the count the note at the top tells; 0: there is no note
    QTimer m_flushTimer;
    QElapsedTimer m_sinceFlush;
    bool m_bFollow = true;
    bool m_bScrolling = false; // the pane scrolls itself; the user did not move it
};
