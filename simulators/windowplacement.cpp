#include "simulators/windowplacement.h"

#include <QList>
#include <QStringList>

namespace WindowPlacement
{
QRect parseFrame(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return {};
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok)
            return {};
    }
    const QRect frame(numbers[0], numbers[1], numbers[2], numbers[3]);
    return frame.width() > 0 && frame.height() > 0 ? frame : QRect();
}

QRect besideEditor(const QRect& editor, const QRect& area, const QSize& preferred, const QSize& minimum)
{
    const QSize most = preferred.boundedTo(area.size());
    const QRect atRightEdge(QPoint(area.right() - most.width() + 1, area.top()), most);
    if (!editor.isValid() || !area.intersects(editor))
        return atRightEdge;

    // In line with the editor's top or left edge, as far as the area allows.
    const auto top = [&](int height) { return qBound(area.top(), editor.top(), area.bottom() - height + 1); };
    const auto left = [&](int width) { return qBound(area.left(), editor.left(), area.right() - width + 1); };
    const int rightRoom = area.right() - editor.right();
    const int leftRoom = editor.left() - area.left();
    const int belowRoom = area.bottom() - editor.bottom();
    const int aboveRoom = editor.top() - area.top();

    QList<QRect> sides;
    if (rightRoom > 0) {
        const QSize size(qMin(most.width(), rightRoom), most.height());
        sides << QRect(QPoint(editor.right() + 1, top(size.height())), size);
    }
    if (leftRoom > 0) {
        const QSize size(qMin(most.width(), leftRoom), most.height());
        sides << QRect(QPoint(editor.left() - size.width(), top(size.height())), size);
    }
    if (belowRoom > 0) {
        const QSize size(most.width(), qMin(most.height(), belowRoom));
        sides << QRect(QPoint(left(size.width()), editor.bottom() + 1), size);
    }
    if (aboveRoom > 0) {
        const QSize size(most.width(), qMin(most.height(), aboveRoom));
        sides << QRect(QPoint(left(size.width()), editor.top() - size.height()), size);
    }

    QRect best;
    qint64 bestArea = 0;
    for (const QRect& side : std::as_const(sides)) {
        const qint64 sideArea = qint64(side.width()) * side.height();
        if (side.width() >= minimum.width() && side.height() >= minimum.height() && sideArea > bestArea) {
            best = side;
            bestArea = sideArea;
        }
    }
    return best.isValid() ? best : atRightEdge;
}
} // namespace WindowPlacement
