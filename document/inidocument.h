#pragma once

#include "document/continuationcomments.h"
#include "document/inientry.h"
#include "platform/parsedprofile.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QStringList>

// The edited INI files as one flat list of entries: every section and key found in any of them.
// Each file is read once and parsed once by the profile engine, whose look-ups give the values; the
// whole texts serve only for the comment lines below a key line. The main window inherits this class,
// so the document's members are the window's own.
class IniDocument
{
public:
    // Default text of every profile look-up; a result equal to it means "no such section or key".
    static const QString NotFound;

    IniDocument() = default;
    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;
    virtual ~IniDocument();

    void readSectionNames(const QString& fileName, QStringList& out) const;
    void readKeys(const QString& fileName, const QString& section, QStringList& out) const;
    // A new entry owned by the caller; `section` is filled in when it comes in empty.
    IniEntry* readEntry(const QString& fileName, QString& section, const QString& key) const;
    void collectSections();
    void addDefaultSection();
    void collectEntries();
    void readFiles();
    void rememberTimes();

    // Last-modified time of a file as the change check compares it; invalid for a missing file.
    static QDateTime fileTime(const QString& fileName);

    QStringList m_fileList;
    QStringList m_fileTexts; // each file's decoded text while the files are read
    QList<QDateTime> m_fileTimes;
    QStringList m_sections;
    QList<IniEntry*> m_entries;
    bool m_bSingleFile = false;

private:
    IniEntry* readEntry(const QString& fileName, QString& section, const QString& key, bool withContinuation) const;
    void appendContinuationComment(IniEntry* entry, const QString& fileName) const;
    void parseFiles();
    // Each file's own reading of a key the files disagree on (filevalues.cpp).
    void keepFileValues(IniEntry* entry, const QString& section, const QString& name) const;
    // The value part of a look-up's result; NotFound when the key is not there.
    static QString valueIn(std::optional<QStringView> raw);

    // One parse per edited file while the files are read; dropped when reading is done.
    QList<ParsedProfile> m_parses;
    // Per file, the search for continuation comments of single entries read one by one.
    mutable QHash<int, ContinuationComments> m_continuations;
    QString absolutePath(const QString& fileName) const;
    mutable QHash<QString, QString> m_absolutePaths; // relative names resolve against the folder of the read
};
