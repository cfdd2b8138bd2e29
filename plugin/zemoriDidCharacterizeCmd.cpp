#include "plugin/zemoriDidCharacterizeCmd.h"

#include "node/zemoriDeviceNode.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <maya/MSelectionList.h>
#include <maya/MString.h>

ZemoriDidCharacterizeCmd::~ZemoriDidCharacterizeCmd() = default;

void* ZemoriDidCharacterizeCmd::creator() {
    return new ZemoriDidCharacterizeCmd();
}

MStatus ZemoriDidCharacterizeCmd::doIt(const MArgList& args) {
    if (args.length() != 1) {
        displayError("This command expects exactly one argument: the name of the node", false);
        return MS::kFailure;
    }
    const MString nodeName = args.asString(0);

    // A name that matches nothing leaves the object null; a pattern that
    // matches several objects counts with its first match only.
    MSelectionList matches;
    MGlobal::getSelectionListByName(nodeName, matches);
    MObject object;
    if (matches.length() > 0) matches.getDependNode(0, object);

    MPxNode* userNode = nullptr;
    if (!object.isNull()) userNode = MFnDependencyNode(object).userNode();
    if (userNode == nullptr || userNode->typeId() != ZemoriDeviceNode::id) {
        displayError("Node is not of type ZemoriDeviceNode", false);
        return MS::kFailure;
    }
    static_cast<ZemoriDeviceNode*>(userNode)->setCharacterized(true);
    return MS::kSuccess;
}
