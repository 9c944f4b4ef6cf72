#include "simulators/testrun.h"

#include "simulators/atomicfile.h"
#include "simulators/signalchain.h"
#include "simulators/simconsole.h"
#include "simulators/testconfig.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace
{
// The data file keeps the newest samples up to this count (8 MiB of file).
constexpr qsizetype MaxKeptSamples = 4 * 1024 * 1024;
// Small files are rewritten after every block so the visualiser follows closely; big ones at most
// this often, so that rewriting does not dominate the run.
constexpr qsizetype EveryBlockBytes = 256 * 1024;
constexpr qint64 MinWriteIntervalMs = 250;

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString waveformName(int waveform)
{
    switch (waveform) {
    case TestConfig::Square:
        return QStringLiteral("меандр");
    case TestConfig::Saw:
        return QStringLiteral("пила");
    case TestConfig::Triangle:
        return QStringLiteral("треугольник");
    default:
        return QStringLiteral("синус");
    }
}

QString defaultTitle(TestRun::Kind kind)
{
    switch (kind) {
    case TestRun::Filter:
        return QStringLiteral("Проверка фильтра");
    case TestRun::Generator:
        return QStringLiteral("Проверка генератора");
    default:
        return QStringLiteral("Проверка тракта АЦП");
    }
}

QString frequencyText(double freq)
{
    return freq > 0 ? number(freq, 1) + QStringLiteral(" Гц") : QStringLiteral("не определена");
}

Filter makeFilter(const TestConfig& config, QString* description)
{
    static const char* const typeNames[] = {"", "ФНЧ", "ФВЧ", "полосовой"};
    if (config.filterType == TestConfig::NoFilter) {
        *description = QStringLiteral("Фильтр: нет");
        return Filter();
    }
    if (!config.coeffs.isEmpty()) {
        Filter filter = Filter::fromCoefficients(config.coeffs, config.filterOrder);
        if (!filter.isStable()) {
            *description = QStringLiteral("Предупреждение: фильтр с коэффициентами из INI неустойчив и отключён");
            return Filter();
        }
        *description = QStringLiteral("Фильтр: коэффициенты из INI, звеньев %1").arg(filter.sections().size());
        return filter;
    }
    *description = QStringLiteral("Фильтр: %1 %2-го порядка, частота среза %3 Гц")
                       .arg(QString::fromUtf8(typeNames[config.filterType]))
                       .arg(config.filterOrder)
                       .arg(number(config.cutoff, 0));
    return Filter::design(config.filterType, config.filterOrder, config.cutoff, config.sampleRate);
}

// The newest samples and their rewrites into the data file.
class DataFile
{
public:
    DataFile(const QString& path, qsizetype capacity) : m_path(path), m_capacity(std::min(capacity, MaxKeptSamples))
    {
        AtomicFile::removeStaleParts(m_path);
        m_samples.reserve(m_capacity);
    }

    void append(const QVector<qint16>& block)
    {
        m_samples.append(block);
        if (m_samples.size() > m_capacity)
            m_samples.remove(0, m_samples.size() - m_capacity);
        m_dirty = true;
    }

    // Returns false only for a write that failed; the error is reported once per run.
    bool save(bool force)
    {
        if (!m_dirty)
            return true;
        const qsizetype bytes = m_samples.size() * 2;
        if (!force && bytes > EveryBlockBytes && m_sinceWrite.isValid() && m_sinceWrite.elapsed() < MinWriteIntervalMs)
            return true;
        QByteArray data(bytes, Qt::Uninitialized);
        for (qsizetype i = 0; i < m_samples.size(); ++i)
            qToLittleEndian<qint16>(m_samples[i], data.data() + 2 * i);
        QString error;
        m_dirty = false;
        m_sinceWrite.start();
        if (AtomicFile::write(m_path, data, &error))
            return true;
        if (!m_failed)
            SimConsole::line(QStringLiteral("Ошибка: не удалось записать файл данных %1: %2").arg(m_path, error));
        m_failed = true;
        return false;
    }

    qsizetype size() const { return m_samples.size(); }
    bool failed() const { return m_failed; }

private:
    QString m_path;
    qsizetype m_capacity;
    QVector<qint16> m_samples;
    QElapsedTimer m_sinceWrite;
    bool m_dirty = false;
    bool m_failed = false;
};
} // namespace

int blockDelay(int optionValue, int fallback)
{
    if (optionValue >= 0)
        return optionValue;
    bool ok = false;
    const int env = qEnvironmentVariableIntValue("VOLMAR_SIM_BLOCK_MS", &ok);
    return ok && env >= 0 ? env : fallback;
}

int runTest(const TestRun& run)
{
    QStringList warnings;
    const TestConfig config = readTestConfig(run.iniPath, run.overrides, &warnings);
    const bool generatorOnly = run.kind == TestRun::Generator;
    const double volts = config.rangeVolts();

    QString title = config.title.isEmpty() ? defaultTitle(run.kind) : config.title;
    if (!config.version.isEmpty())
        title += QStringLiteral(", версия ") + config.version;
    SimConsole::line(title);
    SimConsole::line(QStringLiteral("Файл параметров: ") + QFileInfo(run.iniPath).fileName());
    for (const QString& warning : warnings)
        SimConsole::line(QStringLiteral("Предупреждение: ") + warning);
    SimConsole::line(QStringLiteral("АЦП: %1 Гц, каналов %2, диапазон %3 В, усиление %4")
                         .arg(config.sampleRate)
                         .arg(config.channels)
                         .arg(volts)
                         .arg(config.gain));
    SimConsole::line(QStringLiteral("Генератор: %1 %2 Гц, амплитуда %3, шум %4, фаза %5°")
                         .arg(waveformName(config.waveform))
                         .arg(config.freq)
                         .arg(config.amplitude)
                         .arg(generatorOnly ? 0.0 : config.noise)
                         .arg(config.phase));

    Filter filter;
    if (!generatorOnly) {
        QString description;
        filter = makeFilter(config, &description);
        SimConsole::line(description);
        if (config.debug) {
            for (const Filter::Section& s : filter.sections())
                SimConsole::line(QStringLiteral("  звено: b0=%1 b1=%2 b2=%3 a1=%4 a2=%5")
                                     .arg(s.b0, 0, 'g', 6)
                                     .arg(s.b1, 0, 'g', 6)
                                     .arg(s.b2, 0, 'g', 6)
                                     .arg(s.a1, 0, 'g', 6)
                                     .arg(s.a2, 0, 'g', 6));
        }
    }
    if (config.continuous)
        SimConsole::line(QStringLiteral("Непрерывный режим до остановки, отсчётов в блоке: %1").arg(config.blockSize));
    else
        SimConsole::line(QStringLiteral("Блоков: %1, отсчётов в блоке: %2").arg(config.blocks).arg(config.blockSize));
    if (config.channels > 1)
        SimConsole::line(QStringLiteral("В файл данных пишется канал 1"));

    Generator generator(config, !generatorOnly);
    DataFile data(config.dataFile, qsizetype(config.blocks) * config.blockSize);
    QVector<qint16> block(config.blockSize);
    QVector<qint16> input(config.blockSize);
    double rmsSum = 0;
    double freqSum = 0;
    int freqCount = 0;

    for (qint64 n = 1; config.continuous || n <= config.blocks; ++n) {
        const QString name = config.continuous ? QStringLiteral("Блок %1").arg(n)
                                               : QStringLiteral("Блок %1 из %2").arg(n).arg(config.blocks);
        SimConsole::progress(name);
        if (run.blockDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(run.blockDelayMs));

        for (int i = 0; i < config.blockSize; ++i) {
            const double x = generator.next();
            input[i] = quantize(x, config.gain);
            block[i] = quantize(filter.process(x), config.gain);
        }
        const BlockStats stats = measure(block.constData(), block.size(), config.sampleRate);
        rmsSum += stats.rms;
        if (stats.freq > 0) {
            freqSum += stats.freq;
            ++freqCount;
        }

        QString report;
        if (generatorOnly) {
            const double deviation = config.freq > 0 && stats.freq > 0 ? 100.0 * (stats.freq / config.freq - 1.0) : 0;
            report =
                QStringLiteral("%1: амплитуда %2, частота %3, отклонение %4 %")
                    .arg(name, number(stats.peak / config.gain, 3), frequencyText(stats.freq), number(deviation, 2));
        } else {
            report =
                QStringLiteral("%1: СКЗ %2 В, пик %3 В, частота %4")
                    .arg(name, number(stats.rms * volts, 4), number(stats.peak * volts, 4), frequencyText(stats.freq));
            if (run.kind == TestRun::Filter) {
                const BlockStats in = measure(input.constData(), input.size(), config.sampleRate);
                const QString gain = in.rms > 0 && stats.rms > 0 ? number(20.0 * std::log10(stats.rms / in.rms), 2)
                                                                 : QStringLiteral("—");
                report += QStringLiteral(", передача %1 дБ").arg(gain);
            }
        }
        SimConsole::line(report);
        if (config.debug) {
            const auto [lo, hi] = std::minmax_element(block.cbegin(), block.cend());
            SimConsole::line(QStringLiteral("  отсчёты: мин %1, макс %2").arg(*lo).arg(*hi));
        }

        data.append(block);
        data.save(!config.continuous && n == config.blocks);
    }

    SimConsole::line(QStringLiteral("Итого блоков: %1, СКЗ %2 В, частота %3")
                         .arg(config.blocks)
                         .arg(number(rmsSum / config.blocks * volts, 4))
                         .arg(frequencyText(freqCount ? freqSum / freqCount : 0)));
    if (data.failed())
        return 1;
    SimConsole::line(QStringLiteral("Данные записаны в %1, отсчётов: %2").arg(config.dataFile).arg(data.size()));
    SimConsole::line(QStringLiteral("Тест завершён."));
    return 0;
}
