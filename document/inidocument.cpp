#include "document/inidocument.h"

#include "platform/profile.h"
#include "platform/textcodec.h"
#include "platform/userfile.h"

#include <QFileInfo>

#include <algorithm>

const QString IniDocument::NotFound = QStringLiteral("!!!!!");

namespace
{
QString lookup(const QString& path, const QString& section, const QString& key)
{
    return Profile::readString(path, section, key).value_or(IniDocument::NotFound);
}

// "//" splits wherever it stands; ";" only when the text holds no "//".
QStringList splitComment(const QString& raw)
{
    QStringList parts;
    if (raw.contains(QLatin1String("//")))
        parts = raw.split(QLatin1String("//"), Qt::SkipEmptyParts);
    else if (raw.contains(QLatin1Char(';')))
        parts = raw.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    else
        parts = QStringList{raw};
    for (QString& part : parts)
        part = part.trimmed();
    return parts;
}

// A folder, a FIFO or a file that cannot be read gives no text, and never makes the caller wait.
QByteArray readAll(const QString& fileName)
{
    QByteArray bytes;
    UserFile::read(fileName, &bytes);
    return bytes;
}
} // namespace

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

    const QStringList parts = splitComment(raw);
    auto* entry = new IniEntry;
    if (key.contains(QLatin1Char('@'))) {
        entry->key = key.mid(1);
        entry->enabled = false;
    } else {
        entry->key = key;
        entry->enabled = true;
    }
    entry->section = section;

    const bool pureComment = raw.startsWith(QLatin1String("//")) || raw.startsWith(QLatin1Char(';'));
    if (!pureComment && !parts.isEmpty()) {
        entry->value = parts.at(0);
        entry->comment = parts.size() > 1 ? parts.at(1) : QString();
    } else {
        entry->value = QString();
        entry->comment = parts.isEmpty() ? QString() : parts.at(0);
    }
    entry->absent = false;
    entry->desc = nullptr;

    if (withContinuation && !entry->comment.isEmpty())
        appendContinuationComment(entry, fileName);
    return entry;
}

// Comment lines right below a commented key line continue its comment. The search for the key line
// is textual and case-sensitive, and lines are split at CR LF only, as the lab's files were
// written on Windows; LF-only files therefore never continue a comment.
void IniDocument::appendContinuationComment(IniEntry* entry, const QString& fileName) const
{
    const int fileIndex = m_fileList.indexOf(fileName);
    if (fileIndex < 0 || fileIndex >= m_fileTexts.size())
        return;
    const QString& text = m_fileTexts.at(fileIndex);

    TextIndex& index = m_textIndex[fileIndex];

    // Where the section's header starts; memoised because every key of a section asks again.
    auto cached = index.sectionStarts.constFind(entry->section);
    qsizetype base = 0;
    if (cached != index.sectionStarts.constEnd()) {
        base = cached.value();
    } else {
        qsizetype p = text.indexOf(entry->section, base);
        while (p >= 0 && p - base >= 2 && text.at(p - 2) != QLatin1Char('\n')) {
            base = p + 1;
            p = text.indexOf(entry->section, base);
        }
        if (p >= 0 && p - base >= 2)
            base = p;
        index.sectionStarts.insert(entry->section, base);
    }

    const qsizetype p = findKeyLine(text, index, entry->key, base);
    if (p < 0)
        return;

    const QLatin1String crlf("\r\n");
    qsizetype lineEnd = text.indexOf(crlf, p);
    while (lineEnd >= 0) {
        const qsizetype start = lineEnd + 2;
        lineEnd = text.indexOf(crlf, start);
        const QString piece = text.mid(start, (lineEnd < 0 ? text.size() : lineEnd) - start).trimmed();
        if (piece.startsWith(QLatin1Char(';')))
            entry->comment += QLatin1Char('\n') + piece.mid(1);
        else if (piece.startsWith(QLatin1String("//")))
            entry->comment += QLatin1Char('\n') + piece.mid(2);
        else
            break;
    }
}

// The first occurrence of key at or after base that stands at base, at a line start, or behind an
// "@" at a line start. Only those places can match, so only line starts are examined; a key of one
// repeated character can also match right behind a rejected occurrence, and is searched textually.
qsizetype IniDocument::findKeyLine(const QString& text, TextIndex& index, const QString& key, qsizetype base)
{
    if (key.isEmpty())
        return base;
    const bool uniform = key.count(key.at(0)) == key.size();
    if (uniform) {
        qsizetype p = text.indexOf(key, base);
        while (p >= 0 && p != base) {
            const QChar before = text.at(p - 1);
            if (before == QLatin1Char('\n'))
                break;
            if (before == QLatin1Char('@') && p - base >= 2 && text.at(p - 2) == QLatin1Char('\n'))
                break;
            base = p + 1;
            p = text.indexOf(key, base);
        }
        return p;
    }

    const QStringView view(text);
    if (view.mid(base).startsWith(key))
        return base;
    if (index.lines.isEmpty())
        index.build(text);
    // Lines are sorted by their text, so the lines that begin with the key stand together.
    auto lineText = [&](const TextIndex::Line& line) { return view.mid(line.start, line.length); };
    auto it = std::lower_bound(
        index.lines.cbegin(), index.lines.cend(), key,
        [&](const TextIndex::Line& line, const QString& k) { return lineText(line) < QStringView(k); });
    qsizetype best = -1;
    for (; it != index.lines.cend() && lineText(*it).startsWith(key); ++it)
        if (it->start > base && (best < 0 || it->start < best))
            best = it->start;
    return best;
}

void IniDocument::TextIndex::build(const QString& text)
{
    const QStringView view(text);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        lines.append({start, end - start});
        if (text.at(start) == QLatin1Char('@'))
            lines.append({start + 1, end - start - 1});
        start = end + 1;
    }
    std::sort(lines.begin(), lines.end(),
              [&](const Line& a, const Line& b) { return view.mid(a.start, a.length) < view.mid(b.start, b.length); });
}

void IniDocument::collectSections()
{
    for (const QString& fileName : std::as_const(m_fileList)) {
        readSectionNames(fileName, m_sections);
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
    if (!m_fileTexts.isEmpty())
        m_fileTexts[0] = QStringLiteral("[00]\n") + m_fileTexts.at(0);
    if (!m_textIndex.isEmpty())
        m_textIndex[0] = TextIndex();
    if (!m_fileTimes.isEmpty())
        m_fileTimes[0] = fileTime(fileName);
}

void IniDocument::collectEntries()
{
    if (m_fileList.isEmpty())
        return;
    const QString& first = m_fileList.first();
    for (const QString& section : std::as_const(m_sections)) {
        QStringList keys;
        for (const QString& fileName : std::as_const(m_fileList)) {
            QStringList fileKeys;
            readKeys(fileName, section, fileKeys);
            keys += fileKeys;
            keys.removeDuplicates();
        }
        for (const QString& key : std::as_const(keys)) {
            QString sectionCopy = section;
            IniEntry* entry = readEntry(first, sectionCopy, key);
            if (entry->value == NotFound) {
                entry->value.clear();
                entry->absent = true;
                entry->enabled = false;
            } else if (!m_bSingleFile) {
                for (const QString& fileName : std::as_const(m_fileList)) {
                    QString other = section;
                    IniEntry* e2 = readEntry(fileName, other, key, false);
                    const QString value = e2->value;
                    delete e2;
                    if (value == NotFound) {
                        entry->value.clear();
                        entry->absent = true;
                        entry->enabled = false;
                        break;
                    }
                    if (value != entry->value) {
                        entry->value.clear();
                        break;
                    }
                }
            }
            m_entries.append(entry);
        }
    }
}

void IniDocument::readFiles()
{
    qDeleteAll(m_entries);
    m_entries.clear();
    m_fileTexts.clear();
    m_textIndex.clear();
    m_absolutePaths.clear();
    for (const QString& fileName : std::as_const(m_fileList)) {
        m_fileTexts.append(TextCodec::decode(readAll(fileName)));
        m_textIndex.append(TextIndex());
    }
    m_sections.clear();
    collectSections();
    collectEntries();
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
