#pragma once

#include <QVector>

// Magnitude spectrum of the newest samples: Hann window, radix-2 FFT of the largest power of two
// not above min(count, maxSize), bins 0..N/2 in dB relative to a full-scale sine.
struct Spectrum
{
    QVector<double> db;
    int fftSize = 0;

    static Spectrum of(const qint16* samples, int count, int maxSize = 8192);
    // The strongest bin above the lowest two (the DC offset is not a signal); -1 when empty.
    int peakBin() const;
};
