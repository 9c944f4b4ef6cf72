#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// How the window's program, firmware and data-file lists are made from the description, the
// folder of the edited files and PATH.
namespace ProgramList
{

// DSP program files, in the order their groups are listed.
QStringList programPatterns();

// Program files of dirPath: plain files only, sorted by extension, then by name.
QStringList programFiles(const QString& dirPath);

// Data files ("*.bin") of dirPath: every kind of entry, sorted by extension, then by name.
QStringList dataFiles(const QString& dirPath);

// The entry that is selected in the data-file list: "data.bin" if listed, else the first.
int preferredDataFile(const QStringList& names);

// A DSP file that is not an executable runs through the board server: "prog.x55 -a" becomes
// "kelda.exe -u prog.x55 -a". Executables, names without extension and entries that already name
// the server stay as they are.
QString serverCommand(const QString& entry);

// Completes the program list in place from the description's entries (progList, curProg,
// defList), the program files of the folder and, when nothing else is found, a program named like
// the first INI file in PATH (looked up through findProgram). Returns whether the list had any
// entry before curProg was added, which enables the program controls.
bool complete(QStringList& progList, const QString& curProg, int defList, const QString& firstIniFile,
              const QStringList& folderPrograms, const std::function<QString(const QString&)>& findProgram);

// Full path of the first file `name` in the folders of pathVariable ("" when there is none).
QString findInPath(const QString& name, const QString& pathVariable);

// Command lines of the firmware tool in a batch file's text: every line naming "tprog" (or,
// failing that, "Tprog"), from that word to the end of the line.
QStringList pldEntries(const QString& batchText);

} // namespace ProgramList
