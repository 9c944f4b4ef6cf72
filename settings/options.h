#pragma once

#include "platform/textcodec.h"

#include <QByteArray>
#include <QString>

class QSettings;

// The options that survive a restart, as one value: read once before any file is opened, written
// once at close. Whoever changes an option changes a copy held by the window; the settings dialog
// edits a copy of its own and hands it back on OK. The defaults are those of a first start.
struct Options
{
    QByteArray m_geometry;    // of the main window
    QByteArray m_windowState; // its toolbars and docks, version 0
    QString m_sFont;          // text form of the tree font; empty keeps the default font
    int m_nWidthColumn = 0;   // of a new tree's title column; 0: chosen from the first tree
    QString m_sOrvexDirectory;
    QString m_sOrvexOwnDir; // the visualiser's own setting, never written
    bool m_bAutoLoadOrvex = true;
    bool m_bAutoExitOrvex = true;
    bool m_bAutoLoadPld = false;
    bool m_bAutoSave = true;
    bool m_bAutoRunProgram = true;
    bool m_bAutoReload = true;
    bool m_bSpinApply = false; // kept for the store only
    bool m_bSingleModeOff = false;
    bool m_bShowProgWindow = false;
    bool m_bRestart = false;
    uint m_nRestartTimeout = 0; // milliseconds
    int m_nLogMaxLines = 50000;
    int m_nLogMaxMb = 32;
    TextCodec::OutputEncoding m_outputEncoding = TextCodec::OutputEncoding::Auto;

    static constexpr int MaxRestartTimeout = 1000000;
    static constexpr int MinLogLines = 100;
    static constexpr int MaxLogLines = 1000000;
    static constexpr int MinLogMb = 1;
    static constexpr int MaxLogMb = 512;

    // store is the program's own ("Korvane"/"Volmar"), orvexStore the visualiser's
    // ("Korvane"/"Orvex"). An empty "Orvex Directory" falls back to the older "Orvex Dir", which is
    // then also recorded under "Telva Directory": the one write that loading makes.
    static Options load(QSettings& store, const QSettings& orvexStore);
    void save(QSettings& store) const;
};
