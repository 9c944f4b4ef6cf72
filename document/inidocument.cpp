#include "document/inidocument.h"

#include "platform/profile.h"
#include "platform/textcodec.h"
#include "platform/userfile.h"

#include <QFileInfo>

#include <QSet>

const QString IniDocument::NotFound = QStringLiteral("!!!!!");

namespace
{
QString lookup(const QString& path, const QString& section, const QString& key)
{
    return Profile::readString(path, section, key).value_or(IniDocument::NotFound);
}

// A separator is searched for by its first character and then compared whole, which is quicker than
// a search for the whole separator in texts as short as values.
qsizetype indexOf(QStringView text, QStringView separator, qsizetype from = 0)
{
    for (qsizetype at = text.indexOf(separator.front(), from); at >= 0; at = text.indexOf(separator.front(), at + 1))
        if (text.sliced(at).startsWith(separator))
            return at;
    return -1;
}

// "//" splits wherever it stands; ";" only when the text holds no "//". Of the pieces that are not
// empty, trimmed, the first is the value and the second the comment, unless the text starts with a
// separator: then the first is the comment.
void splitValue(QStringView raw, QStringView* value, QStringView* comment)
{
    QStringView parts[2];
    int count = 0;
    qsizetype at = indexOf(raw, u"//");
    const QStringView separator = at >= 0 ? QStringView(u"//") : QStringView(u";");
    if (at < 0)
        at = raw.indexOf(u';');
    if (at < 0) {
        parts[count++] = raw.trimmed();
    } else {
        qsizetype from = 0;
        while (count < 2 && from <= raw.size()) {
            if (at < from)
                at = indexOf(raw, separator, from);
            if (at < 0)
                at = raw.size();
            if (at > from)
                parts[count++] = raw.sliced(from, at - from).trimmed();
            from = at + separator.size();
        }
    }
    const bool pureComment = raw.startsWith(u"//") || raw.startsWith(u';');
    if (!pureComment && count > 0) {
        *value = parts[0];
        *comment = count > 1 ? parts[1] : QStringView();
    } else {
        *value = QStringView();
        *comment = count > 0 ? parts[0] : QStringView();
    }
}

// The value part of a look-up's result, "!!!!!" for none: what decides whether a key is there.
QStringView valuePart(const std::optional<QStringView>& raw)
{
    if (!raw)
        return IniDocument::NotFound;
    QStringView value;
    QStringView comment;
    splitValue(*raw, &value, &comment);
    return value;
}

bool readsAsMissing(const std::optional<QStringView>& raw)
{
    return !raw ||
           (raw->contains(u'!') && raw->contains(IniDocument::NotFound) && valuePart(raw) == IniDocument::NotFound);
}

bool isCommentName(QStringView name)
{
    return name.size() >= 2 && name[0] == u'/' && name[1] == u'/';
}

// A key containing "@" anywhere loses its first character and is switched off.
void nameEntry(IniEntry* entry, const QString& key, const QString& section)
{
    const bool disabled = key.contains(QLatin1Char('@'));
    entry->key = disabled ? key.mid(1) : key;
    entry->enabled = !disabled;
    entry->section = section;
}

IniEntry* makeEntry(const QString& key, const QString& section, QStringView raw)
{
    auto* entry = new IniEntry;
    nameEntry(entry, key, section);
    QStringView value;
    QStringView comment;
    splitValue(raw, &value, &comment);
    entry->value = value.toString();
    entry->comment = comment.toString();
    entry->absent = false;
    entry->desc = nullptr;
    return entry;
}

// An entry missing from one of the other files is absent; one whose value part differs shows none.
void compareWithOthers(IniEntry* entry, const QString& key, QList<ParsedProfile::SectionReader>& others,
                       QString* scratch)
{
    for (ParsedProfile::SectionReader& other : others) {
        const QStringView value = valuePart(other.valueView(key, scratch));
        if (value == IniDocument::NotFound) {
            entry->value.clear();
            entry->absent = true;
            entry->enabled = false;
            return;
        }
        if (value != entry->value) {
            entry->value.clear();
            entry->differs = true;
            return;
        }
    }
}

// A folder, a FIFO or a file that cannot be read gives no text, and never makes the caller wait.
QByteArray readAll(const QString& fileName)
{
    QByteArray bytes;
    UserFile::read(fileName, &bytes);
    return bytes;
}
} // namespace

QString IniDocument::valueIn(std::optional<QStringView> raw)
{
    return readsAsMissing(raw) ? NotFound : valuePart(raw).toString();
}

IniDocument::~IniDocument()
{
    qDeleteAll(m_entries);
}

// Every look-up names the file by its absolute path; the few edited files are resolved once per read.
QString IniDocument::absolutePath(const QString& fileName) const
{
    auto it = m_absolutePaths.constFind(fileName);
    if (it != m_absolutePaths.constEnd())
        return it.value();
    const QString path = QFileInfo(fileName).absoluteFilePath();
    m_absolutePaths.insert(fileName, path);
    return path;
}

void IniDocument::readSectionNames(const QString& fileName, QStringList& out) const
{
    out += Profile::sectionNames(absolutePath(fileName));
}

void IniDocument::readKeys(const QString& fileName, const QString& section, QStringList& out) const
{
    const QStringList names = Profile::keyNames(absolutePath(fileName), section);
    if (names.isEmpty())
        return;
    out += names;
    for (const QString& name : names) {
        if (name.startsWith(QLatin1String("//")))
            out.removeOne(name);
        if (name.startsWith(QLatin1Char(';')))
            out.removeOne(name);
        QString sectionCopy = section;
        IniEntry* entry = readEntry(fileName, sectionCopy, name, false);
        if (entry->value == NotFound)
            out.removeOne(name);
        delete entry;
    }
}

IniEntry* IniDocument::readEntry(const QString& fileName, QString& section, const QString& key) const
{
    return readEntry(fileName, section, key, true);
}

IniEntry* IniDocument::readEntry(const QString& fileName, QString& section, const QString& key,
                                 bool withContinuation) const
{
    const QString path = absolutePath(fileName);
    QString raw;
    if (section.isEmpty()) {
        QStringList names;
        readSectionNames(fileName, names);
        for (const QString& name : names) {
            raw = lookup(path, name, key);
            if (raw != NotFound) {
                section = name;
                break;
            }
        }
    } else {
        raw = lookup(path, section, key);
    }
    IniEntry* entry = makeEntry(key, section, raw);
    if (withContinuation && !entry->comment.isEmpty())
        appendContinuationComment(entry, fileName);
    return entry;
}

void IniDocument::appendContinuationComment(IniEntry* entry, const QString& fileName) const
{
    const int fileIndex = int(m_fileList.indexOf(fileName));
    if (fileIndex < 0)
        return;
    auto it = m_continuations.find(fileIndex);
    if (it == m_continuations.end()) {
        const QString text =
            fileIndex < m_fileTexts.size() ? m_fileTexts.at(fileIndex) : ParsedProfile(readAll(fileName)).text();
        it = m_continuations.insert(fileIndex, ContinuationComments(text));
    }
    entry->comment += it->below(entry->section, entry->key);
}

void IniDocument::parseFiles()
{
    m_parses.clear();
    for (const QString& fileName : std::as_const(m_fileList))
        m_parses.append(ParsedProfile(readAll(fileName)));
}

void IniDocument::collectSections()
{
    if (m_parses.size() != m_fileList.size())
        parseFiles();
    for (const ParsedProfile& parsed : std::as_const(m_parses)) {
        m_sections += parsed.sectionNames();
        m_sections.removeDuplicates();
    }
    if (m_sections.isEmpty()) {
        m_sections = QStringList{QStringLiteral("00")};
        addDefaultSection();
    }
}

// A file without any section gets the header "[00]" in front, so its keys become editable. Only a
// text file read whole, or one that is not there at all, gets it: a file that could not be read (a
// folder, a FIFO, a link loop, no read permission) or a binary one is never written.
void IniDocument::addDefaultSection()
{
    if (m_fileList.isEmpty())
        return;
    const QString fileName = m_fileList.first();
    QByteArray bytes;
    if (!UserFile::canOpen(UserFile::read(fileName, &bytes)))
        return;
    const TextCodec::Encoding encoding = TextCodec::detect(bytes);
    // A NUL byte outside UTF-16 means a binary file, not a settings file without its header.
    if (encoding != TextCodec::Encoding::Utf16Le && bytes.contains('\0'))
        return;
    const int bom = TextCodec::bomLength(encoding);

    const QByteArray content = bytes.left(bom) + TextCodec::encode(QStringLiteral("[00]\n"), encoding) + bytes.mid(bom);
    if (!Profile::replaceFile(absolutePath(fileName), content))
        return;
    if (!m_parses.isEmpty())
        m_parses[0] = ParsedProfile(content);
    if (!m_fileTexts.isEmpty())
        m_fileTexts[0] = QStringLiteral("[00]\n") + m_fileTexts.at(0);
    m_continuations.remove(0);
    if (!m_fileTimes.isEmpty())
        m_fileTimes[0] = fileTime(fileName);
}

// Every value comes from the files' parses: the keys a file lists in a section (less those starting
// with "//" and those whose value part reads as the not-found marker), merged over the files, each
// read from the first file and, with several files, compared with the others.
void IniDocument::collectEntries()
{
    if (m_fileList.isEmpty())
        return;
    if (m_parses.size() != m_fileList.size())
        parseFiles();
    const ParsedProfile& first = m_parses.first();
    ContinuationComments continuation(m_fileTexts.value(0));
    continuation.findSections(m_sections);
    QString firstScratch;
    QString otherScratch;
    QList<ParsedProfile::SectionReader> others;
    m_entries.reserve(m_entries.size() + first.lineEntryCount());
    QStringList keys;
    QSet<QStringView> listed; // views of the names in keys
    QList<std::optional<QStringView>> raws;
    QStringList rawCopies; // values decoded into a buffer that the next look-up reuses, kept
    QList<QStringView> comments;
    QList<QStringView> commented;
    for (const QString& section : std::as_const(m_sections)) {
        const qsizetype sectionStart = m_entries.size();
        others.clear();
        for (qsizetype f = 1; f < m_parses.size() && !m_bSingleFile; ++f)
            others.append(ParsedProfile::SectionReader(m_parses.at(f), section));
        keys.clear();
        listed.clear();
        raws.clear();
        rawCopies.clear();
        const auto keep = [&](std::optional<QStringView> raw) {
            if (raw && first.encoding() != TextCodec::Encoding::Cp1251) {
                rawCopies.append(raw->toString());
                raw = rawCopies.last();
            }
            raws.append(raw);
        };
        // The names taken so far are hashed only once a name may repeat one of them.
        bool hashed = false;
        for (qsizetype f = 0; f < m_parses.size(); ++f) {
            m_parses.at(f).visitKeyValues(
                section, [&](QStringView name, std::optional<QStringView> value, bool firstOfName) {
                    if (isCommentName(name) || readsAsMissing(value))
                        return;
                    if (f > 0 || !firstOfName) {
                        if (!hashed) {
                            listed = QSet<QStringView>(keys.cbegin(), keys.cend());
                            hashed = true;
                        }
                        if (listed.contains(name))
                            return;
                    }
                    keys.append(name.toString());
                    if (hashed)
                        listed.insert(keys.last());
                    keep(f == 0 ? value : first.valueView(section, keys.last(), &firstScratch));
                });
        }

        // Each kind of string is made in a run of its own, so that freeing the entries walks their
        // memory once rather than once per kind.
        const qsizetype count = keys.size();
        for (qsizetype k = 0; k < count; ++k)
            m_entries.append(new IniEntry);
        comments.resize(count);
        for (qsizetype k = 0; k < count; ++k) {
            IniEntry* entry = m_entries.at(sectionStart + k);
            nameEntry(entry, keys.at(k), section);
            QStringView value;
            splitValue(raws.at(k).value_or(NotFound), &value, &comments[k]);
            entry->value = value.toString();
        }
        for (qsizetype k = 0; k < count; ++k)
            m_entries.at(sectionStart + k)->comment = comments.at(k).toString();
        for (qsizetype k = 0; k < count; ++k) {
            IniEntry* entry = m_entries.at(sectionStart + k);
            if (entry->value == NotFound) {
                entry->value.clear();
                entry->absent = true;
                entry->enabled = false;
            } else if (!m_bSingleFile) {
                compareWithOthers(entry, keys.at(k), others, &otherScratch);
            }
            if (!m_bSingleFile && (entry->absent || entry->differs))
                keepFileValues(entry, section, keys.at(k));
        }

        commented.clear();
        for (qsizetype e = sectionStart; e < m_entries.size(); ++e)
            if (!m_entries.at(e)->comment.isEmpty())
                commented.append(m_entries.at(e)->key);
        if (commented.isEmpty())
            continue;
        const QList<qsizetype> lines = continuation.keyLines(section, commented);
        qsizetype c = 0;
        for (qsizetype e = sectionStart; e < m_entries.size(); ++e)
            if (!m_entries.at(e)->comment.isEmpty())
                m_entries.at(e)->comment += continuation.belowLine(lines.at(c++));
    }
}

void IniDocument::readFiles()
{
    qDeleteAll(m_entries);
    m_entries.clear();
    m_fileTexts.clear();
    m_continuations.clear();
    m_absolutePaths.clear();
    parseFiles();
    for (const ParsedProfile& parsed : std::as_const(m_parses))
        m_fileTexts.append(parsed.text());
    m_sections.clear();
    collectSections();
    collectEntries();
    // Only the entries outlive the read: a single entry read later decodes its file again.
    m_parses.clear();
    m_fileTexts.clear();
}

void IniDocument::rememberTimes()
{
    m_fileTimes.clear();
    for (const QString& fileName : std::as_const(m_fileList))
        m_fileTimes.append(fileTime(fileName));
}

QDateTime IniDocument::fileTime(const QString& fileName)
{
    const QFileInfo info(fileName);
    return info.exists() ? info.lastModified() : QDateTime();
}
