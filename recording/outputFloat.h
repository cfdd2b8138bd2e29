// The node's outputs and the recorded samples hold translations as floats,
// while the store scales the sender's values to centimetres in double: a
// value the sender may send can exceed the float range after scaling.
#pragma once

#include <cfloat>

// The value as a float, with a value beyond the float range (infinities
// included) clamped to -FLT_MAX or FLT_MAX: converting it as it is would be
// undefined behaviour. NaN stays NaN.
inline float toOutputFloat(double value) {
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}
