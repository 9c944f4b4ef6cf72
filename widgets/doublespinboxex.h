#pragma once

#include <QDoubleSpinBox>

// The floating-point editor. Ten decimals are kept for precision, but under a decimal-comma locale
// the trailing zeros are not shown ("2,5" rather than "2,5000000000").
class DoubleSpinBoxEx : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit DoubleSpinBoxEx(QWidget* parent = nullptr);

    QString textFromValue(double value) const override;
};
