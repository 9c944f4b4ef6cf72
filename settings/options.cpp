#include "settings/options.h"

#include <QSettings>

namespace
{
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
    TextCodec::OutputEncoding encoding;
    const char* name;
} encodingNames[] = {
    {TextCodec::OutputEncoding::Auto, "Auto"},
    {TextCodec::OutputEncoding::Cp1251, "CP1251"},
    {TextCodec::OutputEncoding::Utf8, "UTF-8"},
};

TextCodec::OutputEncoding encodingFromName(const QString& name)
{
    for (const EncodingName& entry : encodingNames) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.encoding;
    }
    return TextCodec::OutputEncoding::Auto;
}

QString encodingName(TextCodec::OutputEncoding encoding)
{
    for (const EncodingName& entry : encodingNames) {
        if (entry.encoding == encoding)
            return QLatin1String(entry.name);
    }
    return QStringLiteral("Auto");
}

// The flags in the order the store is written, with the defaults of a first start.
const struct FlagKey
{
    const char* key;
    bool Options::*member;
} flagKeys[] = {
    {"Auto Load Orvex", &Options::m_bAutoLoadOrvex},
    {"Auto Exit Orvex", &Options::m_bAutoExitOrvex},
    {"Auto Load PLD", &Options::m_bAutoLoadPld},
    {"Auto Save", &Options::m_bAutoSave},
    {"Auto Run Program", &Options::m_bAutoRunProgram},
    {"Auto Reload", &Options::m_bAutoReload},
    {"Spin Apply", &Options::m_bSpinApply},
    {"Single Mode Off", &Options::m_bSingleModeOff},
    {"Show Prog Window", &Options::m_bShowProgWindow},
    {"Restart", &Options::m_bRestart},
};

const QString LogMaxLinesKey = QStringLiteral("Log Max Lines");
const QString LogMaxMbKey = QStringLiteral("Log Max MB");
const QString OutputEncodingKey = QStringLiteral("Output Encoding");
} // namespace

Options Options::load(QSettings& store, const QSettings& orvexStore)
{
    Options options;
    const Options firstStart;
    options.m_windowState = store.value(QStringLiteral("windowState")).toByteArray();
    options.m_geometry = store.value(QStringLiteral("geometry")).toByteArray();
    options.m_sOrvexOwnDir = orvexStore.value(QStringLiteral("Orvex Dir"), QString()).toString();
    options.m_sFont = store.value(QStringLiteral("Font"), QString()).toString();
    options.m_nWidthColumn = store.value(QStringLiteral("WidthColumn"), 0).toInt();

    options.m_sOrvexDirectory = store.value(QStringLiteral("Orvex Directory"), QString()).toString();
    if (options.m_sOrvexDirectory.isEmpty()) {
        // Older settings kept the directory under "Orvex Dir". The value is also recorded under
        // "Telva Directory", which nothing here reads back.
        options.m_sOrvexDirectory = store.value(QStringLiteral("Orvex Dir"), QString()).toString();
        store.setValue(QStringLiteral("Telva Directory"), options.m_sOrvexDirectory);
    }

    for (const FlagKey& flag : flagKeys)
        options.*flag.member = readFlag(store, QLatin1String(flag.key), firstStart.*flag.member);
    options.m_nRestartTimeout = store.value(QStringLiteral("Restart Timeout"), 0).toUInt();

    options.m_nLogMaxLines = readBounded(store, LogMaxLinesKey, firstStart.m_nLogMaxLines, MinLogLines, MaxLogLines);
    options.m_nLogMaxMb = readBounded(store, LogMaxMbKey, firstStart.m_nLogMaxMb, MinLogMb, MaxLogMb);
    options.m_outputEncoding = encodingFromName(store.value(OutputEncodingKey).toString());
    return options;
}

void Options::save(QSettings& store) const
{
    store.setValue(QStringLiteral("geometry"), m_geometry);
    store.setValue(QStringLiteral("windowState"), m_windowState);
    store.setValue(QStringLiteral("Font"), m_sFont);
    store.setValue(QStringLiteral("WidthColumn"), m_nWidthColumn);
    store.setValue(QStringLiteral("Orvex Directory"), m_sOrvexDirectory);
    for (const FlagKey& flag : flagKeys)
        store.setValue(QLatin1String(flag.key), flagValue(this->*flag.member));
    store.setValue(QStringLiteral("Restart Timeout"), m_nRestartTimeout);
    store.setValue(LogMaxLinesKey, m_nLogMaxLines);
    store.setValue(LogMaxMbKey, m_nLogMaxMb);
    store.setValue(OutputEncodingKey, encodingName(m_outputEncoding));
}
