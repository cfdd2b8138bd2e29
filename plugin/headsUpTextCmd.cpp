#include "plugin/headsUpTextCmd.h"

#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

std::string oneDecimal(double value) {
    constexpr double kTop = 1e15;  // far above any rate
    const long long tenths = std::llround(value > 0.0 ? std::fmin(value * 10.0, kTop) : 0.0);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

MString headsUpLine(const HeadsUpState& state) {
    char line[512];
    std::string text;
    if (state.recording) {
        std::snprintf(line, sizeof line, lookupMessage(msg::kHeadsUpRecording).asChar(),
                      state.takeName.c_str());
        text = line;
        if (!state.timecode.empty()) text += " " + state.timecode;
        text += "  ";
    }
    if (state.live) {
        std::snprintf(line, sizeof line, lookupMessage(msg::kHeadsUpLive).asChar(),
                      oneDecimal(state.rate).c_str(), static_cast<long long>(state.framesLost));
        text += line;
    } else {
        text += lookupMessage(msg::kHeadsUpNotLive).asChar();
    }
    return MString(text.c_str());
}

ZemoriHeadsUpTextCmd::~ZemoriHeadsUpTextCmd() = default;

void* ZemoriHeadsUpTextCmd::creator() {
    return new ZemoriHeadsUpTextCmd();
}

MStatus ZemoriHeadsUpTextCmd::doIt(const MArgList& args) {
    const MString nodeName = args.length() > 0 ? args.asString(0) : MString();
    ZemoriDeviceNode* node = args.length() == 1 ? ZemoriDeviceNode::named(nodeName) : nullptr;
    if (node == nullptr) {
        char line[512];
        std::snprintf(line, sizeof line, lookupMessage(msg::kNotDeviceNode).asChar(),
                      kHeadsUpTextCommandName, nodeName.asChar());
        displayError(line, false);
        return MS::kFailure;
    }
    setResult(headsUpLine(node->headsUpState()));
    return MS::kSuccess;
}
