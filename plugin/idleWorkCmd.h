// ZemoriRunIdleWork: the plug-in's own command, queued with
// executeCommandOnIdle, that does on the main thread, outside any
// evaluation, what a device node's compute may not do itself: write a
// recorded take into curves, set the node frame rate, switch live off. It
// takes no arguments and runs the work of every node that asked for it.
#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

class ZemoriDeviceNode;

class ZemoriIdleWorkCmd : public MPxCommand {
public:
    ZemoriIdleWorkCmd() = default;
    ~ZemoriIdleWorkCmd() override;
    MStatus doIt(const MArgList& args) override;
    static void* creator();
};

inline constexpr const char* kIdleWorkCommandName = "ZemoriRunIdleWork";

// Any thread: the node has idle work; it is listed (once) and a run of the
// command is queued.
void queueIdleWork(ZemoriDeviceNode& node);
// A node being destroyed is forgotten.
void forgetIdleWork(ZemoriDeviceNode& node);
