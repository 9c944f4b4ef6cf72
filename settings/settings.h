#pragma once

#include "control/outputdecoder.h"
#include "ui_settings.h"

#include <QDialog>

// The modal "Настройки" dialog. It only carries values: the main window fills it from its option
// members and copies them back on OK; nothing here touches the settings store.
class Settings : public QDialog, public Ui::SettingsClass
{
    Q_OBJECT

public:
    explicit Settings(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    void setOrvexDir(const QString& dir);
    QString orvexDir() const;
    void setAutoLoadOrvex(bool on);
    bool autoLoadOrvex() const;
    void setAutoExitOrvex(bool on);
    bool autoExitOrvex() const;
    void setAutoLoadPld(bool on);
    bool autoLoadPld() const;
    void setAutoSave(bool on);
    bool autoSave() const;
    void setAutoRunProgram(bool on);
    bool autoRunProgram() const;
    void setAutoReload(bool on);
    bool autoReload() const;
    void setSingleModeOff(bool on);
    bool singleModeOff() const;
    void setShowProgWindow(bool on);
    bool showProgWindow() const;
    void setRestart(bool on);
    bool restart() const;
    // Values out of the edit's range 0 to 1000000 are brought into it.
    void setRestartTimeout(int ms);
    // Empty or unparsable text gives 0.
    int restartTimeout() const;
    void setLogMaxLines(int lines);
    int logMaxLines() const;
    void setLogMaxMb(int megabytes);
    int logMaxMb() const;
    void setOutputEncoding(OutputDecoder::Encoding encoding);
    OutputDecoder::Encoding outputEncoding() const;

    static constexpr int MaxRestartTimeout = 1000000;
    static constexpr int MinLogLines = 100;
    static constexpr int MaxLogLines = 1000000;
    static constexpr int MinLogMb = 1;
    static constexpr int MaxLogMb = 512;

public slots:
    void slotClicked();
};
