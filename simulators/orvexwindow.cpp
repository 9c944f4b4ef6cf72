#include "simulators/orvexwindow.h"

#include "simulators/signalplot.h"
#include "simulators/spectrum.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>

namespace
{
// A rewrite sends several change signals (the folder's and the file's); one redraw serves them all.
constexpr int DebounceMs = 40;
// File system notifications can be missed (network folders, watch limits); polling backs them up.
constexpr int PollMs = 500;

void report(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
} // namespace

OrvexWindow::OrvexWindow(const QString& path, bool follow, double sampleRate, QWidget* parent)
    : QWidget(parent), m_path(path), m_sampleRate(sampleRate)
{
    const QString name = path.isEmpty() ? QStringLiteral("нет файла") : QFileInfo(path).fileName();
    setWindowTitle(QStringLiteral("%1 - Orvex").arg(name));

    auto* layout = new QVBoxLayout(this);
    auto* pathLabel = new QLabel(path.isEmpty() ? QStringLiteral("Файл данных не задан") : path, this);
    pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pInfoLabel = new QLabel(this);
    // Neither a long path nor the figures may widen the window beyond the place it is given beside
    // the editor: the figures wrap, the path is cut (its tool tip holds it whole).
    pathLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    pathLabel->setToolTip(path);
    m_pInfoLabel->setWordWrap(true);
    m_pWavePlot = new SignalPlot(SignalPlot::Waveform, this);
    m_pSpectrumPlot = new SignalPlot(SignalPlot::SpectrumView, this);
    layout->addWidget(pathLabel);
    layout->addWidget(m_pInfoLabel);
    layout->addWidget(m_pWavePlot, 1);
    layout->addWidget(m_pSpectrumPlot, 1);

    if (follow && !path.isEmpty()) {
        m_pWatcher = new QFileSystemWatcher(this);
        m_pDebounce = new QTimer(this);
        m_pDebounce->setSingleShot(true);
        m_pDebounce->setInterval(DebounceMs);
        connect(m_pDebounce, &QTimer::timeout, this, &OrvexWindow::slotPoll);
        connect(m_pWatcher, &QFileSystemWatcher::fileChanged, this, &OrvexWindow::slotChanged);
        connect(m_pWatcher, &QFileSystemWatcher::directoryChanged, this, &OrvexWindow::slotChanged);
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &OrvexWindow::slotPoll);
        poll->start(PollMs);
        watch();
    }
    reload();
}

void OrvexWindow::watch()
{
    // A file renamed over the watched one ends its watch; the folder's watch sees the rename and the
    // file is watched again here.
    const QFileInfo info(m_path);
    const QString folder = info.absolutePath();
    if (QFileInfo(folder).isDir() && !m_pWatcher->directories().contains(folder))
        m_pWatcher->addPath(folder);
    if (info.isFile() && !m_pWatcher->files().contains(m_path))
        m_pWatcher->addPath(m_path);
}

void OrvexWindow::slotChanged()
{
    // Not restarted by further changes: a program that rewrites the file faster than the delay
    // would otherwise never be shown until it stops.
    if (!m_pDebounce->isActive())
        m_pDebounce->start();
}

void OrvexWindow::slotPoll()
{
    watch();
    if (FileSignature::of(m_path) != m_signature)
        reload();
}

void OrvexWindow::reload()
{
    m_signature = FileSignature::of(m_path);
    const SampleFile file = SampleFile::load(m_path);
    if (file.status != SampleFile::Loaded) {
        const QString note = file.note(m_path);
        m_pInfoLabel->setText(note);
        m_pWavePlot->setNote(note);
        m_pSpectrumPlot->setNote(note);
        report("no data: " + file.code().toLatin1());
        return;
    }

    const QVector<qint16>& samples = file.samples;
    double sum = 0;
    int lo = 32767;
    int hi = -32768;
    for (qint16 v : samples) {
        sum += double(v) * v;
        lo = std::min<int>(lo, v);
        hi = std::max<int>(hi, v);
    }
    const double rms = std::sqrt(sum / samples.size()) / 32767.0;
    QString info = QStringLiteral("Отсчётов: %1, мин %2, макс %3, СКЗ %4 от полной шкалы")
                       .arg(samples.size())
                       .arg(lo)
                       .arg(hi)
                       .arg(rms, 0, 'f', 4);
    if (m_sampleRate > 0)
        info += QStringLiteral(", %1 с при %2 Гц").arg(samples.size() / m_sampleRate, 0, 'g', 4).arg(m_sampleRate);
    m_pInfoLabel->setText(info);
    m_pWavePlot->setSamples(samples, m_sampleRate);
    m_pSpectrumPlot->setSpectrum(Spectrum::of(samples.constData(), int(samples.size())), m_sampleRate);
    report("loaded " + QByteArray::number(samples.size()) + " samples");
}
