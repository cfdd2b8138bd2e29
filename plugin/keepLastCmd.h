// ZemoriKeepLast <node> <seconds>: makes a take at once of the last seconds
// of a device node's capture journal, ending at the current scene time,
// without recording having been on (for the take nobody pressed record for).
// Not undoable, no syntax object.
#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

class ZemoriKeepLastCmd : public MPxCommand {
public:
    ZemoriKeepLastCmd() = default;
    ~ZemoriKeepLastCmd() override;

    // Fails, with an error shown and nothing written, unless given a
    // ZemoriDeviceNode and a number of seconds above 0 that its journal
    // holds (the error then says how many seconds it does hold).
    MStatus doIt(const MArgList& args) override;

    static void* creator();
};

inline constexpr const char* kKeepLastCommandName = "ZemoriKeepLast";
