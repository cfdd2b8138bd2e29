// ZemoriWriteTakes: writes every take that has ended and waits for an idle
// run, now, and returns how many it wrote. Interactive Maya writes them at
// idle time by itself; mayabatch and mayapy have no idle runs, so a batch
// script ends its takes (recording off) and then calls this before it
// saves. Not undoable, no arguments.
#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

class ZemoriWriteTakesCmd : public MPxCommand {
public:
    ZemoriWriteTakesCmd() = default;
    ~ZemoriWriteTakesCmd() override;
    MStatus doIt(const MArgList& args) override;
    static void* creator();
};

inline constexpr const char* kWriteTakesCommandName = "ZemoriWriteTakes";
