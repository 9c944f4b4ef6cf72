#include "widgets/doublespinboxex.h"

DoubleSpinBoxEx::DoubleSpinBoxEx(QWidget* parent) : QDoubleSpinBox(parent)
{
    setSingleStep(0.1);
}

QString DoubleSpinBoxEx::textFromValue(double value) const
{
    QString text = QDoubleSpinBox::textFromValue(value);
    // Only a comma-separated text is shortened; "." texts stay as the base formats them.
    if (text.contains(QLatin1Char(','))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char(',')))
            text.chop(1);
    }
    return text;
}
