#pragma once

#include "platform/textcodec.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <memory>

// A simulator started from the build's bin folder, its standard output collected as it arrives.
class Program
{
public:
    Program(const QString& name, const QStringList& args, const QString& folder,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        m_process.setWorkingDirectory(folder);
        m_process.setProcessEnvironment(env);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                         [this] { m_output += m_process.readAllStandardOutput(); });
        m_process.start(QStringLiteral(VOLMAR_BIN_DIR "/") + name, args);
    }
    ~Program()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QProcess& process() { return m_process; }
    bool running() const { return m_process.state() == QProcess::Running; }
    // Output as the editor decodes it.
    QString text() { return TextCodec::fromCp1251(m_output); }
    QByteArray output() const { return m_output; }
    // Searches the bytes, so that waiting on a long output does not decode it again and again.
    bool contains(const QString& text) const { return m_output.contains(TextCodec::toCp1251(text)); }
    bool finish(int ms = 60000)
    {
        const bool done = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(ms);
        m_output += m_process.readAllStandardOutput();
        return done;
    }
    int exitCode() const { return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1; }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

inline QProcessEnvironment simEnvironment(int blockMs = 0)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VOLMAR_SIM_BLOCK_MS"), QString::number(blockMs));
    return env;
}

// The demo folder's files, copied so that a test may change them.
inline void copyDemo(const QString& folder)
{
    const QDir demo(QStringLiteral(VOLMAR_DEMO_DIR));
    for (const QString& name : demo.entryList(QDir::Files)) {
        if (name != QLatin1String("data.bin"))
            QVERIFY(QFile::copy(demo.filePath(name), folder + QLatin1Char('/') + name));
    }
}

// Replaces the value of the line "KEY=..." up to its comment (a tab or the line end), keeping the
// comment and the CP1251 bytes around it, or replaces the whole line when `wholeLine` is set.
inline void setIniLine(const QString& path, const QByteArray& key, const QByteArray& text, bool wholeLine = false)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    const QByteArray start = "\n" + key + "=";
    qsizetype at = bytes.indexOf(start);
    QVERIFY2(at >= 0, key.constData());
    at += 1;
    qsizetype valueAt = wholeLine ? at : at + key.size() + 1;
    qsizetype end = valueAt;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n' && (wholeLine || bytes[end] != '\t'))
        ++end;
    bytes.replace(valueAt, end - valueAt, text);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

inline QVector<qint16> readSamples(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QVector<qint16> samples(bytes.size() / 2);
    for (qsizetype i = 0; i < samples.size(); ++i)
        samples[i] = qint16(quint8(bytes[2 * i]) | (quint8(bytes[2 * i + 1]) << 8));
    return samples;
}

// Frequency from the number of upward zero crossings; a crossing counts only after the signal has
// been below a third of its peak, so noise near zero does not add any.
inline double crossingFrequency(const QVector<qint16>& samples, double sampleRate)
{
    int peak = 0;
    for (qint16 v : samples)
        peak = std::max(peak, std::abs(int(v)));
    int crossings = 0;
    bool low = false;
    for (qint16 v : samples) {
        if (v < -peak / 3)
            low = true;
        else if (low && v >= 0) {
            ++crossings;
            low = false;
        }
    }
    return samples.isEmpty() ? 0 : crossings * sampleRate / samples.size();
}
