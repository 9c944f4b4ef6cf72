#include "control/logconsole.h"

#include <algorithm>

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

namespace
{
// The console's last line being written: characters go to the write position, which a "\r" sets back
// to the start of the line, so that what follows overwrites what stands there.
struct LineWriter
{
    QString out;
    qsizetype lineStart = 0;
    qsizetype pos = 0;
    bool lineHasCr = false;

    void write(QStringView run)
    {
        const qsizetype overwrite = qMin(run.size(), out.size() - pos);
        if (overwrite > 0)
            std::copy_n(run.data(), overwrite, out.data() + pos);
        if (overwrite < run.size())
            out.append(run.mid(overwrite));
        pos += run.size();
    }

    void endLine(QString& pendingCr)
    {
        // The last "\r" segment of the line stands at its start, as it overwrote it.
        if (lineHasCr) {
            pendingCr = CarriageReturn;
            pendingCr += QStringView(out).mid(lineStart, pos - lineStart);
        }
    }

    // Runs of ordinary characters are copied whole; plain maps what a text document would take for a
    // line break or a no-break space.
    void feed(QStringView text, QString& pendingCr, bool plain)
    {
        qsizetype run = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            char16_t c = text[i].unicode();
            if (c >= u' ' && c < 0xA0)
                continue;
            if (plain) {
                if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator || c == 0xFDD0 || c == 0xFDD1)
                    c = LineFeed.unicode();
                else if (c == QChar::Nbsp)
                    c = u' ';
            }
            if (c != LineFeed && c != CarriageReturn && c == text[i].unicode())
                continue;
            write(text.mid(run, i - run));
            run = i + 1;
            if (c == LineFeed) {
                endLine(pendingCr);
                // A line feed ends the line wherever the write position stands.
                out.append(LineFeed);
                lineStart = pos = out.size();
                lineHasCr = false;
            } else if (c == CarriageReturn) {
                pos = lineStart;
                lineHasCr = true;
            } else {
                write(QStringView(&c, 1));
            }
        }
        write(text.mid(run));
    }
};
} // namespace

LogConsole::Edit LogConsole::append(const QString& chunk, QString& pendingCr)
{
    // A pending segment continues the last line; otherwise the chunk's first line replaces it.
    LineWriter writer;
    const QString carried = pendingCr;
    pendingCr.clear();
    writer.out.reserve((carried.isEmpty() ? 0 : m_lastLine.size() + carried.size()) + chunk.size());
    if (!carried.isEmpty()) {
        writer.out = m_lastLine;
        writer.pos = writer.out.size();
        writer.feed(carried, pendingCr, false);
    }
    writer.feed(chunk, pendingCr, true);
    writer.endLine(pendingCr);

    // The last line is replaced by the text written; what both begin with stays in place.
    Edit edit;
    const qsizetype common = qMin(m_lastLine.size(), writer.out.size());
    while (edit.keep < common && m_lastLine.at(edit.keep) == writer.out.at(edit.keep))
        ++edit.keep;
    m_lastLine = writer.out.mid(writer.lineStart);
    edit.text = std::move(writer.out);
    edit.text.remove(0, edit.keep);
    return edit;
}
