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

// Main thread: the node has idle work; the command is queued unless the node
// already waits for a run.
void queueIdleWork(ZemoriDeviceNode& node);
// Main thread: a node being destroyed is forgotten.
void forgetIdleWork(ZemoriDeviceNode& node);
