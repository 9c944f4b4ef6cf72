#include "simulators/spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace
{
constexpr double Pi = 3.14159265358979323846;
constexpr double FloorDb = -140.0;

void fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * Pi / double(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0, 0.0);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k];
                const std::complex<double> v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}
} // namespace

Spectrum Spectrum::of(const qint16* samples, int count, int maxSize)
{
    Spectrum result;
    int n = 1;
    while (n * 2 <= std::min(count, maxSize))
        n *= 2;
    if (n < 4)
        return result;
    const qint16* start = samples + (count - n);
    std::vector<std::complex<double>> data(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * Pi * i / n);
        data[size_t(i)] = start[i] / 32767.0 * window;
    }
    fft(data);
    result.fftSize = n;
    result.db.resize(n / 2 + 1);
    // A full-scale sine gives |X| = N/4 under the Hann window.
    for (int k = 0; k <= n / 2; ++k) {
        const double magnitude = std::abs(data[size_t(k)]) * 4.0 / n;
        result.db[k] = magnitude > 0 ? std::max(FloorDb, 20.0 * std::log10(magnitude)) : FloorDb;
    }
    return result;
}

int Spectrum::peakBin() const
{
    if (db.size() < 3)
        return -1;
    return int(std::max_element(db.cbegin() + 2, db.cend()) - db.cbegin());
}
