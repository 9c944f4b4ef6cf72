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

// Program output as a DSP test writes it: "\r" progress lines and result lines, CP1251.
QByteArray makeProgramOutput(qint64 bytes);
