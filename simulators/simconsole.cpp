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
} // namespace

namespace SimConsole
{
void write(const QString& text)
{
    put(stdout, text);
}

void error(const QString& text)
{
    put(stderr, text + QLatin1Char('\n'));
}
} // namespace SimConsole
