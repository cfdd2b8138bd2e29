// MTime units, the playback state (MAnimControl) and animation curves.
#include "hostState.h"

#include <maya/MAnimControl.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>

#include <algorithm>
#include <cmath>
#include <limits>

using mayahost::detail::Access;
using mayahost::detail::NodeData;

namespace {

void setStatus(MStatus* status, MStatus value) {
    if (status != nullptr) *status = value;
}

struct Rate {
    double num;  // units per second = num / den
    double den;
};

bool rateOf(MTime::Unit unit, Rate& rate) {
    static const double kFps[] = {2,   3,   4,   5,   6,    8,    10,   12,   16,  20,  40,
                                  75,  80,  100, 120, 125,  150,  200,  240,  250, 300, 375,
                                  400, 500, 600, 750, 1200, 1500, 2000, 3000, 6000};
    switch (unit) {
        case MTime::kHours:
            rate = {1, 3600};
            return true;
        case MTime::kMinutes:
            rate = {1, 60};
            return true;
        case MTime::kSeconds:
            rate = {1, 1};
            return true;
        case MTime::kMilliseconds:
            rate = {1000, 1};
            return true;
        case MTime::kGames:
            rate = {15, 1};
            return true;
        case MTime::kFilm:
            rate = {24, 1};
            return true;
        case MTime::kPALFrame:
            rate = {25, 1};
            return true;
        case MTime::kNTSCFrame:
            rate = {30, 1};
            return true;
        case MTime::kShowScan:
            rate = {48, 1};
            return true;
        case MTime::kPALField:
            rate = {50, 1};
            return true;
        case MTime::kNTSCField:
            rate = {60, 1};
            return true;
        case MTime::k23_976FPS:
            rate = {24000, 1001};
            return true;
        case MTime::k29_97FPS:
        case MTime::k29_97DF:
            rate = {30000, 1001};
            return true;
        case MTime::k47_952FPS:
            rate = {48000, 1001};
            return true;
        case MTime::k59_94FPS:
            rate = {60000, 1001};
            return true;
        case MTime::k44100FPS:
            rate = {44100, 1};
            return true;
        case MTime::k48000FPS:
            rate = {48000, 1};
            return true;
        case MTime::k90FPS:
            rate = {90, 1};
            return true;
        default:
            break;
    }
    if (unit >= MTime::k2FPS && unit <= MTime::k6000FPS) {
        rate = {kFps[unit - MTime::k2FPS], 1};
        return true;
    }
    return false;
}

double convert(double value, MTime::Unit from, MTime::Unit to) {
    Rate a{}, b{};
    if (!rateOf(from, a) || !rateOf(to, b)) return 0.0;
    if (from == to) return value;
    return value * (b.num * a.den) / (b.den * a.num);
}

// Times closer than this, in seconds, are one moment: one key.
constexpr double kSameMoment = 1e-9;

bool sameMoment(const MTime& a, const MTime& b) {
    return std::fabs(a.as(MTime::kSeconds) - b.as(MTime::kSeconds)) < kSameMoment;
}

// A curve's key times are values in one unit, the unit of its first key, so
// that a key is two doubles and keys in that unit need no conversion.
class KeyTimes {
public:
    // `unit` must be known; it becomes the curve's unit if it has no keys.
    KeyTimes(mayahost::detail::NodeData& curve, MTime::Unit unit) : mUnit(curve.keyUnit) {
        if (curve.keys.empty()) curve.keyUnit = mUnit = unit;
        Rate rate{};
        rateOf(mUnit, rate);
        mSameMoment = kSameMoment * rate.num / rate.den;
    }
    // The time in the curve's unit; not finite for an unknown unit.
    double operator()(const MTime& time) const {
        if (time.unit() == mUnit) return time.value();
        Rate rate{};
        if (!rateOf(time.unit(), rate)) return std::nan("");
        return convert(time.value(), time.unit(), mUnit);
    }
    // Key times a and b (a first) are one moment, or a comes before b.
    bool same(double a, double b) const { return std::fabs(a - b) < mSameMoment; }
    bool before(double a, double b) const { return b - a >= mSameMoment; }

private:
    MTime::Unit mUnit;
    double mSameMoment = 0.0;
};

// Grows the keys geometrically, so that repeated bulk additions stay linear.
void reserveFor(std::vector<mayahost::detail::CurveKeyData>& keys, std::size_t needed) {
    if (keys.capacity() < needed) keys.reserve(std::max(needed, 2 * keys.capacity()));
}

// Whether the times are finite and strictly increasing.
bool increasing(const std::vector<MTime>& times, const KeyTimes& keyTimes) {
    double previous = -std::numeric_limits<double>::infinity();
    for (const MTime& time : times) {
        const double at = keyTimes(time);
        if (!std::isfinite(at) || !keyTimes.before(previous, at)) return false;
        previous = at;
    }
    return true;
}

// Adds keys at strictly increasing times to a curve's sorted keys: appended
// when they all come after the existing ones, merged otherwise. Without
// `keepExisting` the existing keys from the first new time to the last go.
void insertKeys(std::vector<mayahost::detail::CurveKeyData>& keys, const KeyTimes& keyTimes,
                const std::vector<MTime>& times, const std::vector<double>& values,
                bool keepExisting) {
    using mayahost::detail::CurveKeyData;
    const std::size_t count = times.size();
    const double first = keyTimes(times.front());
    const double last = keyTimes(times.back());
    const auto from = std::partition_point(keys.begin(), keys.end(), [&](const CurveKeyData& k) {
        return keyTimes.before(k.time, first);
    });
    const auto kept =
        keepExisting ? from : std::partition_point(from, keys.end(), [&](const CurveKeyData& k) {
            return !keyTimes.before(last, k.time);
        });
    if (kept == keys.end()) {
        // Nothing left after the first new time: the new keys are appended.
        const std::size_t at = static_cast<std::size_t>(from - keys.begin());
        reserveFor(keys, at + count);
        keys.resize(at + count);  // keys leave their fields unset: no clearing pass
        CurveKeyData* out = keys.data() + at;
        for (std::size_t i = 0; i < count; ++i)
            out[i] = CurveKeyData(keyTimes(times[i]), values[i]);
        return;
    }
    const std::vector<CurveKeyData> rest(kept, keys.end());
    keys.erase(from, keys.end());
    reserveFor(keys, keys.size() + count + rest.size());
    std::size_t r = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double at = keyTimes(times[i]);
        while (r < rest.size() && keyTimes.before(rest[r].time, at)) keys.push_back(rest[r++]);
        if (r < rest.size() && keyTimes.same(rest[r].time, at)) {
            keys.emplace_back(rest[r++].time, values[i]);  // as addKeyframe: the value is replaced
        } else {
            keys.emplace_back(at, values[i]);
        }
    }
    keys.insert(keys.end(), rest.begin() + static_cast<std::ptrdiff_t>(r), rest.end());
}

const char* const kCurveTypeNames[] = {"animCurveTA", "animCurveTL", "animCurveTT", "animCurveTU",
                                       "animCurveUA", "animCurveUL", "animCurveUT", "animCurveUU"};

std::shared_ptr<NodeData> attachedCurve(const MFnBase& fn, MStatus* status) {
    auto node = mayahost::detail::nodeData(Access::fnObject(fn));
    if (!node || node->type->curveType < 0) {
        setStatus(status, MStatus::kInvalidParameter);
        return nullptr;
    }
    setStatus(status, MStatus::kSuccess);
    return node;
}

}  // namespace

namespace mayahost {
namespace detail {

// Sets every connected time input to the current time.
void pushTimeToInputs() {
    Host& h = host();
    std::vector<std::shared_ptr<NodeData>> nodes = h.nodes;
    for (const auto& node : nodes) {
        const std::vector<NodeData::TimeInput> inputs = node->timeInputs;
        for (const NodeData::TimeInput& input : inputs) {
            double value = h.currentTime;
            if (input.converted && !convertedTime(input.conversion, &value)) continue;
            MPlug plug(
                Access::object(node),
                Access::object(const_cast<AttributeData*>(input.attribute)->shared_from_this()));
            plug.setValue(value);
        }
    }
}

const char* curveTypeName(int curveType) {
    return curveType >= 0 && curveType < 8 ? kCurveTypeNames[curveType] : nullptr;
}

bool curveOutput(const NodeData& node, const AttributeData& attribute, double* value) {
    const int type = node.type->curveType;
    if (type < MFnAnimCurve::kAnimCurveTA || type > MFnAnimCurve::kAnimCurveTU ||
        attribute.name != "output") {
        return false;
    }
    const std::vector<CurveKeyData>& keys = node.keys;
    if (keys.empty()) {
        *value = 0.0;
        return true;
    }
    // The current time in the unit of the key times.
    Rate rate{};
    rateOf(node.keyUnit, rate);
    const double sameMoment = kSameMoment * rate.num / rate.den;
    const double at = convert(host().currentTime, MTime::uiUnit(), node.keyUnit);
    const auto next = std::partition_point(
        keys.begin(), keys.end(), [&](const CurveKeyData& k) { return at - k.time >= sameMoment; });
    if (next != keys.end() && std::fabs(next->time - at) < sameMoment) {
        *value = next->value;
    } else if (next == keys.begin()) {
        *value = next->value;  // held before the first key
    } else if (next == keys.end()) {
        *value = keys.back().value;  // and after the last
    } else {
        // Linear between keys, where Maya's default tangents make a spline.
        const CurveKeyData& previous = *(next - 1);
        const double w = (at - previous.time) / (next->time - previous.time);
        *value = previous.value + w * (next->value - previous.value);
    }
    return true;
}

}  // namespace detail
}  // namespace mayahost

MAYAHOST_NS_OPEN

MTime::MTime() : mValue(0.0), mUnit(uiUnit()) {}
MTime::MTime(const MTime& other) = default;
MTime::MTime(double timeValue, Unit unit) : mValue(timeValue), mUnit(unit) {}
MTime::~MTime() = default;
double MTime::value() const {
    return mValue;
}
MTime::Unit MTime::unit() const {
    return mUnit;
}
MStatus MTime::setValue(double value) {
    mValue = value;
    return MStatus::kSuccess;
}
MStatus MTime::setUnit(Unit unit) {
    Rate r{};
    if (!rateOf(unit, r)) return MStatus::kInvalidParameter;
    mValue = convert(mValue, mUnit, unit);
    mUnit = unit;
    return MStatus::kSuccess;
}
double MTime::as(Unit unit) const {
    return convert(mValue, mUnit, unit);
}
MTime::Unit MTime::uiUnit() {
    return static_cast<Unit>(mayahost::detail::host().uiUnit.load());
}
MStatus MTime::setUIUnit(Unit unit) {
    Rate r{};
    if (!rateOf(unit, r)) return MStatus::kInvalidParameter;
    auto& h = mayahost::detail::host();
    Unit old = uiUnit();
    h.currentTime = convert(h.currentTime, old, unit);
    // The range keeps its moments, as the current time does.
    auto& range = h.playbackRange;
    for (double* t : {&range.minTime, &range.maxTime, &range.animationStart, &range.animationEnd}) {
        *t = convert(*t, old, unit);
    }
    h.uiUnit.store(unit);
    if (unit != old) mayahost::detail::sendEvent("timeUnitChanged");
    return MStatus::kSuccess;
}
MTime& MTime::operator=(const MTime& other) = default;
bool MTime::operator==(const MTime& other) const {
    return sameMoment(*this, other);
}
bool MTime::operator!=(const MTime& other) const {
    return !sameMoment(*this, other);
}
bool MTime::operator<(const MTime& other) const {
    return !sameMoment(*this, other) && as(kSeconds) < other.as(kSeconds);
}

MTime MAnimControl::currentTime() {
    return MTime(mayahost::detail::host().currentTime, MTime::uiUnit());
}
MStatus MAnimControl::setCurrentTime(const MTime& time) {
    mayahost::detail::noteApiCall("MAnimControl::setCurrentTime", "the scene time");
    Rate r{};
    if (!rateOf(time.unit(), r)) return MStatus::kInvalidParameter;
    mayahost::detail::host().currentTime = time.as(MTime::uiUnit());
    mayahost::detail::pushTimeToInputs();
    return MStatus::kSuccess;
}
MStatus MAnimControl::playForward() {
    mayahost::detail::noteApiCall("MAnimControl::playForward", "playback");
    if (!mayahost::detail::host().playing.exchange(true)) {
        mayahost::detail::sendCondition("playingBack", true);
    }
    return MStatus::kSuccess;
}
bool MAnimControl::isPlaying() {
    return mayahost::detail::host().playing.load();
}
MStatus MAnimControl::stop() {
    mayahost::detail::noteApiCall("MAnimControl::stop", "playback");
    if (mayahost::detail::host().playing.exchange(false)) {
        mayahost::detail::sendCondition("playingBack", false);
    }
    return MStatus::kSuccess;
}
bool MAnimControl::isValid() {
    return true;
}

MFn::Type MFnAnimCurve::type() const {
    return MFn::kAnimCurve;
}
MFnAnimCurve::~MFnAnimCurve() = default;
const char* MFnAnimCurve::className() {
    return "MFnAnimCurve";
}
MFnAnimCurve::MFnAnimCurve(MObject& object, MStatus* ReturnStatus) {
    setStatus(ReturnStatus, setObject(object));
}
MFnAnimCurve::MFnAnimCurve(const MObject& object, MStatus* ReturnStatus) {
    setStatus(ReturnStatus, setObject(object));
}
MFnAnimCurve::MFnAnimCurve(const MPlug&, MStatus* ReturnStatus) {
    setStatus(ReturnStatus, MStatus::kNotFound);
}

MObject MFnAnimCurve::create(const MObject&, const MObject&, MDGModifier*, MStatus* ReturnStatus) {
    setStatus(ReturnStatus, MStatus::kNotImplemented);
    return MObject();
}
MObject MFnAnimCurve::create(const MObject&, const MObject&, AnimCurveType, MDGModifier*,
                             MStatus* ReturnStatus) {
    setStatus(ReturnStatus, MStatus::kNotImplemented);
    return MObject();
}
MObject MFnAnimCurve::create(const MPlug&, MDGModifier*, MStatus* ReturnStatus) {
    setStatus(ReturnStatus, MStatus::kNotImplemented);
    return MObject();
}
MObject MFnAnimCurve::create(const MPlug&, AnimCurveType, MDGModifier*, MStatus* ReturnStatus) {
    setStatus(ReturnStatus, MStatus::kNotImplemented);
    return MObject();
}

MObject MFnAnimCurve::create(AnimCurveType type, MDGModifier*, MStatus* ReturnStatus) {
    mayahost::detail::noteApiCall("MFnAnimCurve::create", "a curve");
    auto& h = mayahost::detail::host();
    const char* typeName = mayahost::detail::curveTypeName(type);
    if (typeName == nullptr) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MObject();
    }
    if (h.failingCurveCreations > 0) {
        --h.failingCurveCreations;
        setStatus(ReturnStatus, MStatus::kFailure);
        return MObject();
    }
    MStatus status;
    auto node = mayahost::detail::createNodeOfType(typeName, &status);
    if (!node) {
        setStatus(ReturnStatus, status);
        return MObject();
    }
    MObject object = Access::object(node);
    setStatus(ReturnStatus, setObject(object));
    return object;
}

MFnAnimCurve::AnimCurveType MFnAnimCurve::animCurveType(MStatus* ReturnStatus) const {
    auto node = attachedCurve(*this, ReturnStatus);
    return node ? static_cast<AnimCurveType>(node->type->curveType) : kAnimCurveUnknown;
}

unsigned int MFnAnimCurve::numKeyframes(MStatus* ReturnStatus) const {
    return numKeys(ReturnStatus);
}

unsigned int MFnAnimCurve::numKeys(MStatus* ReturnStatus) const {
    auto node = attachedCurve(*this, ReturnStatus);
    return node ? static_cast<unsigned int>(node->keys.size()) : 0u;
}

MStatus MFnAnimCurve::addKeyframe(const MTime& time, double value, MAnimCurveChange*) {
    MStatus status;
    auto node = attachedCurve(*this, &status);
    if (!node) return status;
    if (!mayahost::detail::graphEditAllowed("MFnAnimCurve::addKeyframe", node->name)) {
        return MStatus::kFailure;
    }
    Rate r{};
    if (!rateOf(time.unit(), r) || !std::isfinite(time.value())) return MStatus::kInvalidParameter;
    const KeyTimes keyTimes(*node, time.unit());
    const double at = keyTimes(time);
    auto& keys = node->keys;
    // Keys are kept sorted: a binary search keeps long takes (keys added
    // in time order, tens of thousands per curve) linear overall.
    auto it = std::partition_point(
        keys.begin(), keys.end(),
        [&](const mayahost::detail::CurveKeyData& k) { return keyTimes.before(k.time, at); });
    if (it != keys.end() && keyTimes.same(it->time, at)) {
        it->value = value;  // a key at that time already: its value is replaced
    } else {
        keys.insert(it, mayahost::detail::CurveKeyData(at, value));
    }
    return MStatus::kSuccess;
}

MStatus MFnAnimCurve::addKeyframe(const MTime& time, double value, TangentType, TangentType,
                                  MAnimCurveChange* change) {
    return addKeyframe(time, value, change);
}

MStatus MFnAnimCurve::addKeys(MTimeArray* timeArray, MDoubleArray* valueArray, TangentType,
                              TangentType, bool keepExistingKeys, MAnimCurveChange*) {
    mayahost::detail::noteApiCall("MFnAnimCurve::addKeys", "a curve");
    MStatus status;
    auto node = attachedCurve(*this, &status);
    if (!node) return status;
    if (!mayahost::detail::graphEditAllowed("MFnAnimCurve::addKeys", node->name)) {
        return MStatus::kFailure;
    }
    const int type = node->type->curveType;
    if ((type != kAnimCurveTA && type != kAnimCurveTL && type != kAnimCurveTU) ||
        timeArray == nullptr || valueArray == nullptr) {
        return MStatus::kInvalidParameter;
    }
    const std::vector<MTime>& times = Access::items(*timeArray);
    const std::vector<double>& values = Access::items(*valueArray);
    if (times.size() != values.size()) return MStatus::kInvalidParameter;
    if (times.empty()) return MStatus::kSuccess;
    Rate r{};
    if (!rateOf(times.front().unit(), r)) return MStatus::kInvalidParameter;
    const KeyTimes keyTimes(*node, times.front().unit());
    if (!increasing(times, keyTimes)) return MStatus::kInvalidParameter;
    insertKeys(node->keys, keyTimes, times, values, keepExistingKeys);
    return MStatus::kSuccess;
}

MTime MFnAnimCurve::time(unsigned int index, MStatus* ReturnStatus) const {
    auto node = attachedCurve(*this, ReturnStatus);
    if (!node) return MTime();
    if (index >= node->keys.size()) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MTime();
    }
    return MTime(node->keys[index].time, node->keyUnit);
}

double MFnAnimCurve::value(unsigned int index, MStatus* ReturnStatus) const {
    auto node = attachedCurve(*this, ReturnStatus);
    if (!node) return 0.0;
    if (index >= node->keys.size()) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return 0.0;
    }
    return node->keys[index].value;
}

MAYAHOST_NS_CLOSE
