#include "simulators/testconfig.h"

#include "document/inidocument.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <cmath>
#include <memory>
#include <optional>

double TestConfig::rangeVolts() const
{
    switch (range) {
    case 0:
        return 1.0;
    case 2:
        return 5.0;
    default:
        return 2.5;
    }
}

QString localPath(const QString& path)
{
    if (!path.contains(QLatin1Char('\\')) || QFileInfo::exists(path))
        return path;
    return QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString findIniFile(const QString& folder, const QString& programBase, const QString& preferred)
{
    const QDir dir(folder);
    if (!preferred.isEmpty()) {
        const QFileInfo info(dir, localPath(preferred));
        return info.isFile() ? info.absoluteFilePath() : QString();
    }
    const QFileInfo own(dir, programBase + QLatin1String(".ini"));
    if (own.isFile())
        return own.absoluteFilePath();
    const QFileInfoList inis = dir.entryInfoList({QStringLiteral("*.ini")}, QDir::Files, QDir::Name);
    return inis.isEmpty() ? QString() : inis.first().absoluteFilePath();
}

namespace
{
class ValueReader
{
public:
    ValueReader(const QString& iniPath, const QStringList& overrides, QStringList* warnings)
        : m_path(iniPath), m_warnings(warnings)
    {
        for (const QString& word : overrides) {
            const qsizetype eq = word.indexOf(QLatin1Char('='));
            if (eq > 0)
                m_overrides.insert(word.left(eq).trimmed().toLower(), word.mid(eq + 1).trimmed());
        }
    }

    // The value as the editor shows it: the comment after "//" (or ";") cut off.
    std::optional<QString> text(const char* section, const char* key) const
    {
        const QString name = QLatin1String(section) + QLatin1Char('.') + QLatin1String(key);
        const auto over = m_overrides.constFind(name.toLower());
        if (over != m_overrides.constEnd())
            return over.value();
        QString sectionName = QLatin1String(section);
        const std::unique_ptr<IniEntry> entry(m_document.readEntry(m_path, sectionName, QLatin1String(key)));
        if (!entry || entry->value == IniDocument::NotFound)
            return std::nullopt;
        return entry->value;
    }

    void integer(const char* section, const char* key, int& out, int min, int max) const
    {
        const std::optional<QString> value = text(section, key);
        if (!value)
            return;
        bool ok = false;
        const int parsed = value->toInt(&ok);
        if (ok && parsed >= min && parsed <= max)
            out = parsed;
        else
            rejected(section, key, *value, QString::number(out));
    }

    void real(const char* section, const char* key, double& out, double min, double max) const
    {
        const std::optional<QString> value = text(section, key);
        if (!value)
            return;
        bool ok = false;
        // The lab's Windows programs accept a decimal comma too.
        const double parsed = QString(*value).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (ok && std::isfinite(parsed) && parsed >= min && parsed <= max)
            out = parsed;
        else
            rejected(section, key, *value, QString::number(out));
    }

    void string(const char* section, const char* key, QString& out) const
    {
        const std::optional<QString> value = text(section, key);
        if (value && !value->isEmpty())
            out = *value;
    }

    void rejected(const char* section, const char* key, const QString& value, const QString& used) const
    {
        if (m_warnings)
            m_warnings->append(QStringLiteral("Неверное значение %1.%2=%3, используется %4")
                                   .arg(QLatin1String(section), QLatin1String(key), value, used));
    }

private:
    QString m_path;
    QStringList* m_warnings;
    QHash<QString, QString> m_overrides;
    IniDocument m_document;
};
} // namespace

TestConfig readTestConfig(const QString& iniPath, const QStringList& overrides, QStringList* warnings)
{
    TestConfig config;
    const ValueReader ini(iniPath, overrides, warnings);

    ini.integer("Adc", "SampleRate", config.sampleRate, 1000, 1000000);
    ini.integer("Adc", "Channels", config.channels, 1, 64);
    ini.integer("Adc", "Range", config.range, 0, 2);
    ini.real("Adc", "Gain", config.gain, 0.001, 1000.0);

    ini.integer("Generator", "Waveform", config.waveform, 0, 3);
    ini.real("Generator", "Freq", config.freq, 0.0, 1e7);
    ini.real("Generator", "Amplitude", config.amplitude, 0.0, 100.0);
    ini.real("Generator", "Noise", config.noise, 0.0, 100.0);
    ini.real("Generator", "Phase", config.phase, -360.0, 360.0);

    ini.integer("Filter", "Type", config.filterType, 0, 3);
    ini.integer("Filter", "Order", config.filterOrder, 1, 8);
    ini.real("Filter", "Cutoff", config.cutoff, 1.0, 1e7);
    const QString coeffs = ini.text("Filter", "Coeffs").value_or(QString());
    if (!coeffs.isEmpty()) {
        QVector<double> values;
        for (const QString& word : coeffs.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts)) {
            bool ok = false;
            const double v = word.toDouble(&ok);
            if (!ok || !std::isfinite(v))
                break;
            values.append(v);
        }
        if (values.size() == 5)
            config.coeffs = values;
        else
            ini.rejected("Filter", "Coeffs", coeffs, QStringLiteral("расчёт по типу, порядку и частоте среза"));
    }

    ini.integer("Test", "Blocks", config.blocks, 1, 10000000);
    ini.integer("Test", "BlockSize", config.blockSize, 16, 1 << 20);
    int continuous = 0;
    ini.integer("Test", "Continuous", continuous, 0, 1);
    config.continuous = continuous != 0;
    ini.string("Test", "DataFile", config.dataFile);
    config.dataFile = localPath(config.dataFile);
    ini.string("Test", "Title", config.title);
    ini.string("Test", "Version", config.version);
    int debug = 0;
    ini.integer("Test", "Debug", debug, 0, 1);
    config.debug = debug != 0;
    return config;
}
