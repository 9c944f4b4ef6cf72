#include "widgets/logdocumentlayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <climits>

namespace
{
// Enough blocks to fill a tall pane at its end, however short its lines.
constexpr int EagerTailBlocks = 200;
} // namespace

LogDocumentLayout::LogDocumentLayout(QTextDocument* document) : QAbstractTextDocumentLayout(document)
{
    // Read by QTextEdit: without it, "no wrap" would still wrap at the pane's width.
    setProperty("contentHasAlignment", false);
    resetAll();
}

void LogDocumentLayout::resetAll()
{
    const QTextDocument* doc = document();
    m_textWidth = doc->textWidth();
    m_lineHeight = QFontMetricsF(doc->defaultFont()).lineSpacing();
    m_maxLineWidth = 0;
    m_heights.reset(doc->blockCount(), m_lineHeight);
    m_laidOut.assign(size_t(doc->blockCount()), 0);
    estimateHeights(doc->firstBlock(), doc->blockCount());
}

void LogDocumentLayout::estimateHeights(QTextBlock block, int count)
{
    // A block not laid out yet counts as its lines, one line of the default font each.
    for (int i = 0; i < count && block.isValid(); ++i, block = block.next()) {
        const qsizetype lines = block.text().count(QChar::LineSeparator) + 1;
        if (lines > 1)
            m_heights.set(block.blockNumber(), qreal(lines) * m_lineHeight);
    }
}

qreal LogDocumentLayout::blockTop(int blockNumber) const
{
    return document()->documentMargin() + m_heights.top(blockNumber);
}

void LogDocumentLayout::layoutBlock(const QTextBlock& block)
{
    const int number = block.blockNumber();
    if (number < 0 || number >= m_heights.size())
        return;
    const QTextDocument* doc = document();
    const qreal margin = doc->documentMargin();
    QTextOption option = doc->defaultTextOption();
    if (m_textWidth <= 0)
        option.setWrapMode(QTextOption::NoWrap);
    const qreal available = m_textWidth > 0 ? qMax<qreal>(0, m_textWidth - 2 * margin) : qreal(INT_MAX);

    QTextLayout* layout = block.layout();
    layout->setTextOption(option);
    qreal height = 0;
    layout->beginLayout();
    for (;;) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        line.setLineWidth(available);
        line.setPosition(QPointF(margin, height));
        height += line.height();
        m_maxLineWidth = qMax(m_maxLineWidth, line.naturalTextWidth());
    }
    layout->endLayout();
    m_laidOut[size_t(number)] = 1;
    m_heights.set(number, height > 0 ? height : m_lineHeight);
}

void LogDocumentLayout::ensureLaidOut(const QTextBlock& block) const
{
    const int number = block.blockNumber();
    if (number < 0 || number >= m_heights.size() || m_laidOut[size_t(number)])
        return;
    auto* self = const_cast<LogDocumentLayout*>(this);
    const QSizeF before = documentSize();
    self->layoutBlock(block);
    if (documentSize() != before)
        announceSizeChange();
}

void LogDocumentLayout::announceSizeChange() const
{
    if (m_bSizeChangePending)
        return;
    auto* self = const_cast<LogDocumentLayout*>(this);
    self->m_bSizeChangePending = true;
    QMetaObject::invokeMethod(
        self,
        [self] {
            self->m_bSizeChangePending = false;
            emit self->documentSizeChanged(self->documentSize());
            emit self->update();
        },
        Qt::QueuedConnection);
}

void LogDocumentLayout::documentChanged(int from, int, int charsAdded)
{
    QTextDocument* doc = document();
    const QSizeF before = documentSize();
    const int newCount = doc->blockCount();
    int first = 0;
    if (doc->textWidth() != m_textWidth || QFontMetricsF(doc->defaultFont()).lineSpacing() != m_lineHeight) {
        resetAll();
    } else {
        // Blocks before the change and after the block where the inserted text ends keep their
        // layout; the ones between count as one line each until they are shown. Lines dropped from
        // the top of a long log cost as little as lines added at its end.
        const int oldCount = m_heights.size();
        first = qBound(0, doc->findBlock(from).blockNumber(), qMin(oldCount, newCount - 1));
        int last = doc->findBlock(from + charsAdded).blockNumber();
        if (last < first)
            last = newCount - 1;
        const int tail = qMax(0, qMin(newCount - 1 - last, oldCount - first));
        const int removed = oldCount - tail - first;
        const int inserted = newCount - tail - first;
        m_heights.replace(first, removed, inserted, m_lineHeight);
        const auto at = m_laidOut.begin() + first;
        m_laidOut.insert(m_laidOut.erase(at, at + removed), size_t(inserted), 0);
        estimateHeights(doc->findBlockByNumber(first), inserted);
    }
    // From the end up: long lines wrap into many, and laying out more than the pane shows costs time
    // whenever output arrives.
    qreal height = 0;
    int count = 0;
    for (QTextBlock block = doc->lastBlock();
         block.isValid() && block.blockNumber() >= first && count < EagerTailBlocks && height < m_eagerHeight;
         block = block.previous(), ++count) {
        if (!m_laidOut[size_t(block.blockNumber())])
            layoutBlock(block);
        height += m_heights.at(block.blockNumber());
    }
    if (documentSize() != before)
        emit documentSizeChanged(documentSize());
    emit update();
}

void LogDocumentLayout::setHighlight(const QString& text, const QTextCharFormat& format)
{
    m_highlight = text;
    m_highlightFormat = format;
}

void LogDocumentLayout::draw(QPainter* painter, const PaintContext& context)
{
    const QTextDocument* doc = document();
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(QPointF(0, 0), documentSize());
    const QVariant cursorWidthProperty = property("cursorWidth");
    const int cursorWidth = cursorWidthProperty.isValid() ? cursorWidthProperty.toInt() : 1;
    painter->setPen(context.palette.color(QPalette::Text));

    const int firstNumber = m_heights.indexAt(clip.top() - doc->documentMargin());
    for (QTextBlock block = doc->findBlockByNumber(qMax(0, firstNumber)); block.isValid(); block = block.next()) {
        ensureLaidOut(block);
        const qreal top = blockTop(block.blockNumber());
        if (top > clip.bottom())
            break;
        const int position = block.position();
        const int length = block.length();
        QList<QTextLayout::FormatRange> selections;
        if (!m_highlight.isEmpty()) {
            const QString text = block.text();
            for (qsizetype at = text.indexOf(m_highlight, 0, Qt::CaseInsensitive); at >= 0;
                 at = text.indexOf(m_highlight, at + m_highlight.size(), Qt::CaseInsensitive))
                selections.append({int(at), int(m_highlight.size()), m_highlightFormat});
        }
        for (const Selection& selection : context.selections) {
            const int start = qMax(0, selection.cursor.selectionStart() - position);
            const int end = qMin(length, selection.cursor.selectionEnd() - position);
            if (end > start) {
                QTextLayout::FormatRange range;
                range.start = start;
                range.length = end - start;
                range.format = selection.format;
                selections.append(range);
            }
        }
        const QPointF offset(0, top);
        QTextLayout* layout = block.layout();
        layout->draw(painter, offset, selections, clip);
        if (context.cursorPosition >= position && context.cursorPosition < position + length)
            layout->drawCursor(painter, offset, context.cursorPosition - position, cursorWidth);
    }
}

int LogDocumentLayout::hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const
{
    const int number = m_heights.indexAt(point.y() - document()->documentMargin());
    if (number < 0)
        return -1;
    const QTextBlock block = document()->findBlockByNumber(number);
    ensureLaidOut(block);
    const QTextLayout* layout = block.layout();
    const qreal y = point.y() - blockTop(number);
    QTextLine line;
    for (int i = 0; i < layout->lineCount(); ++i) {
        line = layout->lineAt(i);
        if (y < line.y() + line.height())
            break;
    }
    if (!line.isValid())
        return accuracy == Qt::ExactHit ? -1 : block.position();
    if (accuracy == Qt::ExactHit && (y < 0 || y >= line.y() + line.height() || point.x() < line.x() ||
                                     point.x() > line.x() + line.naturalTextWidth()))
        return -1;
    return block.position() + line.xToCursor(point.x());
}

int LogDocumentLayout::pageCount() const
{
    return 1;
}

QSizeF LogDocumentLayout::documentSize() const
{
    const qreal margin = document()->documentMargin();
    const qreal width = m_textWidth > 0 ? m_textWidth : m_maxLineWidth + 2 * margin;
    return QSizeF(width, m_heights.total() + 2 * margin);
}

QRectF LogDocumentLayout::frameBoundingRect(QTextFrame*) const
{
    return QRectF(QPointF(0, 0), documentSize());
}

QRectF LogDocumentLayout::blockBoundingRect(const QTextBlock& block) const
{
    const int number = block.blockNumber();
    if (number < 0 || number >= m_heights.size())
        return QRectF();
    ensureLaidOut(block);
    return QRectF(0, blockTop(number), documentSize().width(), m_heights.at(number));
}
