#pragma once

#include "platform/textcodec.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// One INI file as the profile functions see it: the raw bytes plus an index of its lines, sections
// and entries by byte offset. Reads decode only the names and the one value asked for; edits are
// computed as a single splice of the raw bytes, so every byte outside it stays as it was.
class ParsedProfile
{
public:
    // [begin, end) of the file's bytes is replaced by text.
    struct Splice
    {
        qsizetype begin = 0;
        qsizetype end = 0;
        QByteArray text;
        int valueOf = -1; // the entry whose value alone this splice replaces, if any
    };

    explicit ParsedProfile(QByteArray bytes = {});

    class Batch;
    class SectionReader;

    const QByteArray& bytes() const { return m_bytes; }
    TextCodec::Encoding encoding() const { return m_encoding; }

    // The whole text, decoded; shares its characters with the parse where the file is CP1251.
    QString text() const;

    QStringList sectionNames() const;
    // Lines neither blank nor headers: room enough for the keys of every section.
    qsizetype lineEntryCount() const { return m_entries.size(); }
    QStringList keyNames(const QString& section) const;
    // keyNames(section), each name with what value(section, name) reads, in one pass over the section.
    // The name and the value are lent: they live until visit returns. `firstOfName` says no earlier
    // name of the list is the same text.
    using KeyValueVisit = std::function<void(QStringView name, std::optional<QStringView> value, bool firstOfName)>;
    void visitKeyValues(const QString& section, const KeyValueVisit& visit) const;
    std::optional<QString> value(const QString& section, const QString& key) const;
    // value(section, key) lent: a view of the decoded text, or of *scratch, which it may overwrite.
    std::optional<QStringView> valueView(const QString& section, const QString& key, QString* scratch) const;
    // Where the names of the first named section's key lines called `name` (case ignored) begin, in
    // file order: after the line's leading blanks. Lines without "=" hold no key.
    QList<qsizetype> keyNameOffsets(const QString& section, const QString& name) const;

    // The line (counted from 1) of the key value() reads; 0 when value() finds nothing.
    int keyLine(const QString& section, const QString& key) const;

    // One line that is not blank, as a report about the file points at it.
    struct OutlineLine
    {
        enum Kind
        {
            Header, // "[name]"
            Key,    // a line keyNames() lists for its section
            Other   // no "=", or a name starting with ";"
        };
        int number = 0; // counted from 1; CR LF, CR and LF each end a line
        Kind kind = Other;
        QString name; // the section name, or the text before "=" (the whole line without one), trimmed
    };
    // Every line that is not blank, in file order, repeated and unreachable ones included.
    QList<OutlineLine> outline() const;

    // std::nullopt: the file stays as it is (the value is already there, nothing matched).
    std::optional<Splice> putValue(const QString& section, const QString& key, const QString& value) const;
    std::optional<Splice> removeKey(const QString& section, const QString& key) const;
    std::optional<Splice> removeSection(const QString& section) const;

    // Makes this the parse of the spliced bytes; a value replaced within its line only shifts offsets.
    void apply(const Splice& splice);

    static QByteArray spliced(const QByteArray& bytes, const Splice& splice);

    // The upper-case form in which names are compared (one-to-one upper case of every character).
    static QString foldCase(QStringView name);

private:
    enum class Kind : quint8
    {
        Blank,
        Header,
        Entry
    };
    struct Line
    {
        qsizetype begin;      // first byte
        qsizetype contentEnd; // first byte of the line end
        qsizetype end;        // first byte of the next line
        Kind kind;
    };
    struct Entry
    {
        qsizetype nameAt; // in the decoded names: the CP1251 text itself, else m_names
        qsizetype nameSize;
        int line;
        int first;        // the section's first entry of this name, which look-ups find; -1 where unreachable
        qsizetype equals; // offset of the first "=", -1 when the line has none
        qsizetype valueBegin;
        qsizetype valueEnd;
        int section;
    };
    struct Section
    {
        QString name;
        int header = -1; // -1: the nameless part before the first header
        int endLine = 0; // the next header, or the line count
        int firstEntry = 0;
        int endEntry = 0;
        bool listed = false;
        qsizetype keySlots = 0;     // where its table of keys starts in m_keySlots
        qsizetype keySlotCount = 0; // 0 for a section no look-up reaches
    };
    // One slot of a hash table of names compared with case ignored; index -1 marks a free slot.
    struct Slot
    {
        uint hash;
        int index;
    };

    template <int Width>
    void parse();
    uint unitAt(qsizetype offset) const
    {
        const auto* data = reinterpret_cast<const uchar*>(m_bytes.constData());
        return m_width == 1 ? data[offset] : data[offset] | (uint(data[offset + 1]) << 8);
    }
    bool isBlankUnit(uint unit) const;
    qsizetype skipBlanks(qsizetype begin, qsizetype end) const;
    qsizetype skipBlanksBack(qsizetype begin, qsizetype end) const;
    qsizetype cutAtNul(qsizetype begin, qsizetype end) const;
    QString decodeRange(qsizetype begin, qsizetype end) const;
    QByteArray encodeText(const QString& text, QStringView decidingText = {}) const;
    bool isKey(const Entry& entry) const;
    QStringView nameOf(const Entry& entry) const
    {
        return QStringView(m_encoding == TextCodec::Encoding::Cp1251 ? m_cp1251Text : m_names)
            .sliced(entry.nameAt, entry.nameSize);
    }
    int findValue(const QString& section, const QString& key) const; // entry index, or -1
    std::optional<QString> valueOf(int entry) const;
    std::optional<QStringView> valueViewOf(int entry, QString* scratch) const;
    int findSection(QStringView name) const;
    int findKey(int section, QStringView name) const; // the section's first entry of the name, or -1
    void buildIndex();
    template <typename Same>
    static int probe(const Slot* table, qsizetype size, uint hash, Same&& same, qsizetype* freeSlot);
    bool applyInPlace(const Splice& splice);

    QByteArray m_bytes;
    TextCodec::Encoding m_encoding = TextCodec::Encoding::Cp1251;
    int m_width = 1;       // bytes per code unit
    qsizetype m_start = 0; // first byte after the BOM
    bool m_asciiOnly = true;
    bool m_hasNul = false; // names and values end at a NUL only where the file holds one
    QString m_cp1251Text;  // the whole CP1251 text, one character per byte after m_start
    QString m_names;       // the entries' names one after another, where the text is not CP1251
    QByteArray m_lineEnd;  // what new lines end with
    QList<Line> m_lines;
    QList<Entry> m_entries;
    QList<Section> m_sections;  // [0] is the nameless part
    QList<Slot> m_sectionSlots; // reachable sections by name
    QList<Slot> m_keySlots;     // per reachable section, its first entries by name
};

// value() for many keys of one section, asked for mostly in the order of its lines, as another file
// of the same layout lists them: each look-up first tries the key after the one found last, so a
// walk in step with the section needs no hash look-up at all.
class ParsedProfile::SectionReader
{
public:
    SectionReader(const ParsedProfile& parsed, const QString& section);
    // parsed.valueView(section, key, scratch).
    std::optional<QStringView> valueView(const QString& key, QString* scratch);

private:
    const ParsedProfile* m_parsed;
    int m_section;  // -1: no such section
    int m_next = 0; // the entry after the one found last
};

// Value writes applied together, each as putValue() and apply() would apply it after the ones
// before it. Writes that replace a value within its line are held and spliced in one pass at the
// end, so a thousand of them cost one copy of the file; any other write first applies what is held.
class ParsedProfile::Batch
{
public:
    explicit Batch(QByteArray bytes);
    // False when the bytes stay as they are.
    bool putValue(const QString& section, const QString& key, const QString& value);
    // Whether value(section, key) finds the key; held writes never change that.
    bool hasValue(const QString& section, const QString& key) const { return m_parsed.findValue(section, key) >= 0; }
    // The parse of the bytes with every write so far.
    const ParsedProfile& parsed();
    // The bytes with every write so far.
    QByteArray bytes() const;

private:
    bool holdable(const Splice& splice) const;
    void flush();
    int anchorLine() const;

    ParsedProfile m_parsed;
    QMap<int, Splice> m_held; // by entry, so in file order
    int m_anchorLine = -1;    // no held write may touch this line: it keeps the file's encoding
};
