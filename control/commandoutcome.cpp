#include "control/commandoutcome.h"

#include "control/outputdecoder.h"

#include <QCoreApplication>
#include <QStringList>

namespace CommandOutcome
{
namespace
{
constexpr int ReasonLines = 3;
constexpr qsizetype ReasonLineChars = 200;

QString tr(const char* text)
{
    return QCoreApplication::translate("Volmar", text);
}

// The last non-empty lines of the output, as the log would show them.
QString reason(const QByteArray& outputTail)
{
    // A tail cut from longer output starts inside a line, maybe inside a character.
    const QByteArray whole =
        outputTail.size() < KeptOutputBytes ? outputTail : outputTail.mid(outputTail.indexOf('\n') + 1);
    OutputDecoder decoder;
    QString text = decoder.decode(whole).text + decoder.finish();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines;
    for (QString line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        // Of a progress line only what stands last is left.
        line = line.section(QLatin1Char('\r'), -1).trimmed();
        if (line.isEmpty())
            continue;
        if (line.size() > ReasonLineChars)
            line = line.left(ReasonLineChars) + QStringLiteral("…");
        lines.append(line);
    }
    return lines.mid(qMax<qsizetype>(0, lines.size() - ReasonLines)).join(QLatin1Char('\n'));
}
} // namespace

Message ended(const QString& title, QProcess::ExitStatus status, int exitCode, const QByteArray& outputTail)
{
    Message message;
    if (status == QProcess::NormalExit && exitCode == 0) {
        message.text = QStringLiteral("\n") + title + tr(" завершилась.");
        return message;
    }
    message.kind = Kind::Failed;
    message.text = QStringLiteral("\n") + title +
                   (status == QProcess::CrashExit ? tr(" завершилась аварийно (сигнал %1).").arg(exitCode)
                                                  : tr(" завершилась с ошибкой (код %1).").arg(exitCode));
    const QString why = reason(outputTail);
    if (!why.isEmpty())
        message.text += QStringLiteral("\n\n") + why;
    return message;
}

Message notStarted(const QString& title)
{
    return {Kind::Failed, QStringLiteral("\n") + title + tr(" не запустилась!")};
}

Message timedOut(const QString& title)
{
    return {Kind::Failed, QStringLiteral("\n") + title + tr(" не завершилась в отведенное время!")};
}

void keepTail(QByteArray& tail, const QByteArray& more)
{
    tail += more;
    if (tail.size() > KeptOutputBytes)
        tail.remove(0, tail.size() - KeptOutputBytes);
}

} // namespace CommandOutcome
