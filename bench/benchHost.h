// What every benchmark starts from: a fresh embedded host with the plug-in's
// node type and commands registered straight from the code, and the format
// library linked in where the plug-in would load it.
#pragma once

#include "intake/linkedFormatLibrary.h"
#include "node/zemoriDeviceNode.h"
#include "plugin/idleWorkCmd.h"
#include "plugin/keepLastCmd.h"
#include "recording/takeNode.h"
#include "plugin/zemoriDidCharacterizeCmd.h"

#define MNoVersionString
#define MNoPluginEntry
#include <maya/MFnPlugin.h>
#include <mayahost/host.h>

namespace zbench {

inline void registerPluginInFreshHost(const char* pluginName) {
    mayahost::reset();
    static int moduleStandIn = 0;
    gFormatLibrary = linkedFormatLibrary(&moduleStandIn);
    MObject object = mayahost::createPluginObject(pluginName, ".");
    MFnPlugin plugin(object);
    plugin.registerNode("ZemoriDeviceNode", ZemoriDeviceNode::id, &ZemoriDeviceNode::creator,
                        &ZemoriDeviceNode::initialize, MPxNode::kThreadedDeviceNode);
    plugin.registerCommand(kIdleWorkCommandName, &ZemoriIdleWorkCmd::creator);
    plugin.registerCommand(kKeepLastCommandName, &ZemoriKeepLastCmd::creator);
    plugin.registerNode(kTakeNodeTypeName, ZemoriTakeNode::id, &ZemoriTakeNode::creator,
                        &ZemoriTakeNode::initialize);
    plugin.registerCommand(kCharacterizeCommandName, &ZemoriDidCharacterizeCmd::creator);
}

}  // namespace zbench
