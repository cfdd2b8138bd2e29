// ZemoriHeadsUpText <node>: the line a device node's heads-up display shows,
// for the display's command (zemoriHudText in UIManagement.mel): whether the
// stream is live, its rate and frames lost and, while a take records, "REC"
// with the take's name and the timecode. Not undoable, no syntax object.
#pragma once

#include "node/headsUpState.h"

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

class ZemoriHeadsUpTextCmd : public MPxCommand {
public:
    ZemoriHeadsUpTextCmd() = default;
    ~ZemoriHeadsUpTextCmd() override;

    // Fails, with an error shown, unless given one ZemoriDeviceNode.
    MStatus doIt(const MArgList& args) override;

    static void* creator();
};

// The line for a state, from the message table; the rate with one decimal
// written from whole numbers, so the point is a point in any C locale.
MString headsUpLine(const HeadsUpState& state);

inline constexpr const char* kHeadsUpTextCommandName = "ZemoriHeadsUpText";
