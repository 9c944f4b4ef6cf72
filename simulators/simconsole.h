#pragma once

#include <QString>

// Text output of the simulated lab programs. A pipe gets CP1251 bytes, as the editor expects of
// every program it runs; a terminal gets UTF-8 so that a person running a simulator by hand can
// read it. Every call flushes, so a reader sees each line and progress step as it happens.
//
// Lines end with "\r\n", as those of console programs do: the carriage return ends whatever
// progress text the line overwrote, so a console that returns the carriage does not carry that
// text on to the next line.
namespace SimConsole
{
void write(const QString& text);
// text may hold several lines, separated by "\n".
void line(const QString& text);
// The carriage return brings the cursor back, so the next output overwrites this text.
inline void progress(const QString& text)
{
    write(text + QLatin1Char('\r'));
}
void error(const QString& text);
} // namespace SimConsole
