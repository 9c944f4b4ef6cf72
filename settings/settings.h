#pragma once

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
    void setRestartTimeout(int ms);
    // Empty or unparsable text gives 0.
    int restartTimeout() const;

public slots:
    void slotClicked();
};
