// The options that survive a restart: read once before any file is opened, written once at close.
#include "app/volmar.h"
#include "settings/settings.h"
#include "widgets/paramstreewidget.h"

#include <QSettings>

namespace
{
const char* const Organisation = "Korvane";

int flagValue(bool on)
{
    return on ? 1 : 0;
}

bool readFlag(const QSettings& store, const QString& key, bool defaultOn)
{
    return store.value(key, flagValue(defaultOn)).toInt() != 0;
}

// A missing or unreadable number gives the default; one out of range the nearest limit.
int readBounded(const QSettings& store, const QString& key, int defaultValue, int lowest, int highest)
{
    bool ok = false;
    const int value = store.value(key).toInt(&ok);
    return ok ? qBound(lowest, value, highest) : defaultValue;
}

// The program's output encoding, stored by name.
const struct EncodingName
{
    OutputDecoder::Encoding encoding;
    const char* name;
} encodingNames[] = {
    {OutputDecoder::Encoding::Auto, "Auto"},
    {OutputDecoder::Encoding::Cp1251, "CP1251"},
    {OutputDecoder::Encoding::Utf8, "UTF-8"},
};

OutputDecoder::Encoding encodingFromName(const QString& name)
{
    for (const EncodingName& entry : encodingNames) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.encoding;
    }
    return OutputDecoder::Encoding::Auto;
}

QString encodingName(OutputDecoder::Encoding encoding)
{
    for (const EncodingName& entry : encodingNames) {
        if (entry.encoding == encoding)
            return QLatin1String(entry.name);
    }
    return QStringLiteral("Auto");
}

const QString LogMaxLinesKey = QStringLiteral("Log Max Lines");
const QString LogMaxMbKey = QStringLiteral("Log Max MB");
const QString OutputEncodingKey = QStringLiteral("Output Encoding");
} // namespace

void Volmar::loadSettings()
{
    QSettings store(QLatin1String(Organisation), QStringLiteral("Volmar"));
    const QSettings orvexStore(QLatin1String(Organisation), QStringLiteral("Orvex"));

    restoreState(store.value(QStringLiteral("windowState")).toByteArray(), 0);
    restoreGeometry(store.value(QStringLiteral("geometry")).toByteArray());

    m_sOrvexOwnDir = orvexStore.value(QStringLiteral("Orvex Dir"), QString()).toString();

    const QString fontText = store.value(QStringLiteral("Font"), QString()).toString();
    if (!fontText.isEmpty()) {
        // A description that does not parse keeps the current font rather than a half-applied one.
        QFont font = m_font;
        if (font.fromString(fontText))
            m_font = font;
        m_pCommentLabel->setFont(m_font);
    }

    m_nWidthColumn = store.value(QStringLiteral("WidthColumn"), 0).toInt();

    m_sOrvexDirectory = store.value(QStringLiteral("Orvex Directory"), QString()).toString();
    if (m_sOrvexDirectory.isEmpty()) {
        // Older settings kept the directory under "Orvex Dir". The value is also recorded under
        // "Telva Directory", which nothing here reads back.
        m_sOrvexDirectory = store.value(QStringLiteral("Orvex Dir"), QString()).toString();
        store.setValue(QStringLiteral("Telva Directory"), m_sOrvexDirectory);
    }

    m_bAutoLoadOrvex = readFlag(store, QStringLiteral("Auto Load Orvex"), true);
    m_bAutoExitOrvex = readFlag(store, QStringLiteral("Auto Exit Orvex"), true);
    m_bAutoLoadPld = readFlag(store, QStringLiteral("Auto Load PLD"), false);
    m_bAutoSave = readFlag(store, QStringLiteral("Auto Save"), true);
    m_bAutoRunProgram = readFlag(store, QStringLiteral("Auto Run Program"), true);
    m_bAutoReload = readFlag(store, QStringLiteral("Auto Reload"), true);
    m_bSpinApply = readFlag(store, QStringLiteral("Spin Apply"), false);
    m_bSingleModeOff = readFlag(store, QStringLiteral("Single Mode Off"), false);
    m_bShowProgWindow = readFlag(store, QStringLiteral("Show Prog Window"), false);
    m_bRestart = readFlag(store, QStringLiteral("Restart"), false);
    m_nRestartTimeout = store.value(QStringLiteral("Restart Timeout"), 0).toUInt();

    m_nLogMaxLines = readBounded(store, LogMaxLinesKey, 50000, Settings::MinLogLines, Settings::MaxLogLines);
    m_nLogMaxMb = readBounded(store, LogMaxMbKey, 32, Settings::MinLogMb, Settings::MaxLogMb);
    m_outputEncoding = encodingFromName(store.value(OutputEncodingKey).toString());
}

void Volmar::saveSettings()
{
    QSettings store(QLatin1String(Organisation), QStringLiteral("Volmar"));

    store.setValue(QStringLiteral("geometry"), saveGeometry());
    store.setValue(QStringLiteral("windowState"), saveState(0));

    // The tree holds what the user changed since the start (font action, dragged column); with no
    // tree the loaded values go back unchanged.
    const QFont font = m_view.m_pParamsTree ? m_view.m_pParamsTree->font() : m_font;
    const int widthColumn =
        m_view.m_pParamsTree ? m_view.m_pParamsTree->columnWidth(ParamsTreeWidget::TitleColumn) : m_nWidthColumn;
    store.setValue(QStringLiteral("Font"), font.toString());
    store.setValue(QStringLiteral("WidthColumn"), widthColumn);

    store.setValue(QStringLiteral("Orvex Directory"), m_sOrvexDirectory);
    store.setValue(QStringLiteral("Auto Load Orvex"), flagValue(m_bAutoLoadOrvex));
    store.setValue(QStringLiteral("Auto Exit Orvex"), flagValue(m_bAutoExitOrvex));
    store.setValue(QStringLiteral("Auto Load PLD"), flagValue(m_bAutoLoadPld));
    store.setValue(QStringLiteral("Auto Save"), flagValue(m_bAutoSave));
    store.setValue(QStringLiteral("Auto Run Program"), flagValue(m_bAutoRunProgram));
    store.setValue(QStringLiteral("Auto Reload"), flagValue(m_bAutoReload));
    store.setValue(QStringLiteral("Spin Apply"), flagValue(m_bSpinApply));
    store.setValue(QStringLiteral("Single Mode Off"), flagValue(m_bSingleModeOff));
    store.setValue(QStringLiteral("Show Prog Window"), flagValue(m_bShowProgWindow));
    store.setValue(QStringLiteral("Restart"), flagValue(m_bRestart));
    store.setValue(QStringLiteral("Restart Timeout"), m_nRestartTimeout);
    store.setValue(LogMaxLinesKey, m_nLogMaxLines);
    store.setValue(LogMaxMbKey, m_nLogMaxMb);
    store.setValue(OutputEncodingKey, encodingName(m_outputEncoding));
}

void Volmar::slotActionSettings()
{
    Settings dialog;
    dialog.setOrvexDir(m_sOrvexDirectory);
    dialog.setAutoLoadOrvex(m_bAutoLoadOrvex);
    dialog.setAutoExitOrvex(m_bAutoExitOrvex);
    dialog.setAutoLoadPld(m_bAutoLoadPld);
    dialog.setAutoSave(m_bAutoSave);
    dialog.setAutoRunProgram(m_bAutoRunProgram);
    dialog.setAutoReload(m_bAutoReload);
    dialog.setSingleModeOff(m_bSingleModeOff);
    dialog.setShowProgWindow(m_bShowProgWindow);
    dialog.setRestart(m_bRestart);
    dialog.setRestartTimeout(static_cast<int>(qMin<uint>(m_nRestartTimeout, Settings::MaxRestartTimeout)));
    dialog.setLogMaxLines(m_nLogMaxLines);
    dialog.setLogMaxMb(m_nLogMaxMb);
    dialog.setOutputEncoding(m_outputEncoding);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The options apply where they are next read; the store is written at close.
    m_sOrvexDirectory = dialog.orvexDir();
    m_bAutoLoadOrvex = dialog.autoLoadOrvex();
    m_bAutoExitOrvex = dialog.autoExitOrvex();
    m_bAutoLoadPld = dialog.autoLoadPld();
    m_bAutoSave = dialog.autoSave();
    m_bAutoRunProgram = dialog.autoRunProgram();
    m_bAutoReload = dialog.autoReload();
    m_bSingleModeOff = dialog.singleModeOff();
    m_bShowProgWindow = dialog.showProgWindow();
    m_bRestart = dialog.restart();
    m_nRestartTimeout = static_cast<uint>(qMax(0, dialog.restartTimeout()));
    m_nLogMaxLines = dialog.logMaxLines();
    m_nLogMaxMb = dialog.logMaxMb();
    m_outputEncoding = dialog.outputEncoding();
}
