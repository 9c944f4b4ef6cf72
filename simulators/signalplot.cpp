#include "simulators/signalplot.h"

#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace
{
constexpr int LeftMargin = 56;
constexpr int RightMargin = 12;
constexpr int TopMargin = 22;
constexpr int BottomMargin = 22;
constexpr double SpectrumFloorDb = -140.0;
const QColor TraceColour(20, 70, 170);
const QColor GridColour(225, 225, 225);

// The smallest of 1, 0.5, 0.2, 0.1, 0.05, ... that holds `peak` (fractions of full scale).
double niceScale(double peak)
{
    static const double steps[] = {0.5, 0.4, 0.5};
    double scale = 1.0;
    for (int i = 0; scale > 1e-4; ++i) {
        const double next = scale * steps[i % 3];
        if (next < peak)
            break;
        scale = next;
    }
    return scale;
}

QString frequencyLabel(double fraction, double sampleRate)
{
    if (sampleRate <= 0)
        return QString::number(fraction, 'g', 3) + QStringLiteral(" fs");
    const double hz = fraction * sampleRate;
    return hz >= 1000 ? QString::number(hz / 1000, 'g', 4) + QStringLiteral(" кГц")
                      : QString::number(hz, 'g', 4) + QStringLiteral(" Гц");
}
} // namespace

SignalPlot::SignalPlot(Mode mode, QWidget* parent) : QWidget(parent), m_mode(mode)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void SignalPlot::setSamples(const QVector<qint16>& samples, double sampleRate)
{
    m_samples = samples;
    m_sampleRate = sampleRate;
    m_note.clear();
    update();
}

void SignalPlot::setSpectrum(const Spectrum& spectrum, double sampleRate)
{
    m_spectrum = spectrum;
    m_sampleRate = sampleRate;
    m_note.clear();
    update();
}

void SignalPlot::setNote(const QString& note)
{
    m_note = note;
    m_samples.clear();
    m_spectrum = Spectrum();
    update();
}

void SignalPlot::wheelEvent(QWheelEvent* event)
{
    if (m_mode != Waveform || m_samples.isEmpty())
        return;
    const int delta = event->angleDelta().y();
    if (delta > 0)
        m_span = std::max(16, m_span / 2);
    else if (delta < 0)
        m_span = int(std::min<qsizetype>(qsizetype(m_span) * 2, std::max<qsizetype>(16, m_samples.size())));
    update();
    event->accept();
}

void SignalPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = rect().adjusted(LeftMargin, TopMargin, -RightMargin, -BottomMargin);
    painter.setPen(Qt::darkGray);
    painter.drawRect(area);
    if (area.width() < 4 || area.height() < 4)
        return;
    const bool empty = m_mode == Waveform ? m_samples.isEmpty() : m_spectrum.db.isEmpty();
    if (empty) {
        painter.setPen(Qt::darkRed);
        const QString text = m_note.isEmpty() ? QStringLiteral("Нет данных") : m_note;
        painter.drawText(area.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, text);
        return;
    }
    if (m_mode == Waveform)
        paintWaveform(painter, area);
    else
        paintSpectrum(painter, area);
}

void SignalPlot::paintWaveform(QPainter& painter, const QRect& area)
{
    const int count = int(std::min<qsizetype>(m_span, m_samples.size()));
    const qint16* data = m_samples.constData() + (m_samples.size() - count);
    int peak = 1;
    for (int i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(int(data[i])));
    const double scale = niceScale(peak / 32767.0);
    const double yMid = area.center().y();
    const double yHalf = area.height() / 2.0;
    auto yOf = [&](double v) { return yMid - std::clamp(v / 32767.0 / scale, -1.0, 1.0) * yHalf; };

    painter.setPen(GridColour);
    painter.drawLine(QPointF(area.left(), yMid), QPointF(area.right(), yMid));
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, area.top() - 8, LeftMargin - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(scale, 'g', 3));
    painter.drawText(QRect(0, int(yMid) - 8, LeftMargin - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("0"));
    painter.drawText(QRect(0, area.bottom() - 8, LeftMargin - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(-scale, 'g', 3));
    const QString span = m_sampleRate > 0 ? QStringLiteral("%1 мс").arg(count * 1000.0 / m_sampleRate, 0, 'g', 4)
                                          : QStringLiteral("отсчётов: %1").arg(count);
    painter.drawText(QRect(area.left(), area.bottom() + 2, area.width(), BottomMargin - 2), Qt::AlignRight, span);
    painter.drawText(QRect(area.left(), 2, area.width(), TopMargin - 4), Qt::AlignLeft,
                     QStringLiteral("Сигнал: последние %1 из %2 отсчётов (колесо мыши - масштаб), шкала - доля полной")
                         .arg(count)
                         .arg(m_samples.size()));

    painter.setRenderHint(QPainter::Antialiasing, count <= area.width());
    painter.setPen(QPen(TraceColour, 1.2));
    const double columns = area.width();
    if (count <= columns) {
        QPainterPath path;
        for (int i = 0; i < count; ++i) {
            const QPointF point(area.left() + (count > 1 ? i * columns / (count - 1) : 0), yOf(data[i]));
            if (i == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        painter.drawPath(path);
        return;
    }
    // More samples than pixels: one vertical stroke per column from its minimum to its maximum; the
    // previous column's last sample is included so that the strokes join into a curve.
    for (int x = 0; x < area.width(); ++x) {
        const int from = std::max(0, int(qint64(x) * count / area.width()) - 1);
        const int to = std::max(from + 1, int(qint64(x + 1) * count / area.width()));
        const auto [lo, hi] = std::minmax_element(data + from, data + to);
        painter.drawLine(QPointF(area.left() + x, yOf(*lo)), QPointF(area.left() + x, yOf(*hi)));
    }
}

void SignalPlot::paintSpectrum(QPainter& painter, const QRect& area)
{
    const QVector<double>& db = m_spectrum.db;
    auto yOf = [&](double v) { return area.top() + std::clamp(v / SpectrumFloorDb, 0.0, 1.0) * area.height(); };
    painter.setPen(Qt::black);
    for (int level = 0; level >= SpectrumFloorDb; level -= 20) {
        const double y = yOf(level);
        painter.setPen(GridColour);
        painter.drawLine(QPointF(area.left() + 1, y), QPointF(area.right() - 1, y));
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, int(y) - 8, LeftMargin - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(level));
    }
    painter.drawText(QRect(area.left(), area.bottom() + 2, area.width(), BottomMargin - 2), Qt::AlignLeft,
                     QStringLiteral("0"));
    painter.drawText(QRect(area.left(), area.bottom() + 2, area.width(), BottomMargin - 2), Qt::AlignRight,
                     frequencyLabel(0.5, m_sampleRate));

    const int peak = m_spectrum.peakBin();
    QString title = QStringLiteral("Спектр, дБ от полной шкалы (БПФ, точек: %1)").arg(m_spectrum.fftSize);
    if (peak >= 0)
        title += QStringLiteral(", пик %1, %2 дБ")
                     .arg(frequencyLabel(double(peak) / m_spectrum.fftSize, m_sampleRate))
                     .arg(db[peak], 0, 'f', 1);
    painter.drawText(QRect(area.left(), 2, area.width(), TopMargin - 4), Qt::AlignLeft, title);

    painter.setPen(QPen(TraceColour, 1.0));
    const int bins = int(db.size());
    const int width = area.width();
    QPainterPath path;
    for (int x = 0; x < width; ++x) {
        // The strongest bin of each column, so a narrow line never falls between pixels.
        const int from = int(qint64(x) * bins / width);
        const int to = std::max(from + 1, int(qint64(x + 1) * bins / width));
        const double v = *std::max_element(db.constData() + from, db.constData() + std::min(to, bins));
        const QPointF point(area.left() + x, yOf(v));
        if (x == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    painter.drawPath(path);
}
