#include "document/continuationcomments.h"

#include <algorithm>

namespace
{
// Two occurrences of such a name can stand fewer than three characters apart, where the textual
// search for a section stops early; those names are searched the long way.
bool mayRepeatClosely(QStringView name)
{
    if (name.size() <= 2)
        return true;
    bool periodOne = true;
    bool periodTwo = true;
    for (qsizetype i = 0; i + 1 < name.size(); ++i) {
        periodOne = periodOne && name[i] == name[i + 1];
        periodTwo = periodTwo && (i + 2 >= name.size() || name[i] == name[i + 2]);
    }
    return periodOne || periodTwo;
}

// A key of one repeated character can match again right behind a rejected match.
bool isUniform(QStringView key)
{
    return std::all_of(key.begin(), key.end(), [&](QChar c) { return c == key.front(); });
}

// Texts waiting to be found at the start of a line, each once. A line's start is tried for every
// length asked in one pass over its characters: the table's hash is built up character by character.
class PrefixTable
{
public:
    explicit PrefixTable(qsizetype count)
    {
        qsizetype size = 16;
        while (size < 2 * count)
            size *= 2;
        m_slots = QList<Slot>(size, Slot{0, -1});
        m_mask = size - 1;
        m_items.reserve(count);
    }

    // The index an equal text was added with, or -1 when this one is new.
    int add(QStringView text, int index)
    {
        const uint hash = hashOf(text);
        Slot& slot = m_slots[find(text, hash)];
        if (slot.item >= 0)
            return m_items.at(slot.item).index;
        slot = Slot{hash, int(m_items.size())};
        m_items.append(Item{text, index, true});
        ++m_pending;
        if (!text.isEmpty())
            m_firstUnits[text.front().unicode() & 0xFF] = true;
        const auto at = std::lower_bound(m_lengths.begin(), m_lengths.end(), text.size());
        if (at == m_lengths.end() || *at != text.size())
            m_lengths.insert(at, text.size());
        return -1;
    }

    bool isEmpty() const { return m_pending == 0; }

    // Calls found(index) for every text still waiting that `lead` starts with; it waits no more.
    template <typename Found>
    void match(QStringView lead, Found&& found)
    {
        if (lead.isEmpty() || !m_firstUnits[lead.front().unicode() & 0xFF])
            return;
        uint hash = Basis;
        qsizetype next = 0;
        for (qsizetype n = 0; n < lead.size() && next < m_lengths.size(); ++n) {
            hash = step(hash, lead[n]);
            if (n + 1 != m_lengths.at(next))
                continue;
            ++next;
            const int item = m_slots.at(find(lead.first(n + 1), hash)).item;
            if (item >= 0 && m_items.at(item).pending) {
                m_items[item].pending = false;
                --m_pending;
                found(m_items.at(item).index);
            }
        }
    }

    // Calls left(index, text) for every text still waiting.
    template <typename Left>
    void forEachWaiting(Left&& left) const
    {
        if (m_pending == 0)
            return;
        for (const Item& item : m_items)
            if (item.pending)
                left(item.index, item.text);
    }

private:
    struct Slot
    {
        uint hash;
        int item; // -1: free
    };
    struct Item
    {
        QStringView text;
        int index;
        bool pending;
    };
    static constexpr uint Basis = 2166136261u;
    static uint step(uint hash, QChar c) { return (hash ^ c.unicode()) * 16777619u; }
    static uint hashOf(QStringView text)
    {
        uint hash = Basis;
        for (const QChar c : text)
            hash = step(hash, c);
        return hash;
    }
    qsizetype find(QStringView text, uint hash) const
    {
        qsizetype at = hash & m_mask;
        for (; m_slots.at(at).item >= 0; at = (at + 1) & m_mask) {
            const Slot& slot = m_slots.at(at);
            if (slot.hash == hash && m_items.at(slot.item).text == text)
                break;
        }
        return at;
    }

    QList<Slot> m_slots;
    qsizetype m_mask = 0;
    QList<Item> m_items;
    QList<qsizetype> m_lengths;  // ascending
    bool m_firstUnits[256] = {}; // by the low byte of the texts' first characters
    qsizetype m_pending = 0;
};
} // namespace

ContinuationComments::ContinuationComments(const QString& text) : m_text(text) {}

qsizetype ContinuationComments::lineStartAtOrAfter(qsizetype position) const
{
    if (position == 0 || (position <= m_text.size() && m_text.at(position - 1) == QLatin1Char('\n')))
        return position;
    // A text without LF after some point, as one of CR line ends, is not searched there again.
    if (m_noNewlineFrom >= 0 && position >= m_noNewlineFrom)
        return -1;
    const qsizetype newline = m_text.indexOf(QLatin1Char('\n'), position);
    if (newline < 0)
        m_noNewlineFrom = position;
    return newline < 0 ? -1 : newline + 1;
}

// What a key can match at a position: the text up to "=" or the line end.
QStringView ContinuationComments::leadAt(qsizetype position) const
{
    const QChar* data = m_text.constData();
    qsizetype end = position;
    while (end < m_text.size()) {
        const char16_t c = data[end].unicode();
        if (c == u'=' || c == u'\r' || c == u'\n')
            break;
        ++end;
    }
    return QStringView(m_text).sliced(position, end - position);
}

// The section's name at or after the start whose second character before it is a line feed; a
// rejected match moves the start behind it.
qsizetype ContinuationComments::walkToSection(const QString& section) const
{
    qsizetype base = 0;
    qsizetype p = m_text.indexOf(section, base);
    while (p >= 0 && p - base >= 2 && m_text.at(p - 2) != QLatin1Char('\n')) {
        base = p + 1;
        p = m_text.indexOf(section, base);
    }
    if (p >= 0 && p - base >= 2)
        base = p;
    return base;
}

qsizetype ContinuationComments::sectionStart(const QString& section)
{
    auto it = m_sectionStarts.constFind(section);
    if (it == m_sectionStarts.constEnd())
        it = m_sectionStarts.insert(section, walkToSection(section));
    return it.value();
}

// For names that cannot repeat closely the walk ends at the first match right behind a line's first
// character, which one scan of the lines finds for all names; failing that, behind its last match.
void ContinuationComments::findSections(const QStringList& sections)
{
    const QStringView text(m_text);
    PrefixTable pending(sections.size());
    for (int i = 0; i < sections.size(); ++i) {
        const QString& name = sections.at(i);
        if (m_sectionStarts.contains(name))
            continue;
        if (mayRepeatClosely(name) || text.startsWith(name) ||
            text.sliced(std::min<qsizetype>(1, text.size())).startsWith(name))
            sectionStart(name);
        else
            pending.add(name, i);
    }
    for (qsizetype newline = text.indexOf(u'\n'); newline >= 0 && !pending.isEmpty();
         newline = text.indexOf(u'\n', newline + 1)) {
        const qsizetype at = newline + 2;
        if (at > text.size())
            break;
        pending.match(text.sliced(at), [&](int i) { m_sectionStarts.insert(sections.at(i), at); });
    }
    // The rest stand behind their last match: one scan backwards finds all of them, where a search
    // of the whole text for each would take time in sections times text.
    for (qsizetype at = text.size() - 1; at >= 0 && !pending.isEmpty(); --at)
        pending.match(text.sliced(at), [&](int i) { m_sectionStarts.insert(sections.at(i), at + 1); });
    pending.forEachWaiting([&](int i, QStringView) { m_sectionStarts.insert(sections.at(i), 0); });
}

// The keys of a section usually stand on the lines right after its name: those lines are scanned
// once for all of them, up to the next line that starts with "["; what is not found there comes
// from the index of all lines. The keys still searched for sit in a table of open addressing whose
// hash is built up character by character, so one pass over a line's start tries every key length.
QList<qsizetype> ContinuationComments::keyLines(const QString& section, const QList<QStringView>& keys)
{
    QList<qsizetype> lines(keys.size(), -1);
    const qsizetype base = sectionStart(section);
    const QStringView text(m_text);
    PrefixTable pending(keys.size());
    QList<int> sameAs(keys.size(), -1); // a repeated key takes the answer of its first occurrence
    for (int i = 0; i < keys.size(); ++i) {
        const QStringView key = keys.at(i);
        if (key.isEmpty() || isUniform(key) || text.sliced(base).startsWith(key))
            lines[i] = keyLine(key, base);
        else
            sameAs[i] = pending.add(key, i);
    }
    const auto found = [&](qsizetype at) { return [&lines, at](int i) { lines[i] = at; }; };
    for (qsizetype s = lineStartAtOrAfter(base); s >= 0 && s < text.size() && !pending.isEmpty();) {
        if (s > base) {
            if (text[s] == u'[')
                break;
            pending.match(leadAt(s), found(s));
        }
        if (text[s] == u'@')
            pending.match(leadAt(s + 1), found(s + 1));
        const qsizetype newline = text.indexOf(u'\n', s);
        s = newline < 0 ? -1 : newline + 1;
    }
    pending.forEachWaiting([&](int i, QStringView key) { lines[i] = keyLineFromIndex(key, base); });
    for (int i = 0; i < keys.size(); ++i)
        if (sameAs.at(i) >= 0)
            lines[i] = lines.at(sameAs.at(i));
    return lines;
}

// The first match at the start, at a line start after it, or behind an "@" that starts a line.
qsizetype ContinuationComments::keyLine(QStringView key, qsizetype base)
{
    if (key.isEmpty())
        return base;
    if (!isUniform(key))
        return QStringView(m_text).sliced(base).startsWith(key) ? base : keyLineFromIndex(key, base);
    qsizetype p = m_text.indexOf(key, base);
    while (p >= 0 && p != base) {
        const QChar before = m_text.at(p - 1);
        if (before == QLatin1Char('\n'))
            break;
        if (before == QLatin1Char('@') && p - base >= 2 && m_text.at(p - 2) == QLatin1Char('\n'))
            break;
        base = p + 1;
        p = m_text.indexOf(key, base);
    }
    return p;
}

// Lines sorted by their text, then by position: those that begin with the key stand together, in
// groups of equal text, each group searched for its first line after `base`.
qsizetype ContinuationComments::keyLineFromIndex(QStringView key, qsizetype base)
{
    if (!m_leadsBuilt) {
        m_leadsBuilt = true;
        for (qsizetype s = 0; s >= 0 && s < m_text.size();) {
            for (const qsizetype at : {s, s + 1}) {
                if (at > s && m_text.at(s) != QLatin1Char('@'))
                    break;
                const QStringView lead = leadAt(at);
                if (!lead.isEmpty())
                    m_leads.append({at, lead.size()});
            }
            const qsizetype newline = m_text.indexOf(QLatin1Char('\n'), s);
            s = newline < 0 ? -1 : newline + 1;
        }
        m_leads.squeeze();
        const QStringView text(m_text);
        std::sort(m_leads.begin(), m_leads.end(), [text](const Lead& a, const Lead& b) {
            const int order = text.sliced(a.start, a.length).compare(text.sliced(b.start, b.length));
            return order != 0 ? order < 0 : a.start < b.start;
        });
    }
    const QStringView text(m_text);
    const auto leadText = [text](const Lead& lead) { return text.sliced(lead.start, lead.length); };
    auto it = std::lower_bound(m_leads.cbegin(), m_leads.cend(), key,
                               [&](const Lead& lead, QStringView k) { return leadText(lead) < k; });
    qsizetype best = -1;
    while (it != m_leads.cend() && leadText(*it).startsWith(key)) {
        const QStringView group = leadText(*it);
        const auto groupEnd = std::upper_bound(it, m_leads.cend(), group,
                                               [&](QStringView g, const Lead& lead) { return g < leadText(lead); });
        const auto after =
            std::upper_bound(it, groupEnd, base, [](qsizetype b, const Lead& lead) { return b < lead.start; });
        if (after != groupEnd && (best < 0 || after->start < best))
            best = after->start;
        it = groupEnd;
    }
    return best;
}

// Lines are searched in order, so the last answer usually answers the next question too.
qsizetype ContinuationComments::nextCrLf(qsizetype from)
{
    if (m_crLfFrom >= 0 && from >= m_crLfFrom && (m_crLfAt < 0 || from <= m_crLfAt))
        return m_crLfAt;
    m_crLfFrom = from;
    const QStringView text(m_text);
    qsizetype at = text.indexOf(u'\r', from);
    while (at >= 0 && (at + 1 >= text.size() || text[at + 1] != u'\n'))
        at = text.indexOf(u'\r', at + 1);
    m_crLfAt = at;
    return m_crLfAt;
}

QString ContinuationComments::below(const QString& section, const QString& key)
{
    return belowLine(keyLine(key, sectionStart(section)));
}

// Whether the piece after the CR LF at lineEnd is a comment, without cutting it out.
bool ContinuationComments::commentFollows(qsizetype lineEnd) const
{
    const QChar* data = m_text.constData();
    const qsizetype size = m_text.size();
    qsizetype at = lineEnd + 2;
    while (at < size && data[at].isSpace() && !(data[at] == u'\r' && at + 1 < size && data[at + 1] == u'\n'))
        ++at;
    return at < size && (data[at] == u';' || (data[at] == u'/' && at + 1 < size && data[at + 1] == u'/'));
}

QString ContinuationComments::belowLine(qsizetype keyLine)
{
    if (keyLine < 0)
        return {};
    qsizetype lineEnd = nextCrLf(keyLine);
    if (lineEnd < 0 || !commentFollows(lineEnd))
        return {};
    QString comment;
    const QStringView text(m_text);
    while (lineEnd >= 0) {
        const qsizetype start = lineEnd + 2;
        lineEnd = nextCrLf(start);
        const QStringView piece = text.sliced(start, (lineEnd < 0 ? text.size() : lineEnd) - start).trimmed();
        const qsizetype marker = piece.startsWith(u';') ? 1 : piece.startsWith(u"//") ? 2 : 0;
        if (marker == 0)
            break;
        comment += QLatin1Char('\n');
        comment += piece.sliced(marker);
    }
    return comment;
}
