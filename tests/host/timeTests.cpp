// Time units, animation curves and the playback driver.
#include "hostFixture.h"

#include <maya/MAnimControl.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MPxNode.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

using TimeTest = HostTest;

TEST_F(TimeTest, UnitsConvert) {
    MTime second(1.0, MTime::kSeconds);
    EXPECT_DOUBLE_EQ(second.as(MTime::kFilm), 24.0);
    EXPECT_DOUBLE_EQ(second.as(MTime::k30FPS), 30.0);
    EXPECT_DOUBLE_EQ(second.as(MTime::k50FPS), 50.0);
    EXPECT_DOUBLE_EQ(second.as(MTime::k60FPS), 60.0);
    EXPECT_DOUBLE_EQ(second.as(MTime::kMilliseconds), 1000.0);
    EXPECT_DOUBLE_EQ(second.as(MTime::k90FPS), 90.0);
    EXPECT_NEAR(second.as(MTime::k29_97FPS), 29.97002997, 1e-8);
    EXPECT_DOUBLE_EQ(MTime(90.0, MTime::kMinutes).as(MTime::kHours), 1.5);
    EXPECT_DOUBLE_EQ(MTime(12.0, MTime::kFilm).as(MTime::k30FPS), 15.0);
    EXPECT_DOUBLE_EQ(MTime(3.0, MTime::k120FPS).as(MTime::k6000FPS), 150.0);
    // The default unit of the constructor is film.
    EXPECT_DOUBLE_EQ(MTime(48.0).as(MTime::kSeconds), 2.0);
    EXPECT_TRUE(MTime(1.0, MTime::kSeconds) == MTime(24.0, MTime::kFilm));
    EXPECT_FALSE(MTime(1.0, MTime::kSeconds) == MTime(25.0, MTime::kFilm));
    // An unknown unit converts to nothing rather than to garbage.
    EXPECT_EQ(MTime(1.0, MTime::kUserDef).as(MTime::kSeconds), 0.0);
}

TEST_F(TimeTest, UiUnitDefaultsToFilmAndCanChange) {
    EXPECT_EQ(MTime::uiUnit(), MTime::kFilm);
    ASSERT_TRUE(MAnimControl::setCurrentTime(MTime(10.0, MTime::kFilm)));
    ASSERT_TRUE(MTime::setUIUnit(MTime::k60FPS));
    EXPECT_EQ(MTime::uiUnit(), MTime::k60FPS);
    // The current moment is kept and expressed in the new unit.
    EXPECT_DOUBLE_EQ(MAnimControl::currentTime().value(), 25.0);
    EXPECT_EQ(MAnimControl::currentTime().unit(), MTime::k60FPS);
    EXPECT_FALSE(MTime::setUIUnit(MTime::kInvalid));
    mayahost::reset();
    EXPECT_EQ(MTime::uiUnit(), MTime::kFilm);
}

TEST_F(TimeTest, CurvesAreNamedKeyedAndSorted) {
    MFnAnimCurve curve;
    MStatus status;
    MObject object = curve.create(MFnAnimCurve::kAnimCurveTL, nullptr, &status);
    ASSERT_TRUE(status);
    EXPECT_EQ(mayahost::nodeName(object), "animCurveTL1");
    MFnAnimCurve second;
    second.create(MFnAnimCurve::kAnimCurveTA, nullptr, &status);
    EXPECT_EQ(std::string(second.name().asChar()), "animCurveTA1");
    curve.setName("hip_tx", false);
    EXPECT_EQ(std::string(curve.name().asChar()), "hip_tx");

    ASSERT_TRUE(curve.addKeyframe(MTime(5.0, MTime::kFilm), 50.0));
    ASSERT_TRUE(curve.addKeyframe(MTime(1.0, MTime::kFilm), 10.0));
    ASSERT_TRUE(curve.addKeyframe(MTime(3.0, MTime::kFilm), 30.0));
    // A key at a time that has one replaces its value, also in another unit.
    ASSERT_TRUE(curve.addKeyframe(MTime(0.125, MTime::kSeconds), 33.0));
    ASSERT_EQ(curve.numKeys(), 3u);
    EXPECT_EQ(curve.numKeyframes(), 3u);
    double times[] = {1.0, 3.0, 5.0};
    double values[] = {10.0, 33.0, 50.0};
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(curve.time(i).as(MTime::kFilm), times[i]);
        EXPECT_DOUBLE_EQ(curve.value(i), values[i]);
    }
    curve.value(3, &status);
    EXPECT_EQ(status, MS::kInvalidParameter);

    bool exists = false;
    mayahost::CurveInfo info = mayahost::animCurve("hip_tx", &exists);
    ASSERT_TRUE(exists);
    ASSERT_EQ(info.keys.size(), 3u);
    EXPECT_DOUBLE_EQ(info.keys[1].value, 33.0);
    EXPECT_EQ(mayahost::animCurves().size(), 2u);
}

TEST_F(TimeTest, CurveCreationCanBeMadeToFail) {
    mayahost::failCurveCreations(1);
    MFnAnimCurve curve;
    MStatus status;
    MObject failed = curve.create(MFnAnimCurve::kAnimCurveTL, nullptr, &status);
    EXPECT_EQ(status, MS::kFailure);
    EXPECT_TRUE(failed.isNull());
    // The set stays unattached: keys are refused, not put anywhere.
    EXPECT_FALSE(curve.addKeyframe(MTime(1.0), 1.0));
    EXPECT_TRUE(mayahost::animCurves().empty());
    curve.create(MFnAnimCurve::kAnimCurveTL, nullptr, &status);
    EXPECT_TRUE(status);
    EXPECT_EQ(mayahost::animCurves().size(), 1u);
}

TEST_F(TimeTest, CurvesAreDeletedAndFoundByName) {
    MFnAnimCurve curve;
    MObject object = curve.create(MFnAnimCurve::kAnimCurveTL);
    curve.setName("knee_ry");
    curve.addKeyframe(MTime(1.0), 2.0);
    EXPECT_TRUE(mayahost::findNode("knee_ry") == object);
    ASSERT_TRUE(mayahost::deleteNode(object));
    bool exists = true;
    mayahost::animCurve("knee_ry", &exists);
    EXPECT_FALSE(exists);
    EXPECT_FALSE(curve.addKeyframe(MTime(2.0), 3.0));
}

// (time in film frames, value) of every key of the curve.
std::vector<std::pair<double, double>> keysOf(const MFnAnimCurve& curve) {
    std::vector<std::pair<double, double>> keys;
    for (unsigned int i = 0; i < curve.numKeys(); ++i) {
        keys.emplace_back(curve.time(i).as(MTime::kFilm), curve.value(i));
    }
    return keys;
}

TEST_F(TimeTest, BulkKeysAppendCutAndMergeAsSingleKeysWould) {
    MFnAnimCurve curve;
    curve.create(MFnAnimCurve::kAnimCurveTL);
    MFnAnimCurve reference;  // the same keys, one addKeyframe at a time
    reference.create(MFnAnimCurve::kAnimCurveTL);
    auto bulk = [&](std::vector<MTime> at, std::vector<double> values, bool keep) {
        MTimeArray times(at.data(), static_cast<unsigned int>(at.size()));
        MDoubleArray valueArray(values.data(), static_cast<unsigned int>(values.size()));
        const MStatus status = curve.addKeys(&times, &valueArray, MFnAnimCurve::kTangentGlobal,
                                             MFnAnimCurve::kTangentGlobal, keep);
        // The arrays stay the caller's: changing them now changes no key.
        times.set(MTime(-50.0, MTime::kFilm), 0);
        valueArray[0] = -50.0;
        return status;
    };

    // Into an empty curve, then after its last key: appended.
    ASSERT_TRUE(bulk({MTime(1.0), MTime(2.0), MTime(3.0), MTime(4.0)}, {10, 20, 30, 40}, false));
    ASSERT_TRUE(bulk({MTime(5.0), MTime(6.0)}, {50, 60}, false));
    for (double frame = 1; frame <= 6; ++frame) reference.addKeyframe(MTime(frame), 10 * frame);
    EXPECT_EQ(keysOf(curve), keysOf(reference));

    // Without keeping: the keys from 3 to 4.5 frames go first (3 and 4), in
    // whatever unit the new times come.
    ASSERT_TRUE(
        bulk({MTime(0.125, MTime::kSeconds), MTime(0.1875, MTime::kSeconds)}, {31, 45}, false));
    EXPECT_EQ(keysOf(curve), (std::vector<std::pair<double, double>>{
                                 {1, 10}, {2, 20}, {3, 31}, {4.5, 45}, {5, 50}, {6, 60}}));

    // Keeping: merged, and a key at a time that holds one replaces its value.
    MFnAnimCurve merged;
    merged.create(MFnAnimCurve::kAnimCurveTL);
    for (const auto& key : keysOf(curve)) merged.addKeyframe(MTime(key.first), key.second);
    ASSERT_TRUE(bulk({MTime(0.0), MTime(2.0), MTime(4.0), MTime(9.0)}, {0, 22, 40, 90}, true));
    for (double frame : {0.0, 4.0, 9.0}) merged.addKeyframe(MTime(frame), 10.0 * frame);
    merged.addKeyframe(MTime(2.0), 22.0);
    EXPECT_EQ(keysOf(curve), keysOf(merged));
    EXPECT_EQ(
        keysOf(curve),
        (std::vector<std::pair<double, double>>{
            {0, 0}, {1, 10}, {2, 22}, {3, 31}, {4, 40}, {4.5, 45}, {5, 50}, {6, 60}, {9, 90}}));

    // Refused, and the curve left as it was: lengths that differ, times out
    // of order, repeated or not finite, no arrays.
    const auto before = keysOf(curve);
    MTimeArray two(2u, MTime(20.0));
    two.set(MTime(21.0), 1);
    MDoubleArray three(3u, 1.0);
    EXPECT_EQ(curve.addKeys(&two, &three), MS::kInvalidParameter);
    EXPECT_EQ(bulk({MTime(30.0), MTime(29.0)}, {1, 2}, false), MS::kInvalidParameter);
    EXPECT_EQ(bulk({MTime(30.0), MTime(1.25, MTime::kSeconds)}, {1, 2}, true),
              MS::kInvalidParameter);
    EXPECT_EQ(bulk({MTime(30.0), MTime(std::nan(""))}, {1, 2}, false), MS::kInvalidParameter);
    EXPECT_EQ(bulk({MTime(30.0, MTime::kUserDef)}, {1}, false), MS::kInvalidParameter);
    EXPECT_EQ(curve.addKeys(nullptr, &three), MS::kInvalidParameter);
    EXPECT_EQ(keysOf(curve), before);

    // Time-to-angle and time-to-unitless curves take bulk keys; others not,
    // nor a function set without a curve.
    MDoubleArray fives(2u, 5.0);
    for (int type = MFnAnimCurve::kAnimCurveTA; type <= MFnAnimCurve::kAnimCurveUU; ++type) {
        MFnAnimCurve other;
        other.create(static_cast<MFnAnimCurve::AnimCurveType>(type));
        const bool takesBulk = type == MFnAnimCurve::kAnimCurveTA ||
                               type == MFnAnimCurve::kAnimCurveTL ||
                               type == MFnAnimCurve::kAnimCurveTU;
        EXPECT_EQ(other.addKeys(&two, &fives), takesBulk ? MS::kSuccess : MS::kInvalidParameter)
            << type;
        EXPECT_EQ(other.numKeys(), takesBulk ? 2u : 0u) << type;
    }
    EXPECT_FALSE(MFnAnimCurve().addKeys(&two, &fives));
}

class Recorder : public MPxNode {
public:
    static MObject aTime, aOut;
    static std::vector<double> seen;
    static std::vector<bool> playing;
    static void* creator() { return new Recorder; }
    static MStatus initialize() {
        MFnNumericAttribute fn;
        aTime = fn.create("time", "tm", MFnNumericData::kDouble);
        aOut = fn.create("out", "o", MFnNumericData::kDouble);
        addAttribute(aTime);
        addAttribute(aOut);
        return attributeAffects(aTime, aOut);
    }
    MStatus compute(const MPlug& plug, MDataBlock& block) override {
        if (plug != aOut) return MS::kUnknownParameter;
        double t = 0.0;
        MPlug(thisMObject(), aTime).getValue(t);
        seen.push_back(t);
        playing.push_back(MAnimControl::isPlaying());
        block.outputValue(aOut).set(t);
        block.setClean(plug);
        return MS::kSuccess;
    }
};
MObject Recorder::aTime, Recorder::aOut;
std::vector<double> Recorder::seen;
std::vector<bool> Recorder::playing;

TEST_F(TimeTest, PlaybackDrivesConnectedTimeFrameByFrame) {
    MObject plugin = testPlugin();
    MFnPlugin fn(plugin);
    ASSERT_TRUE(
        fn.registerNode("recorder", MTypeId(0x7F010), Recorder::creator, Recorder::initialize));
    Recorder::seen.clear();
    Recorder::playing.clear();
    MObject node = mayahost::createNode("recorder");
    MTime::setUIUnit(MTime::k30FPS);
    MAnimControl::setCurrentTime(MTime(10.0, MTime::k30FPS));
    ASSERT_TRUE(mayahost::connectTime(node, "time"));
    EXPECT_DOUBLE_EQ(mayahost::getDouble(node, "time"), 10.0);
    EXPECT_FALSE(MAnimControl::isPlaying());
    mayahost::playFrames(3, {{node, "out"}});
    EXPECT_TRUE(MAnimControl::isPlaying());
    // The first read above computed nothing (time is an input); the three
    // frames each computed once, while playing.
    EXPECT_EQ(Recorder::seen, (std::vector<double>{11.0, 12.0, 13.0}));
    EXPECT_EQ(Recorder::playing, (std::vector<bool>{true, true, true}));
    MAnimControl::stop();
    mayahost::stepFrame({{node, "out"}});
    EXPECT_EQ(Recorder::seen.back(), 14.0);
    EXPECT_FALSE(Recorder::playing.back());
    EXPECT_DOUBLE_EQ(MAnimControl::currentTime().as(MTime::kSeconds), 14.0 / 30.0);
}

}  // namespace
