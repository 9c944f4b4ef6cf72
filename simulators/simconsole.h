#pragma once

#include <QString>

// Text output of the simulated lab programs. A pipe gets CP1251 bytes, as the editor expects of
// every program it runs; a terminal gets UTF-8 so that a person running a simulator by hand can
// read it. Every call flushes, so a reader sees each line and progress step as it happens.
namespace SimConsole
{
void write(const QString& text);
inline void line(const QString& text)
{
    write(text + QLatin1Char('\n'));
}
// The carriage return brings the cursor back, so the next output overwrites this text.
inline void progress(const QString& text)
{
    write(text + QLatin1Char('\r'));
}
void error(const QString& text);
} // namespace SimConsole
