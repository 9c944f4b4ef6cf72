#include "control/qprocessex.h"

QProcessEx::~QProcessEx() = default;
