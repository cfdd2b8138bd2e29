#include "plugin/zemoriDidCharacterizeCmd.h"

#include "node/zemoriDeviceNode.h"

ZemoriDidCharacterizeCmd::~ZemoriDidCharacterizeCmd() = default;

void* ZemoriDidCharacterizeCmd::creator() {
    return new ZemoriDidCharacterizeCmd();
}

MStatus ZemoriDidCharacterizeCmd::doIt(const MArgList& args) {
    if (args.length() != 1) {
        displayError("This command expects exactly one argument: the name of the node", false);
        return MS::kFailure;
    }
    ZemoriDeviceNode* node = ZemoriDeviceNode::named(args.asString(0));
    if (node == nullptr) {
        displayError("Node is not of type ZemoriDeviceNode", false);
        return MS::kFailure;
    }
    node->setCharacterized(true);
    return MS::kSuccess;
}
