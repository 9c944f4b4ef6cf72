#include "control/logconsole.h"

#include <QStringList>

namespace
{
constexpr QChar LineFeed = u'\n';
constexpr QChar CarriageReturn = u'\r';
} // namespace

void LogConsole::Edit::then(const Edit& next)
{
    // Where the last line starts once this edit is applied, counted from the start of the last
    // line before it.
    const qsizetype lastFeed = text.lastIndexOf(LineFeed);
    const qsizetype lineStart = lastFeed < 0 ? 0 : keep + lastFeed + 1;
    const qsizetype cut = lineStart + next.keep;
    if (cut >= keep) {
        text.truncate(cut - keep);
        text += next.text;
    } else {
        keep = cut;
        text = next.text;
    }
}

QString LogConsole::plainChunk(const QString& chunk)
{
    QString plain = chunk;
    for (QChar& c : plain) {
        switch (c.unicode()) {
        case QChar::LineSeparator:
        case QChar::ParagraphSeparator:
        case 0xFDD0: // frame start of a text document
        case 0xFDD1: // frame end
            c = LineFeed;
            break;
        case QChar::Nbsp:
            c = u' ';
            break;
        default:
            break;
        }
    }
    return plain;
}

QString LogConsole::overwriteLine(const QString& line, QString& pendingCr)
{
    qsizetype cr = line.indexOf(CarriageReturn);
    if (cr < 0)
        return line;
    QString result = line.left(cr);
    while (cr >= 0) {
        const qsizetype next = line.indexOf(CarriageReturn, cr + 1);
        const QString segment = line.mid(cr + 1, next < 0 ? -1 : next - cr - 1);
        result.replace(0, qMin(segment.size(), result.size()), segment);
        pendingCr = CarriageReturn + segment;
        cr = next;
    }
    return result;
}

LogConsole::Edit LogConsole::append(const QString& chunk, QString& pendingCr)
{
    QStringList lines = plainChunk(chunk).split(LineFeed);
    if (!pendingCr.isEmpty())
        lines.first() = m_lastLine + pendingCr + lines.first();
    pendingCr.clear();
    for (QString& line : lines)
        line = overwriteLine(line, pendingCr);
    const QString joined = lines.join(LineFeed);

    // The last line is replaced by joined; what both begin with stays in place.
    Edit edit;
    const qsizetype common = qMin(m_lastLine.size(), joined.size());
    while (edit.keep < common && m_lastLine.at(edit.keep) == joined.at(edit.keep))
        ++edit.keep;
    edit.text = joined.mid(edit.keep);
    m_lastLine = lines.last();
    return edit;
}
