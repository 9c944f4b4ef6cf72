#pragma once

#include "simulators/testconfig.h"

#include <QString>
#include <QVector>

#include <random>

// The generator of the simulated board: a periodic waveform plus Gaussian noise. The noise source
// has a fixed seed, so a run with the same parameters writes the same data file.
class Generator
{
public:
    explicit Generator(const TestConfig& config, bool withNoise = true);
    double next();

private:
    int m_waveform;
    double m_amplitude;
    double m_step;  // cycles per sample
    double m_cycle; // position in the current cycle, 0..1
    std::mt19937 m_random;
    std::normal_distribution<double> m_noise;
    bool m_withNoise;
};

// Cascade of second-order sections (direct form II transposed); a first-order section is a biquad
// with b2 = a2 = 0.
class Filter
{
public:
    struct Section
    {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
        double z1 = 0, z2 = 0;
    };

    // Butterworth sections of the given type and order; a band pass is centred on the cutoff.
    static Filter design(int type, int order, double cutoff, double sampleRate);
    // The INI's own biquad, repeated for every second order of the filter.
    static Filter fromCoefficients(const QVector<double>& coeffs, int order);

    bool isEmpty() const { return m_sections.isEmpty(); }
    // A section with a pole on or outside the unit circle would make the output grow without end.
    bool isStable() const;
    double process(double x);
    const QVector<Section>& sections() const { return m_sections; }

private:
    QVector<Section> m_sections;
};

// ADC of the board: gain, clipping to full scale, 16-bit two's complement.
qint16 quantize(double x, double gain);

struct BlockStats
{
    double rms = 0;  // fraction of full scale
    double peak = 0; // fraction of full scale
    double freq = 0; // Hz, 0 when no period was seen
};

BlockStats measure(const qint16* samples, int count, double sampleRate);

// Rising crossings of the mean with a hysteresis of a tenth of the swing, so noise near the mean
// does not count as extra periods; the crossing times are interpolated between samples.
double estimateFrequency(const qint16* samples, int count, double sampleRate);
