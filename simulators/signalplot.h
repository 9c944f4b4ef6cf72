#pragma once

#include "simulators/spectrum.h"

#include <QString>
#include <QVector>
#include <QWidget>

// One plot of the visualiser: the newest samples over time (the mouse wheel changes how many), or
// their magnitude spectrum. Without data it shows a note in place of the curve.
class SignalPlot : public QWidget
{
    Q_OBJECT

public:
    enum Mode
    {
        Waveform,
        SpectrumView
    };

    explicit SignalPlot(Mode mode, QWidget* parent = nullptr);

    // sampleRate 0: the axis counts samples (or fractions of the sample rate for the spectrum).
    void setSamples(const QVector<qint16>& samples, double sampleRate);
    void setSpectrum(const Spectrum& spectrum, double sampleRate);
    void setNote(const QString& note);

    QSize sizeHint() const override { return {720, 240}; }
    QSize minimumSizeHint() const override { return {200, 100}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void paintWaveform(QPainter& painter, const QRect& area);
    void paintSpectrum(QPainter& painter, const QRect& area);

    Mode m_mode;
    QString m_note;
    QVector<qint16> m_samples;
    Spectrum m_spectrum;
    double m_sampleRate = 0;
    int m_span = 1024; // samples shown in the waveform view
};
