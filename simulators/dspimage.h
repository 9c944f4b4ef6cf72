#pragma once

#include "simulators/testrun.h"

#include <QString>

// A DSP program image as the simulated board server loads it (*.x55, *.dxe, *.ldr, ...). The file
// starts with a text header in CP1251 (LF or CR LF line ends):
//
//     KELDA-IMAGE 1
//     board: DSP-55
//     test: adc                 adc | filter | gen
//     ini: demo.ini             parameter file in the current folder; empty or absent: the first *.ini
//     title: ...                optional, what the program is, for the loading message
//
// Lines starting with "#" are comments. The header ends at the first empty line; what follows is
// the program body, which the simulator does not execute.
struct DspImage
{
    QString board;
    TestRun::Kind kind = TestRun::Adc;
    QString iniFile;
    QString title;

    // Reads the header of `path`; on failure returns false with a Russian reason in `error`.
    bool load(const QString& path, QString* error);
};
