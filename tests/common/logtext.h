#pragma once

// The log as the pane would show it, built from the stream's updates without a widget.

#include "control/logstream.h"

#include <QString>

namespace TestUtil
{
inline void applyLogUpdate(QString& log, const LogStream::Update& update)
{
    if (update.restart)
        log.clear();
    if (!update.changed)
        return;
    const qsizetype lineStart = log.lastIndexOf(QLatin1Char('\n')) + 1;
    log.truncate(lineStart + qMin(update.edit.keep, log.size() - lineStart));
    log += update.edit.text;
}
} // namespace TestUtil
