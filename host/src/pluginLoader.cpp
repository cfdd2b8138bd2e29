// Loading and unloading plug-in modules, and clearing the scene.
#include "hostState.h"

#include <mayahost/host.h>

#include <maya/MSceneMessage.h>

#include <algorithm>
#include <iostream>

using mayahost::detail::Access;

namespace mayahost {

namespace {

using EntryPoint = MStatus (*)(MObject);

// The entry points have C++ linkage; these are their names as GCC and Clang
// (also for MinGW) mangle them, then the unmangled names for modules that
// export them as C.
EntryPoint findEntryPoint(void* module, bool initialize) {
    const char* names[2];
    if (initialize) {
        names[0] = "_Z16initializePluginN8Autodesk4Maya16OpenMaya202300007MObjectE";
        names[1] = "initializePlugin";
    } else {
        names[0] = "_Z18uninitializePluginN8Autodesk4Maya16OpenMaya202300007MObjectE";
        names[1] = "uninitializePlugin";
    }
    for (const char* name : names) {
        if (void* symbol = detail::moduleSymbol(module, name)) {
            return reinterpret_cast<EntryPoint>(symbol);
        }
    }
    return nullptr;
}

std::string forwardSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string folderOf(const std::string& path) {
    std::string p = forwardSlashes(path);
    std::size_t slash = p.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return p.substr(0, slash);
}

std::string stemOf(const std::string& path) {
    std::string p = forwardSlashes(path);
    std::size_t slash = p.find_last_of('/');
    std::string file = slash == std::string::npos ? p : p.substr(slash + 1);
    std::size_t dot = file.find('.');
    if (dot != std::string::npos && dot > 0) file = file.substr(0, dot);
    if (file.rfind("lib", 0) == 0 && file.size() > 3) file = file.substr(3);
    return file;
}

std::shared_ptr<detail::PluginData> findPlugin(const std::string& nameOrPath) {
    for (const auto& plugin : detail::host().plugins) {
        if (plugin->name == nameOrPath || plugin->path == nameOrPath) return plugin;
    }
    return nullptr;
}

MStatus callEntryPoint(detail::PluginData& plugin, EntryPoint entry) {
    detail::Host& h = detail::host();
    detail::PluginData* previous = h.runningEntryPoint;
    h.runningEntryPoint = &plugin;
    MStatus status = entry(Access::object(plugin.shared_from_this()));
    h.runningEntryPoint = previous;
    return status;
}

}  // namespace

MStatus loadPlugin(const std::string& path) {
    detail::Host& h = detail::host();
    if (findPlugin(path)) return MStatus::kFailure;
    std::string error;
    void* module = detail::openModule(path, &error);
    if (module == nullptr) {
        detail::recordError("Unable to load plug-in \"" + path + "\": " + error);
        return MStatus::kFailure;
    }
    EntryPoint initialize = findEntryPoint(module, true);
    if (initialize == nullptr || findEntryPoint(module, false) == nullptr) {
        detail::closeModule(module);
        detail::recordError("Plug-in \"" + path + "\" has no initializePlugin/uninitializePlugin.");
        return MStatus::kFailure;
    }
    auto plugin = std::make_shared<detail::PluginData>();
    plugin->path = path;
    plugin->name = stemOf(path);
    plugin->loadPath = folderOf(detail::absolutePath(path));
    plugin->module = module;
    h.plugins.push_back(plugin);
    MStatus status = callEntryPoint(*plugin, initialize);
    if (!status) {
        detail::recordError("initializePlugin of \"" + path + "\" failed.");
        h.plugins.erase(std::remove(h.plugins.begin(), h.plugins.end(), plugin), h.plugins.end());
        if (detail::dropRegistrations(*plugin)) detail::closeModule(module);
        return MStatus::kFailure;
    }
    detail::registerExitTeardown();
    return MStatus::kSuccess;
}

MStatus unloadPlugin(const std::string& nameOrPath, bool force) {
    detail::Host& h = detail::host();
    auto plugin = findPlugin(nameOrPath);
    if (!plugin) return MStatus::kNotFound;
    // Maya refuses to unload a plug-in still in use: nodes of its types in
    // the scene, and nodes deleted but kept for undo (flushUndo lets them go).
    for (const auto& type : plugin->types) {
        if (!force && (type->liveNodes > 0 || detail::undoQueueHolds(*type))) {
            detail::recordError("Plug-in, \"" + plugin->name +
                                "\", cannot be unloaded because it is still in use.");
            return MStatus::kFailure;
        }
    }
    if (plugin->module == nullptr) {
        // A plug-in object made by a test: no entry points.
        detail::dropRegistrations(*plugin);
        h.plugins.erase(std::remove(h.plugins.begin(), h.plugins.end(), plugin), h.plugins.end());
        return MStatus::kSuccess;
    }
    EntryPoint uninitialize = findEntryPoint(plugin->module, false);
    MStatus status = callEntryPoint(*plugin, uninitialize);
    if (!status) {
        detail::recordError("uninitializePlugin of \"" + plugin->name + "\" failed.");
        return MStatus::kFailure;
    }
    h.plugins.erase(std::remove(h.plugins.begin(), h.plugins.end(), plugin), h.plugins.end());
    if (detail::dropRegistrations(*plugin)) {
        detail::closeModule(plugin->module);
    } else {
        // Its code is still in use by nodes: the module stays mapped.
        std::cerr << "mayahost: plug-in " << plugin->name
                  << " left node types with nodes; its module stays loaded" << std::endl;
    }
    plugin->module = nullptr;
    return MStatus::kSuccess;
}

bool isPluginLoaded(const std::string& nameOrPath) {
    return findPlugin(nameOrPath) != nullptr;
}

MObject createPluginObject(const std::string& name, const std::string& loadPath) {
    auto plugin = std::make_shared<detail::PluginData>();
    plugin->name = name;
    plugin->path = name;
    plugin->loadPath = forwardSlashes(loadPath);
    detail::host().plugins.push_back(plugin);
    return Access::object(plugin);
}

void failRegistration(const std::string& name) {
    detail::host().failingRegistrations.insert(name);
}

namespace detail {

void sendSceneMessage(int message) {
    std::vector<CallbackEntry> callbacks;
    for (const auto& entry : host().callbacks) {
        if (entry.second.message == message) callbacks.push_back(entry.second);
    }
    for (const auto& callback : callbacks) callback.function(callback.clientData);
}

void deleteAllNodes() {
    std::vector<std::shared_ptr<NodeData>> nodes = host().nodes;
    deleteNodes(nodes);
    // Nothing of the old scene can be undone in the new one.
    flushUndoQueue();
}

}  // namespace detail

void newScene() {
    detail::sendSceneMessage(MSceneMessage::kBeforeNew);
    detail::deleteAllNodes();
}

}  // namespace mayahost
