#include "control/logpane.h"

#include "control/logdocumentlayout.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace
{
// Long enough to gather a fast program's chunks into one layout, short enough to look immediate.
constexpr qint64 FlushIntervalMs = 40;
// At most this much text goes into the pane at once, so that the window keeps answering while a
// burst of output is taken in.
constexpr qsizetype MaxFlushChars = 512 * 1024;
} // namespace

LogPane::LogPane(QTextEdit* edit, QObject* parent) : QObject(parent), m_pEdit(edit)
{
    // A log of many megabytes must not also be kept as undo steps, nor laid out where nobody looks.
    m_pEdit->setUndoRedoEnabled(false);
    m_pEdit->document()->setDocumentLayout(new LogDocumentLayout(m_pEdit->document()));
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &LogPane::flushSome);
    m_sinceFlush.start();
}

void LogPane::clear()
{
    m_flushTimer.stop();
    m_bPending = false;
    m_pending = LogConsole::Edit();
    m_console.clear();
    m_decoder.reset();
    m_pEdit->setPlainText(QString());
}

void LogPane::append(const QByteArray& bytes, QString& pendingCr)
{
    appendText(m_decoder.decode(bytes), pendingCr);
}

void LogPane::finish(QString& pendingCr)
{
    appendText(m_decoder.finish(), pendingCr);
}

void LogPane::appendText(const QString& text, QString& pendingCr)
{
    // Bytes held back for a character's next chunk are not output yet; an empty chunk would
    // wipe the last line.
    if (text.isEmpty())
        return;
    const LogConsole::Edit edit = m_console.append(text, pendingCr);
    if (m_bPending) {
        m_pending.then(edit);
    } else {
        m_pending = edit;
        m_bPending = true;
    }
    if (!m_flushTimer.isActive())
        m_flushTimer.start(int(qMax<qint64>(0, FlushIntervalMs - m_sinceFlush.elapsed())));
}

void LogPane::flush()
{
    while (m_bPending)
        flushSome();
    m_flushTimer.stop();
}

void LogPane::flushSome()
{
    m_flushTimer.stop();
    if (!m_bPending)
        return;
    LogConsole::Edit now;
    if (m_pending.text.size() > MaxFlushChars) {
        // The first part ends after a line feed if it can; the rest continues the line it ends with.
        qsizetype cut = m_pending.text.lastIndexOf(QLatin1Char('\n'), MaxFlushChars - 1) + 1;
        if (cut <= 0) {
            cut = MaxFlushChars;
            if (m_pending.text.at(cut - 1).isHighSurrogate())
                --cut;
        }
        now.keep = m_pending.keep;
        now.text = m_pending.text.left(cut);
        const qsizetype lastFeed = now.text.lastIndexOf(QLatin1Char('\n'));
        m_pending.keep = lastFeed < 0 ? m_pending.keep + cut : cut - lastFeed - 1;
        m_pending.text.remove(0, cut);
        m_flushTimer.start(0);
    } else {
        now = std::move(m_pending);
        m_pending = LogConsole::Edit();
        m_bPending = false;
    }

    QTextDocument* document = m_pEdit->document();
    QTextCursor cursor(document);
    const QTextBlock last = document->lastBlock();
    cursor.setPosition(last.position() + int(qMin<qsizetype>(now.keep, last.length() - 1)));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.insertText(now.text);
    m_pEdit->moveCursor(QTextCursor::End);
    m_sinceFlush.restart();
}
