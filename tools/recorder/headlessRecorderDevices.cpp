// The recorder's device nodes: made through the shelf or directly, given
// their port and network settings, bound, switched and taken offline, each
// as a user of the panel would.
#include "tools/recorder/headlessRecorder.h"

#include <mayahost/host.h>
#include <mayahost/ui.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MString.h>

#include <string>
#include <vector>

namespace ztools {

namespace {

const char* const kPortInUse =
    "Port in Use. Socket Initialization failed. Try using a different port.";
const char* const kOutput = "outputTranslations";

}  // namespace

std::vector<HeadlessRecorder::Device> HeadlessRecorder::devices() const {
    std::vector<Device> all{mainDevice()};
    all.insert(all.end(), mOthers.begin(), mOthers.end());
    return all;
}

bool HeadlessRecorder::portFailed(std::string& error) {
    for (const Device& device : devices()) {
        if (portFailed(device, error)) return true;
    }
    return false;
}

bool HeadlessRecorder::portFailed(const Device& device, std::string& error) {
    const std::string status = panelStatus(device.deviceId);
    if (status != kPortInUse && mayahost::getBool(device.node, "live")) return false;
    error =
        "port " + std::to_string(mOptions.port) + " is in use (the node says: \"" + status + "\")";
    return true;
}

bool HeadlessRecorder::setRecording(bool on) {
    bool all = true;
    for (const Device& device : devices()) all = setRecording(device, on) && all;
    return all;
}

bool HeadlessRecorder::setRecording(const Device& device, bool on) {
    return mOptions.ui ? mayahost::setCheckBox(control("zemoriRecording", device.deviceId), on)
                       : bool(mayahost::setBool(device.node, "recording", on));
}

void HeadlessRecorder::goOffline(const Device& device) {
    if (!mOptions.ui || !mayahost::setCheckBox(control("zemoriLive", device.deviceId), false)) {
        mayahost::setBool(device.node, "live", false);
    }
    mayahost::processIdleEvents();
    mayahost::evaluate(device.node, kOutput);  // closes the socket
}

std::string HeadlessRecorder::control(const char* prefix, int deviceId) {
    return prefix + std::to_string(deviceId);
}

bool HeadlessRecorder::adoptNode(std::string& error) {
    mNode = mayahost::findNode(mNodeName);
    if (mNode.isNull()) {
        error = "cannot create a ZemoriDeviceNode";
        for (const std::string& line : mayahost::errorLines()) error += "\n  " + line;
        return false;
    }
    mObserved.store(MFnDependencyNode(mNode).userNode());
    return true;
}

bool HeadlessRecorder::applyNetworkSettings(const Device& device, std::string& error) {
    const std::pair<const char*, const std::string*> settings[] = {
        {"allowedSenders", &mOptions.allowedSenders},
        {"listenAddress", &mOptions.listenAddress},
        {"multicastGroup", &mOptions.multicastGroup}};
    for (const auto& setting : settings) {
        if (setting.second->empty()) continue;
        // Quoted as a MEL string: the node refuses what it cannot read.
        std::string quoted;
        for (char c : *setting.second) {
            if (c == '"' || c == '\\') quoted += '\\';
            if (c != '\n' && c != '\r') quoted += c;
        }
        std::string now;
        mayahost::runMel("setAttr -type \"string\" " + device.name + "." + setting.first + " \"" +
                         quoted + "\"");
        mayahost::processIdleEvents();  // a refused text is set back at idle time
        mayahost::runMel("getAttr " + device.name + "." + setting.first, &now);
        if (now != *setting.second) {
            // The node's own error says why; the panel's line when there is none.
            const std::vector<std::string> errors = mayahost::errorLines();
            error = std::string("the node refused ") + setting.first + " '" + *setting.second +
                    "': " + (errors.empty() ? panelStatus(device.deviceId) : errors.back());
            return false;
        }
    }
    return true;
}

bool HeadlessRecorder::createDirectly(std::string& error) {
    Device device{MObject(), std::string(), mOptions.deviceId};
    if (!createDevice(device, error)) return false;
    mNodeName = device.name;
    return adoptNode(error);
}

bool HeadlessRecorder::createDevice(Device& device, std::string& error) {
    MStatus status;
    mayahost::createNode("ZemoriDeviceNode", &device.name, &status);
    device.node = mayahost::findNode(device.name);
    if (!status || device.node.isNull()) {
        error = "cannot create a ZemoriDeviceNode";
        for (const std::string& line : mayahost::errorLines()) error += "\n  " + line;
        return false;
    }
    if (!applyNetworkSettings(device, error)) return false;
    if (!mayahost::setInt(device.node, "inputPort", mOptions.port) ||
        !mayahost::setInt(device.node, "deviceId", device.deviceId) ||
        !mayahost::connectTime(device.node, "time") ||
        !mayahost::setBool(device.node, "live", true)) {
        error = "cannot set up the device node";
        return false;
    }
    // The node's panel, which shows what the node reports.
    if (!mayahost::runMel("zemoriOpenPanel " + device.name)) {
        error = "cannot open the device's panel";
        for (const std::string& line : mayahost::errorLines()) error += "\n  " + line;
        return false;
    }
    return true;
}

// As a user: the shelf button makes the device and its panel; the port goes
// into the panel's field, then Live is ticked. Binding connects the time.
bool HeadlessRecorder::createThroughShelf(std::string& error) {
    mayahost::processIdleEvents();  // the shelf is made once loading is over
    if (!mayahost::pressButton("zemoriCreateDeviceButton") ||
        !mayahost::runMel("string $nodes[] = `ls -type ZemoriDeviceNode`; $nodes[0]", &mNodeName) ||
        !adoptNode(error)) {
        if (error.empty()) error = "the Zemori shelf button did not make a device";
        return false;
    }
    mOptions.deviceId = mayahost::getInt(mNode, "deviceId");
    if (!mayahost::typeInt(control("zemoriPort"), mOptions.port) ||
        mayahost::getInt(mNode, "inputPort") != mOptions.port) {
        error = "the panel did not take port " + std::to_string(mOptions.port);
        return false;
    }
    if (!applyNetworkSettings(mainDevice(), error)) return false;
    if (!mayahost::setCheckBox(control("zemoriLive"), true)) {
        error = "cannot tick Live";
        return false;
    }
    return true;
}

bool HeadlessRecorder::bind(const Device& device, std::string& error) {
    const bool bound = mOptions.ui ? mayahost::pressButton(control("zemoriBind", device.deviceId))
                                   : bool(MGlobal::executeCommand(MString(
                                         ("ZemoriDidCharacterize " + device.name).c_str())));
    if (!bound) {
        error = mOptions.ui ? "pressing Bind to Character failed"
                            : "ZemoriDidCharacterize " + device.name + " failed";
    }
    return bound;
}

}  // namespace ztools
