#pragma once

#include "description/descriptionmodel.h"
#include "description/rowlook.h"
#include "description/treelayout.h"
#include "document/inidocument.h"
#include "session/edithistory.h"

#include <QObject>
#include <QStringList>

#include <unordered_map>

// One editing session: the set of INI files being edited, their merged entries, the description that
// lays them out, and what was last read or saved of each key. It reads, saves and writes back; it
// asks nobody anything: where the user must decide, the window asks and passes the answer in.
class EditingSession : public QObject
{
    Q_OBJECT

public:
    explicit EditingSession(QObject* parent = nullptr);
    ~EditingSession() override;

    IniDocument& document() { return m_document; }
    const IniDocument& document() const { return m_document; }
    DescriptionModel& description() { return m_description; }
    const DescriptionModel& description() const { return m_description; }

    // The files that may be opened: regular readable files, and files not there yet. Each of the
    // others goes into `refused` as "path: reason".
    static QStringList openable(const QStringList& files, QStringList* refused);

    // The files the user asked for; the edited set is all of them, or one while a file tab is chosen.
    const QStringList& openList() const { return m_openList; }
    const QStringList& fileList() const { return m_document.m_fileList; }
    void setOpenList(const QStringList& files);
    // Edits all the files asked for (index -1) or only the one at `index`.
    void chooseFile(int index);
    // Keeps only the edited files that can still be opened; returns the refusals as openable() does.
    QStringList dropUnopenable();

    // Moves into the first file's folder and takes the description out of the file list: a ".vlmr"
    // file named there (its INI file joins the set), else the one beside the first file.
    void takeDescription();
    const QString& descPath() const { return m_descPath; }
    // The description was looked up beside the INI file rather than named by the user.
    bool descFromIni() const { return m_descFromIni; }
    QString& lastDir() { return m_lastDir; }

    // Reads the edited files and their description, and lays the keys out. What was read is the saved
    // state of every key.
    DescriptionReadResult load();
    const QList<TreeLayout>& layout() const { return m_layout; }
    // What a key was when last read or saved; null for a key the last load did not lay out.
    const EntryState* savedState(const IniEntry* entry) const;

    // Some laid-out key differs from its saved state.
    bool isModified() const;
    // Writes every changed key into every edited file, in the order the trees show them, and takes the
    // values as saved. False when a file could not be written.
    bool save();
    // Copies the first file's bytes to `target`, edits that copy from now on and saves into it.
    bool saveAs(const QString& target);
    // The names of the edited files changed on disk since they were read or saved.
    QStringList changedFiles() const;

    // The user switched a key on or off; true when that differs from the entry's state.
    bool setEnabled(IniEntry* entry, bool enabled);
    // The user agreed to add a key missing from some files: the next save adds it.
    void acceptMissingKey(IniEntry* entry);

    // The user chose the value one file of the set holds for a key the files disagree on: the entry
    // takes it, and the next save writes it to every file. False when that file lacks the key.
    bool takeFileValue(IniEntry* entry, int file);

    // The user changed the entry's value or switch: the history takes the change, unless some edited
    // files lacked the key or held it switched the other way. A reload forgets it.
    bool noteChange(IniEntry* entry);
    EditHistory& history() { return m_history; }
    // Puts the value and switch of one entry, or of every laid-out entry (null), back as last read or
    // saved; each entry put back is a change the history can take back. Returns those entries.
    QList<IniEntry*> revertToSaved(IniEntry* entry = nullptr);

    // Remembers a group's open state or colour in the description file.
    void setGroupOpen(const QString& title, bool open);
    void setGroupColor(const QString& title, int red, int green, int blue);
    // Writes the program last chosen into the description.
    void rememberProgram(const QString& commandLine);

signals:
    // The values were written: the trees take them as saved.
    void saved();

private:
    void writeGroupState(const GroupDescription& group);

    IniDocument m_document;
    DescriptionModel m_description;
    QStringList m_openList;
    QString m_descPath;
    bool m_descFromIni = false;
    QString m_lastDir;
    QList<TreeLayout> m_layout;
    std::unordered_map<const IniEntry*, EntryState> m_saved; // node-based: rows keep pointers to the states
    EditHistory m_history;
};
