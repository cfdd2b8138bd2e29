// The stage's record button on this workstation: which device nodes start
// and stop takes with it, playback, the recording switch and what the
// Script Editor says. Where each take begins and ends in the capture is
// the node's (triggeredTake.cpp).
#include "recording/stageTakes.h"

#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"
#include "plugin/uiBridge.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A Delay beyond this is a sender's mistake: the take would begin long
// after anyone pressed record.
constexpr std::int64_t kMaxDelayMs = 60000;
constexpr const char* kSuccess = "SUCCESS";

// Main thread only, as every message is handled there.
struct StageState {
    // The stage's start began playback, so its stop ends it.
    bool startedPlayback = false;
    // The Name of the last start, whose stop ends that playback even when
    // its takes were ended by hand.
    std::string lastStartName;
};

bool sameTake(const std::string& stopName, const std::string& takeName) {
    return stopName.empty() || takeName.empty() || stopName == takeName;
}

StageState& stageState() {
    static StageState state;
    return state;
}

double delaySeconds(const StageMessage& message) {
    const std::int64_t ms = std::clamp<std::int64_t>(message.delayMs.value_or(0), 0, kMaxDelayMs);
    return static_cast<double>(ms) / 1000.0;
}

std::string nodeName(const ZemoriDeviceNode& node) {
    return MFnDependencyNode(node.thisMObject()).name().asChar();
}

void say(bool warning, const MessageKey& key, const std::string& a, const std::string& b) {
    char line[1024];
    std::snprintf(line, sizeof line, lookupMessage(key).asChar(), a.c_str(), b.c_str());
    if (warning) {
        MGlobal::displayWarning(line);
    } else {
        MGlobal::displayInfo(line);
    }
}

bool followsStage(const ZemoriDeviceNode& node) {
    return node.inGraph() && MPlug(node.thisMObject(), ZemoriDeviceNode::mStageTrigger).asBool();
}

bool playbackExists() {
    return MGlobal::mayaState() != MGlobal::kBatch;
}

void startTakes(const StageMessage& message, const StageArrival& arrival) {
    // A copy: ending a take may run scripts that make or delete nodes.
    const std::vector<ZemoriDeviceNode*> nodes = ZemoriDeviceNode::allNodes();
    std::vector<ZemoriDeviceNode*> starting;
    for (ZemoriDeviceNode* node : nodes) {
        if (!followsStage(*node)) continue;
        if (!node->isLive() || !node->isCharacterized()) {
            say(true, msg::kStageNodeSkipped, message.name, nodeName(*node));
            continue;
        }
        starting.push_back(node);
    }
    if (starting.empty()) {
        say(true, msg::kStageNoDevice, message.name, std::string());
        return;
    }
    // Playback first: a take recording while the scene stands still ends.
    if (playbackExists() && !MAnimControl::isPlaying()) {
        MAnimControl::playForward();
        stageState().startedPlayback = true;
    }
    stageState().lastStartName = message.name;
    StageTakeText text;
    text.name = message.name;
    text.notes = message.notes;
    text.description = message.description;
    text.databasePath = message.databasePath;
    for (ZemoriDeviceNode* node : starting) {
        if (node->takeInProgress()) {
            say(true, msg::kStageTakeInterrupted, message.name, nodeName(*node));
        }
        node->beginStageTake(arrival.arrivalNs, delaySeconds(message), text);
        // Already begun, so switching recording on begins nothing more; the
        // switch going off ends the take as it ends any.
        setRecordingCheckbox(*node, true);
    }
    char line[1024];
    std::snprintf(line, sizeof line, lookupMessage(msg::kStageStarted).asChar(),
                  message.name.c_str(), static_cast<int>(starting.size()));
    MGlobal::displayInfo(line);
}

void stopTakes(const StageMessage& message, const StageArrival& arrival) {
    const std::vector<ZemoriDeviceNode*> nodes = ZemoriDeviceNode::allNodes();
    std::vector<ZemoriDeviceNode*> recording;
    std::string otherName;
    for (ZemoriDeviceNode* node : nodes) {
        if (!node->stageTakeInProgress()) continue;
        // By Name where both have one; else whatever the stage started.
        if (sameTake(message.name, node->stageTakeName())) {
            recording.push_back(node);
        } else {
            otherName = node->stageTakeName();
        }
    }
    if (recording.empty()) {
        if (otherName.empty() && stageState().startedPlayback && MAnimControl::isPlaying() &&
            sameTake(message.name, stageState().lastStartName)) {
            // The takes were ended by hand; the capture they were of ends now.
            say(false, msg::kStageStopEndsPlayback, message.name, std::string());
            stageState().startedPlayback = false;
            MAnimControl::stop();
        } else if (otherName.empty()) {
            say(true, msg::kStageStopWithoutStart, message.name, std::string());
        } else {
            say(true, msg::kStageStopOtherName, message.name, otherName);
        }
        if (!MAnimControl::isPlaying()) stageState().startedPlayback = false;
        return;
    }
    // Nothing is lost on a stop that did not go well: the take is written
    // and its take node says how the capture ended.
    if (!message.result.empty() && message.result != kSuccess) {
        say(true, msg::kStageStopResult, message.name, message.result);
    }
    for (ZemoriDeviceNode* node : recording) {
        node->endTakeAtStage(arrival.arrivalNs, delaySeconds(message), true, message.result);
        setRecordingCheckbox(*node, false);
    }
    if (stageState().startedPlayback) {
        stageState().startedPlayback = false;
        if (MAnimControl::isPlaying()) MAnimControl::stop();
    }
}

}  // namespace

void handleStageMessage(const StageMessage& message, const StageArrival& arrival) {
    if (message.kind == StageMessageKind::kCaptureStart) {
        startTakes(message, arrival);
    } else {
        stopTakes(message, arrival);
    }
}
