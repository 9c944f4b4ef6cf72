#pragma once

#include "settings/options.h"
#include "ui_settings.h"

#include <QDialog>

// The modal "Настройки" dialog. It edits a copy of the options, which the main window takes back on
// OK; nothing here touches the settings store.
class Settings : public QDialog, public Ui::SettingsClass
{
    Q_OBJECT

public:
    explicit Settings(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    void setOptions(const Options& options);
    // The options given, with what the controls show; those without a control stay as they were.
    Options options() const;

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
    void setOutputEncoding(TextCodec::OutputEncoding encoding);
    TextCodec::OutputEncoding outputEncoding() const;

private:
    Options m_options;

public slots:
    void slotClicked();
};
