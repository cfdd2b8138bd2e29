#include "plugin/timeUnitWatch.h"

#include <maya/MEventMessage.h>
#include <maya/MGlobal.h>
#include <maya/MMessage.h>
#include <maya/MString.h>

namespace {

MCallbackId timeUnitCallbackId = 0;

// At once, not at idle: batch mode has no idle queue, and playback must not
// run a frame on the old factor. The procedure reconnects only the nodes the
// scene time drives.
void onTimeUnitChanged(void* /*clientData*/) {
    MGlobal::executeCommand("zemoriTimeUnitChanged", false, false);
}

}  // namespace

MStatus watchTimeUnit() {
    MStatus status;
    timeUnitCallbackId =
        MEventMessage::addEventCallback("timeUnitChanged", onTimeUnitChanged, nullptr, &status);
    return status;
}

void unwatchTimeUnit() {
    if (timeUnitCallbackId != 0) MMessage::removeCallback(timeUnitCallbackId);
    timeUnitCallbackId = 0;
}
