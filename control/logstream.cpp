#include "control/logstream.h"

namespace
{
constexpr QChar LineFeed = u'\n';
constexpr QChar CarriageReturn = u'\r';
} // namespace

void LogStream::reset(OutputDecoder::Encoding encoding, const QString& pendingCr)
{
    m_decoder.reset(encoding);
    m_console.clear();
    m_held.clear();
    m_runLength = 0;
    m_startPendingCr = pendingCr;
}

QString LogStream::breakLongRuns(const QString& text)
{
    QString result;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == LineFeed || c == CarriageReturn) {
            m_runLength = 0;
            continue;
        }
        if (m_runLength == MaxLineChars) {
            // A surrogate pair stays whole, on the next line.
            const qsizetype cut = i > copied && text.at(i - 1).isHighSurrogate() && c.isLowSurrogate() ? i - 1 : i;
            result += QStringView(text).mid(copied, cut - copied);
            result += LineFeed;
            copied = cut;
            m_runLength = i - cut;
        }
        ++m_runLength;
    }
    if (copied == 0)
        return text;
    result += QStringView(text).mid(copied);
    return result;
}

void LogStream::apply(const LogConsole::Edit& edit, Update& update)
{
    if (update.changed) {
        update.edit.then(edit);
    } else {
        update.edit = edit;
        update.changed = true;
    }
}

void LogStream::feed(const QString& decoded, QString& pendingCr, Update& update, bool last)
{
    if (decoded.isEmpty() && (!last || m_held.isEmpty()))
        return;
    const QString text = m_held + breakLongRuns(decoded);
    if (!m_held.isEmpty()) {
        // The held line shown last time gives way to the console's last line again.
        apply(LogConsole::Edit{0, m_console.lastLine()}, update);
        m_held.clear();
    }

    // A line that neither a pending segment continues nor a "\r" of its own has made a console line
    // yet must not reach the console before its end.
    qsizetype complete = text.size();
    if (!last) {
        const qsizetype lineStart = text.lastIndexOf(LineFeed) + 1;
        const bool continued = lineStart == 0 && !pendingCr.isEmpty();
        if (!continued && text.indexOf(CarriageReturn, lineStart) < 0)
            complete = lineStart;
    }
    if (complete > 0)
        apply(m_console.append(complete == text.size() ? text : text.left(complete), pendingCr), update);
    if (complete == text.size())
        return;

    // Shown as it would stand if the program wrote nothing more; the next chunk replaces it.
    m_held = text.mid(complete);
    LogConsole shown = m_console;
    QString shownPendingCr = pendingCr;
    apply(shown.append(m_held, shownPendingCr), update);
}

LogStream::Update LogStream::append(const QByteArray& bytes, QString& pendingCr)
{
    const OutputDecoder::Decoded decoded = m_decoder.decode(bytes);
    Update update;
    if (decoded.restart) {
        // Everything is applied again to the empty log, chunk by chunk as it arrived.
        update.restart = true;
        update.changed = true;
        m_console.clear();
        m_held.clear();
        m_runLength = 0;
        pendingCr = m_startPendingCr;
        for (const QString& earlier : decoded.earlier)
            feed(earlier, pendingCr, update, false);
    }
    feed(decoded.text, pendingCr, update, false);
    return update;
}

LogStream::Update LogStream::finish(QString& pendingCr)
{
    Update update;
    feed(m_decoder.finish(), pendingCr, update, true);
    return update;
}
