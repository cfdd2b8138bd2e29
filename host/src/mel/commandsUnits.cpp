// currentUnit: the UI units of lengths, angles and time.
#include "hostState.h"
#include "mel/flags.h"
#include "mel/interpreter.h"

#include <maya/MTime.h>

#include <cmath>
#include <string>

namespace mayahost {
namespace mel {

namespace {

using A = Arg;

template <class Unit>
struct UnitName {
    Unit unit;
    const char* shortName;
    const char* longName;
};

const UnitName<LinearUnit> kLinearNames[] = {{LinearUnit::kMillimeters, "mm", "millimeter"},
                                             {LinearUnit::kCentimeters, "cm", "centimeter"},
                                             {LinearUnit::kMeters, "m", "meter"},
                                             {LinearUnit::kKilometers, "km", "kilometer"},
                                             {LinearUnit::kInches, "in", "inch"},
                                             {LinearUnit::kFeet, "ft", "foot"},
                                             {LinearUnit::kYards, "yd", "yard"},
                                             {LinearUnit::kMiles, "mi", "mile"}};

const UnitName<AngleUnit> kAngleNames[] = {{AngleUnit::kDegrees, "deg", "degree"},
                                           {AngleUnit::kRadians, "rad", "radian"}};

// Time units with a name of their own; the other rates are "<n>fps".
const UnitName<MTime::Unit> kTimeNames[] = {{MTime::kHours, "hour", "hour"},
                                            {MTime::kMinutes, "min", "min"},
                                            {MTime::kSeconds, "sec", "sec"},
                                            {MTime::kMilliseconds, "millisec", "millisec"},
                                            {MTime::kGames, "game", "game"},
                                            {MTime::kFilm, "film", "film"},
                                            {MTime::kPALFrame, "pal", "pal"},
                                            {MTime::kNTSCFrame, "ntsc", "ntsc"},
                                            {MTime::kShowScan, "show", "show"},
                                            {MTime::kPALField, "palf", "palf"},
                                            {MTime::kNTSCField, "ntscf", "ntscf"},
                                            {MTime::k23_976FPS, "23.976fps", "23.976fps"},
                                            {MTime::k29_97FPS, "29.97fps", "29.97fps"},
                                            {MTime::k29_97DF, "29.97df", "29.97df"},
                                            {MTime::k47_952FPS, "47.952fps", "47.952fps"},
                                            {MTime::k59_94FPS, "59.94fps", "59.94fps"}};

template <class Unit, std::size_t N>
bool unitNamed(const UnitName<Unit> (&names)[N], const std::string& text, Unit* unit) {
    for (const auto& name : names) {
        if (text == name.shortName || text == name.longName) {
            *unit = name.unit;
            return true;
        }
    }
    return false;
}

template <class Unit, std::size_t N>
std::string nameOf(const UnitName<Unit> (&names)[N], Unit unit, bool full) {
    for (const auto& name : names) {
        if (name.unit == unit) return full ? name.longName : name.shortName;
    }
    return std::string();
}

// Frames per second of a whole-number frame rate; 0 for the others.
long framesPerSecond(MTime::Unit unit) {
    const double fps = MTime(1.0, MTime::kSeconds).as(unit);
    return fps >= 1.0 && std::fabs(fps - std::round(fps)) < 1e-9 ? std::lround(fps) : 0;
}

bool timeUnitNamed(const std::string& text, MTime::Unit* unit) {
    if (unitNamed(kTimeNames, text, unit)) return true;
    const std::size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos || text.substr(digits) != "fps") return false;
    // Rates with a name are also found by their number ("24fps" is film).
    for (int k = MTime::kGames; k < MTime::kUserDef; ++k) {
        const auto candidate = static_cast<MTime::Unit>(k);
        const long fps = framesPerSecond(candidate);
        if (fps > 0 && std::to_string(fps) == text.substr(0, digits)) {
            *unit = candidate;
            return true;
        }
    }
    return false;
}

std::string timeUnitName(MTime::Unit unit) {
    const std::string named = nameOf(kTimeNames, unit, false);
    return named.empty() ? std::to_string(framesPerSecond(unit)) + "fps" : named;
}

Value currentUnitCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"linear", "l", {A::kString}, "CQ"},
                                             {"angle", "a", {A::kString}, "CQ"},
                                             {"time", "t", {A::kString}, "CQ"},
                                             {"fullName", "f", {}, "Q"}};
    Flags flags(call, kFlags, true);
    flags.needObjects(0);
    if (flags.edit) throw MelError("currentUnit: the command has no edit mode.");
    detail::Host& h = detail::host();
    if (flags.query) {
        const bool full = flags.has("fullName");
        if (flags.uses.size() != (full ? 2u : 1u)) {
            throw MelError("currentUnit: a query needs one of -linear, -angle and -time.");
        }
        if (flags.has("linear")) return Value::ofString(nameOf(kLinearNames, h.uiLinear, full));
        if (flags.has("angle")) return Value::ofString(nameOf(kAngleNames, h.uiAngle, full));
        return Value::ofString(timeUnitName(MTime::uiUnit()));
    }
    // Every name is checked before any unit changes.
    LinearUnit linear = h.uiLinear;
    AngleUnit angle = h.uiAngle;
    MTime::Unit time = MTime::uiUnit();
    std::string result;
    if (flags.has("linear")) {
        if (!unitNamed(kLinearNames, flags.text("linear"), &linear)) {
            throw MelError("currentUnit: '" + flags.text("linear") + "' is not a linear unit.");
        }
        result = nameOf(kLinearNames, linear, false);
    }
    if (flags.has("angle")) {
        if (!unitNamed(kAngleNames, flags.text("angle"), &angle)) {
            throw MelError("currentUnit: '" + flags.text("angle") + "' is not an angular unit.");
        }
        result = nameOf(kAngleNames, angle, false);
    }
    if (flags.has("time")) {
        if (!timeUnitNamed(flags.text("time"), &time)) {
            throw MelError("currentUnit: '" + flags.text("time") + "' is not a time unit.");
        }
        result = timeUnitName(time);
    }
    setUiLinearUnit(linear);
    setUiAngleUnit(angle);
    if (time != MTime::uiUnit()) MTime::setUIUnit(time);
    return Value::ofString(result);
}

}  // namespace

void addUnitCommands(Interpreter& mel) {
    mel.addCommand("currentUnit", currentUnitCommand);
}

}  // namespace mel
}  // namespace mayahost
