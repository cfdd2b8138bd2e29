// Writing a take into curves: the previous take of the skeleton keeps its
// curves under its number, the new one gets the plain names and a take node
// with its report.
#include "intake/prefetch.h"
#include "intake/jointTable.h"
#include "plugin/messageTable.h"
#include "plugin/uiBridge.h"
#include "recording/captureTimeline.h"
#include "recording/invalidValues.h"
#include "recording/keyBudget.h"
#include "recording/keyTimeline.h"
#include "recording/pendingTake.h"
#include "recording/takeNode.h"
#include "recording/takeReport.h"
#include "recording/takeTimecode.h"
#include "recording/unfilledGaps.h"

#include <maya/MDoubleArray.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <maya/MSelectionList.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kCurvesPerJoint = 6;
struct CurveRow {
    const char* suffix;
    MFnAnimCurve::AnimCurveType type;
    const char* typeName;
};
// Translations on distance curves in centimetres; rotations on angle curves,
// which hold radians inside and show the node's degrees in a degree scene.
const CurveRow kCurveRows[kCurvesPerJoint] = {
    {"_tx", MFnAnimCurve::kAnimCurveTL, "animCurveTL"},
    {"_ty", MFnAnimCurve::kAnimCurveTL, "animCurveTL"},
    {"_tz", MFnAnimCurve::kAnimCurveTL, "animCurveTL"},
    {"_rx", MFnAnimCurve::kAnimCurveTA, "animCurveTA"},
    {"_ry", MFnAnimCurve::kAnimCurveTA, "animCurveTA"},
    {"_rz", MFnAnimCurve::kAnimCurveTA, "animCurveTA"},
};
constexpr double kRadiansPerDegree = 3.141592653589793 / 180.0;

MObject nodeNamed(const MString& name) {
    MSelectionList found;
    MObject node;
    if (found.add(name, false)) {
        found.getDependNode(0, node);
    }
    return node;
}

std::string formatted(const MessageKey& key, const char* a, const char* b = "") {
    const MString format = lookupMessage(key);
    char line[1024];
    std::snprintf(line, sizeof line, format.asChar(), a, b);
    return line;
}

// The words of a MEL command's string array result; empty when it fails.
std::vector<std::string> commandWords(const MString& command) {
    MString joined;
    std::vector<std::string> words;
    if (!MGlobal::executeCommand(MString("stringArrayToString(`") + command + "`, \" \")",
                                 joined)) {
        return words;
    }
    std::istringstream list(joined.asChar());
    std::string word;
    while (list >> word) words.push_back(word);
    return words;
}

// The skeleton's take nodes with the highest take number (one, unless a
// scene was edited by hand), and that number; 0 for none.
int lastTakes(const MString& skeleton, std::vector<std::string>& latest) {
    int highest = 0;
    for (const std::string& name : commandWords(MString("ls -type \"") + kTakeNodeTypeName +
                                                "\" \"" + skeleton + "_take*\"")) {
        const MObject take = nodeNamed(MString(name.c_str()));
        if (take.isNull()) continue;
        const int number = MPlug(take, ZemoriTakeNode::mTakeNumber).asInt();
        if (number > highest) latest.clear();
        if (number >= highest) latest.push_back(name);
        highest = std::max(highest, number);
    }
    return highest;
}

// The curves connected to a take node, by element: what its `curves`
// connections name, never what bears a curve's name.
std::vector<std::pair<int, std::string>> takeCurves(const std::string& take) {
    // Pairs of the take's element plug and the curve's message plug.
    const std::vector<std::string> words = commandWords(
        MString("listConnections -source true -destination false -connections true -plugs "
                "true \"") +
        take.c_str() + ".curves\"");
    std::vector<std::pair<int, std::string>> curves;
    for (std::size_t i = 0; i + 1 < words.size(); i += 2) {
        const std::size_t open = words[i].rfind('[');
        const std::size_t dot = words[i + 1].find('.');
        if (open == std::string::npos || dot == std::string::npos) continue;
        curves.emplace_back(std::atoi(words[i].c_str() + open + 1), words[i + 1].substr(0, dot));
    }
    return curves;
}

// The previous take's curves leave the plain names for the new take: each
// curve connected to the take node is renamed after its element's joint and
// channel with the take's number. No other node is renamed, and a name
// that could not be had is said, with the name given instead.
void keepPreviousTake(const MString& skeleton, const std::string& take, int number) {
    const MString suffix = MString("_take") + std::to_string(number).c_str();
    for (const auto& [element, name] : takeCurves(take)) {
        if (element < 0 || element >= kJointCount * kCurvesPerJoint) continue;
        const CurveRow& row = kCurveRows[element % kCurvesPerJoint];
        const MString wanted =
            skeleton + "_" + kJointTable[element / kCurvesPerJoint].name + row.suffix + suffix;
        const MObject curve = nodeNamed(MString(name.c_str()));
        if (curve.isNull()) continue;
        MFnDependencyNode node(curve);
        if (node.typeName() != row.typeName || node.name() == wanted) continue;
        const MString given = node.setName(wanted, false);
        if (given != wanted) {
            MGlobal::displayWarning(
                formatted(msg::kTakeCurveRenamed, wanted.asChar(), given.asChar()).c_str());
        }
    }
}

// Makes the curve one of the take's own: its message into the take node's
// element for its joint and channel.
void connectToTake(const MString& take, const MFnAnimCurve& curve, int element) {
    MGlobal::executeCommand(MString("connectAttr \"") + curve.name() + ".message\" \"" + take +
                            ".curves[" + std::to_string(element).c_str() + "]\"");
}

// A new free-standing curve that takes the name, or the next free one when
// another node bears it (with a warning naming both). False when the curve
// could not be made; `status` takes the creation's outcome.
bool createNamedCurve(const MString& name, const CurveRow& row, MFnAnimCurve& curve,
                      MStatus& status) {
    curve.create(row.type, nullptr, &status);
    if (!status) {
        // The set is not attached to a new curve: renaming through it would
        // rename the previous joint's curve.
        return false;
    }
    const MString given = curve.setName(name, false);
    if (given != name) {
        MGlobal::displayWarning(
            formatted(msg::kCurveNameTaken, name.asChar(), given.asChar()).c_str());
    }
    return true;
}

// One joint's keys, as one array of times and one of values per curve. The
// arrays are kept from joint to joint, so a take allocates them once; a
// resampled take's times are the same for every joint and set once.
struct JointKeys {
    MTimeArray times;
    MDoubleArray values[kCurvesPerJoint];
    unsigned int count = 0;

    // Key i of the six curves from `sample`; rotations in radians.
    void setValues(unsigned int i, const RecordedSample& sample) {
        values[0][i] = sample.translateX;
        values[1][i] = sample.translateY;
        values[2][i] = sample.translateZ;
        values[3][i] = sample.rotateX * kRadiansPerDegree;
        values[4][i] = sample.rotateY * kRadiansPerDegree;
        values[5][i] = sample.rotateZ * kRadiansPerDegree;
    }

    void setLength(unsigned int length) {
        times.setLength(length);
        for (MDoubleArray& curveValues : values) {
            curveValues.setLength(length);
        }
    }
};

// Recorded times can go back or repeat; a curve takes keys in increasing
// time order, and a later key replaces an earlier one at its time.
void sortKeepingLast(JointKeys& keys) {
    std::vector<unsigned int> order(keys.count);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](unsigned int a, unsigned int b) {
        return keys.times[a].value() < keys.times[b].value();
    });
    const JointKeys unsorted = keys;
    unsigned int kept = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const unsigned int from = order[i];
        if (i + 1 < order.size() &&
            unsorted.times[order[i + 1]].value() == unsorted.times[from].value()) {
            continue;
        }
        keys.times.set(unsorted.times[from], kept);
        for (int k = 0; k < kCurvesPerJoint; ++k) {
            keys.values[k][kept] = unsorted.values[k][from];
        }
        ++kept;
    }
    keys.count = kept;
}

// Fills `keys` from one walk of a joint's samples, filling gaps of whole
// frames up to `maxFilledGap`; rotations in radians. Keys at times that are
// not finite are left out: a curve has no such key. So are samples whose
// values are not numbers (counted in `invalid`): the keys around them are
// filled across. Returns the frames left unfilled in gaps too long to fill.
std::int64_t collectJointKeys(std::vector<RecordedSample>& samples, MTime::Unit unit,
                              JointKeys& keys, std::int32_t maxFilledGap, std::int64_t& invalid) {
    const auto valid = std::remove_if(samples.begin(), samples.end(),
                                      [](const RecordedSample& s) { return !isNumbers(s); });
    invalid += samples.end() - valid;
    samples.erase(valid, samples.end());
    keys.count = 0;
    if (keys.times.length() < samples.size()) {
        keys.setLength(static_cast<unsigned int>(samples.size()));
    }
    bool increasing = true;
    double lastTime = 0.0;
    const std::int64_t unfilled = forEachTakeKey(
        samples.data(), samples.size(),
        [&](double time, const RecordedSample& sample) {
            if (!std::isfinite(time)) {
                return;
            }
            if (keys.count == keys.times.length()) {
                keys.setLength(2 * keys.count);  // gaps filled past the samples' count
            }
            increasing = increasing && (keys.count == 0 || time > lastTime);
            lastTime = time;
            const unsigned int i = keys.count++;
            keys.times.set(MTime(time, unit), i);
            keys.setValues(i, sample);
        },
        maxFilledGap);
    if (!increasing) {
        sortKeepingLast(keys);
    }
    keys.setLength(keys.count);
    return unfilled;
}

// What a resampled take needs to key across values that are not numbers:
// each frame's place on the timeline, made the first time one is met.
struct AcrossInvalid {
    const std::vector<TimedFrame>& timeline;
    std::vector<std::int64_t> positions;
    std::int64_t invalid = 0;
};

// Fills `keys` with joint `joint` at each of a resampled take's whole frames,
// whose times `keys.times` already holds; rotations in radians. A key whose
// frames hold a value that is not a number is made from the nearest frames
// that do not; with none, the joint gets no keys (count 0).
void collectResampledKeys(const std::vector<JournalFrame>& frames,
                          const std::vector<WholeFrameKey>& plan, int joint, JointKeys& keys,
                          AcrossInvalid& across) {
    const auto count = static_cast<unsigned int>(plan.size());
    for (MDoubleArray& curveValues : keys.values) {
        curveValues.setLength(count);
    }
    // Each key reads a few bytes from a frame hundreds of bytes from the
    // last: fetched a few keys ahead, the walk does not wait on memory.
    constexpr unsigned int kAhead = 8;
    for (unsigned int i = 0; i < count; ++i) {
        if (i + kAhead < count) {
            const WholeFrameKey& ahead = plan[i + kAhead];
            prefetchForReading(&frames[ahead.before].joints[joint]);
            prefetchForReading(&frames[ahead.after].joints[joint]);
        }
        RecordedSample sample = resampledSample(frames, plan[i], joint);
        if (!isNumbers(sample)) {
            if (across.positions.empty()) {
                across.positions = timelinePositions(frames.size(), across.timeline);
            }
            across.invalid +=
                (jointIsNumbers(frames[plan[i].before], joint) ? 0 : 1) +
                (plan[i].fraction == 0.0 || jointIsNumbers(frames[plan[i].after], joint) ? 0 : 1);
            if (!resampledAcross(frames, across.timeline, across.positions, plan[i], joint,
                                 sample)) {
                keys.count = 0;
                return;
            }
        }
        keys.setValues(i, sample);
    }
    keys.count = count;
}

double framesPerSecond(MTime::Unit unit) {
    return MTime(1.0, MTime::kSeconds).as(unit);
}

// The take's node, named after its number; null when it cannot be made.
MObject createTakeNode(const MString& skeleton, int number) {
    const MString wanted = skeleton + "_take" + std::to_string(number).c_str();
    MString given;
    const MString command =
        MString("createNode \"") + kTakeNodeTypeName + "\" -name \"" + wanted + "\" -skipSelect";
    if (!MGlobal::executeCommand(command, given)) {
        return MObject();
    }
    return nodeNamed(given);
}

void setTakeAttribute(const MObject& take, const MObject& attribute, double value) {
    MPlug(take, attribute).setValue(value);
}

}  // namespace

int nextTakeNumber(const MString& skeleton) {
    std::vector<std::string> latest;
    return lastTakes(skeleton, latest) + static_cast<int>(pendingTakeCount(skeleton)) + 1;
}

void writeTake(PendingTake& take) {
    const MTime::Unit unit = MTime::uiUnit();
    take.clock.framesPerSecond = framesPerSecond(unit);
    std::int64_t mistimed = 0;
    // On the timecode where asked and the frames have one, else on the
    // capture's clock from where recording began.
    std::vector<TimedFrame> timeline;
    if (take.keyOnTimecode) {
        timeline =
            placeByTimecode(take.frames, take.clock.framesPerSecond, take.captureRate, &mistimed);
    }
    if (timeline.empty()) {
        timeline = placeFrames(take.frames, take.clock, &mistimed);
    }
    if (timeline.empty()) {
        MGlobal::displayWarning(lookupMessage(msg::kTakeEmpty));
        return;
    }
    if (take.endedWithScene) {
        MGlobal::displayWarning(formatted(msg::kTakeOutlivedScene, take.skeleton.asChar()).c_str());
    }

    // The report walks the captured frames' times as a take keyed on them
    // would: where frames are missing, not what they hold.
    std::vector<RecordedSample> samples(timeline.size(), RecordedSample{});
    for (std::size_t i = 0; i < timeline.size(); ++i) {
        samples[i].time = timeline[i].time;
    }
    TakeReport report = measureTakeGaps(samples);
    report.framesLost = take.framesLost;

    // Keys within the budget, decided before a single one is made.
    const double seconds = capturedSeconds(take.frames);
    const double budget = keyBudget(take.frames.size(), seconds, take.clock.framesPerSecond);
    const double wanted =
        take.keyEveryFrame ? capturedKeyCount(timeline) : wholeFrameKeyCount(timeline);
    const bool overBudget = wanted > budget;
    const bool everyCapturedFrame = take.keyEveryFrame || overBudget;
    if (overBudget) {
        const double stampSpan =
            (timeline.back().time - timeline.front().time) / take.clock.framesPerSecond;
        char line[512];
        std::snprintf(line, sizeof line, lookupMessage(msg::kTakeOverBudget).asChar(),
                      static_cast<long long>(std::min(wanted, 9.2e18)),
                      static_cast<long long>(budget), seconds, stampSpan);
        MGlobal::displayWarning(line);
    }

    std::vector<std::string> latest;
    const int previous = lastTakes(take.skeleton, latest);
    for (const std::string& previousTake : latest) {
        keepPreviousTake(take.skeleton, previousTake, previous);
    }
    const int number = previous + 1;
    // Made before its curves, so that each is connected to it when made.
    const MObject takeNode = createTakeNode(take.skeleton, number);
    const MString takeName = takeNode.isNull() ? MString() : MFnDependencyNode(takeNode).name();

    MFnAnimCurve curves[kCurvesPerJoint];
    JointKeys keys;
    std::int64_t unfilledFrames = 0;
    std::vector<WholeFrameKey> plan;
    if (!everyCapturedFrame) {
        plan = wholeFrameKeys(timeline, unfilledFrames);
        keys.times.setLength(static_cast<unsigned int>(plan.size()));
        for (unsigned int i = 0; i < plan.size(); ++i) {
            keys.times.set(MTime(plan[i].time, unit), i);
        }
    }
    AcrossInvalid across{timeline, {}, 0};
    double firstKey = 0.0;
    double lastKey = 0.0;
    bool keyed = false;
    for (int joint = 0; joint < kJointCount; ++joint) {
        // The table's names, which the store's records carry too: the store
        // may be decoding on the receiving thread right now.
        const MString baseName = take.skeleton + "_" + kJointTable[joint].name;
        MStatus status;
        bool created[kCurvesPerJoint];
        bool anyFailed = false;
        for (int k = 0; k < kCurvesPerJoint; ++k) {
            created[k] =
                createNamedCurve(baseName + kCurveRows[k].suffix, kCurveRows[k], curves[k], status);
            anyFailed = anyFailed || !created[k];
            if (created[k] && !takeNode.isNull()) {
                connectToTake(takeName, curves[k], joint * kCurvesPerJoint + k);
            }
        }
        if (anyFailed) {
            MGlobal::displayError(lookupMessage(msg::kCreateCurvesError));
        }

        if (everyCapturedFrame) {
            captureSamples(take.frames, timeline, joint, samples);
            const std::int64_t unfilled = collectJointKeys(
                samples, unit, keys, overBudget ? 0 : kMaxFilledGapFrames, across.invalid);
            if (!overBudget) unfilledFrames = std::max(unfilledFrames, unfilled);
        } else {
            collectResampledKeys(take.frames, plan, joint, keys, across);
        }
        if (keys.count == 0) {
            continue;
        }
        // The take's extent: its earliest and latest key over every joint.
        const double jointFirst = keys.times[0].as(unit);
        const double jointLast = keys.times[keys.count - 1].as(unit);
        firstKey = keyed ? std::min(firstKey, jointFirst) : jointFirst;
        lastKey = keyed ? std::max(lastKey, jointLast) : jointLast;
        keyed = true;
        for (int k = 0; k < kCurvesPerJoint; ++k) {
            if (created[k]) {
                curves[k].addKeys(&keys.times, &keys.values[k]);
            }
        }
    }
    warnOfUnfilledFrames(unfilledFrames);
    if (mistimed > 0 || across.invalid > 0) {
        char line[512];
        std::snprintf(line, sizeof line, lookupMessage(msg::kTakeLeftOut).asChar(),
                      static_cast<long long>(mistimed), static_cast<long long>(across.invalid));
        MGlobal::displayWarning(line);
    }

    if (!takeNode.isNull()) {
        const double duration =
            (timeline.back().time - timeline.front().time) / take.clock.framesPerSecond;
        setTakeAttribute(takeNode, ZemoriTakeNode::mTakeNumber, number);
        setTakeAttribute(takeNode, ZemoriTakeNode::mDeviceId, take.deviceId);
        setTakeAttribute(takeNode, ZemoriTakeNode::mFramesRecorded,
                         static_cast<double>(report.framesRecorded));
        setTakeAttribute(takeNode, ZemoriTakeNode::mGapsFilled,
                         static_cast<double>(report.gapsFilled));
        setTakeAttribute(takeNode, ZemoriTakeNode::mLongestGapFilled,
                         static_cast<double>(report.longestGapFilled));
        setTakeAttribute(takeNode, ZemoriTakeNode::mGapsUnfilled,
                         static_cast<double>(report.gapsUnfilled));
        setTakeAttribute(takeNode, ZemoriTakeNode::mFramesLost,
                         static_cast<double>(report.framesLost));
        setTakeAttribute(takeNode, ZemoriTakeNode::mCaptureRate, take.captureRate);
        setTakeAttribute(takeNode, ZemoriTakeNode::mStartTime, firstKey);
        setTakeAttribute(takeNode, ZemoriTakeNode::mEndTime, lastKey);
        setTakeAttribute(takeNode, ZemoriTakeNode::mDuration, duration);
        setTakeAttribute(takeNode, ZemoriTakeNode::mKeyEveryFrame, take.keyEveryFrame ? 1.0 : 0.0);
        const TimedFrame& first = timeline.front();
        setTakeAttribute(takeNode, ZemoriTakeNode::mCaptureTime, first.time);
        setTakeAttribute(takeNode, ZemoriTakeNode::mCaptureStamp,
                         take.frames[first.index].timestamp);
        setTakeAttribute(takeNode, ZemoriTakeNode::mFramesMistimed, static_cast<double>(mistimed));
        setTakeAttribute(takeNode, ZemoriTakeNode::mValuesNotNumbers,
                         static_cast<double>(across.invalid));
        setTakeAttribute(takeNode, ZemoriTakeNode::mKeysLimited, overBudget ? 1.0 : 0.0);
        setTakeTimecode(takeNode, takeName, takeTimecode(take.frames, timeline));
        storeTakeText(takeName, take.stage);
    }
    MGlobal::displayInfo(takeReportLine(report));
    postTakesChanged(take.deviceId);
}
