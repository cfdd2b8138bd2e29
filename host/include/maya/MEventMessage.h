// Callbacks on named events. The host sends the unit events only:
// "timeUnitChanged", "linearUnitChanged" and "angularUnitChanged", when the
// UI unit changes; other names are refused, so that nobody waits in vain.
#pragma once
#include <maya/MMessage.h>
#include <maya/MString.h>
MAYAHOST_NS_OPEN
class OPENMAYA_EXPORT MEventMessage : public MMessage {
public:
    static MCallbackId addEventCallback(const MString& event, MMessage::MBasicFunction func,
                                        void* clientData = nullptr,
                                        MStatus* ReturnStatus = nullptr);
};
MAYAHOST_NS_CLOSE
