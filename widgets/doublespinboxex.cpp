#include "widgets/doublespinboxex.h"

DoubleSpinBoxEx::DoubleSpinBoxEx(QWidget* parent) : NumberSpin<QDoubleSpinBox>(parent)
{
    setSingleStep(0.1);
}

QString DoubleSpinBoxEx::textFromValue(double value) const
{
    QString text = QDoubleSpinBox::textFromValue(value);
    const QString point = locale().decimalPoint();
    if (text.contains(point)) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}
