// The node's outputs and the recorded samples hold translations as floats,
// while the store scales the sender's values to centimetres in double: a
// value the sender may send can exceed the float range after scaling.
#pragma once

#include <cfloat>

// The value as a float, with a value beyond the float range (infinities
// included) clamped to -FLT_MAX or FLT_MAX: converting it as it is would be
// undefined behaviour. NaN stays NaN.
inline float toOutputFloat(double value) {
    // Comparisons that keep a NaN: the value is what each yields when it
    // compares false.
    const double atLeast =
        value < -static_cast<double>(FLT_MAX) ? -static_cast<double>(FLT_MAX) : value;
    const double within =
        static_cast<double>(FLT_MAX) < atLeast ? static_cast<double>(FLT_MAX) : atLeast;
    return static_cast<float>(within);
}
