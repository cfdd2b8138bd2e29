// Callbacks on conditions, by name (MEL's scriptJob -listConditions). The
// host has one: "playingBack", true when playback starts and false when it
// stops, sent on the main thread as the state changes.
#pragma once

#include <maya/MMessage.h>
#include <maya/MString.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MConditionMessage : public MMessage {
public:
    // kInvalidParameter for a condition the host does not know or no function.
    static MCallbackId addConditionCallback(const MString& conditionName,
                                            MMessage::MStateFunction func,
                                            void* clientData = nullptr,
                                            MStatus* ReturnStatus = nullptr);
    // The current state of a condition; false for one the host does not know.
    static bool getConditionState(const MString& conditionName, MStatus* ReturnStatus = nullptr);
};

MAYAHOST_NS_CLOSE
