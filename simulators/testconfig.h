#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// What a simulated DSP test does, as its INI file says. Defaults stand for keys that are missing,
// disabled ("@Key") or unreadable.
struct TestConfig
{
    enum Waveform
    {
        Sine = 0,
        Square = 1,
        Saw = 2,
        Triangle = 3
    };
    enum FilterType
    {
        NoFilter = 0,
        LowPass = 1,
        HighPass = 2,
        BandPass = 3
    };

    // [Adc]
    int sampleRate = 48000;
    int channels = 1;
    int range = 1; // 0 - 1 V, 1 - 2.5 V, 2 - 5 V full scale
    double gain = 1.0;
    // [Generator]
    int waveform = Sine;
    double freq = 1000.0;
    double amplitude = 0.8;
    double noise = 0.0;
    double phase = 0.0; // degrees
    // [Filter]
    int filterType = NoFilter;
    int filterOrder = 2;
    double cutoff = 5000.0;
    QVector<double> coeffs; // b0 b1 b2 a1 a2 when given; otherwise designed from the above
    // [Test]
    int blocks = 20;
    int blockSize = 1024;
    bool continuous = false;
    QString dataFile = QStringLiteral("data.bin");
    QString title;
    QString version;
    bool debug = false;

    double rangeVolts() const;
};

// A file name as the lab's Windows tools write it ("data\out.bin") names the file with "/" here;
// a name that exists as given is kept.
QString localPath(const QString& path);

// The INI file a program reads: `preferred` when one is named, else "<programBase>.ini" of the
// folder (the lab names a program after its INI file), else the first "*.ini" of the folder by name.
// Empty when that file does not exist.
QString findIniFile(const QString& folder, const QString& programBase, const QString& preferred = QString());

// Reads the test parameters with the editor's own rules for values and comments. `overrides` are
// "Section.Key=value" words that win over the file. Values that cannot be used are reported in
// `warnings` (Russian texts) and replaced by their defaults.
TestConfig readTestConfig(const QString& iniPath, const QStringList& overrides, QStringList* warnings);
