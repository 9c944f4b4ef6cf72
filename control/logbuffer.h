#pragma once

#include "control/logconsole.h"

#include <QString>

#include <deque>

// What the log pane holds, line by line, and what is still to go into it, so that the log stays
// within its limits however long a program prints: the oldest lines are dropped and counted, an
// eighth of the limit at a time, so the log holds between seven eighths of its limit and all of it.
// Output that arrives faster than the pane takes it in waits here; lines that would only be
// dropped again are dropped before they ever reach the pane, so waiting output is bounded too.
//
// Edits of the log's end (LogConsole::Edit) come in; steps that bring the pane up to date go out,
// each small enough to keep the window answering.
class LogBuffer
{
public:
    struct Limits
    {
        qsizetype maxLines = 50000;
        qsizetype maxChars = 32 * 1024 * 1024;
    };

    // How the pane changes, in this order.
    struct Step
    {
        bool clearAll = false;   // everything in the pane goes
        qsizetype keep = 0;      // the last line keeps this many characters
        QString text;            // and this follows it (further lines after each "\n")
        qsizetype dropLines = 0; // then this many lines go from the top
        qsizetype dropChars = 0; // which are this many characters, a line feed after each
        qint64 droppedTotal = 0; // lines dropped since the log was cleared, told at the top when not 0
    };

    void setLimits(const Limits& limits);
    const Limits& limits() const { return m_limits; }

    // An empty log.
    void clear();
    // The pane is emptied before the next edit.
    void restart();
    void add(const LogConsole::Edit& edit);
    // Nothing is waiting and the pane now holds its last line only.
    void forgetLines();

    bool hasPending() const { return m_bPending || m_bClearPane; }
    // At most about maxChars characters and maxLines lines of new text.
    Step takeStep(qsizetype maxChars, qsizetype maxLines);

    // The pane once the steps taken so far are applied.
    qsizetype lineCount() const { return qsizetype(m_lengths.size()); }
    qsizetype charCount() const { return m_chars; }
    qint64 droppedLines() const { return m_dropped; }
    // Characters waiting for the pane.
    qsizetype waitingChars() const { return pendingChars(); }

private:
    qsizetype pendingChars() const { return m_bPending ? m_text.size() - m_offset : 0; }
    // Drops the pane and the first `feeds` lines of the waiting text.
    void dropThroughFeed(qsizetype feeds);
    void boundPending();
    void forgetTaken();

    Limits m_limits;
    std::deque<qsizetype> m_lengths{0}; // of the pane's lines; an empty pane has one empty line
    qsizetype m_chars = 0;              // of the pane's text, line feeds included
    qint64 m_dropped = 0;
    bool m_bClearPane = false;

    // The waiting edit: keep m_keep characters of the pane's last line, then m_text from m_offset.
    bool m_bPending = false;
    qsizetype m_keep = 0;
    QString m_text;
    qsizetype m_offset = 0;
    qsizetype m_feeds = 0; // line feeds in the waiting text
};
