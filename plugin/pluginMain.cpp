// The plug-in's entry points. The only file that includes MFnPlugin.h: that
// header defines the exported MApiVersion and ADSK_PLUGIN_SIGNATURE.
#include "intake/formatLibraryLoader.h"
#include "node/zemoriDeviceNode.h"
#include "plugin/graphCallbacks.h"
#include "plugin/headsUpTextCmd.h"
#include "plugin/idleWorkCmd.h"
#include "plugin/keepLastCmd.h"
#include "plugin/sendersCmd.h"
#include "plugin/messageTable.h"
#include "plugin/stageTriggerCmd.h"
#include "plugin/stageTriggerListener.h"
#include "plugin/writeTakesCmd.h"
#include "plugin/timeUnitWatch.h"
#include "plugin/zemoriDidCharacterizeCmd.h"
#include "recording/pendingTake.h"
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
#include <vector>

namespace {

MCallbackId sceneCallbackId = 0;
MCallbackId openCallbackId = 0;
// Whether nodes of our type may exist: the type was registered and has not
// been deregistered since.
bool nodeTypeRegistered = false;

// A scene about to close ends every take it records; the takes are written
// into the scene that follows, so that nothing recorded is lost with it.
void endTakesWithScene() {
    const std::vector<ZemoriDeviceNode*> nodes = ZemoriDeviceNode::allNodes();
    for (ZemoriDeviceNode* node : nodes) node->endTake(true);
}

void onBeforeNewScene(void* /*clientData*/) {
    endTakesWithScene();
    MGlobal::executeCommandOnIdle("cleanUpUI", false);
}

void onBeforeOpen(void* /*clientData*/) {
    endTakesWithScene();
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

// What initializePlugin registered, each with its status.
struct Registrations {
    MStatus characterize = MS::kFailure;
    MStatus idleWork = MS::kFailure;
    MStatus keepLast = MS::kFailure;
    MStatus senders = MS::kFailure;
    MStatus writeTakes = MS::kFailure;
    MStatus headsUpText = MS::kFailure;
    MStatus takeType = MS::kFailure;
    MStatus deviceType = MS::kFailure;
    MStatus graphCallbacks = MS::kFailure;
    MStatus stageTrigger = MS::kFailure;
    MStatus stageDrain = MS::kFailure;

    MStatus firstFailure() const {
        for (const MStatus* status :
             {&characterize, &idleWork, &keepLast, &senders, &writeTakes, &headsUpText, &takeType,
              &deviceType, &graphCallbacks, &stageTrigger, &stageDrain}) {
            if (!*status) return *status;
        }
        return MS::kSuccess;
    }
};

// Takes back what registered, in reverse order, for a load that fails.
void undo(MFnPlugin& plugin, const Registrations& done) {
    removeGraphCallbacks();
    if (done.stageDrain) plugin.deregisterCommand(kStageDrainCommandName);
    if (done.stageTrigger) plugin.deregisterCommand(kStageTriggerCommandName);
    if (done.deviceType) plugin.deregisterNode(ZemoriDeviceNode::id);
    if (done.takeType) plugin.deregisterNode(ZemoriTakeNode::id);
    if (done.headsUpText) plugin.deregisterCommand(kHeadsUpTextCommandName);
    if (done.writeTakes) plugin.deregisterCommand(kWriteTakesCommandName);
    if (done.senders) plugin.deregisterCommand(kSendersCommandName);
    if (done.keepLast) plugin.deregisterCommand(kKeepLastCommandName);
    if (done.idleWork) plugin.deregisterCommand(kIdleWorkCommandName);
    if (done.characterize) plugin.deregisterCommand(kCharacterizeCommandName);
}

// The message is looked up with a status of its own, so the report carries
// the status of the failed host call.
void report(const MStatus& status, const MessageKey& message) {
    const MString text = lookupMessage(message);
    status.perror(text);
}

}  // namespace

PLUGIN_EXPORT MStatus initializePlugin(MObject obj) {
    MFnPlugin plugin(obj, "Corvane Corporation", "1.0.1", "Any");
    const std::string loadPath = plugin.loadPath().asChar();

    sourceUIScripts();

    const MStatus strings =
        plugin.registerUIStrings(registerMessageStrings, "ZemoriMayaInitStrings");
    if (!strings) {
        report(strings, msg::kRegStringsError);
        return strings;
    }

    // Every registration is tried and each failure reported, so that one
    // load shows them all; then any failure fails the load.
    Registrations done;
    done.characterize =
        plugin.registerCommand(kCharacterizeCommandName, ZemoriDidCharacterizeCmd::creator);
    if (!done.characterize) report(done.characterize, msg::kRegCommandError);
    // The device nodes hand work that compute may not do to this command.
    done.idleWork = plugin.registerCommand(kIdleWorkCommandName, ZemoriIdleWorkCmd::creator);
    if (!done.idleWork) report(done.idleWork, msg::kRegCommandError);
    done.keepLast = plugin.registerCommand(kKeepLastCommandName, ZemoriKeepLastCmd::creator);
    if (!done.keepLast) report(done.keepLast, msg::kRegCommandError);
    done.senders = plugin.registerCommand(kSendersCommandName, ZemoriSendersCmd::creator);
    if (!done.senders) report(done.senders, msg::kRegCommandError);
    // Batch mode has no idle runs: its scripts write their takes with this.
    done.writeTakes = plugin.registerCommand(kWriteTakesCommandName, ZemoriWriteTakesCmd::creator);
    if (!done.writeTakes) report(done.writeTakes, msg::kRegCommandError);
    // The line of each device node's heads-up display.
    done.headsUpText =
        plugin.registerCommand(kHeadsUpTextCommandName, ZemoriHeadsUpTextCmd::creator);
    if (!done.headsUpText) report(done.headsUpText, msg::kRegCommandError);
    // What the scene keeps of each recorded take.
    done.takeType = plugin.registerNode(kTakeNodeTypeName, ZemoriTakeNode::id,
                                        ZemoriTakeNode::creator, ZemoriTakeNode::initialize);
    if (!done.takeType) report(done.takeType, msg::kRegNodeError);
    done.deviceType =
        plugin.registerNode("ZemoriDeviceNode", ZemoriDeviceNode::id, ZemoriDeviceNode::creator,
                            ZemoriDeviceNode::initialize, MPxNode::kThreadedDeviceNode);
    if (!done.deviceType) report(done.deviceType, msg::kRegNodeError);
    // A deleted device waits in the undo queue: it must free its port then.
    done.graphCallbacks = addGraphCallbacks();
    // The stage's record button: the command sets the listener up, the
    // drain hands what it received to the main thread.
    done.stageTrigger =
        plugin.registerCommand(kStageTriggerCommandName, ZemoriStageTriggerCmd::creator);
    if (!done.stageTrigger) report(done.stageTrigger, msg::kRegCommandError);
    done.stageDrain =
        plugin.registerCommand(kStageDrainCommandName, ZemoriStageTriggerDrainCmd::creator);
    if (!done.stageDrain) report(done.stageDrain, msg::kRegCommandError);

    const MStatus failed = done.firstFailure();
    if (!failed) {
        // A plug-in that reports itself loaded has all of its parts; what
        // did register goes again, and the host unloads the module.
        undo(plugin, done);
        return failed;
    }
    nodeTypeRegistered = true;

    MStatus result = MS::kSuccess;
    sceneCallbackId =
        MSceneMessage::addCallback(MSceneMessage::kBeforeNew, onBeforeNewScene, nullptr, &result);
    if (result) {
        openCallbackId =
            MSceneMessage::addCallback(MSceneMessage::kBeforeOpen, onBeforeOpen, nullptr, &result);
    }
    if (!result) {
        MMessage::removeCallback(sceneCallbackId);
        sceneCallbackId = 0;
        undo(plugin, done);
        return result;
    }
    const MStatus timeUnit = watchTimeUnit();
    if (!timeUnit) report(timeUnit, msg::kTimeUnitWatchError);

    loadFormatLibrary(loadPath.c_str());
    // Off by default; on when the user left it on in an earlier session.
    startStageTriggerFromPreferences();

    // Queued: the shelf's buttons need the command and node type, which the
    // host makes usable only once this function has returned.
    MGlobal::executeCommandOnIdle("createZemoriShelf", false);
    return result;
}

PLUGIN_EXPORT MStatus uninitializePlugin(MObject obj) {
    MStatus result = MS::kSuccess;
    MFnPlugin plugin(obj, "Unknown", "Unknown", "Any");

    MMessage::removeCallback(sceneCallbackId);
    MMessage::removeCallback(openCallbackId);
    sceneCallbackId = 0;
    openCallbackId = 0;
    removeGraphCallbacks();
    // Its thread and socket go first: nothing it receives may reach the
    // main thread once the plug-in is going.
    releaseStageTrigger();

    // Nothing recorded is lost with the plug-in: takes still recording end,
    // and every take waiting for an idle run is written now.
    const std::vector<ZemoriDeviceNode*> nodes = ZemoriDeviceNode::allNodes();
    for (ZemoriDeviceNode* node : nodes) node->endTake();
    writePendingTakes();
    unwatchTimeUnit();
    // Their command goes with the plug-in, so its displays go first.
    MGlobal::executeCommand("if (`exists zemoriHudRemoveAll`) zemoriHudRemoveAll;", false, false);

    result = plugin.deregisterNode(ZemoriDeviceNode::id);
    if (result) {
        nodeTypeRegistered = false;
    } else {
        report(result, msg::kDeregNodeError);
    }
    // Nodes that outlive their type keep calling into the motion-format
    // library from their receiving threads, so it stays loaded for them.
    const bool keepFormatLibrary = nodeTypeRegistered;

    for (const char* command : {kStageDrainCommandName, kStageTriggerCommandName}) {
        const MStatus stage = plugin.deregisterCommand(command);
        if (!stage) report(stage, msg::kDeregCommandError);
    }
    const MStatus takeType = plugin.deregisterNode(ZemoriTakeNode::id);
    if (!takeType) report(takeType, msg::kDeregNodeError);
    const MStatus headsUpText = plugin.deregisterCommand(kHeadsUpTextCommandName);
    if (!headsUpText) report(headsUpText, msg::kDeregCommandError);
    const MStatus writeTakes = plugin.deregisterCommand(kWriteTakesCommandName);
    if (!writeTakes) report(writeTakes, msg::kDeregCommandError);
    const MStatus senders = plugin.deregisterCommand(kSendersCommandName);
    if (!senders) report(senders, msg::kDeregCommandError);
    const MStatus keepLast = plugin.deregisterCommand(kKeepLastCommandName);
    if (!keepLast) report(keepLast, msg::kDeregCommandError);
    const MStatus idleWork = plugin.deregisterCommand(kIdleWorkCommandName);
    if (!idleWork) report(idleWork, msg::kDeregCommandError);
    result = plugin.deregisterCommand(kCharacterizeCommandName);
    if (!result) report(result, msg::kDeregCommandError);

    if (!keepFormatLibrary) unloadFormatLibrary();
    return result;
}
