#include "platform/parsedprofile.h"

#include "platform/profile.h"

#include <QVarLengthArray>
#include <QtEndian>

#include <algorithm>
#include <cstring>

using TextCodec::Encoding;

namespace
{
// A list buffer holds the names, each followed by a NUL, and the closing NUL.
constexpr qsizetype ListRoom = Profile::BufferSize - 2;
// A value buffer holds the value and its NUL.
constexpr qsizetype ValueRoom = Profile::BufferSize - 1;

constexpr bool isBlank(uint unit)
{
    return unit == ' ' || unit == '\t' || unit == 0x0B || unit == 0x0C || unit == '\r' || unit == 0x1A;
}

QStringView trimmed(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front().unicode()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back().unicode()))
        text.chop(1);
    return text;
}

QStringView leftTrimmed(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front().unicode()))
        text = text.sliced(1);
    return text;
}

// Names and values reach the engine as C strings do: a NUL ends them.
QStringView beforeNul(QStringView text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

QStringList cutList(const QStringList& names)
{
    QStringList out;
    qsizetype used = 0;
    for (const QString& name : names) {
        if (used + name.size() + 1 <= ListRoom) {
            out.append(name);
            used += name.size() + 1;
            continue;
        }
        if (used < ListRoom)
            out.append(name.left(ListRoom - used));
        break;
    }
    return out;
}

bool hasHighByte(const char* data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i)
        if (static_cast<uchar>(data[i]) >= 0x80)
            return true;
    return false;
}
} // namespace

namespace
{
// Calls put with every UTF-16 unit of the folded form of name, which has as many units as name.
template <typename Emit>
void foldUnits(QStringView name, Emit&& put)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (unit < 0x80) {
            put(char16_t(unit >= 'a' && unit <= 'z' ? unit - ('a' - 'A') : unit));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            const char32_t upper = QChar::toUpper(QChar::surrogateToUcs4(unit, name[i + 1].unicode()));
            const bool astral = QChar::requiresSurrogates(upper);
            put(astral ? QChar::highSurrogate(upper) : unit);
            put(astral ? QChar::lowSurrogate(upper) : name[i + 1].unicode());
            ++i;
        } else {
            const char32_t upper = QChar::toUpper(char32_t(unit));
            put(QChar::requiresSurrogates(upper) ? unit : char16_t(upper));
        }
    }
}

// Names are mostly ASCII, whose folding needs no table.
uint foldHash(QStringView name)
{
    uint hash = 2166136261u;
    qsizetype i = 0;
    for (; i < name.size(); ++i) {
        const uint unit = name[i].unicode();
        if (unit >= 0x80)
            break;
        hash = (hash ^ (unit - 'a' < 26u ? unit - ('a' - 'A') : unit)) * 16777619u;
    }
    if (i < name.size())
        foldUnits(name.sliced(i), [&hash](char16_t unit) { hash = (hash ^ unit) * 16777619u; });
    return hash;
}

bool foldEqual(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    qsizetype i = 0;
    for (; i < a.size(); ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x >= 0x80 || y >= 0x80)
            break;
        const char16_t lower = x | 0x20;
        if (x != y && (lower != (y | 0x20) || lower < 'a' || lower > 'z'))
            return false;
    }
    if (i == a.size())
        return true;
    // Past ASCII a character may fold to a pair, so both tails are folded whole.
    QVarLengthArray<char16_t, 128> folded;
    foldUnits(a.sliced(i), [&folded](char16_t unit) { folded.append(unit); });
    qsizetype at = 0;
    bool same = true;
    foldUnits(b.sliced(i), [&](char16_t unit) { same = same && folded[at++] == unit; });
    return same;
}
} // namespace

ParsedProfile::ParsedProfile(QByteArray bytes)
    : m_bytes(std::move(bytes)), m_encoding(TextCodec::detect(m_bytes)),
      m_width(m_encoding == Encoding::Utf16Le ? 2 : 1), m_start(TextCodec::bomLength(m_encoding)), m_asciiOnly(false)
{
    if (m_encoding == Encoding::Cp1251) {
        m_asciiOnly = !hasHighByte(m_bytes.constData(), m_bytes.size());
        m_cp1251Text = TextCodec::fromCp1251(m_bytes);
        Q_ASSERT(m_cp1251Text.size() == m_bytes.size());
    }
    m_hasNul = std::memchr(m_bytes.constData(), 0, m_bytes.size()) != nullptr;
    if (m_width == 1)
        parse<1>();
    else
        parse<2>();
}

template <int Width>
void ParsedProfile::parse()
{
    const auto* data = reinterpret_cast<const uchar*>(m_bytes.constData());
    const qsizetype size = m_bytes.size();
    const qsizetype limit = m_start + (size - m_start) / Width * Width;
    const auto unit = [data](qsizetype offset) -> uint {
        if constexpr (Width == 1)
            return data[offset];
        else
            return data[offset] | (uint(data[offset + 1]) << 8);
    };

    // Every line end is a LF or a CR; reserving for the LFs alone saves most regrowth of the lists.
    const qsizetype lineEnds = std::count(m_bytes.cbegin() + m_start, m_bytes.cend(), '\n') + 1;
    m_lines.reserve(lineEnds);
    m_entries.reserve(lineEnds);
    m_sections.append(Section());
    int current = 0;
    qsizetype pos = m_start;
    [[maybe_unused]] qsizetype nextLf = -1;
    while (pos < limit) {
        qsizetype contentEnd = pos;
        if constexpr (Width == 1) {
            // The next LF is searched for again only once passed, so a file of CR line ends is not
            // searched to its end for every line.
            if (nextLf < pos) {
                const void* lf = std::memchr(data + pos, '\n', limit - pos);
                nextLf = lf ? static_cast<const uchar*>(lf) - data : limit;
            }
            const void* cr = std::memchr(data + pos, '\r', nextLf - pos);
            contentEnd = cr ? static_cast<const uchar*>(cr) - data : nextLf;
        } else {
            while (contentEnd < limit) {
                const uint u = unit(contentEnd);
                if (u == '\r' || u == '\n')
                    break;
                contentEnd += Width;
            }
        }
        // Each CRLF, CR or LF ends one line.
        qsizetype next = contentEnd;
        if (next < limit) {
            next += Width;
            if (unit(contentEnd) == '\r' && next < limit && unit(next) == '\n')
                next += Width;
        }
        const int lineIndex = int(m_lines.size());
        Line line{pos, contentEnd, next, Kind::Blank};
        pos = next;

        const qsizetype begin = skipBlanks(line.begin, line.contentEnd);
        const qsizetype end = skipBlanksBack(begin, line.contentEnd);
        if (begin == end) {
            m_lines.append(line);
            continue;
        }

        if (unit(begin) == '[') {
            // The name runs to the last "]" of the line.
            qsizetype close = end - Width;
            while (close > begin && unit(close) != ']')
                close -= Width;
            if (close > begin) {
                line.kind = Kind::Header;
                m_lines.append(line);
                m_sections[current].endLine = lineIndex;
                m_sections[current].endEntry = int(m_entries.size());

                Section section;
                const qsizetype nameBegin = skipBlanks(begin + Width, close);
                const qsizetype nameEnd = cutAtNul(nameBegin, skipBlanksBack(nameBegin, close));
                section.name = decodeRange(nameBegin, nameEnd);
                section.header = lineIndex;
                section.firstEntry = int(m_entries.size());
                // An empty name cannot be asked for: "" means the part before the first header.
                section.listed = !section.name.isEmpty();
                current = int(m_sections.size());
                m_sections.append(section);
                continue;
            }
        }

        line.kind = Kind::Entry;
        m_lines.append(line);
        Entry entry;
        entry.line = lineIndex;
        entry.equals = -1;
        entry.valueBegin = entry.valueEnd = end;
        qsizetype nameEnd = end;
        for (qsizetype at = begin; at < end; at += Width) {
            if (unit(at) == '=') {
                entry.equals = at;
                nameEnd = skipBlanksBack(begin, at);
                entry.valueBegin = skipBlanks(at + Width, end);
                break;
            }
        }
        const qsizetype nameCut = cutAtNul(begin, nameEnd);
        if (m_encoding == Encoding::Cp1251) {
            entry.nameAt = begin;
            entry.nameSize = nameCut - begin;
        } else {
            // One string for all names spares an allocation per name.
            entry.nameAt = m_names.size();
            m_names += decodeRange(begin, nameCut);
            entry.nameSize = m_names.size() - entry.nameAt;
        }
        entry.first = -1;
        entry.section = current;
        m_entries.append(std::move(entry));
    }
    // The odd last byte of a UTF-16 file belongs to no character; keep it as a line of its own.
    if (pos < size)
        m_lines.append(Line{pos, size, size, Kind::Blank});
    m_sections[current].endLine = int(m_lines.size());
    m_sections[current].endEntry = int(m_entries.size());

    if (!m_lines.isEmpty() && m_lines.first().end > m_lines.first().contentEnd)
        m_lineEnd = m_bytes.mid(m_lines.first().contentEnd, m_lines.first().end - m_lines.first().contentEnd);
    else
        m_lineEnd = TextCodec::encode(QStringLiteral("\r\n"), m_encoding);
    buildIndex();
}

namespace
{
// A power of two at least twice the items, so that a table is at most half full; `least` for none.
qsizetype slotCount(qsizetype items, qsizetype least)
{
    qsizetype count = least;
    while (count < 2 * items)
        count *= 2;
    return count;
}
} // namespace

// Open addressing: the slot after a taken one is tried next, so a look-up walks at most the run
// of taken slots, which half-empty tables keep short.
template <typename Same>
int ParsedProfile::probe(const Slot* table, qsizetype size, uint hash, Same&& same, qsizetype* freeSlot)
{
    const qsizetype mask = size - 1;
    for (qsizetype at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = table[at];
        if (slot.index < 0) {
            if (freeSlot)
                *freeSlot = at;
            return -1;
        }
        if (slot.hash == hash && same(slot.index))
            return slot.index;
    }
}

// Only the first section of a name can be asked for, and in it only the first key of a name. Each
// reachable section has a table of its keys of its own, one after another in m_keySlots: building
// and asking it stays within a few pages however large the file is.
void ParsedProfile::buildIndex()
{
    m_sectionSlots = QList<Slot>(slotCount(m_sections.size(), 16), Slot{0, -1});
    QList<bool> reachable(m_sections.size(), false);
    reachable[0] = true;
    for (int s = 1; s < m_sections.size(); ++s) {
        const QString& name = m_sections.at(s).name;
        if (!m_sections.at(s).listed)
            continue;
        const uint hash = foldHash(name);
        qsizetype free = -1;
        const auto same = [&](int other) { return foldEqual(m_sections.at(other).name, name); };
        if (probe(m_sectionSlots.constData(), m_sectionSlots.size(), hash, same, &free) < 0) {
            m_sectionSlots[free] = Slot{hash, s};
            reachable[s] = true;
        }
    }
    qsizetype slotTotal = 0;
    for (int s = 0; s < m_sections.size(); ++s) {
        Section& section = m_sections[s];
        section.keySlots = slotTotal;
        section.keySlotCount = reachable.at(s) ? slotCount(section.endEntry - section.firstEntry, 1) : 0;
        slotTotal += section.keySlotCount;
    }
    m_keySlots = QList<Slot>(slotTotal, Slot{0, -1});
    for (int e = 0; e < m_entries.size(); ++e) {
        Entry& entry = m_entries[e];
        const Section& section = m_sections.at(entry.section);
        if (section.keySlotCount == 0)
            continue;
        const QStringView name = nameOf(entry);
        const uint hash = foldHash(name);
        Slot* table = m_keySlots.data() + section.keySlots;
        qsizetype free = -1;
        const auto same = [&](int other) { return foldEqual(nameOf(m_entries.at(other)), name); };
        entry.first = probe(table, section.keySlotCount, hash, same, &free);
        if (entry.first < 0) {
            table[free] = Slot{hash, e};
            entry.first = e;
        }
    }
}

int ParsedProfile::findKey(int section, QStringView name) const
{
    const Section& s = m_sections.at(section);
    if (s.keySlotCount == 0)
        return -1;
    const auto same = [&](int other) { return foldEqual(nameOf(m_entries.at(other)), name); };
    return probe(m_keySlots.constData() + s.keySlots, s.keySlotCount, foldHash(name), same, nullptr);
}

qsizetype ParsedProfile::skipBlanks(qsizetype begin, qsizetype end) const
{
    while (begin + m_width <= end && isBlank(unitAt(begin)))
        begin += m_width;
    return begin;
}

qsizetype ParsedProfile::skipBlanksBack(qsizetype begin, qsizetype end) const
{
    while (end - m_width >= begin && isBlank(unitAt(end - m_width)))
        end -= m_width;
    return end;
}

qsizetype ParsedProfile::cutAtNul(qsizetype begin, qsizetype end) const
{
    if (!m_hasNul)
        return end;
    for (qsizetype at = begin; at + m_width <= end; at += m_width)
        if (unitAt(at) == 0)
            return at;
    return end;
}

QString ParsedProfile::decodeRange(qsizetype begin, qsizetype end) const
{
    const qsizetype length = end - begin;
    switch (m_encoding) {
    case Encoding::Cp1251:
        return m_cp1251Text.mid(begin, length);
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        return QString::fromUtf8(m_bytes.constData() + begin, length);
    case Encoding::Utf16Le: {
        QString text(length / 2, Qt::Uninitialized);
        qFromLittleEndian<char16_t>(m_bytes.constData() + begin, text.size(), text.data());
        return text;
    }
    }
    return {};
}

QByteArray ParsedProfile::encodeText(const QString& text, QStringView decidingText) const
{
    if (m_encoding == Encoding::Cp1251 && m_asciiOnly) {
        // A file of plain ASCII has no code page yet: rather than turn what CP1251 lacks into "?",
        // it becomes UTF-8, which the next read recognises. Lines added together decide together,
        // or the file would be part CP1251, part UTF-8.
        // CP1251 bytes that happen to form valid UTF-8 ("Жё" is C6 B8) would read back as UTF-8 too.
        const QString deciding = decidingText.isNull() ? text : decidingText.toString();
        const QByteArray cp1251 = TextCodec::toCp1251(deciding);
        if (TextCodec::fromCp1251(cp1251) != deciding || TextCodec::detect(cp1251) != Encoding::Cp1251)
            return text.toUtf8();
        return TextCodec::toCp1251(text);
    }
    return TextCodec::encode(text, m_encoding);
}

QString ParsedProfile::foldCase(QStringView name)
{
    QString folded(name.size(), Qt::Uninitialized);
    QChar* out = folded.data();
    foldUnits(name, [&out](char16_t unit) { *out++ = QChar(unit); });
    return folded;
}

// Lines without "=" and names starting with ";" are no keys to the profile functions.
bool ParsedProfile::isKey(const Entry& entry) const
{
    return entry.equals >= 0 && !nameOf(entry).startsWith(u';');
}

int ParsedProfile::findSection(QStringView name) const
{
    if (name.isEmpty())
        return 0;
    return probe(
        m_sectionSlots.constData(), m_sectionSlots.size(), foldHash(name),
        [&](int other) { return foldEqual(m_sections.at(other).name, name); }, nullptr);
}

QStringList ParsedProfile::sectionNames() const
{
    QStringList names;
    for (const Section& section : m_sections)
        if (section.listed)
            names.append(section.name);
    return cutList(names);
}

QStringList ParsedProfile::keyNames(const QString& section) const
{
    const int index = findSection(beforeNul(section));
    if (index < 0)
        return {};
    QStringList names;
    const Section& s = m_sections.at(index);
    for (int e = s.firstEntry; e < s.endEntry; ++e) {
        const Entry& entry = m_entries.at(e);
        if (isKey(entry))
            names.append(nameOf(entry).toString());
    }
    return cutList(names);
}

int ParsedProfile::findValue(const QString& section, const QString& key) const
{
    const int index = findSection(trimmed(beforeNul(section)));
    if (index < 0)
        return -1;
    const int e = findKey(index, trimmed(beforeNul(key)));
    return e < 0 || m_entries.at(e).equals < 0 ? -1 : e;
}

int ParsedProfile::keyLine(const QString& section, const QString& key) const
{
    const int e = findValue(section, key);
    return e < 0 ? 0 : m_entries.at(e).line + 1;
}

std::optional<QString> ParsedProfile::value(const QString& section, const QString& key) const
{
    return valueOf(findValue(section, key));
}

QString ParsedProfile::text() const
{
    return m_encoding == Encoding::Cp1251 ? m_cp1251Text : TextCodec::decode(m_bytes, m_encoding);
}

std::optional<QStringView> ParsedProfile::valueView(const QString& section, const QString& key, QString* scratch) const
{
    return valueViewOf(findValue(section, key), scratch);
}

ParsedProfile::SectionReader::SectionReader(const ParsedProfile& parsed, const QString& section)
    : m_parsed(&parsed), m_section(parsed.findSection(trimmed(beforeNul(section))))
{
    if (m_section >= 0)
        m_next = parsed.m_sections.at(m_section).firstEntry;
}

std::optional<QStringView> ParsedProfile::SectionReader::valueView(const QString& key, QString* scratch)
{
    if (m_section < 0)
        return std::nullopt;
    const QStringView name = trimmed(beforeNul(key));
    const QList<Entry>& entries = m_parsed->m_entries;
    const int end = m_parsed->m_sections.at(m_section).endEntry;
    // The first entry of a name is what findKey() finds for it.
    int e = m_next;
    if (e >= end || entries.at(e).first != e || !foldEqual(m_parsed->nameOf(entries.at(e)), name))
        e = m_parsed->findKey(m_section, name);
    if (e < 0)
        return std::nullopt;
    m_next = e + 1;
    while (m_next < end && !m_parsed->isKey(entries.at(m_next)))
        ++m_next;
    return m_parsed->valueViewOf(e, scratch);
}

void ParsedProfile::visitKeyValues(const QString& section, const KeyValueVisit& visit) const
{
    const int index = findSection(beforeNul(section));
    if (index < 0)
        return;
    // The entry a look-up of a listed name finds is known from the parse, when the look-up goes to
    // the same section and the name is one it would not trim.
    const bool sameSection = findSection(trimmed(beforeNul(section))) == index;
    QString scratch;
    qsizetype used = 0;
    const Section& s = m_sections.at(index);
    for (int e = s.firstEntry; e < s.endEntry; ++e) {
        const Entry& entry = m_entries.at(e);
        if (!isKey(entry))
            continue;
        const QStringView name = nameOf(entry);
        if (used + name.size() + 1 > ListRoom) {
            if (used < ListRoom) {
                const QString cut = name.left(ListRoom - used).toString();
                visit(cut, valueView(section, cut, &scratch), false);
            }
            break;
        }
        used += name.size() + 1;
        const bool known = sameSection && entry.first >= 0 && (name.isEmpty() || !isBlank(name.back().unicode()));
        // No entry before the first of a name folds to the same text, so none has the same text.
        visit(name, known ? valueViewOf(entry.first, &scratch) : valueView(section, name.toString(), &scratch),
              entry.first == e);
    }
}

std::optional<QString> ParsedProfile::valueOf(int e) const
{
    QString scratch;
    const std::optional<QStringView> view = valueViewOf(e, &scratch);
    if (!view)
        return std::nullopt;
    if (view->size() == scratch.size() && view->data() == scratch.constData())
        return scratch;
    return view->toString();
}

std::optional<QStringView> ParsedProfile::valueViewOf(int e, QString* scratch) const
{
    if (e < 0 || m_entries.at(e).equals < 0)
        return std::nullopt;

    const Entry& entry = m_entries.at(e);
    qsizetype begin = entry.valueBegin;
    qsizetype end = cutAtNul(begin, entry.valueEnd);
    if (end - begin >= 2 * m_width) {
        const uint quote = unitAt(begin);
        if ((quote == '"' || quote == '\'') && unitAt(end - m_width) == quote) {
            begin += m_width;
            end -= m_width;
        }
    }
    QStringView text;
    if (m_encoding == Encoding::Cp1251) {
        text = QStringView(m_cp1251Text).sliced(begin, end - begin);
    } else {
        *scratch = decodeRange(begin, end);
        text = *scratch;
    }
    if (text.size() > ValueRoom) {
        text.truncate(ValueRoom);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

QList<ParsedProfile::OutlineLine> ParsedProfile::outline() const
{
    QList<OutlineLine> lines;
    lines.reserve(m_entries.size() + m_sections.size());
    for (const Section& section : m_sections) {
        if (section.header >= 0)
            lines.append(OutlineLine{section.header + 1, OutlineLine::Header, section.name});
        for (int e = section.firstEntry; e < section.endEntry; ++e) {
            const Entry& entry = m_entries.at(e);
            lines.append(OutlineLine{entry.line + 1, isKey(entry) ? OutlineLine::Key : OutlineLine::Other,
                                     nameOf(entry).toString()});
        }
    }
    return lines;
}

QList<qsizetype> ParsedProfile::keyNameOffsets(const QString& section, const QString& name) const
{
    QList<qsizetype> offsets;
    const int index = findSection(trimmed(beforeNul(section)));
    // The part before the first header has no name to be asked by.
    if (index <= 0)
        return offsets;
    const QStringView wanted = trimmed(beforeNul(name));
    const Section& s = m_sections.at(index);
    for (int e = s.firstEntry; e < s.endEntry; ++e) {
        const Entry& entry = m_entries.at(e);
        if (entry.equals >= 0 && foldEqual(nameOf(entry), wanted)) {
            const Line& line = m_lines.at(entry.line);
            offsets.append(skipBlanks(line.begin, line.contentEnd));
        }
    }
    return offsets;
}

std::optional<ParsedProfile::Splice> ParsedProfile::putValue(const QString& section, const QString& key,
                                                             const QString& value) const
{
    const QStringView sectionName = beforeNul(section);
    const QStringView keyName = beforeNul(key);
    const QString text = beforeNul(value).toString();
    const qsizetype size = m_bytes.size();
    const QString entryText = leftTrimmed(keyName).toString() + u'=' + text;
    const QByteArray newLine = encodeText(entryText) + m_lineEnd;

    const int index = findSection(trimmed(sectionName));
    if (index < 0) {
        // A UTF-16 file cut after half a code unit keeps that byte last, so the new lines stay aligned.
        const qsizetype end = m_start + (size - m_start) / m_width * m_width;
        qsizetype last = m_lines.size() - 1;
        if (last >= 0 && m_lines.at(last).begin >= end)
            --last;
        QByteArray added;
        if (last >= 0 && m_lines.at(last).end == m_lines.at(last).contentEnd)
            added += m_lineEnd;
        const QString header = u'[' + leftTrimmed(sectionName).toString() + u']';
        const QString both = header + entryText;
        added += encodeText(header, both) + m_lineEnd + encodeText(entryText, both) + m_lineEnd;
        return Splice{end, end, added};
    }

    const Section& s = m_sections.at(index);
    const int e = findKey(index, trimmed(keyName));
    if (e >= 0) {
        const Entry& entry = m_entries.at(e);
        const Line& line = m_lines.at(entry.line);
        const QByteArray encoded = encodeText(text);
        if (entry.equals < 0)
            return Splice{line.contentEnd, line.contentEnd, encodeText(QStringLiteral("=")) + encoded};
        const qsizetype valueStart = entry.equals + m_width;
        if (QByteArrayView(m_bytes).sliced(valueStart, line.contentEnd - valueStart) == encoded)
            return std::nullopt;
        return Splice{valueStart, line.contentEnd, encoded, e};
    }

    // After the last non-blank line of the section, so that blank lines before the next one stay.
    int anchor = s.header;
    for (int l = s.endLine - 1; l > s.header; --l) {
        if (m_lines.at(l).kind != Kind::Blank) {
            anchor = l;
            break;
        }
    }
    if (anchor < 0)
        return Splice{m_start, m_start, newLine};
    const Line& line = m_lines.at(anchor);
    const QByteArray added = (line.end == line.contentEnd ? m_lineEnd : QByteArray()) + newLine;
    return Splice{line.end, line.end, added};
}

std::optional<ParsedProfile::Splice> ParsedProfile::removeKey(const QString& section, const QString& key) const
{
    const int index = findSection(beforeNul(section));
    if (index < 0)
        return std::nullopt;
    const int e = findKey(index, beforeNul(key));
    if (e < 0)
        return std::nullopt;
    const Line& line = m_lines.at(m_entries.at(e).line);
    return Splice{line.begin, line.end, {}};
}

std::optional<ParsedProfile::Splice> ParsedProfile::removeSection(const QString& section) const
{
    const int index = findSection(beforeNul(section));
    if (index < 0)
        return std::nullopt;
    const Section& s = m_sections.at(index);
    const qsizetype end = s.endLine < m_lines.size() ? m_lines.at(s.endLine).begin : m_bytes.size();
    if (s.header >= 0)
        return Splice{m_lines.at(s.header).begin, end, {}};
    for (int l = 0; l < s.endLine; ++l)
        if (m_lines.at(l).kind != Kind::Blank)
            return Splice{m_start, end, {}};
    return std::nullopt;
}

QByteArray ParsedProfile::spliced(const QByteArray& bytes, const Splice& splice)
{
    QByteArray out;
    out.reserve(bytes.size() - (splice.end - splice.begin) + splice.text.size());
    out.append(bytes.constData(), splice.begin);
    out.append(splice.text);
    out.append(bytes.constData() + splice.end, bytes.size() - splice.end);
    return out;
}

void ParsedProfile::apply(const Splice& splice)
{
    if (!applyInPlace(splice))
        *this = ParsedProfile(spliced(m_bytes, splice));
}

// A new value within its own line moves the offsets of the lines after it and nothing else, unless
// it starts new lines, turns the line into a header or changes how the file is decoded.
bool ParsedProfile::applyInPlace(const Splice& splice)
{
    if (splice.valueOf < 0 || splice.valueOf >= m_entries.size())
        return false;
    Entry& entry = m_entries[splice.valueOf];
    Line& line = m_lines[entry.line];
    if (entry.equals < 0 || splice.begin != entry.equals + m_width || splice.end != line.contentEnd ||
        splice.text.size() % m_width != 0)
        return false;
    for (qsizetype at = 0; at < splice.text.size(); at += m_width) {
        const uint u = m_width == 1 ? uchar(splice.text.at(at))
                                    : uchar(splice.text.at(at)) | (uint(uchar(splice.text.at(at + 1))) << 8);
        if (u == '\r' || u == '\n')
            return false;
    }
    if (unitAt(skipBlanks(line.begin, line.contentEnd)) == '[')
        return false;

    QByteArray bytes = spliced(m_bytes, splice);
    if (m_encoding == Encoding::Cp1251 || m_encoding == Encoding::Utf8) {
        const bool highBytes = hasHighByte(splice.text.constData(), splice.text.size()) ||
                               hasHighByte(m_bytes.constData() + splice.begin, splice.end - splice.begin);
        if (highBytes) {
            if (TextCodec::detect(bytes) != m_encoding)
                return false;
            if (m_encoding == Encoding::Cp1251)
                m_asciiOnly = !hasHighByte(bytes.constData(), bytes.size());
        }
    }
    if (m_encoding == Encoding::Cp1251)
        m_cp1251Text.replace(splice.begin, splice.end - splice.begin, TextCodec::fromCp1251(splice.text));
    m_bytes = std::move(bytes);
    m_hasNul = m_hasNul || std::memchr(splice.text.constData(), 0, splice.text.size()) != nullptr;

    const qsizetype delta = splice.text.size() - (splice.end - splice.begin);
    line.contentEnd += delta;
    line.end += delta;
    for (qsizetype l = entry.line + 1; l < m_lines.size(); ++l) {
        m_lines[l].begin += delta;
        m_lines[l].contentEnd += delta;
        m_lines[l].end += delta;
    }
    for (qsizetype e = splice.valueOf + 1; e < m_entries.size(); ++e) {
        Entry& later = m_entries[e];
        if (m_encoding == Encoding::Cp1251)
            later.nameAt += delta;
        later.valueBegin += delta;
        later.valueEnd += delta;
        if (later.equals >= 0)
            later.equals += delta;
    }
    entry.valueBegin = skipBlanks(splice.begin, line.contentEnd);
    entry.valueEnd = skipBlanksBack(entry.valueBegin, line.contentEnd);
    return true;
}

ParsedProfile::Batch::Batch(QByteArray bytes) : m_parsed(std::move(bytes)), m_anchorLine(anchorLine()) {}

// Held values are spliced at the end; until then the file's encoding must stay as it was, or a
// later write would be encoded the wrong way. A line that keeps a CP1251 file from reading as UTF-8,
// or a UTF-8 file from reading as ASCII, is kept untouched while writes are held.
int ParsedProfile::Batch::anchorLine() const
{
    qsizetype at = -1;
    if (m_parsed.m_encoding == Encoding::Cp1251 && !m_parsed.m_asciiOnly) {
        at = TextCodec::firstNonUtf8(m_parsed.m_bytes);
    } else if (m_parsed.m_encoding == Encoding::Utf8) {
        const auto* data = reinterpret_cast<const uchar*>(m_parsed.m_bytes.constData());
        const auto high = std::find_if(data, data + m_parsed.m_bytes.size(), [](uchar c) { return c >= 0x80; });
        at = high - data < m_parsed.m_bytes.size() ? high - data : -1;
    }
    if (at < 0)
        return -1;
    const auto line = std::upper_bound(m_parsed.m_lines.cbegin(), m_parsed.m_lines.cend(), at,
                                       [](qsizetype offset, const Line& l) { return offset < l.begin; });
    return int(line - m_parsed.m_lines.cbegin()) - 1;
}

bool ParsedProfile::Batch::holdable(const Splice& splice) const
{
    if (splice.valueOf < 0)
        return false;
    const ParsedProfile& p = m_parsed;
    const Entry& entry = p.m_entries.at(splice.valueOf);
    const Line& line = p.m_lines.at(entry.line);
    if (splice.begin != entry.equals + p.m_width || splice.end != line.contentEnd ||
        splice.text.size() % p.m_width != 0 || p.unitAt(p.skipBlanks(line.begin, line.contentEnd)) == '[')
        return false;
    for (qsizetype at = 0; at < splice.text.size(); at += p.m_width) {
        const uint u = p.m_width == 1 ? uchar(splice.text.at(at))
                                      : uchar(splice.text.at(at)) | (uint(uchar(splice.text.at(at + 1))) << 8);
        if (u == '\r' || u == '\n')
            return false;
    }
    switch (p.m_encoding) {
    case Encoding::Utf16Le:
    case Encoding::Utf8Bom:
        return true;
    case Encoding::Cp1251:
        if (p.m_asciiOnly)
            return !hasHighByte(splice.text.constData(), splice.text.size());
        break;
    case Encoding::Utf8:
        break;
    }
    return m_anchorLine >= 0 && entry.line != m_anchorLine;
}

bool ParsedProfile::Batch::putValue(const QString& section, const QString& key, const QString& value)
{
    const std::optional<Splice> splice = m_parsed.putValue(section, key, value);
    const int e = m_parsed.findValue(section, key);
    const auto held = e >= 0 ? m_held.find(e) : m_held.end();
    if (held != m_held.end()) {
        // The line holds the held text: a write compares with that, and may restore the parsed one.
        const Line& line = m_parsed.m_lines.at(m_parsed.m_entries.at(e).line);
        const QByteArray text =
            splice ? splice->text : m_parsed.m_bytes.sliced(held->begin, line.contentEnd - held->begin);
        if (text == held->text)
            return false;
        if (!splice || holdable(*splice)) {
            held->text = text;
            return true;
        }
    } else if (!splice) {
        return false;
    } else if (holdable(*splice)) {
        m_held.insert(e, *splice);
        return true;
    }
    flush();
    const std::optional<Splice> fresh = m_parsed.putValue(section, key, value);
    if (!fresh)
        return false;
    m_parsed.apply(*fresh);
    m_anchorLine = anchorLine();
    return true;
}

QByteArray ParsedProfile::Batch::bytes() const
{
    if (m_held.isEmpty())
        return m_parsed.m_bytes;
    const QByteArray& bytes = m_parsed.m_bytes;
    qsizetype size = bytes.size();
    for (const Splice& splice : m_held)
        size += splice.text.size() - (splice.end - splice.begin);
    QByteArray out;
    out.reserve(size);
    qsizetype at = 0;
    for (const Splice& splice : m_held) {
        out.append(bytes.constData() + at, splice.begin - at);
        out.append(splice.text);
        at = splice.end;
    }
    out.append(bytes.constData() + at, bytes.size() - at);
    return out;
}

void ParsedProfile::Batch::flush()
{
    if (m_held.isEmpty())
        return;
    m_parsed = ParsedProfile(bytes());
    m_held.clear();
    m_anchorLine = anchorLine();
}

const ParsedProfile& ParsedProfile::Batch::parsed()
{
    flush();
    return m_parsed;
}
