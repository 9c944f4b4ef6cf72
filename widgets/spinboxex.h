#pragma once

#include "widgets/numberspin.h"

// The whole-number editor. A number beyond the limits can be typed in full and is limited when the
// editor commits, and a separator is refused rather than read as grouping.
class SpinBoxEx : public NumberSpin<QSpinBox>
{
    Q_OBJECT

public:
    explicit SpinBoxEx(QWidget* parent = nullptr);
};
