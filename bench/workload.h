#pragma once

#include <QString>
#include <QStringList>

// A generated lab folder the size the editor must handle: INI files with every key commented,
// spread over sections, and a description with one parameter per key in coloured groups.
struct Workload
{
    QString dir;
    QStringList iniFiles; // every file holds the same keys; values differ in a few places
    QString description;
    int keys = 0;
};

Workload makeWorkload(const QString& dir, int scale, int files);

// One INI file of `sections` sections with `keysPerSection` commented keys each (a continuation
// line below every tenth), CP1251 with CR LF. With repeatedNames every section has the same key
// names; otherwise every key name is unique in the file.
QByteArray makeSectionsFile(int sections, int keysPerSection, bool repeatedNames);

// Program output as a DSP test writes it: "\r" progress lines and result lines, CP1251.
QByteArray makeProgramOutput(qint64 bytes);
