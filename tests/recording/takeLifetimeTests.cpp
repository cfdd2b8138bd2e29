// When a take begins and ends, as a user and the stream drive it: each take
// holds what was captured while it recorded, ends the moment recording,
// playback, the node or the scene does, and is written whether or not an
// evaluation or an idle run follows.
#include "recording/recordingTestSupport.h"

#include "plugin/graphCallbacks.h"
#include "plugin/writeTakesCmd.h"

#include <maya/MFnPlugin.h>

namespace nodetest {
namespace {

class TakeLifetimeTest : public RecordingTest {
protected:
    void SetUp() override {
        RecordingTest::SetUp();
        MFnPlugin plugin(mPlugin);
        ASSERT_EQ(plugin.registerCommand(kWriteTakesCommandName, &ZemoriWriteTakesCmd::creator),
                  MS::kSuccess);
        ASSERT_EQ(addGraphCallbacks(), MS::kSuccess);
        MTime::setUIUnit(MTime::k30FPS);
    }
    void TearDown() override {
        removeGraphCallbacks();
        mayahost::setBatchMode(false);
        RecordingTest::TearDown();
    }

    // `count` frames of a 30 fps sender from stamp `from`, root x = number.
    void stream(int count, double from = -1.0) {
        for (int i = 0; i < count; ++i) {
            const double stamp = from >= 0.0 ? from + i / 30.0 : mStamp;
            mStamp = stamp + 1.0 / 30.0;
            ++mFrameNumber;
            handle(frameData(mFrameNumber, stamp, static_cast<float>(mFrameNumber), 0.0f));
        }
    }

    int takeAttribute(int take, const char* attribute) {
        return mayahost::getInt(
            mayahost::findNode("zemoriCharacter0_Skeleton_take" + std::to_string(take)), attribute);
    }

    double mStamp = 100.0;
};

TEST_F(TakeLifetimeTest, EachTakeHoldsWhatWasCapturedWhileItRecorded) {
    // Unticking while playback goes on ends the take with no evaluation:
    // what comes after is not its.
    startTake(10.0);
    stream(10);
    mayahost::setBool(mDevice.object, "recording", false);
    EXPECT_FALSE(mDevice.node->takeInProgress());
    stream(30);
    evaluateAt(20.0);
    mayahost::processIdleEvents();
    EXPECT_EQ(curve("zemoriCharacter0_Skeleton_root_tx").keys.size(), 10u);

    // A quiet sender: stop, untick, tick, play. Stopping ended the first
    // take; the second is a take of its own, on its own clock.
    startTake(50.0);
    stream(5);
    MAnimControl::stop();
    mayahost::setBool(mDevice.object, "recording", false);
    mayahost::setBool(mDevice.object, "recording", true);
    MAnimControl::playForward();
    evaluateAt(80.0);
    stream(7);
    MAnimControl::stop();
    mayahost::processIdleEvents();
    EXPECT_EQ(takeAttribute(2, "framesRecorded"), 5);
    EXPECT_EQ(takeAttribute(3, "framesRecorded"), 7);
    EXPECT_EQ(takeAttribute(3, "startTime"), 80);

    // Deleting the node ends its take; the take is written though the node
    // waits in the undo queue.
    mayahost::setBool(mDevice.object, "recording", true);
    MAnimControl::playForward();
    evaluateAt(100.0);
    stream(4);
    ASSERT_TRUE(mayahost::runMel("delete " + mDevice.name));
    mayahost::processIdleEvents();
    EXPECT_EQ(takeAttribute(4, "framesRecorded"), 4);
    MAnimControl::stop();
}

TEST_F(TakeLifetimeTest, ANewSceneOrBatchModeLosesNoTake) {
    // A new scene while recording: the node goes with its scene, its take
    // is written into the next one.
    startTake(10.0);
    stream(6);
    mayahost::newScene();
    mayahost::processIdleEvents();
    EXPECT_EQ(takeAttribute(1, "framesRecorded"), 6);
    MAnimControl::stop();

    // Batch mode: nothing plays and no idle run comes. Recording on begins
    // the take, off ends it, and ZemoriWriteTakes writes it.
    mayahost::newScene();
    mDevice = createDeviceNode();
    handle(skeletonDefinition(0.0f));
    mDevice.node->setCharacterized(true);
    mayahost::setBatchMode(true);
    mayahost::setBool(mDevice.object, "recording", true);
    stream(9);
    mayahost::setBool(mDevice.object, "recording", false);
    mayahost::processIdleEvents();
    EXPECT_TRUE(mayahost::animCurves().empty()) << "no idle run in batch mode";
    std::string written;
    ASSERT_TRUE(mayahost::runMel("ZemoriWriteTakes", &written));
    EXPECT_EQ(written, "1");
    EXPECT_EQ(takeAttribute(1, "framesRecorded"), 9);
    ASSERT_TRUE(mayahost::runMel("ZemoriWriteTakes", &written));
    EXPECT_EQ(written, "0");
}

// A 120 fps sender that stamps milliseconds as seconds spreads 8 s of
// capture over 8000 s of stamps, 250 scene frames apart, every gap of which
// could be filled: the take is keyed at its captured frames only, with a
// warning, never 240,000 keys a curve.
TEST_F(TakeLifetimeTest, ATakeKeepsToItsKeyBudget) {
    startTake(1.0, false);
    for (int i = 0; i < 8 * 120; ++i) {
        handle(frameData(i + 1, i * 1000.0 / 120.0, static_cast<float>(i), 0.0f));
    }
    endTake();
    EXPECT_EQ(curve("zemoriCharacter0_Skeleton_root_tx").keys.size(), 960u);
    EXPECT_EQ(takeAttribute(1, "keysLimited"), 1);
    bool warned = false;
    for (const std::string& line : mayahost::infoLines()) {
        warned = warned || line.find("more than its budget") != std::string::npos;
    }
    EXPECT_TRUE(warned);
}

}  // namespace
}  // namespace nodetest
