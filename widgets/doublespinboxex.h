#pragma once

#include "widgets/numberspin.h"

// The floating-point editor. Ten decimals are kept for precision, but a value is shown in its
// shortest form ("0.5", or "2,5" under a decimal-comma locale). Either "." or "," is taken as the
// decimal separator, and a number beyond the limits is limited when the editor commits.
class DoubleSpinBoxEx : public NumberSpin<QDoubleSpinBox>
{
    Q_OBJECT

public:
    explicit DoubleSpinBoxEx(QWidget* parent = nullptr);

    QString textFromValue(double value) const override;
};
