#include "session/editingsession.h"

#include "description/descriptionmatch.h"
#include "description/descriptionwriter.h"
#include "document/filevalues.h"
#include "document/keychanges.h"
#include "platform/profile.h"
#include "platform/userfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace
{
// The description beside an INI file: its path up to the first "." of the file name, + ".vlmr".
QString descriptionPathFor(const QString& iniPath)
{
    const QFileInfo info(iniPath);
    const QString name = info.fileName();
    const int dot = name.indexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    const QString dir = iniPath.left(iniPath.size() - name.size());
    return dir + base + QStringLiteral(".vlmr");
}

QString reasonText(UserFile::Status status)
{
    switch (status) {
    case UserFile::Status::Folder:
        return EditingSession::tr("это папка, а не файл");
    case UserFile::Status::Special:
        return EditingSession::tr("это не обычный файл, а канал, устройство или сокет");
    case UserFile::Status::LinkLoop:
        return EditingSession::tr("символические ссылки замкнуты в кольцо");
    case UserFile::Status::NoPermission:
        return EditingSession::tr("нет права на чтение");
    default:
        return EditingSession::tr("файл не читается");
    }
}
} // namespace

EditingSession::EditingSession(QObject* parent) : QObject(parent) {}

EditingSession::~EditingSession() = default;

// A FIFO would never answer a read, and a folder cannot be written: neither is touched.
QStringList EditingSession::openable(const QStringList& files, QStringList* refused)
{
    QStringList result;
    for (const QString& file : files) {
        const UserFile::Status status = UserFile::probe(file);
        if (UserFile::canOpen(status))
            result.append(file);
        else if (refused)
            refused->append(QDir::toNativeSeparators(file) + QStringLiteral(": ") + reasonText(status));
    }
    return result;
}

void EditingSession::setOpenList(const QStringList& files)
{
    m_openList = files;
    m_document.m_fileList = files;
}

void EditingSession::chooseFile(int index)
{
    if (index < 0)
        m_document.m_fileList = m_openList;
    else if (index < m_openList.size())
        m_document.m_fileList = QStringList{m_openList.at(index)};
}

QStringList EditingSession::dropUnopenable()
{
    QStringList refused;
    m_document.m_fileList = openable(m_document.m_fileList, &refused);
    return refused;
}

void EditingSession::takeDescription()
{
    QStringList& files = m_document.m_fileList;
    if (files.isEmpty())
        return;
    QDir::setCurrent(QFileInfo(files.first()).absolutePath());
    const auto isDescription = [](const QString& name) { return QFileInfo(name).suffix() == QLatin1String("vlmr"); };
    const auto described = std::find_if(files.cbegin(), files.cend(), isDescription);
    if (described == files.cend()) {
        m_descPath = descriptionPathFor(files.first());
        m_descFromIni = true;
        return;
    }
    // A description named among the files describes them and is never edited as an INI file; the
    // INI file it names joins the set once, with a file tab of its own.
    m_descPath = *described;
    m_descFromIni = false;
    files.removeIf(isDescription);
    const QString named = DescriptionModel::iniFileNamedBy(m_descPath);
    const QString iniPath = named.isEmpty() ? named : QFileInfo(m_descPath).absoluteDir().absoluteFilePath(named);
    const auto samePath = [&iniPath](const QString& name) {
        return QFileInfo(name).absoluteFilePath() == QDir::cleanPath(iniPath);
    };
    // A description that names no file leaves the others edited; alone, it edits a nameless document.
    if (iniPath.isEmpty() ? files.isEmpty() : std::none_of(files.cbegin(), files.cend(), samePath))
        files.append(QDir::cleanPath(iniPath));
    m_openList = files;
}

DescriptionReadResult EditingSession::load()
{
    m_layout.clear();
    m_saved.clear();
    // The entries the history points to are about to be replaced.
    m_history.clear();
    m_document.rememberTimes();
    m_document.m_bSingleFile = m_document.m_fileList.size() == 1;
    m_document.readFiles();

    // Without a description file the one read before stays in force.
    DescriptionReadResult result;
    if (!m_descPath.isEmpty() && QFileInfo(m_descPath).isFile()) {
        result = m_description.readDescription(m_descPath, &m_lastDir);
        matchDescriptions(m_document.m_entries, m_description.m_params);
    }
    m_layout =
        layOutTrees(m_document.m_entries, m_description.m_groups, m_document.m_sections, m_description.m_nTabs != 0);
    for (const TreeLayout& tree : std::as_const(m_layout))
        for (const LayoutRow& row : tree.rows)
            for (const IniEntry* entry : row.entries)
                m_saved[entry] = EntryState{entry->value, entry->enabled, entry->absent, entry->differs};
    return result;
}

const EntryState* EditingSession::savedState(const IniEntry* entry) const
{
    const auto it = m_saved.find(entry);
    return it == m_saved.end() ? nullptr : &it->second;
}

bool EditingSession::isModified() const
{
    return std::any_of(m_saved.cbegin(), m_saved.cend(),
                       [](const auto& saved) { return RowLook::isModified(*saved.first, saved.second); });
}

bool EditingSession::save()
{
    // Mostly the same changes go to every edited file; a disagreement brought back by an undo gives
    // each file its own value.
    QList<QList<KeyChange>> changes(m_document.m_fileList.size());
    const auto toAll = [&changes](const KeyChange& change) {
        for (QList<KeyChange>& fileChanges : changes)
            fileChanges.append(change);
    };
    for (const TreeLayout& tree : std::as_const(m_layout)) {
        for (const LayoutRow& row : tree.rows) {
            for (IniEntry* entry : row.entries) {
                EntryState& saved = m_saved[entry];
                // A list value shown as "2 [two]" is stored as "2".
                if (entry->desc && entry->desc->type == TypeList)
                    entry->value = entry->value.section(QLatin1Char('['), 0, 0).trimmed();
                // One value taken where the files disagreed goes to all of them, even one equal to "".
                const bool valueChanged = RowLook::isValueChanged(*entry, saved);
                const bool enabledChanged = entry->enabled != saved.enabled;
                // A key switched on loses its "@" first, so that the new value lands on the same line.
                if (enabledChanged && entry->enabled)
                    toAll(enabledChange(*entry, true));
                // A value written goes to every file; a key accepted unchanged only into those lacking it.
                if (valueChanged && FileValues::showsDisagreement(*entry)) {
                    for (qsizetype f = 0; f < entry->files.size() && f < changes.size(); ++f) {
                        const FileValue& file = entry->files.at(f);
                        if (!file.present || file.enabled != entry->enabled)
                            continue;
                        IniEntry own = *entry;
                        own.value = file.value;
                        changes[f].append(valueChange(own));
                    }
                } else if (valueChanged) {
                    toAll(valueChange(*entry));
                    FileValues::forget(*entry); // every file now holds the one value
                } else if (saved.absent && !entry->absent) {
                    toAll(addChange(*entry));
                    FileValues::addedWhereMissing(*entry);
                }
                if (enabledChanged && !entry->enabled)
                    toAll(enabledChange(*entry, false));
                saved = EntryState{entry->value, entry->enabled, entry->absent, entry->differs};
            }
        }
    }
    bool written = true;
    for (qsizetype f = 0; f < changes.size(); ++f)
        written = applyKeyChanges(m_document.m_fileList.at(f), changes.at(f)) && written;
    m_document.rememberTimes();
    emit saved();
    return written;
}

bool EditingSession::saveAs(const QString& target)
{
    QStringList& files = m_document.m_fileList;
    if (target.isEmpty() || files.isEmpty())
        return false;
    const QString source = files.first();
    // Whether to replace an existing target was for the user to say before.
    QFile sourceFile(source);
    QByteArray bytes;
    if (sourceFile.open(QIODevice::ReadOnly))
        bytes = sourceFile.readAll();
    if (QFileInfo(target).absoluteFilePath() != QFileInfo(source).absoluteFilePath() &&
        !Profile::replaceFile(QFileInfo(target).absoluteFilePath(), bytes))
        return false;
    files[0] = target;
    save();
    m_lastDir = QFileInfo(source).absolutePath();
    return true;
}

QStringList EditingSession::changedFiles() const
{
    QStringList changed;
    const QStringList& files = m_document.m_fileList;
    for (int i = 0; i < files.size(); ++i)
        if (IniDocument::fileTime(files.at(i)) != m_document.m_fileTimes.value(i))
            changed << QFileInfo(files.at(i)).fileName();
    return changed;
}

bool EditingSession::setEnabled(IniEntry* entry, bool enabled)
{
    if (!entry || entry->enabled == enabled)
        return false;
    entry->enabled = enabled;
    return true;
}

void EditingSession::acceptMissingKey(IniEntry* entry)
{
    // The next save adds the key to the files that lack it. A read-only key keeps its state.
    entry->absent = false;
    if (!RowLook::isReadOnly(*entry))
        entry->enabled = true;
}

bool EditingSession::noteChange(IniEntry* entry)
{
    // The first change of an entry started from its saved state: every change since is noted here.
    const EntryState* saved = entry ? savedState(entry) : nullptr;
    // A key some files lack cannot be taken out of them again by a save; nor can a file whose key
    // is switched the other way take its own value on the entry's key line.
    if (!saved || saved->absent)
        return false;
    QList<FileValue> savedFiles;
    if (saved->differs) {
        if (!FileValues::eachFileHolds(*entry, saved->enabled))
            return false;
        savedFiles = entry->files;
    }
    return m_history.record(entry, saved->value, saved->enabled, savedFiles);
}

bool EditingSession::takeFileValue(IniEntry* entry, int file)
{
    if (!entry || file < 0 || file >= entry->files.size() || !entry->files.at(file).present)
        return false;
    entry->value = entry->files.at(file).value;
    entry->differs = false;
    return true;
}

QList<IniEntry*> EditingSession::revertToSaved(IniEntry* entry)
{
    QList<IniEntry*> reverted;
    const auto revert = [&](IniEntry* changed, const EntryState& saved) {
        if (!RowLook::isModified(*changed, saved))
            return;
        changed->value = saved.value;
        // A value taken from one file goes back to the files' own, a key accepted into every file
        // back to missing from some.
        changed->differs = saved.differs;
        changed->absent = saved.absent;
        changed->enabled = saved.enabled;
        noteChange(changed);
        reverted.append(changed);
    };
    if (entry) {
        if (const EntryState* saved = savedState(entry))
            revert(entry, *saved);
        return reverted;
    }
    // In the trees' order, as a save writes them; an entry shown in two trees is put back once.
    for (const TreeLayout& tree : std::as_const(m_layout))
        for (const LayoutRow& row : tree.rows)
            for (IniEntry* laidOut : row.entries)
                revert(laidOut, m_saved.at(laidOut));
    return reverted;
}

void EditingSession::setGroupOpen(const QString& title, bool open)
{
    for (GroupDescription* group : std::as_const(m_description.m_groups)) {
        if (group->title != title)
            continue;
        group->open = open;
        writeGroupState(*group);
    }
}

void EditingSession::setGroupColor(const QString& title, int red, int green, int blue)
{
    for (GroupDescription* group : std::as_const(m_description.m_groups)) {
        if (group->title != title)
            continue;
        group->red = red;
        group->green = green;
        group->blue = blue;
        writeGroupState(*group);
    }
}

void EditingSession::writeGroupState(const GroupDescription& group)
{
    // An invalid colour is written as black, the components a colour object reports for it.
    const bool valid = group.hasValidColor();
    DescriptionWriter::saveGroupState(m_descPath, group.title, group.open, valid ? group.red : 0,
                                      valid ? group.green : 0, valid ? group.blue : 0);
}

void EditingSession::rememberProgram(const QString& commandLine)
{
    DescriptionWriter::writeDescription(m_descPath, QStringLiteral("curprog"), QStringLiteral("cmdline"), commandLine);
}
