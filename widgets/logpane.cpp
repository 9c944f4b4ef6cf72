#include "widgets/logpane.h"

#include "widgets/logdocumentlayout.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace
{
// Long enough to gather a fast program's chunks into one layout, short enough to look immediate.
constexpr qint64 FlushIntervalMs = 40;
// At most this much goes into the pane at once, so that the window keeps answering while a burst of
// output is taken in; every line costs a text block, whatever its length.
constexpr qsizetype MaxFlushChars = 256 * 1024;
constexpr qsizetype MaxFlushLines = 4000;
// Lines that share a text block: few enough that the block at the end, laid out again whenever
// output arrives, stays cheap.
constexpr int MaxBlockLines = 32;
constexpr int MaxBlockChars = 4096;
constexpr QChar LineFeed = u'\n';
} // namespace

LogPane::LogPane(QTextEdit* edit, QObject* parent) : QObject(parent), m_pEdit(edit)
{
    // A log of many megabytes must not also be kept as undo steps, nor laid out where nobody looks.
    m_pEdit->setUndoRedoEnabled(false);
    m_pLayout = new LogDocumentLayout(m_pEdit->document());
    m_pEdit->document()->setDocumentLayout(m_pLayout);
    connect(m_pEdit->verticalScrollBar(), &QScrollBar::valueChanged, this, &LogPane::scrolled);
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &LogPane::flushSome);
    m_sinceFlush.start();
}

QString LogPane::droppedNote(qint64 lines)
{
    return tr("… пропущено строк: %1 …").arg(lines);
}

void LogPane::clear(OutputDecoder::Encoding encoding, const QString& pendingCr)
{
    m_flushTimer.stop();
    m_stream.reset(encoding, pendingCr);
    m_buffer.clear();
    m_nNoted = 0;
    m_pEdit->setPlainText(QString());
    setFollowing(true);
}

void LogPane::clearShown()
{
    flush();
    m_buffer.forgetLines();
    QTextDocument* document = m_pEdit->document();
    const QTextBlock last = document->lastBlock();
    QTextCursor top(document);
    top.setPosition(last.position() + int(last.text().lastIndexOf(QChar::LineSeparator) + 1), QTextCursor::KeepAnchor);
    top.removeSelectedText();
    m_nNoted = 0;
    setFollowing(true);
}

void LogPane::setHighlight(const QString& text)
{
    QTextCharFormat format;
    format.setBackground(QColor(255, 230, 120));
    format.setForeground(Qt::black);
    m_pLayout->setHighlight(text, format);
    m_pEdit->viewport()->update();
}

void LogPane::setLineWrap(bool on)
{
    m_pEdit->setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void LogPane::scrolled(int value)
{
    if (!m_bScrolling)
        setFollowing(value >= m_pEdit->verticalScrollBar()->maximum());
}

void LogPane::setFollowing(bool following)
{
    if (following == m_bFollow)
        return;
    m_bFollow = following;
    emit followingChanged(following);
}

void LogPane::setLimits(const LogBuffer::Limits& limits)
{
    m_buffer.setLimits(limits);
}

void LogPane::append(const QByteArray& bytes, QString& pendingCr)
{
    take(m_stream.append(bytes, pendingCr));
}

void LogPane::finish(QString& pendingCr)
{
    take(m_stream.finish(pendingCr));
}

void LogPane::take(const LogStream::Update& update)
{
    if (!update.changed)
        return;
    if (update.restart)
        m_buffer.restart();
    m_buffer.add(update.edit);
    if (!m_flushTimer.isActive())
        m_flushTimer.start(int(qMax<qint64>(0, FlushIntervalMs - m_sinceFlush.elapsed())));
}

void LogPane::flush()
{
    while (m_buffer.hasPending())
        flushSome();
    m_flushTimer.stop();
}

void LogPane::flushSome()
{
    m_flushTimer.stop();
    if (!m_buffer.hasPending())
        return;
    m_pLayout->setEagerHeight(m_pEdit->viewport()->height());
    QScrollBar* bar = m_pEdit->verticalScrollBar();
    const int shownFrom = bar->value();
    const qreal gone = applyStep(m_buffer.takeStep(MaxFlushChars, MaxFlushLines));
    if (m_buffer.hasPending())
        m_flushTimer.start(0);
    m_bScrolling = true;
    if (m_bFollow) {
        // A selection the user is making at the end stays.
        if (!m_pEdit->textCursor().hasSelection())
            m_pEdit->moveCursor(QTextCursor::End);
        bar->setValue(bar->maximum());
    } else {
        // The lines the user is reading stay where they are while older ones leave the top.
        bar->setValue(shownFrom - qRound(gone));
    }
    m_bScrolling = false;
    m_sinceFlush.restart();
}

QString LogPane::packLines(const QString& text, int blockLines, int blockChars)
{
    // A text block costs far more to insert than a character, so lines share blocks, parted by line
    // separators that the pane's plain text shows as line feeds.
    QString packed = text;
    qsizetype lineStart = 0;
    for (qsizetype i = packed.indexOf(LineFeed); i >= 0; i = packed.indexOf(LineFeed, i + 1)) {
        blockChars += int(i - lineStart) + 1;
        lineStart = i + 1;
        if (++blockLines < MaxBlockLines && blockChars < MaxBlockChars) {
            packed[i] = QChar::LineSeparator;
        } else {
            blockLines = 1;
            blockChars = 0;
        }
    }
    return packed;
}

qreal LogPane::applyStep(const LogBuffer::Step& step)
{
    // The pane holds the note about dropped lines, when there is one, as a block of its own, then the
    // lines of the log; the last of them is the console's last line.
    QTextDocument* document = m_pEdit->document();
    if (step.clearAll) {
        QTextCursor all(document);
        all.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        all.removeSelectedText();
        m_nNoted = 0;
    }

    const QTextBlock last = document->lastBlock();
    const QString lastText = last.text();
    const qsizetype lineStart = lastText.lastIndexOf(QChar::LineSeparator) + 1;
    const qsizetype kept = qMin(step.keep, lastText.size() - lineStart);
    QTextCursor end(document);
    end.setPosition(last.position() + int(lineStart + kept));
    end.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    end.insertText(
        packLines(step.text, int(lastText.left(lineStart).count(QChar::LineSeparator)) + 1, int(lineStart + kept)),
        QTextCharFormat());

    // The dropped lines and the old note give way to the new note in one edit of the top.
    if (step.dropLines == 0 && step.droppedTotal == m_nNoted)
        return 0;
    const qreal heightBefore = m_pLayout->documentSize().height();
    const int noteEnd = m_nNoted > 0 ? document->firstBlock().length() : 0;
    QTextCursor top(document);
    top.setPosition(noteEnd + int(step.dropChars), QTextCursor::KeepAnchor);
    QTextCharFormat noteFormat;
    noteFormat.setForeground(m_pEdit->palette().color(QPalette::Disabled, QPalette::Text));
    noteFormat.setFontItalic(true);
    top.insertText(droppedNote(step.droppedTotal) + LineFeed, noteFormat);
    m_nNoted = step.droppedTotal;
    return heightBefore - m_pLayout->documentSize().height();
}
