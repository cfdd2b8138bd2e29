// Condition callbacks: "playingBack" is the one condition the host keeps,
// sent by MAnimControl as playback starts and stops.
#include "hostState.h"

#include <maya/MAnimControl.h>
#include <maya/MConditionMessage.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kPlayingBack = "playingBack";

void setStatus(MStatus* status, MStatus::MStatusCode code) {
    if (status != nullptr) *status = code;
}

}  // namespace

MAYAHOST_NS_OPEN

MCallbackId MConditionMessage::addConditionCallback(const MString& conditionName,
                                                    MMessage::MStateFunction func, void* clientData,
                                                    MStatus* ReturnStatus) {
    mayahost::detail::noteApiCall("MConditionMessage::addConditionCallback", "a condition");
    auto& h = mayahost::detail::host();
    if (func == nullptr || conditionName != kPlayingBack) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return 0;
    }
    MCallbackId id = h.nextCallbackId++;
    h.conditionCallbacks[id] = mayahost::detail::ConditionCallbackEntry{
        conditionName.asChar(), func, clientData, h.runningEntryPoint};
    setStatus(ReturnStatus, MStatus::kSuccess);
    return id;
}

bool MConditionMessage::getConditionState(const MString& conditionName, MStatus* ReturnStatus) {
    if (conditionName != kPlayingBack) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return false;
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    return MAnimControl::isPlaying();
}

MAYAHOST_NS_CLOSE

namespace mayahost {
namespace detail {

void sendCondition(const std::string& condition, bool state) {
    // A copy: a callback may add or remove callbacks.
    std::vector<ConditionCallbackEntry> callbacks;
    for (const auto& entry : host().conditionCallbacks) {
        if (entry.second.condition == condition) callbacks.push_back(entry.second);
    }
    for (const ConditionCallbackEntry& callback : callbacks) {
        callback.function(state, callback.clientData);
    }
}

}  // namespace detail
}  // namespace mayahost
