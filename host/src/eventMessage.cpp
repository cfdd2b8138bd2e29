// MEventMessage: named events, sent on the main thread as they happen.
#include "hostState.h"

#include <maya/MEventMessage.h>

#include <cstring>

namespace {

const char* const kEvents[] = {"timeUnitChanged", "linearUnitChanged", "angularUnitChanged"};

}  // namespace

namespace mayahost {
namespace detail {

void sendEvent(const char* event) {
    // A callback may remove itself or others: run from a copy, each only
    // while it is still installed.
    const std::map<MCallbackId, EventCallbackEntry> callbacks = host().eventCallbacks;
    for (const auto& entry : callbacks) {
        if (entry.second.event != event || host().eventCallbacks.count(entry.first) == 0) continue;
        entry.second.function(entry.second.clientData);
    }
}

}  // namespace detail
}  // namespace mayahost

MAYAHOST_NS_OPEN

MCallbackId MEventMessage::addEventCallback(const MString& event, MMessage::MBasicFunction func,
                                            void* clientData, MStatus* ReturnStatus) {
    mayahost::detail::noteApiCall("MEventMessage::addEventCallback", "an event");
    auto& h = mayahost::detail::host();
    bool known = false;
    for (const char* name : kEvents) known = known || std::strcmp(name, event.asChar()) == 0;
    if (func == nullptr || !known) {
        if (ReturnStatus != nullptr) {
            *ReturnStatus =
                func == nullptr ? MStatus::kInvalidParameter : MStatus::kUnknownParameter;
        }
        return 0;
    }
    MCallbackId id = h.nextCallbackId++;
    h.eventCallbacks[id] =
        mayahost::detail::EventCallbackEntry{event.asChar(), func, clientData, h.runningEntryPoint};
    if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kSuccess;
    return id;
}

MAYAHOST_NS_CLOSE
