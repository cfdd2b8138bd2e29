// A small plug-in module for the host's loading tests: a command that
// answers the plug-in's load path, a threaded device node type, UI strings
// and a before-new-scene callback that runs cleanUpUI.
#include <maya/MArgList.h>
#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MPxCommand.h>
#include <maya/MPxThreadedDeviceNode.h>
#include <maya/MSceneMessage.h>
#include <maya/MStringResource.h>
#include <maya/MStringResourceId.h>

namespace {

MString gLoadPath;
MCallbackId gCallback = 0;

class LoadPathCommand : public MPxCommand {
public:
    static void* creator() { return new LoadPathCommand; }
    MStatus doIt(const MArgList&) override {
        MStatus status;
        MString text = MStringResource::getString(
            MStringResourceId("HostTestPlugin", "GREETING", "Hi"), status);
        setResult(gLoadPath + "|" + text);
        return MS::kSuccess;
    }
};

class IdleDevice : public MPxThreadedDeviceNode {
public:
    static void* creator() { return new IdleDevice; }
    static MStatus initialize() { return MS::kSuccess; }
    void threadHandler() override {
        while (!isDone()) {
            beginThreadLoop();
            endThreadLoop();
        }
    }
};

MStatus registerStrings() {
    return MStringResource::registerString(
        MStringResourceId("HostTestPlugin", "GREETING", "Hello"));
}

void beforeNew(void*) {
    MGlobal::executeCommand("cleanUpUI");
}

}  // namespace

MStatus initializePlugin(MObject obj) {
    MFnPlugin plugin(obj, "Host tests", "1.0", "Any");
    gLoadPath = plugin.loadPath();
    MStatus status = plugin.registerUIStrings(registerStrings, "HostTestPluginStrings");
    if (!status) return status;
    status = plugin.registerCommand("hostTestLoadPath", LoadPathCommand::creator);
    if (!status) return status;
    status = plugin.registerNode("hostTestDevice", MTypeId(0x7F030), IdleDevice::creator,
                                 IdleDevice::initialize, MPxNode::kThreadedDeviceNode);
    if (!status) return status;
    gCallback = MSceneMessage::addCallback(MSceneMessage::kBeforeNew, beforeNew, nullptr, &status);
    return status;
}

MStatus uninitializePlugin(MObject obj) {
    MFnPlugin plugin(obj);
    MMessage::removeCallback(gCallback);
    MStatus status = plugin.deregisterNode(MTypeId(0x7F030));
    if (!status) return status;
    return plugin.deregisterCommand("hostTestLoadPath");
}
