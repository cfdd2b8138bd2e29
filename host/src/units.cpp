// The UI units and the conversion between them and the internal units
// (centimetres, radians) in which every value is held.
#include "hostState.h"

#include <mayahost/host.h>

namespace mayahost {
namespace detail {

namespace {

constexpr double kPi = 3.14159265358979323846;

double centimetresIn(LinearUnit unit) {
    switch (unit) {
        case LinearUnit::kMillimeters:
            return 0.1;
        case LinearUnit::kMeters:
            return 100.0;
        case LinearUnit::kKilometers:
            return 100000.0;
        case LinearUnit::kInches:
            return 2.54;
        case LinearUnit::kFeet:
            return 30.48;
        case LinearUnit::kYards:
            return 91.44;
        case LinearUnit::kMiles:
            return 160934.4;
        default:
            return 1.0;
    }
}

}  // namespace

double internalPerUiUnit(UnitKind kind) {
    switch (kind) {
        case UnitKind::kLinear:
            return centimetresIn(host().uiLinear);
        case UnitKind::kAngular:
            return host().uiAngle == AngleUnit::kDegrees ? kPi / 180.0 : 1.0;
        default:
            return 1.0;
    }
}

double toUi(UnitKind kind, double internal) {
    // A division, so that a value set in UI units reads back as given.
    const double per = internalPerUiUnit(kind);
    return per == 1.0 ? internal : internal / per;
}

double toInternal(UnitKind kind, double ui) {
    const double per = internalPerUiUnit(kind);
    return per == 1.0 ? ui : ui * per;
}

double conversionFactor(UnitKind from, UnitKind to) {
    // A time into a number goes through a timeToUnitConversion node, whose
    // factor the connection computes (mel/scene.cpp).
    if (from == to || from == UnitKind::kTime || to == UnitKind::kTime) return 1.0;
    // One UI unit at the source is one UI unit at the destination.
    return internalPerUiUnit(to) / internalPerUiUnit(from);
}

}  // namespace detail

void setUiLinearUnit(LinearUnit unit) {
    const bool changed = detail::host().uiLinear != unit;
    detail::host().uiLinear = unit;
    if (changed) detail::sendEvent("linearUnitChanged");
}

void setUiAngleUnit(AngleUnit unit) {
    const bool changed = detail::host().uiAngle != unit;
    detail::host().uiAngle = unit;
    if (changed) detail::sendEvent("angularUnitChanged");
}

LinearUnit uiLinearUnit() {
    return detail::host().uiLinear;
}

AngleUnit uiAngleUnit() {
    return detail::host().uiAngle;
}

}  // namespace mayahost
