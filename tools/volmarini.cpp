#include "tools/volmarini.h"

#include "platform/textcodec.h"
#include "platform/userfile.h"

#include <QStringDecoder>

namespace VolmarIni
{
std::optional<QString> Arguments::fileName(qsizetype i) const
{
    const QByteArray& raw = m_raw.at(i);
    std::optional<QString> name = UserFile::nameFromBytes(raw);
    if (!name)
        fail(ExitFailed, QStringLiteral("%1: the name is not valid in the system's encoding; no file is read "
                                        "or written under another name")
                             .arg(QString::fromLatin1(raw.toPercentEncoding("/ .-_~"))));
    return name;
}

QString Arguments::text(qsizetype i) const
{
    const QByteArray& raw = m_raw.at(i);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(raw);
    return utf8.hasError() ? TextCodec::fromCp1251(raw) : text;
}

void print(const QByteArray& bytes, FILE* stream)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

void printLines(const QList<QString>& lines)
{
    for (const QString& line : lines)
        print(line.toUtf8() + '\n');
}

int fail(int code, const QString& message)
{
    print("volmar-ini: " + message.toUtf8() + '\n', stderr);
    return code;
}

int checkReadable(const QString& path)
{
    const UserFile::Status status = UserFile::probe(path);
    if (UserFile::canOpen(status))
        return ExitOk;
    return fail(ExitFailed, QStringLiteral("cannot read %1: %2").arg(path, UserFile::describe(status)));
}
} // namespace VolmarIni
