#pragma once

#include "control/blockheights.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCharFormat>

#include <deque>

// The layout of the log pane's document: plain text whose lines are laid out when they are shown
// rather than when they arrive, as QPlainTextEdit does, but placed in pixels so that it serves a
// QTextEdit. A line not shown yet counts as one line of the default font; lines near the end are
// laid out at once, so the end of the log, where the pane is scrolled to, is always exact.
class LogDocumentLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT

public:
    explicit LogDocumentLayout(QTextDocument* document);

    // The height laid out at the end of the document whenever it changes: the pane's height, so that
    // the end, where the pane is scrolled to, is exact.
    void setEagerHeight(qreal height) { m_eagerHeight = height; }
    // Marks every occurrence of text, case aside, in the lines drawn.
    void setHighlight(const QString& text, const QTextCharFormat& format);

    void draw(QPainter* painter, const PaintContext& context) override;
    int hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override;
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame* frame) const override;
    QRectF blockBoundingRect(const QTextBlock& block) const override;

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    // Lays out a block that is not laid out for the current width; positions change with it.
    void ensureLaidOut(const QTextBlock& block) const;
    void layoutBlock(const QTextBlock& block);
    qreal blockTop(int blockNumber) const;
    void resetAll();
    void estimateHeights(QTextBlock block, int count);
    // Size and position changes found while painting are announced after the paint.
    void announceSizeChange() const;

    BlockHeights m_heights;
    std::deque<char> m_laidOut;
    qreal m_textWidth = -1; // the width lines wrap at; 0 or less: no wrapping
    qreal m_lineHeight = 0; // of a line not laid out yet
    qreal m_maxLineWidth = 0;
    bool m_bSizeChangePending = false;
    qreal m_eagerHeight = 4000;
    QString m_highlight;
    QTextCharFormat m_highlightFormat;
};
