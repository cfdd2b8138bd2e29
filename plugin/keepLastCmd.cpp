#include "plugin/keepLastCmd.h"

#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"

#include <maya/MString.h>

#include <cmath>
#include <cstdio>

ZemoriKeepLastCmd::~ZemoriKeepLastCmd() = default;

void* ZemoriKeepLastCmd::creator() {
    return new ZemoriKeepLastCmd();
}

MStatus ZemoriKeepLastCmd::doIt(const MArgList& args) {
    const MString nodeName = args.length() > 0 ? args.asString(0) : MString();
    ZemoriDeviceNode* node = args.length() == 2 ? ZemoriDeviceNode::named(nodeName) : nullptr;
    char line[512];
    if (node == nullptr) {
        std::snprintf(line, sizeof line, lookupMessage(msg::kNotDeviceNode).asChar(),
                      kKeepLastCommandName, nodeName.asChar());
        displayError(line, false);
        return MS::kFailure;
    }
    MStatus parsed;
    const double seconds = args.asDouble(1, &parsed);
    if (!parsed || !std::isfinite(seconds) || !(seconds > 0.0)) {
        displayError(lookupMessage(msg::kKeepLastSeconds), false);
        return MS::kFailure;
    }
    double held = 0.0;
    if (!node->keepLast(seconds, held)) {
        std::snprintf(line, sizeof line, lookupMessage(msg::kKeepLastTooLong).asChar(),
                      nodeName.asChar(), held, seconds);
        displayError(line, false);
        return MS::kFailure;
    }
    return MS::kSuccess;
}
