#include "document/inidocument.h"

#include "platform/profile.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

const QString IniDocument::NotFound = QStringLiteral("!!!!!");

namespace
{
QString absolutePath(const QString& fileName)
{
    return QFileInfo(fileName).absoluteFilePath();
}

QString lookup(const QString& fileName, const QString& section, const QString& key)
{
    return Profile::readString(absolutePath(fileName), section, key).value_or(IniDocument::NotFound);
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

QByteArray readAll(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
} // namespace

IniDocument::~IniDocument()
{
    qDeleteAll(m_entries);
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
    QString raw;
    if (section.isEmpty()) {
        QStringList names;
        readSectionNames(fileName, names);
        for (const QString& name : names) {
            raw = lookup(fileName, name, key);
            if (raw != NotFound) {
                section = name;
                break;
            }
        }
    } else {
        raw = lookup(fileName, section, key);
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

    // Where the section's header starts; memoised because every key of a section asks again.
    auto& memo = m_sectionStarts[fileIndex];
    auto cached = memo.constFind(entry->section);
    int base = 0;
    if (cached != memo.constEnd()) {
        base = cached.value();
    } else {
        int p = text.indexOf(entry->section, base);
        while (p >= 0 && p - base >= 2 && text.at(p - 2) != QLatin1Char('\n')) {
            base = p + 1;
            p = text.indexOf(entry->section, base);
        }
        if (p >= 0 && p - base >= 2)
            base = p;
        memo.insert(entry->section, base);
    }

    int p = text.indexOf(entry->key, base);
    while (p >= 0 && p != base) {
        const QChar before = text.at(p - 1);
        if (before == QLatin1Char('\n'))
            break;
        if (before == QLatin1Char('@') && p - base >= 2 && text.at(p - 2) == QLatin1Char('\n'))
            break;
        base = p + 1;
        p = text.indexOf(entry->key, base);
    }
    if (p < 0)
        return;

    const QLatin1String crlf("\r\n");
    int lineEnd = text.indexOf(crlf, p);
    while (lineEnd >= 0) {
        const int start = lineEnd + 2;
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

// A file without any section gets the header "[00]" in front, so its keys become editable.
void IniDocument::addDefaultSection()
{
    if (m_fileList.isEmpty())
        return;
    const QString fileName = m_fileList.first();
    const QByteArray bytes = readAll(fileName);
    const TextCodec::Encoding encoding = TextCodec::detect(bytes);
    const int bom = TextCodec::bomLength(encoding);

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(bytes.left(bom));
    file.write(TextCodec::encode(QStringLiteral("[00]\n"), encoding));
    file.write(bytes.mid(bom));
    if (!file.commit())
        return;
    if (!m_fileTexts.isEmpty())
        m_fileTexts[0] = QStringLiteral("[00]\n") + m_fileTexts.at(0);
    m_sectionStarts.clear();
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
    m_sectionStarts.clear();
    for (const QString& fileName : std::as_const(m_fileList)) {
        m_fileTexts.append(TextCodec::decode(readAll(fileName)));
        m_sectionStarts.append(QHash<QString, int>());
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
