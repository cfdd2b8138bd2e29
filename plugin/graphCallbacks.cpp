#include "plugin/graphCallbacks.h"

#include "node/zemoriDeviceNode.h"
#include "plugin/uiBridge.h"

#include <maya/MDGMessage.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MMessage.h>
#include <maya/MObject.h>
#include <maya/MString.h>

namespace {

MCallbackId gRemovedCallback = 0;
MCallbackId gAddedCallback = 0;

ZemoriDeviceNode* deviceNodeOf(MObject& node) {
    MPxNode* user = MFnDependencyNode(node).userNode();
    if (user == nullptr || user->typeId() != ZemoriDeviceNode::id) {
        return nullptr;
    }
    return static_cast<ZemoriDeviceNode*>(user);
}

void onNodeRemoved(MObject& node, void* /*clientData*/) {
    if (ZemoriDeviceNode* device = deviceNodeOf(node)) {
        device->leftGraph();
        postHeadsUpSync();
    }
}

void onNodeAdded(MObject& node, void* /*clientData*/) {
    if (ZemoriDeviceNode* device = deviceNodeOf(node)) {
        device->returnedToGraph();
        postHeadsUpSync();
    }
}

}  // namespace

MStatus addGraphCallbacks() {
    const MString type("ZemoriDeviceNode");
    MStatus status;
    gRemovedCallback = MDGMessage::addNodeRemovedCallback(onNodeRemoved, type, nullptr, &status);
    if (!status) {
        return status;
    }
    gAddedCallback = MDGMessage::addNodeAddedCallback(onNodeAdded, type, nullptr, &status);
    if (!status) {
        removeGraphCallbacks();
    }
    return status;
}

void removeGraphCallbacks() {
    for (MCallbackId* id : {&gRemovedCallback, &gAddedCallback}) {
        if (*id != 0) {
            MMessage::removeCallback(*id);
            *id = 0;
        }
    }
}
