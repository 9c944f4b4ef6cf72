#include "widgets/numberspin.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStyle>

namespace NumberInput
{

namespace
{
// Like the spin box's own size hint: a longer text scrolls inside the field.
constexpr int MaxMeasuredChars = 18;
constexpr int CursorRoom = 2;

bool isSeparator(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char(',');
}

// Sign, digits and at most one separator in their places, and no more fraction digits than allowed.
bool wellFormed(const QString& text, int decimals)
{
    int separators = 0;
    int fractionDigits = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if ((c == QLatin1Char('-') || c == QLatin1Char('+')) && i == 0)
            continue;
        if (isSeparator(c) && decimals > 0 && ++separators == 1)
            continue;
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        if (separators > 0)
            ++fractionDigits;
    }
    return fractionDigits <= decimals;
}
} // namespace

bool parse(const QString& text, int decimals, double* value)
{
    QString trimmed = text.trimmed();
    if (!wellFormed(trimmed, decimals))
        return false;
    trimmed.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double number = QLocale::c().toDouble(trimmed, &ok);
    if (ok && value)
        *value = number;
    return ok;
}

QValidator::State validate(QString& text, int decimals, double min, double max, const QLocale& locale)
{
    const QString point = locale.decimalPoint();
    if (decimals > 0 && point.size() == 1) {
        for (QChar& c : text)
            if (isSeparator(c))
                c = point.at(0);
    }
    if (!wellFormed(text.trimmed(), decimals))
        return QValidator::Invalid;
    double value = 0;
    if (!parse(text, decimals, &value))
        return QValidator::Intermediate; // empty, a sign or a separator alone: typing goes on
    return value >= min && value <= max ? QValidator::Acceptable : QValidator::Intermediate;
}

double valueOf(const QString& text, int decimals, double min, double max, double current)
{
    double typed = 0;
    if (!parse(text, decimals, &typed))
        return current;
    return qBound(min, typed, max);
}

QString limit(QString& text, int decimals, double min, double max, const std::function<QString(double)>& format)
{
    double typed = 0;
    if (!parse(text, decimals, &typed) || (typed >= min && typed <= max))
        return QString();
    const QString typedText = text.trimmed();
    text = format(qBound(min, typed, max));
    return typed > max
               ? QCoreApplication::translate("NumberInput", "Значение %1 больше допустимого: записан максимум %2")
                     .arg(typedText, text)
               : QCoreApplication::translate("NumberInput", "Значение %1 меньше допустимого: записан минимум %2")
                     .arg(typedText, text);
}

QSize spinBoxSize(const QAbstractSpinBox* spin, const QStyleOptionSpinBox& option, const QStringList& texts)
{
    const QFontMetrics metrics = spin->fontMetrics();
    int width = 0;
    for (const QString& text : texts)
        width = qMax(width, metrics.horizontalAdvance(text.left(MaxMeasuredChars) + QLatin1Char(' ')));
    width += CursorRoom;
    const QSize contents(width, spin->findChild<QLineEdit*>()->sizeHint().height());
    return spin->style()->sizeFromContents(QStyle::CT_SpinBox, &option, contents, spin);
}

} // namespace NumberInput
