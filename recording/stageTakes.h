// What the device nodes do when the stage's record button speaks: every
// live, bound node that follows the stage starts a take at the capture
// frame the message names, and ends and writes it on the stop.
#pragma once

#include "intake/stageMessage.h"

// Main thread, outside any evaluation: acts on one message that the stage
// trigger listener has checked and freed of duplicates.
void handleStageMessage(const StageMessage& message, const StageArrival& arrival);
