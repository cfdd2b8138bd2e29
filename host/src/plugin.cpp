// MFnPlugin registrations and scene messages.
#include "hostState.h"
#include "mel/interpreter.h"

#include <mayahost/host.h>

// The version data belong to each plug-in, not to the host.
#define MNoVersionString
#include <maya/MFnPlugin.h>
#include <maya/MDGMessage.h>
#include <maya/MNodeMessage.h>
#include <maya/MSceneMessage.h>

#include <algorithm>
#include <iostream>
#include <iterator>

using mayahost::detail::Access;
using mayahost::detail::Host;
using mayahost::detail::NodeType;
using mayahost::detail::PluginData;

namespace mayahost {
namespace detail {

std::shared_ptr<PluginData> pluginData(const MObject& object) {
    return Access::data<PluginData>(object, ObjectData::Kind::kPlugin);
}

bool registrationFails(const std::string& name) {
    return host().failingRegistrations.count(name) != 0;
}

// Removes what a plug-in left registered; types that still have nodes stay.
namespace {

// Erases the entries of a callback map that `plugin` installed.
template <typename CallbackMap>
void eraseInstalledBy(CallbackMap& callbacks, const PluginData& plugin) {
    for (auto it = callbacks.begin(); it != callbacks.end();) {
        it = it->second.plugin == &plugin ? callbacks.erase(it) : std::next(it);
    }
}

}  // namespace

bool dropRegistrations(PluginData& plugin) {
    Host& h = host();
    for (const std::string& name : plugin.commands) h.commands.erase(name);
    plugin.commands.clear();
    bool clean = true;
    std::vector<std::shared_ptr<NodeType>> kept;
    for (const auto& type : plugin.types) {
        bool pending =
            std::any_of(h.pending.begin(), h.pending.end(),
                        [&](const std::shared_ptr<NodeData>& n) { return n->type == type; });
        if (type->liveNodes > 0 || pending || undoQueueHolds(*type)) {
            kept.push_back(type);
            clean = false;
        } else {
            h.types.erase(type->name);
        }
    }
    plugin.types = kept;
    // Callbacks the plug-in left installed go with it.
    eraseInstalledBy(h.callbacks, plugin);
    eraseInstalledBy(h.nodeCallbacks, plugin);
    eraseInstalledBy(h.conditionCallbacks, plugin);
    eraseInstalledBy(h.graphCallbacks, plugin);
    eraseInstalledBy(h.eventCallbacks, plugin);
    return clean;
}

}  // namespace detail
}  // namespace mayahost

namespace {

void setStatus(MStatus* status, MStatus value) {
    if (status != nullptr) *status = value;
}

std::shared_ptr<PluginData> attachedPlugin(const MFnBase& fn, MStatus* status) {
    auto plugin = mayahost::detail::pluginData(Access::fnObject(fn));
    setStatus(status, plugin ? MStatus::kSuccess : MStatus::kInvalidParameter);
    return plugin;
}

MCallbackId addGraphCallback(bool added, MMessage::MNodeFunction func, const MString& nodeType,
                             void* clientData, MStatus* ReturnStatus) {
    mayahost::detail::noteApiCall(
        added ? "MDGMessage::addNodeAddedCallback" : "MDGMessage::addNodeRemovedCallback",
        "the graph");
    auto& h = mayahost::detail::host();
    if (func == nullptr) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return 0;
    }
    MCallbackId id = h.nextCallbackId++;
    h.graphCallbacks[id] = mayahost::detail::GraphCallbackEntry{added, Access::text(nodeType), func,
                                                                clientData, h.runningEntryPoint};
    setStatus(ReturnStatus, MStatus::kSuccess);
    return id;
}

}  // namespace

MAYAHOST_NS_OPEN

MFn::Type MFnPlugin::type() const {
    return MFn::kPlugin;
}
MFnPlugin::~MFnPlugin() = default;
const char* MFnPlugin::className() {
    return "MFnPlugin";
}
MFnPlugin::MFnPlugin() = default;

MFnPlugin::MFnPlugin(MObject& object, const char* vendor, const char* version, const char*,
                     MStatus* ReturnStatus) {
    MStatus status = setObject(object);
    auto plugin = mayahost::detail::pluginData(object);
    if (status && plugin) {
        plugin->vendor = vendor != nullptr ? vendor : "";
        plugin->version = version != nullptr ? version : "";
    }
    setStatus(ReturnStatus, status);
}

MFnPlugin::MFnPlugin(const MObject& object, const char*, const char*, const char*,
                     MStatus* ReturnStatus) {
    setStatus(ReturnStatus, setObject(object));
}

MString MFnPlugin::vendor(MStatus* ReturnStatus) const {
    auto plugin = attachedPlugin(*this, ReturnStatus);
    return plugin ? MString(plugin->vendor.c_str()) : MString();
}

MString MFnPlugin::version(MStatus* ReturnStatus) const {
    auto plugin = attachedPlugin(*this, ReturnStatus);
    return plugin ? MString(plugin->version.c_str()) : MString();
}

MString MFnPlugin::name(MStatus* ReturnStatus) const {
    auto plugin = attachedPlugin(*this, ReturnStatus);
    return plugin ? MString(plugin->name.c_str()) : MString();
}

MString MFnPlugin::loadPath(MStatus* ReturnStatus) const {
    auto plugin = attachedPlugin(*this, ReturnStatus);
    return plugin ? MString(plugin->loadPath.c_str()) : MString();
}

MStatus MFnPlugin::registerCommand(const MString& commandName, MCreatorFunction creatorFunction,
                                   MCreateSyntaxFunction) {
    MStatus status;
    auto plugin = attachedPlugin(*this, &status);
    if (!plugin) return status;
    auto& h = mayahost::detail::host();
    const std::string& name = Access::text(commandName);
    if (name.empty() || creatorFunction == nullptr) return MStatus::kInvalidParameter;
    if (mayahost::detail::registrationFails(name) || h.commands.count(name) != 0 ||
        mayahost::detail::isBuiltInProcedure(name)) {
        return MStatus::kFailure;
    }
    h.commands[name] = mayahost::detail::CommandEntry{creatorFunction, plugin.get()};
    plugin->commands.push_back(name);
    return MStatus::kSuccess;
}

MStatus MFnPlugin::deregisterCommand(const MString& commandName) {
    MStatus status;
    auto plugin = attachedPlugin(*this, &status);
    if (!plugin) return status;
    auto& h = mayahost::detail::host();
    const std::string& name = Access::text(commandName);
    auto it = h.commands.find(name);
    if (it == h.commands.end() || it->second.plugin != plugin.get() ||
        mayahost::detail::registrationFails(name)) {
        return MStatus::kFailure;
    }
    h.commands.erase(it);
    plugin->commands.erase(std::remove(plugin->commands.begin(), plugin->commands.end(), name),
                           plugin->commands.end());
    return MStatus::kSuccess;
}

MStatus MFnPlugin::registerNode(const MString& typeName, const MTypeId& typeId,
                                MCreatorFunction creatorFunction, MInitializeFunction initFunction,
                                MPxNode::Type type, const MString*) {
    MStatus status;
    auto plugin = attachedPlugin(*this, &status);
    if (!plugin) return status;
    auto& h = mayahost::detail::host();
    const std::string& name = Access::text(typeName);
    if (name.empty() || creatorFunction == nullptr) return MStatus::kInvalidParameter;
    if (mayahost::detail::registrationFails(name) || h.types.count(name) != 0) {
        return MStatus::kFailure;
    }
    for (const auto& entry : h.types) {
        if (!entry.second->builtIn && entry.second->id == typeId.id()) return MStatus::kFailure;
    }
    auto nodeType = std::make_shared<NodeType>();
    nodeType->name = name;
    nodeType->id = typeId.id();
    nodeType->creator = creatorFunction;
    nodeType->kind = type;
    nodeType->plugin = plugin.get();
    nodeType->fnType =
        type == MPxNode::kThreadedDeviceNode ? MFn::kPluginThreadedDevice : MFn::kPluginDependNode;
    if (type == MPxNode::kThreadedDeviceNode) mayahost::detail::registerDeviceAttributes(*nodeType);
    if (initFunction != nullptr) {
        h.initializing = nodeType.get();
        MStatus initialized = initFunction();
        h.initializing = nullptr;
        if (!initialized) return MStatus::kFailure;
    }
    h.types[name] = nodeType;
    plugin->types.push_back(nodeType);
    return MStatus::kSuccess;
}

MStatus MFnPlugin::deregisterNode(const MTypeId& typeId) {
    MStatus status;
    auto plugin = attachedPlugin(*this, &status);
    if (!plugin) return status;
    auto& h = mayahost::detail::host();
    for (auto it = plugin->types.begin(); it != plugin->types.end(); ++it) {
        if ((*it)->id != typeId.id()) continue;
        if (mayahost::detail::registrationFails((*it)->name)) return MStatus::kFailure;
        bool pending = std::any_of(h.pending.begin(), h.pending.end(),
                                   [&](const auto& n) { return n->type == *it; });
        if ((*it)->liveNodes > 0 || pending || mayahost::detail::undoQueueHolds(**it)) {
            return MStatus::kFailure;
        }
        h.types.erase((*it)->name);
        plugin->types.erase(it);
        return MStatus::kSuccess;
    }
    return MStatus::kFailure;
}

MStatus MFnPlugin::registerUIStrings(MInitializeFunction registerMStringResources,
                                     const MString& pluginStringsProc) {
    MStatus status;
    auto plugin = attachedPlugin(*this, &status);
    if (!plugin) return status;
    const std::string& name = Access::text(pluginStringsProc);
    if (mayahost::detail::registrationFails(name)) return MStatus::kFailure;
    if (registerMStringResources != nullptr) {
        MStatus registered = registerMStringResources();
        if (!registered) return registered;
    }
    // Then the MEL procedure, found as any procedure is (<name>.mel on the
    // script path); missing, it fails the call as in Maya.
    try {
        mayahost::mel::interpreter().call(name, {});
    } catch (const mayahost::mel::MelError& error) {
        if (error.what()[0] != '\0') mayahost::detail::recordError(error.what());
        return MStatus::kFailure;
    }
    return MStatus::kSuccess;
}

MCallbackId MSceneMessage::addCallback(Message msg, MMessage::MBasicFunction func, void* clientData,
                                       MStatus* ReturnStatus) {
    auto& h = mayahost::detail::host();
    if (func == nullptr || msg < kSceneUpdate || msg >= kLast) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return 0;
    }
    MCallbackId id = h.nextCallbackId++;
    h.callbacks[id] = mayahost::detail::CallbackEntry{msg, func, clientData, h.runningEntryPoint};
    setStatus(ReturnStatus, MStatus::kSuccess);
    return id;
}

MCallbackId MNodeMessage::addAttributeChangedCallback(MObject& node,
                                                      MNodeMessage::MAttr2PlugFunction func,
                                                      void* clientData, MStatus* ReturnStatus) {
    mayahost::detail::noteApiCall("MNodeMessage::addAttributeChangedCallback", "a node");
    auto& h = mayahost::detail::host();
    auto data = mayahost::detail::nodeData(node);
    if (func == nullptr || !data) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return 0;
    }
    MCallbackId id = h.nextCallbackId++;
    h.nodeCallbacks[id] =
        mayahost::detail::NodeCallbackEntry{data, func, clientData, h.runningEntryPoint};
    setStatus(ReturnStatus, MStatus::kSuccess);
    return id;
}

MCallbackId MDGMessage::addNodeAddedCallback(MMessage::MNodeFunction func, const MString& nodeType,
                                             void* clientData, MStatus* ReturnStatus) {
    return addGraphCallback(true, func, nodeType, clientData, ReturnStatus);
}

MCallbackId MDGMessage::addNodeRemovedCallback(MMessage::MNodeFunction func,
                                               const MString& nodeType, void* clientData,
                                               MStatus* ReturnStatus) {
    return addGraphCallback(false, func, nodeType, clientData, ReturnStatus);
}

MStatus MMessage::removeCallback(MCallbackId id) {
    auto& h = mayahost::detail::host();
    const bool removed = h.callbacks.erase(id) != 0 || h.nodeCallbacks.erase(id) != 0 ||
                         h.conditionCallbacks.erase(id) != 0 || h.graphCallbacks.erase(id) != 0 ||
                         h.eventCallbacks.erase(id) != 0;
    return removed ? MStatus::kSuccess : MStatus::kInvalidParameter;
}

MAYAHOST_NS_CLOSE
