// Callbacks on the dependency graph as a whole. The host sends node added
// after a node entered the graph (created, or brought back by undo) and node
// removed before a node leaves it (deleted, also into the undo queue, and
// every node of the scene at a new scene), on the main thread. A type name
// filters: "dependNode", the default, matches every node. The callback must
// be removed (MMessage::removeCallback) before its plug-in is unloaded.
#pragma once

#include <maya/MMessage.h>
#include <maya/MString.h>

#define kDefaultNodeType "dependNode"

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MDGMessage : public MMessage {
public:
    // Fails (kInvalidParameter) for a null function.
    static MCallbackId addNodeAddedCallback(MMessage::MNodeFunction func,
                                            const MString& nodeType = kDefaultNodeType,
                                            void* clientData = nullptr,
                                            MStatus* ReturnStatus = nullptr);
    static MCallbackId addNodeRemovedCallback(MMessage::MNodeFunction func,
                                              const MString& nodeType = kDefaultNodeType,
                                              void* clientData = nullptr,
                                              MStatus* ReturnStatus = nullptr);
};

MAYAHOST_NS_CLOSE
