#include "simulators/simconsole.h"

#include "platform/textcodec.h"

#include <cstdio>
#include <unistd.h>

namespace
{
void put(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = isatty(fileno(stream)) ? text.toUtf8() : TextCodec::toCp1251(text);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

QString consoleLines(const QString& text)
{
    QString lines = text;
    lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return lines + QLatin1String("\r\n");
}
} // namespace

namespace SimConsole
{
void write(const QString& text)
{
    put(stdout, text);
}

void line(const QString& text)
{
    put(stdout, consoleLines(text));
}

void error(const QString& text)
{
    put(stderr, consoleLines(text));
}
} // namespace SimConsole
