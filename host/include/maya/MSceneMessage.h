// Callbacks on scene events. The host sends kBeforeNew before it clears the
// scene (mayahost::newScene).
#pragma once

#include <maya/MMessage.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MSceneMessage : public MMessage {
public:
    enum Message {
        kSceneUpdate = 0,
        kBeforeNew = 1,
        kAfterNew = 2,
        kBeforeImport = 3,
        kAfterImport = 4,
        kBeforeOpen = 5,
        kAfterOpen = 6,
        kMayaInitialized = 29,
        kMayaExiting = 30,
        kBeforePluginLoad = 40,
        kLast = 51
    };
    static MCallbackId addCallback(Message msg, MMessage::MBasicFunction func,
                                   void* clientData = nullptr, MStatus* ReturnStatus = nullptr);
};

MAYAHOST_NS_CLOSE
