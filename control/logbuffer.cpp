#include "control/logbuffer.h"

#include <algorithm>

namespace
{
constexpr QChar LineFeed = u'\n';

qsizetype countFeeds(QStringView text)
{
    return text.count(LineFeed);
}
} // namespace

void LogBuffer::setLimits(const Limits& limits)
{
    m_limits.maxLines = qMax<qsizetype>(1, limits.maxLines);
    m_limits.maxChars = qMax<qsizetype>(1, limits.maxChars);
    boundPending();
}

void LogBuffer::clear()
{
    m_lengths.assign(1, 0);
    m_chars = 0;
    m_dropped = 0;
    m_bClearPane = false;
    m_bPending = false;
    m_text.clear();
    m_offset = 0;
    m_keep = 0;
    m_feeds = 0;
}

void LogBuffer::restart()
{
    clear();
    m_bClearPane = true;
}

void LogBuffer::forgetLines()
{
    m_lengths.assign(1, m_lengths.back());
    m_chars = m_lengths.back();
    m_dropped = 0;
}

void LogBuffer::add(const LogConsole::Edit& edit)
{
    if (!m_bPending) {
        m_bPending = true;
        m_keep = edit.keep;
        m_text = edit.text;
        m_offset = 0;
        m_feeds = countFeeds(m_text);
    } else {
        // As LogConsole::Edit::then(), on the waiting text from m_offset.
        const qsizetype lastFeed = m_text.lastIndexOf(LineFeed);
        const qsizetype lineStart = lastFeed < m_offset ? 0 : m_keep + (lastFeed - m_offset) + 1;
        const qsizetype cut = lineStart + edit.keep;
        if (cut >= m_keep) {
            m_text.truncate(m_offset + cut - m_keep);
            m_text += edit.text;
            m_feeds += countFeeds(edit.text);
        } else {
            m_keep = cut;
            m_text = edit.text;
            m_offset = 0;
            m_feeds = countFeeds(m_text);
        }
    }
    boundPending();
}

void LogBuffer::dropThroughFeed(qsizetype feeds)
{
    qsizetype position = m_offset - 1;
    for (qsizetype i = 0; i < feeds; ++i)
        position = m_text.indexOf(LineFeed, position + 1);
    // The pane's lines, the last of them continued by the first waiting line, and the waiting lines
    // up to that feed.
    m_dropped += lineCount() + feeds - 1;
    m_lengths.assign(1, 0);
    m_chars = 0;
    m_bClearPane = true;
    m_keep = 0;
    m_offset = position + 1;
    m_feeds -= feeds;
    forgetTaken();
}

void LogBuffer::forgetTaken()
{
    // Text before the offset is only kept while it is cheaper than moving the rest.
    if (m_offset > m_text.size() / 2) {
        m_text.remove(0, m_offset);
        m_offset = 0;
    }
}

void LogBuffer::boundPending()
{
    if (!m_bPending)
        return;
    // Lines that would leave no room for anything else in the log need never reach the pane.
    qsizetype feeds = m_feeds >= m_limits.maxLines ? m_feeds - m_limits.maxLines + 1 : 0;
    if (pendingChars() > m_limits.maxChars) {
        const qsizetype from = qMax(m_offset, m_text.size() - m_limits.maxChars - 1);
        const qsizetype feed = m_text.indexOf(LineFeed, from);
        if (feed >= 0)
            feeds = qMax(feeds, countFeeds(QStringView(m_text).mid(m_offset, feed + 1 - m_offset)));
    }
    if (feeds > 0)
        dropThroughFeed(feeds);
}

LogBuffer::Step LogBuffer::takeStep(qsizetype maxChars, qsizetype maxLines)
{
    Step step;
    step.clearAll = m_bClearPane;
    m_bClearPane = false;

    if (m_bPending) {
        // The slice ends after a line feed where it can; otherwise it is cut inside a line.
        const qsizetype available = m_text.size() - m_offset;
        qsizetype length = available;
        qsizetype sliceFeeds = m_feeds;
        if (available > maxChars || m_feeds > maxLines) {
            sliceFeeds = 0;
            qsizetype afterFeed = 0;
            const qsizetype limit = qMin(available, maxChars);
            for (qsizetype i = 0; i < limit && sliceFeeds < maxLines; ++i) {
                if (m_text.at(m_offset + i) == LineFeed) {
                    ++sliceFeeds;
                    afterFeed = i + 1;
                }
            }
            length = afterFeed;
            if (length == 0) {
                length = limit;
                if (m_text.at(m_offset + length - 1).isHighSurrogate())
                    --length;
            }
        }
        step.keep = m_keep;
        step.text = m_text.mid(m_offset, length);

        // The pane's lines after the slice.
        qsizetype start = 0;
        qsizetype& last = m_lengths.back();
        const qsizetype kept = qMin(m_keep, last);
        m_chars -= last - kept;
        for (;;) {
            const qsizetype feed = step.text.indexOf(LineFeed, start);
            const qsizetype lineLength = (feed < 0 ? step.text.size() : feed) - start;
            m_chars += lineLength;
            if (start == 0)
                m_lengths.back() = kept + lineLength;
            else
                m_lengths.push_back(lineLength);
            if (feed < 0)
                break;
            ++m_chars;
            start = feed + 1;
        }

        m_offset += length;
        m_feeds -= sliceFeeds;
        const qsizetype lastFeed = step.text.lastIndexOf(LineFeed);
        m_keep = lastFeed < 0 ? kept + length : length - lastFeed - 1;
        if (m_offset == m_text.size()) {
            m_bPending = false;
            m_text.clear();
            m_offset = 0;
        } else {
            forgetTaken();
        }
    }

    // What the rest of the waiting text will push out goes now, so that the pane never holds more
    // than the log may. Lines go an eighth of the log at a time: a text document rewrites all its
    // text after a removal at its top, and doing that at every step would stall the window.
    if (lineCount() + m_feeds > m_limits.maxLines || m_chars + pendingChars() > m_limits.maxChars) {
        const qsizetype lines = m_limits.maxLines - m_limits.maxLines / 8;
        const qsizetype chars = m_limits.maxChars - m_limits.maxChars / 8;
        while (m_lengths.size() > 1 && (lineCount() + m_feeds > lines || m_chars + pendingChars() > chars)) {
            m_chars -= m_lengths.front() + 1;
            step.dropChars += m_lengths.front() + 1;
            m_lengths.pop_front();
            ++step.dropLines;
            ++m_dropped;
        }
    }
    step.droppedTotal = m_dropped;
    return step;
}
