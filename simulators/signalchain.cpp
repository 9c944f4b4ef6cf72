#include "simulators/signalchain.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double Pi = 3.14159265358979323846;
constexpr quint32 NoiseSeed = 20240229;
} // namespace

Generator::Generator(const TestConfig& config, bool withNoise)
    : m_waveform(config.waveform), m_amplitude(config.amplitude), m_step(config.freq / config.sampleRate),
      m_cycle(std::fmod(config.phase / 360.0 + 1.0, 1.0)), m_random(NoiseSeed), m_noise(0.0, config.noise),
      m_withNoise(withNoise && config.noise > 0)
{}

double Generator::next()
{
    double wave = 0;
    switch (m_waveform) {
    case TestConfig::Square:
        wave = m_cycle < 0.5 ? 1.0 : -1.0;
        break;
    case TestConfig::Saw:
        wave = 2.0 * m_cycle - 1.0;
        break;
    case TestConfig::Triangle:
        wave = 1.0 - 4.0 * std::fabs(m_cycle - 0.5);
        break;
    default:
        wave = std::sin(2.0 * Pi * m_cycle);
        break;
    }
    // The position is kept within one cycle so that a run of days loses no precision.
    m_cycle = std::fmod(m_cycle + m_step, 1.0);
    double x = m_amplitude * wave;
    if (m_withNoise)
        x += m_noise(m_random);
    return x;
}

Filter Filter::design(int type, int order, double cutoff, double sampleRate)
{
    Filter filter;
    if (type == TestConfig::NoFilter || order < 1)
        return filter;
    const double w0 = 2.0 * Pi * std::clamp(cutoff, 1.0, 0.49 * sampleRate) / sampleRate;
    const double cw = std::cos(w0);
    const double sw = std::sin(w0);

    auto biquad = [&](double q) {
        const double alpha = sw / (2.0 * q);
        const double a0 = 1.0 + alpha;
        Section s;
        if (type == TestConfig::HighPass) {
            s.b0 = (1.0 + cw) / 2.0;
            s.b1 = -(1.0 + cw);
            s.b2 = s.b0;
        } else if (type == TestConfig::BandPass) {
            s.b0 = alpha;
            s.b1 = 0;
            s.b2 = -alpha;
        } else {
            s.b0 = (1.0 - cw) / 2.0;
            s.b1 = 1.0 - cw;
            s.b2 = s.b0;
        }
        s.a1 = -2.0 * cw;
        s.a2 = 1.0 - alpha;
        s.b0 /= a0;
        s.b1 /= a0;
        s.b2 /= a0;
        s.a1 /= a0;
        s.a2 /= a0;
        filter.m_sections.append(s);
    };

    if (type == TestConfig::BandPass) {
        for (int i = 0; i < (order + 1) / 2; ++i)
            biquad(1.0);
        return filter;
    }
    // Butterworth pole pairs; an odd order leaves one real pole for a first-order section.
    for (int k = 0; k < order / 2; ++k)
        biquad(1.0 / (2.0 * std::sin((2 * k + 1) * Pi / (2.0 * order))));
    if (order % 2) {
        const double t = std::tan(w0 / 2.0);
        Section s;
        if (type == TestConfig::HighPass) {
            s.b0 = 1.0 / (1.0 + t);
            s.b1 = -s.b0;
        } else {
            s.b0 = t / (1.0 + t);
            s.b1 = s.b0;
        }
        s.a1 = (t - 1.0) / (t + 1.0);
        filter.m_sections.append(s);
    }
    return filter;
}

Filter Filter::fromCoefficients(const QVector<double>& coeffs, int order)
{
    Filter filter;
    if (coeffs.size() != 5)
        return filter;
    Section s;
    s.b0 = coeffs[0];
    s.b1 = coeffs[1];
    s.b2 = coeffs[2];
    s.a1 = coeffs[3];
    s.a2 = coeffs[4];
    for (int i = 0; i < std::max(1, order / 2); ++i)
        filter.m_sections.append(s);
    return filter;
}

bool Filter::isStable() const
{
    // Stability triangle of a second-order denominator 1 + a1 z^-1 + a2 z^-2.
    return std::all_of(m_sections.cbegin(), m_sections.cend(),
                       [](const Section& s) { return std::fabs(s.a2) < 1.0 && std::fabs(s.a1) < 1.0 + s.a2; });
}

double Filter::process(double x)
{
    for (Section& s : m_sections) {
        const double y = s.b0 * x + s.z1;
        s.z1 = s.b1 * x - s.a1 * y + s.z2;
        s.z2 = s.b2 * x - s.a2 * y;
        x = y;
    }
    return x;
}

qint16 quantize(double x, double gain)
{
    const double scaled = std::clamp(x * gain, -1.0, 1.0);
    if (!std::isfinite(scaled))
        return 0;
    return static_cast<qint16>(std::lround(scaled * 32767.0));
}

BlockStats measure(const qint16* samples, int count, double sampleRate)
{
    BlockStats stats;
    if (count <= 0)
        return stats;
    double sum = 0;
    int peak = 0;
    for (int i = 0; i < count; ++i) {
        const double v = samples[i];
        sum += v * v;
        peak = std::max(peak, std::abs(int(samples[i])));
    }
    stats.rms = std::sqrt(sum / count) / 32767.0;
    stats.peak = peak / 32767.0;
    stats.freq = estimateFrequency(samples, count, sampleRate);
    return stats;
}

double estimateFrequency(const qint16* samples, int count, double sampleRate)
{
    if (count < 3)
        return 0;
    double mean = 0;
    for (int i = 0; i < count; ++i)
        mean += samples[i];
    mean /= count;
    double swing = 0;
    for (int i = 0; i < count; ++i)
        swing = std::max(swing, std::fabs(samples[i] - mean));
    if (swing < 1.0)
        return 0;
    const double low = mean - 0.1 * swing;

    bool armed = false;
    int crossings = 0;
    double first = 0;
    double last = 0;
    for (int i = 1; i < count; ++i) {
        const double prev = samples[i - 1];
        const double cur = samples[i];
        if (cur < low)
            armed = true;
        if (armed && prev < mean && cur >= mean) {
            const double t = (i - 1) + (mean - prev) / (cur - prev);
            if (crossings == 0)
                first = t;
            last = t;
            ++crossings;
            armed = false;
        }
    }
    if (crossings < 2 || last <= first)
        return 0;
    return (crossings - 1) * sampleRate / (last - first);
}
