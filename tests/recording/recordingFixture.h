// The recording fixture: a device node with its skeleton defined and its
// panel open, frames handed over as the receiving loop would, and takes
// begun and ended as playback and the record box would.
#pragma once

#include "node/nodeTestSupport.h"

#include <maya/MAnimControl.h>
#include <maya/MTime.h>
#include <mayahost/host.h>

#include <array>
#include <string>
#include <vector>

namespace nodetest {

inline double uiFramesPerSecond() {
    return MTime(1.0, MTime::kSeconds).as(MTime::uiUnit());
}

class RecordingTest : public NodeTest {
protected:
    void SetUp() override {
        NodeTest::SetUp();
        mDevice = createDeviceNode();
        handle(skeletonDefinition(0.0f));
        mDevice.node->setCharacterized(true);
    }

    // The store's pose, as the receiving loop would hand a frame over; a
    // decoded frame goes into the journal.
    void handle(Datagram bytes) {
        bytes.resize(OSV_MAX_DATAGRAM_BYTES, 0);
        mDevice.node->handlePacket(bytes.data(), OSV_MAX_DATAGRAM_BYTES);
    }

    // A captured frame whose timestamp places it at `time` scene frames,
    // once the take's first frame lies on the frame the take began at.
    void frameAt(double time, float shift, float degrees) {
        captured(time, restPose(shift, degrees));
    }
    void captured(double time, const std::array<OsvJointPose, kJointCount>& joints) {
        handle(frameData(++mFrameNumber, time / uiFramesPerSecond(), joints));
    }

    // Recording on and playing, and the evaluation at `sceneTime` that
    // begins the take.
    void startTake(double sceneTime, bool keyEveryFrame = true) {
        mayahost::setBool(mDevice.object, "keyEveryFrame", keyEveryFrame);
        mayahost::setBool(mDevice.object, "recording", true);
        MAnimControl::playForward();
        evaluateAt(sceneTime);
        ASSERT_TRUE(mDevice.node->takeInProgress());
    }

    void evaluateAt(double sceneTime) {
        mayahost::setDouble(mDevice.object, "time", sceneTime);
        mayahost::evaluate(mDevice.object, "outputTranslations");
    }

    // Stops playback and recording, then evaluates once: the flush is due,
    // and the curves are written at idle time.
    void endTake() {
        MAnimControl::stop();
        mayahost::setBool(mDevice.object, "recording", false);
        evaluateAt(-100.0);
        mayahost::processIdleEvents();
        EXPECT_FALSE(mDevice.node->takeInProgress());
    }

    static std::vector<double> keyTimes(const mayahost::CurveInfo& curve) {
        std::vector<double> times;
        for (const auto& key : curve.keys) {
            times.push_back(key.time.as(MTime::uiUnit()));
        }
        return times;
    }

    static std::vector<double> keyValues(const mayahost::CurveInfo& curve) {
        std::vector<double> values;
        for (const auto& key : curve.keys) {
            values.push_back(key.value);
        }
        return values;
    }

    mayahost::CurveInfo curve(const std::string& name) {
        bool exists = false;
        mayahost::CurveInfo found = mayahost::animCurve(name, &exists);
        EXPECT_TRUE(exists) << name;
        return found;
    }

    DeviceNode mDevice;
    int mFrameNumber = 0;
};

}  // namespace nodetest
