// Base of the message classes: callback ids and their removal.
#pragma once

#include <maya/MStatus.h>

#include <cstdint>

typedef std::uintptr_t MCallbackId;

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MMessage {
public:
    typedef void (*MBasicFunction)(void* clientData);
    typedef void (*MStateFunction)(bool state, void* clientData);
    typedef void (*MNodeFunction)(MObject& node, void* clientData);
    // Fails (kInvalidParameter) for an id that is not installed.
    static MStatus removeCallback(MCallbackId id);
};

MAYAHOST_NS_CLOSE
