#pragma once

#include <QString>
#include <QStringList>

// The simulated DSP test shared by the board server and the native demo program: the signal that
// the INI file describes goes block by block through generator, filter and ADC; every block is
// measured and reported, and the samples go to the data file for the visualiser.
struct TestRun
{
    enum Kind
    {
        Adc,      // the whole chain, reported in volts
        Filter,   // the whole chain, plus the filter's gain at the signal frequency
        Generator // the generator alone, without noise or filter
    };

    QString iniPath;
    QStringList overrides; // "Section.Key=value" words from the command line
    Kind kind = Adc;
    int blockDelayMs = 80;
};

// Prints the test's report on standard output and returns the exit code: 0 when every block was
// done and the data file written. A continuous run returns only when the process is killed.
int runTest(const TestRun& run);

// Pause per block: the option's value when given (>= 0), else VOLMAR_SIM_BLOCK_MS, else `fallback`.
int blockDelay(int optionValue, int fallback = 80);
