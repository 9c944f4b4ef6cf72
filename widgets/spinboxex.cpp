#include "widgets/spinboxex.h"

SpinBoxEx::SpinBoxEx(QWidget* parent) : NumberSpin<QSpinBox>(parent) {}
