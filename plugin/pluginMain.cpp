// The plug-in's entry points. The only file that includes MFnPlugin.h: that
// header defines the exported MApiVersion and ADSK_PLUGIN_SIGNATURE.
#include "intake/formatLibraryLoader.h"
#include "node/zemoriDeviceNode.h"
#include "plugin/idleWorkCmd.h"
#include "plugin/keepLastCmd.h"
#include "plugin/messageTable.h"
#include "plugin/timeUnitWatch.h"
#include "plugin/zemoriDidCharacterizeCmd.h"
#include "recording/takeNode.h"

#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MMessage.h>
#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <maya/MSceneMessage.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <string>

namespace {

MCallbackId sceneCallbackId = 0;
// Whether nodes of our type may exist: the type was registered and has not
// been deregistered since.
bool nodeTypeRegistered = false;

void onBeforeNewScene(void* /*clientData*/) {
    MGlobal::executeCommandOnIdle("cleanUpUI", false);
}

// By bare name: the host finds them on its script search path. A script that
// cannot be sourced shows up when the UI calls into it, so it is not
// reported here.
void sourceUIScripts() {
    MGlobal::sourceFile("SkeletonHelpers.mel");
    MGlobal::sourceFile("UIManagement.mel");
    MGlobal::sourceFile("UICallbacks.mel");
}

// The message is looked up with a status of its own, so the report carries
// the status of the failed host call.
void report(const MStatus& status, const MessageKey& message) {
    const MString text = lookupMessage(message);
    status.perror(text);
}

}  // namespace

PLUGIN_EXPORT MStatus initializePlugin(MObject obj) {
    MStatus result = MS::kSuccess;
    MFnPlugin plugin(obj, "Corvane Corporation", "1.0.1", "Any");
    const std::string loadPath = plugin.loadPath().asChar();

    sourceUIScripts();

    result = plugin.registerUIStrings(registerMessageStrings, "ZemoriMayaInitStrings");
    if (!result) {
        report(result, msg::kRegStringsError);
        return result;
    }

    result = plugin.registerCommand(kCharacterizeCommandName, ZemoriDidCharacterizeCmd::creator);
    if (!result) report(result, msg::kRegCommandError);
    // The device nodes hand work that compute may not do to this command.
    const MStatus idleWork =
        plugin.registerCommand(kIdleWorkCommandName, ZemoriIdleWorkCmd::creator);
    if (!idleWork) report(idleWork, msg::kRegCommandError);
    const MStatus keepLast =
        plugin.registerCommand(kKeepLastCommandName, ZemoriKeepLastCmd::creator);
    if (!keepLast) report(keepLast, msg::kRegCommandError);
    // What the scene keeps of each recorded take.
    const MStatus takeType = plugin.registerNode(
        kTakeNodeTypeName, ZemoriTakeNode::id, ZemoriTakeNode::creator, ZemoriTakeNode::initialize);
    if (!takeType) report(takeType, msg::kRegNodeError);

    result =
        plugin.registerNode("ZemoriDeviceNode", ZemoriDeviceNode::id, ZemoriDeviceNode::creator,
                            ZemoriDeviceNode::initialize, MPxNode::kThreadedDeviceNode);
    if (result) {
        nodeTypeRegistered = true;
    } else {
        report(result, msg::kRegNodeError);
    }

    sceneCallbackId =
        MSceneMessage::addCallback(MSceneMessage::kBeforeNew, onBeforeNewScene, nullptr, &result);
    const MStatus timeUnit = watchTimeUnit();
    if (!timeUnit) report(timeUnit, msg::kTimeUnitWatchError);

    loadFormatLibrary(loadPath.c_str());

    // Queued: the shelf's buttons need the command and node type, which the
    // host makes usable only once this function has returned.
    MGlobal::executeCommandOnIdle("createZemoriShelf", false);
    return result;
}

PLUGIN_EXPORT MStatus uninitializePlugin(MObject obj) {
    MStatus result = MS::kSuccess;
    MFnPlugin plugin(obj, "Unknown", "Unknown", "Any");

    MMessage::removeCallback(sceneCallbackId);
    sceneCallbackId = 0;
    unwatchTimeUnit();

    result = plugin.deregisterNode(ZemoriDeviceNode::id);
    if (result) {
        nodeTypeRegistered = false;
    } else {
        report(result, msg::kDeregNodeError);
    }
    // Nodes that outlive their type keep calling into the motion-format
    // library from their receiving threads, so it stays loaded for them.
    const bool keepFormatLibrary = nodeTypeRegistered;

    const MStatus takeType = plugin.deregisterNode(ZemoriTakeNode::id);
    if (!takeType) report(takeType, msg::kDeregNodeError);
    const MStatus keepLast = plugin.deregisterCommand(kKeepLastCommandName);
    if (!keepLast) report(keepLast, msg::kDeregCommandError);
    const MStatus idleWork = plugin.deregisterCommand(kIdleWorkCommandName);
    if (!idleWork) report(idleWork, msg::kDeregCommandError);
    result = plugin.deregisterCommand(kCharacterizeCommandName);
    if (!result) report(result, msg::kDeregCommandError);

    if (!keepFormatLibrary) unloadFormatLibrary();
    return result;
}
