#pragma once

#include "simulators/samplefile.h"

#include <QString>
#include <QWidget>

class QFileSystemWatcher;
class QLabel;
class QTimer;
class SignalPlot;

// The visualiser's window: one data file as a signal and as a spectrum. In follow mode it redraws
// whenever the program rewrites the file, also when a new file is renamed over the old one.
class OrvexWindow : public QWidget
{
    Q_OBJECT

public:
    OrvexWindow(const QString& path, bool follow, double sampleRate, QWidget* parent = nullptr);

    // Reads the file again and redraws; reports the outcome on standard output.
    void reload();

private:
    void slotChanged();
    void slotPoll();
    void watch();

    QString m_path;
    double m_sampleRate;
    FileSignature m_signature;
    QLabel* m_pInfoLabel;
    SignalPlot* m_pWavePlot;
    SignalPlot* m_pSpectrumPlot;
    QFileSystemWatcher* m_pWatcher = nullptr;
    QTimer* m_pDebounce = nullptr;
};
