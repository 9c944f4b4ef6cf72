#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Comment lines right below a commented key line continue its comment. The key line is found as
// the lab's original tool found it, textually and case-sensitively in the file's whole text: first
// the section's name, then the key at a line start (or behind an "@" there) after it; lines are
// split at CR LF only, so LF-only files never continue a comment.
//
// The searches are answered in time linear in the file: findSections() finds the names of all
// sections in one scan of the lines, keyLines() the keys of one section in one scan of the lines
// after its name. below() also works without them, searching the text for each question.
class ContinuationComments
{
public:
    explicit ContinuationComments(const QString& text = {});

    void findSections(const QStringList& sections);
    // Where the key line of each of the section's keys starts, -1 for none.
    QList<qsizetype> keyLines(const QString& section, const QList<QStringView>& keys);

    // Every comment line below the key line, each as "\n" + its text after ";" or "//".
    QString below(const QString& section, const QString& key);
    // The same for the key line that starts at `keyLine`, as keyLines() found it.
    QString belowLine(qsizetype keyLine);

private:
    struct Lead
    {
        qsizetype start;
        qsizetype length;
    };

    qsizetype sectionStart(const QString& section);
    qsizetype walkToSection(const QString& section) const;
    qsizetype keyLine(QStringView key, qsizetype base);
    qsizetype keyLineFromIndex(QStringView key, qsizetype base);
    qsizetype nextCrLf(qsizetype from);
    bool commentFollows(qsizetype lineEnd) const;
    QStringView leadAt(qsizetype position) const;
    qsizetype lineStartAtOrAfter(qsizetype position) const;

    QString m_text;
    QHash<QString, qsizetype> m_sectionStarts;
    QList<Lead> m_leads; // every line's text before "=", sorted; built when first needed
    bool m_leadsBuilt = false;
    qsizetype m_crLfFrom = -1; // the first CR LF at or after m_crLfFrom is at m_crLfAt
    qsizetype m_crLfAt = -1;
    mutable qsizetype m_noNewlineFrom = -1; // no LF at or after it; -1 before a search finds none
};
