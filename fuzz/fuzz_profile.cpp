// Any bytes as an INI file, edited in memory by the profile engine, with the properties a lab relies
// on checked on every input:
// - reading is repeatable: two parses of the same bytes answer alike;
// - after a write the key reads back the value written (values kept to what a key line can hold:
//   no CR, LF or NUL, no blanks or one pair of quotes around them, cut at 8191 characters on read);
// - a write changes bytes within one line only (or inserts whole lines), and every other key reads
//   as before;
// - a delete removes exactly one whole line, the key no longer reads when it was there once, and
//   every other key reads as before.
//
// The input: a few control bytes at the end (what to do, which section and key), a value seed at the
// front, the rest is the file.

#include "platform/parsedprofile.h"
#include "platform/profile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <algorithm>

namespace
{
[[noreturn]] void broken(const char* property, const QString& detail = QString())
{
    std::fprintf(stderr, "property broken: %s %s\n", property, detail.left(300).toUtf8().constData());
    std::abort();
}

// Every key the file lists, with what it reads, section by section (the nameless part included).
struct Reading
{
    QStringList sections;
    QList<QPair<QString, QStringList>> keys;     // section, its listed keys
    QList<QList<std::optional<QString>>> values; // parallel to keys

    explicit Reading(const ParsedProfile& p)
    {
        sections = p.sectionNames();
        QStringList all = sections;
        all.prepend(QString());
        for (const QString& section : all) {
            const QStringList names = p.keyNames(section);
            QList<std::optional<QString>> read;
            for (const QString& name : names)
                read.append(p.value(section, name));
            keys.append({section, names});
            values.append(read);
        }
    }

    bool operator==(const Reading& o) const { return sections == o.sections && keys == o.keys && values == o.values; }
};

// Blanks as the dialect trims them: space, tab, VT, FF, CR and Ctrl-Z (not LF, not 0xA0).
QString dialectTrimmed(const QString& text)
{
    const auto blank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r' || c == u'\x1a';
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool sameName(const QString& a, const QString& b)
{
    return ParsedProfile::foldCase(dialectTrimmed(a)) == ParsedProfile::foldCase(dialectTrimmed(b));
}

// Every key other than (section, key) reads in `after` as it did in `before`. The sections are
// compared by the first that matches, as every read finds them.
void othersUnchanged(const Reading& before, const ParsedProfile& after, const QString& section, const QString& key)
{
    for (qsizetype s = 0; s < before.keys.size(); ++s) {
        const QString& name = before.keys.at(s).first;
        const QStringList& names = before.keys.at(s).second;
        for (qsizetype k = 0; k < names.size(); ++k) {
            if (sameName(name, section) && sameName(names.at(k), key))
                continue;
            // A later section of the same name is read as the first one.
            if (!name.isEmpty() && before.sections.indexOf(name) != s - 1)
                continue;
            if (after.value(name, names.at(k)) != before.values.at(s).at(k))
                broken("another key changed", name + '/' + names.at(k));
        }
    }
}

// Whether `after` is `before` with at most one line's content replaced, or with lines inserted at one
// place: some line (or an empty place at a line's start or end) outside which every byte is the same.
// The longest common prefix and suffix tell where the change may lie; a line fits when it starts
// within the prefix, ends within the suffix and leaves room for both.
bool changedWithinOneLine(const QByteArray& before, const QByteArray& after, int width, qsizetype start)
{
    const qsizetype n = before.size();
    qsizetype prefix = 0;
    while (prefix < qMin(n, after.size()) && before.at(prefix) == after.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < qMin(n, after.size()) && before.at(n - 1 - suffix) == after.at(after.size() - 1 - suffix))
        ++suffix;
    const auto fits = [&](qsizetype begin, qsizetype end) {
        return begin <= prefix && n - end <= suffix && begin + (n - end) <= after.size();
    };
    const auto unit = [&](qsizetype at) {
        return width == 1 ? uint(uchar(before.at(at)))
                          : uint(uchar(before.at(at))) | uint(uchar(before.at(at + 1))) << 8;
    };
    const qsizetype limit = start + (n - start) / width * width;
    if (fits(0, 0) || fits(limit, limit) || fits(n, n) || fits(limit, n))
        return true;
    qsizetype lineBegin = start;
    for (qsizetype at = start; at < limit; at += width) {
        const uint u = unit(at);
        if (u != '\r' && u != '\n')
            continue;
        if (fits(lineBegin, at) || fits(lineBegin, lineBegin))
            return true;
        qsizetype next = at + width;
        if (u == '\r' && next < limit && unit(next) == '\n')
            next += width;
        if (fits(next, next))
            return true;
        lineBegin = next;
        at = next - width;
    }
    return fits(lineBegin, limit) || fits(lineBegin, lineBegin);
}

// Whether `after` is `before` with one stretch of bytes taken out and nothing put in.
bool onlyRemoved(const QByteArray& before, const QByteArray& after)
{
    if (after.size() > before.size())
        return false;
    qsizetype prefix = 0;
    while (prefix < after.size() && before.at(prefix) == after.at(prefix))
        ++prefix;
    return QByteArrayView(before).last(after.size() - prefix) == QByteArrayView(after).sliced(prefix);
}

// A value a key line holds as it is: no line breaks or NUL, no blanks or quote pair around it.
QString valueFrom(const std::string& seed, bool longValue)
{
    static const QString alphabet = QStringLiteral("abcXYZ019 _-+.,:;=/\\\"'[]#@!$%&*()<>?{}|~\tёЁжЖщЩ€№«»—");
    QString value;
    for (unsigned char c : seed)
        value += alphabet.at(c % alphabet.size());
    if (longValue && !value.isEmpty()) {
        const qsizetype target = Profile::BufferSize - 4 + qsizetype(uchar(seed.at(0)) % 9);
        while (value.size() < target)
            value += value;
        value.truncate(target);
    }
    value = dialectTrimmed(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value.back() = QLatin1Char('x');
    return value;
}

// A name a line can carry: no "=", no line breaks, no blanks around it, and for a key nothing that
// would make the line a comment or a section header.
QString nameFrom(const std::string& seed, bool forSection)
{
    static const QString alphabet = QStringLiteral("abcABC019 _-.жЖёЁ@#/");
    QString name;
    for (unsigned char c : seed)
        name += alphabet.at(c % alphabet.size());
    name = dialectTrimmed(name);
    if (name.isEmpty())
        name = QStringLiteral("N");
    if (!forSection && (name.startsWith(QLatin1Char(';')) || name.startsWith(QLatin1Char('['))))
        name.prepend(QLatin1Char('k'));
    return name;
}

// A name read from the file, usable again only when writing it gives a line that reads it back.
std::string part(const std::string& seed, size_t from, size_t length = std::string::npos)
{
    return from < seed.size() ? seed.substr(from, length) : std::string();
}

bool reusable(const QString& name)
{
    return !name.isEmpty() && name == dialectTrimmed(name) && !name.contains(QLatin1Char('=')) &&
           !name.contains(QLatin1Char('\r')) && !name.contains(QLatin1Char('\n')) && !name.contains(QChar(0)) &&
           !name.startsWith(QLatin1Char('[')) && !name.startsWith(QLatin1Char(';'));
}
} // namespace

namespace
{
int check(const uint8_t* data, size_t size);
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int result = check(data, size);
    // The engine keeps the parse of the last write for the next one; dropped here, every run frees
    // what it allocated and the fuzzer's leak check stays quiet.
    Profile::clearCache();
    return result;
}

namespace
{
int check(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const uint8_t what = input.ConsumeIntegral<uint8_t>();
    const uint8_t sectionPick = input.ConsumeIntegral<uint8_t>();
    const uint8_t keyPick = input.ConsumeIntegral<uint8_t>();
    const std::string seed = input.ConsumeRandomLengthString(48);
    const std::vector<uint8_t> rest = input.ConsumeRemainingBytes<uint8_t>();
    const QByteArray file(reinterpret_cast<const char*>(rest.data()), qsizetype(rest.size()));

    const ParsedProfile parsed(file);
    const Reading before(parsed);
    // Reads of one parse repeat; one input in four is also parsed a second time.
    if (!(Reading(parsed) == before) || ((what & 0x0c) == 0 && !(Reading(ParsedProfile(file)) == before)))
        broken("two reads differ");
    const int width = parsed.encoding() == TextCodec::Encoding::Utf16Le ? 2 : 1;

    // The section: one of the file's, the nameless part, or a new one.
    QString section;
    if (sectionPick % 4 == 0)
        section = nameFrom(part(seed, 0, 6), true);
    else if (sectionPick % 4 != 1 && !before.sections.isEmpty())
        section = before.sections.at(sectionPick % before.sections.size());
    if (!section.isEmpty() && !reusable(section))
        section = nameFrom(part(seed, 0, 6), true);
    // The key: one the section lists, or a new one.
    const QStringList listed = parsed.keyNames(section);
    QString key = keyPick % 3 != 0 && !listed.isEmpty() ? listed.at(keyPick % listed.size()) : QString();
    if (!reusable(key))
        key = nameFrom(part(seed, 6, 6), false);

    if (what % 4 == 3) {
        const std::optional<ParsedProfile::Splice> splice = parsed.removeKey(section, key);
        if (!splice)
            return 0;
        const QByteArray after = ParsedProfile::spliced(file, *splice);
        if (!onlyRemoved(file, after))
            broken("a delete inserted bytes");
        const ParsedProfile reparsed(after);
        if (reparsed.encoding() != parsed.encoding())
            return 0;
        // Only the first match goes: when another line of the section has the name, that one reads next.
        const bool once =
            parsed.value(section, key) &&
            std::count_if(listed.cbegin(), listed.cend(), [&](const QString& n) { return sameName(n, key); }) == 1;
        if (once && reparsed.value(section, key))
            broken("the deleted key still reads", section + '/' + key);
        othersUnchanged(before, reparsed, section, key);
        return 0;
    }

    // One value in eight runs past the read limit, in and around it.
    const QString value = valueFrom(part(seed, 12), (what & 0x70) == 0x10);
    QByteArray after = file;
    const bool written = Profile::applyWrite(after, section, key, value);
    const ParsedProfile reparsed(after);
    // A CP1251 file whose last bytes that are not UTF-8 were just overwritten reads as UTF-8 from now
    // on, as the encoding rule says: every name and value is read anew, so nothing can be compared.
    if (parsed.encoding() == TextCodec::Encoding::Cp1251 && reparsed.encoding() == TextCodec::Encoding::Utf8 && [&] {
            bool nonAscii = false;
            for (const char c : file)
                nonAscii = nonAscii || uchar(c) >= 0x80;
            return nonAscii;
        }())
        return 0;
    const std::optional<QString> read = reparsed.value(section, key);
    if (!read || *read != value.left(Profile::BufferSize - 1)) {
        const QString got = read.value_or(QStringLiteral("<none>"));
        qsizetype at = 0;
        while (at < got.size() && at < value.size() && got.at(at) == value.at(at))
            ++at;
        broken("the written value does not read back",
               QStringLiteral("%1/%2: %3 characters written, %4 read, first difference at %5: [%6] read [%7]")
                   .arg(section, key)
                   .arg(value.size())
                   .arg(got.size())
                   .arg(at)
                   .arg(value.mid(at, 40), got.mid(at, 40)));
    }
    if (!written && after != file)
        broken("an unchanged write touched the bytes");
    const qsizetype bom = TextCodec::bomLength(parsed.encoding());
    if (!changedWithinOneLine(file, after, width, qMin(bom, file.size())))
        broken("a write changed more than one line");
    othersUnchanged(before, reparsed, section, key);
    return 0;
}
} // namespace
