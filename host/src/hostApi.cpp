// The host's own interface for tests and tools, and the built-in node types.
#include "hostState.h"
#include "mel/interpreter.h"
#include "mel/scene.h"

#include <mayahost/host.h>

#include <maya/MAnimControl.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MPlug.h>

#include <algorithm>
#include <cstring>
#include <iostream>

using mayahost::detail::Access;
using mayahost::detail::AttributeData;
using mayahost::detail::Host;
using mayahost::detail::NodeData;
using mayahost::detail::NodeType;

namespace mayahost {
namespace detail {

void registerBuiltInTypes(Host& h) {
    mel::registerDagTypes(h);
    static const MFn::Type kCurveFn[] = {
        MFn::kAnimCurveTimeToAngular,     MFn::kAnimCurveTimeToDistance,
        MFn::kAnimCurveTimeToTime,        MFn::kAnimCurveTimeToUnitless,
        MFn::kAnimCurveUnitlessToAngular, MFn::kAnimCurveUnitlessToDistance,
        MFn::kAnimCurveUnitlessToTime,    MFn::kAnimCurveUnitlessToUnitless};
    // What the output of a time-driven curve measures: TA, TL, TT, TU.
    static const UnitKind kOutputUnit[] = {UnitKind::kAngular, UnitKind::kLinear, UnitKind::kTime,
                                           UnitKind::kUnitless};
    for (int k = 0; k < 8; ++k) {
        auto curve = std::make_shared<NodeType>();
        curve->name = curveTypeName(k);
        curve->builtIn = true;
        curve->curveType = k;
        curve->fnType = kCurveFn[k];
        if (k < 4) {
            auto output = std::make_shared<AttributeData>();
            output->name = "output";
            output->shortName = "o";
            output->numericType = MFnNumericData::kDouble;
            output->unit = kOutputUnit[k];
            output->writable = false;
            output->storable = false;
            output->added = true;
            curve->attributes.push_back(output);
        }
        h.types[curve->name] = curve;
    }
}

}  // namespace detail

namespace {

std::shared_ptr<NodeData> liveNode(const MObject& node) {
    return detail::nodeData(node);
}

const AttributeData* attributeNamed(const NodeData& node, const std::string& name) {
    return node.findAttribute(name);
}

void setStatus(MStatus* status, MStatus value) {
    if (status != nullptr) *status = value;
}

template <class T>
MStatus setValue(const MObject& node, const std::string& attribute, T value) {
    MStatus status;
    MPlug plug = findPlug(node, attribute, &status);
    if (!status) return status;
    return plug.setValue(value);
}

}  // namespace

void reset() {
    Host& h = detail::host();
    detail::adoptMainThread();
    // Nodes first, so that the plug-ins' uninitializePlugin can deregister
    // their types.
    std::vector<std::shared_ptr<NodeData>> nodes = h.nodes;
    detail::deleteNodes(nodes);
    detail::flushUndoQueue();
    // Give pending nodes one more grace period, then leave them be.
    auto deadline = detail::graceDeadline();
    for (const auto& node : h.pending) {
        if (detail::waitDeviceThread(*node, deadline)) {
            detail::joinDeviceThread(*node);
            detail::destroyNode(node);
        } else {
            std::cerr << "mayahost: the thread of deleted node " << node->name
                      << " has not ended; the node is left allocated" << std::endl;
            detail::detachDeviceThread(*node);
            h.leaked.push_back(node);
        }
    }
    h.pending.clear();
    std::vector<std::shared_ptr<detail::PluginData>> plugins = h.plugins;
    for (auto it = plugins.rbegin(); it != plugins.rend(); ++it) {
        if (!(*it)->path.empty()) unloadPlugin((*it)->path);
    }
    // A leaked node's thread may still run plug-in code: then no module is
    // unmapped.
    for (const auto& plugin : h.plugins) {
        if (plugin->module != nullptr && h.leaked.empty()) detail::closeModule(plugin->module);
    }
    h.plugins.clear();
    h.types.clear();
    detail::registerBuiltInTypes(h);
    h.commands.clear();
    h.callbacks.clear();
    h.nodeCallbacks.clear();
    h.conditionCallbacks.clear();
    h.graphCallbacks.clear();
    h.eventCallbacks.clear();
    setThreadDataObserver({});
    {
        std::lock_guard<std::mutex> lock(h.idleMutex);
        h.idle.clear();
    }
    {
        std::lock_guard<std::mutex> lock(h.records.mutex);
        bool echo = h.records.echo;
        h.records.errors.clear();
        h.records.infos.clear();
        h.records.commands.clear();
        h.records.sourced.clear();
        h.records.echo = echo;
    }
    {
        std::lock_guard<std::mutex> lock(h.stringsMutex);
        h.registeredStrings.clear();
        h.localizedStrings.clear();
    }
    h.scriptPath.clear();
    h.resourcePath.clear();
    h.pluginPath.clear();
    h.sceneName.clear();
    h.failingRegistrations.clear();
    h.failingCurveCreations = 0;
    h.uiUnit.store(MTime::kFilm);
    h.uiLinear = LinearUnit::kCentimeters;
    h.uiAngle = AngleUnit::kDegrees;
    h.currentTime = 0.0;
    h.playbackRange = PlaybackRange();
    h.batchMode = false;
    h.humanIkAvailable = true;
    h.playing.store(false);
    h.graceMilliseconds.store(2000);
    h.failingThreadStarts.store(0);
    h.playbackEvaluation.store(static_cast<int>(PlaybackEvaluation::kParallel));
    h.entryAfterShutdown.store(false);
    mel::interpreter().clear();
    mel::clearPreferences();
}

MObject createNode(const std::string& typeName, std::string* name, MStatus* status) {
    auto node = detail::createNodeOfType(typeName, status);
    if (!node) return MObject();
    if (name != nullptr) *name = node->name;
    return Access::object(node);
}

MObject findNode(const std::string& name) {
    auto node = detail::findNodeByName(name);
    return node ? Access::object(node) : MObject();
}

std::string nodeName(const MObject& node) {
    auto data = liveNode(node);
    return data ? data->name : std::string();
}

std::vector<std::string> nodeNames() {
    std::vector<std::string> names;
    for (const auto& node : detail::host().nodes) names.push_back(node->name);
    return names;
}

MStatus deleteNode(const MObject& node) {
    auto data = liveNode(node);
    if (!data) return MStatus::kInvalidParameter;
    return detail::deleteNodes({data});
}

bool undoDeletion() {
    return detail::undoLastDeletion();
}

void flushUndo() {
    detail::flushUndoQueue();
}

std::size_t undoQueueNodeCount() {
    return detail::undoQueueNodes().size();
}

std::size_t pendingDeletionCount() {
    return detail::host().pending.size();
}

void setShutdownGracePeriod(std::chrono::milliseconds grace) {
    detail::host().graceMilliseconds.store(grace.count());
}

MPlug findPlug(const MObject& node, const std::string& attribute, MStatus* status) {
    auto data = liveNode(node);
    const AttributeData* found = data ? attributeNamed(*data, attribute) : nullptr;
    if (found == nullptr) {
        setStatus(status, MStatus::kInvalidParameter);
        return MPlug();
    }
    setStatus(status, MStatus::kSuccess);
    return MPlug(node, Access::object(const_cast<AttributeData*>(found)->shared_from_this()));
}

MStatus setInt(const MObject& node, const std::string& attribute, int value) {
    return setValue(node, attribute, value);
}
MStatus setDouble(const MObject& node, const std::string& attribute, double value) {
    return setValue(node, attribute, value);
}
MStatus setBool(const MObject& node, const std::string& attribute, bool value) {
    return setValue(node, attribute, value);
}

int getInt(const MObject& node, const std::string& attribute, MStatus* status) {
    MStatus s;
    MPlug plug = findPlug(node, attribute, &s);
    int value = s ? plug.asInt(&s) : 0;
    setStatus(status, s);
    return value;
}
double getDouble(const MObject& node, const std::string& attribute, MStatus* status) {
    MStatus s;
    MPlug plug = findPlug(node, attribute, &s);
    double value = s ? plug.asDouble(&s) : 0.0;
    setStatus(status, s);
    return value;
}
bool getBool(const MObject& node, const std::string& attribute, MStatus* status) {
    MStatus s;
    MPlug plug = findPlug(node, attribute, &s);
    bool value = s ? plug.asBool(&s) : false;
    setStatus(status, s);
    return value;
}

MStatus evaluate(const MObject& node, const std::string& attribute) {
    MStatus status;
    MPlug plug = findPlug(node, attribute, &status);
    if (!status) return status;
    return detail::evaluatePlug(plug);
}

bool isDirty(const MObject& node, const std::string& attribute) {
    auto data = liveNode(node);
    const AttributeData* found = data ? attributeNamed(*data, attribute) : nullptr;
    if (found == nullptr) return false;
    std::lock_guard<std::mutex> lock(data->mutex);
    return data->dirty.count(found->root()) != 0;
}

MStatus getFloat3Element(const MObject& node, const std::string& attribute, unsigned int index,
                         float value[3]) {
    auto data = liveNode(node);
    const AttributeData* found = data ? attributeNamed(*data, attribute) : nullptr;
    if (found == nullptr || !found->array || !found->isTriple()) return MStatus::kInvalidParameter;
    std::lock_guard<std::mutex> lock(data->mutex);
    const auto& elements = data->arrays[found];
    auto it = elements.find(index);
    if (it == elements.end()) return MStatus::kNotFound;
    for (int k = 0; k < 3; ++k) value[k] = it->second.f3[k];
    return MStatus::kSuccess;
}

unsigned int elementCount(const MObject& node, const std::string& attribute) {
    auto data = liveNode(node);
    const AttributeData* found = data ? attributeNamed(*data, attribute) : nullptr;
    if (found == nullptr || !found->array) return 0;
    std::lock_guard<std::mutex> lock(data->mutex);
    return static_cast<unsigned int>(data->arrays[found].size());
}

int computeCount(const MObject& node) {
    auto data = liveNode(node);
    return data ? data->computeCount : 0;
}

int processIdleEvents() {
    Host& h = detail::host();
    int run = 0;
    if (h.batchMode) {
        // mayabatch and mayapy have no idle events: what is queued waits.
        detail::finishDeferredDeviceWork();
        return run;
    }
    std::vector<detail::IdleTask> batch;
    // Bounded, so that work that keeps queueing itself cannot hold the caller.
    while (run < 100000) {
        {
            std::lock_guard<std::mutex> lock(h.idleMutex);
            if (h.idle.empty()) break;
            batch.swap(h.idle);
        }
        for (detail::IdleTask& task : batch) {
            ++run;
            if (auto object = task.refresh.lock()) {
                auto node = std::static_pointer_cast<NodeData>(object);
                if (node->alive.load()) detail::evaluateRefreshOutputs(*node);
            } else if (!task.command.empty()) {
                detail::runCommand(task.command);
            }
        }
        batch.clear();
        // The queue gets its room back, so that queueing does not allocate.
        std::lock_guard<std::mutex> lock(h.idleMutex);
        if (h.idle.empty()) h.idle.swap(batch);
    }
    detail::finishDeferredDeviceWork();
    return run;
}

bool waitForIdleWork(std::chrono::milliseconds timeout) {
    Host& h = detail::host();
    std::unique_lock<std::mutex> lock(h.idleMutex);
    ++h.idleWaiters;
    const bool queued = h.idleWork.wait_for(lock, timeout, [&h] { return !h.idle.empty(); });
    --h.idleWaiters;
    return queued;
}

namespace detail {

void queueIdleTask(IdleTask task) {
    Host& h = host();
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(h.idleMutex);
        h.idle.push_back(std::move(task));
        wake = h.idleWaiters > 0;
    }
    if (wake) h.idleWork.notify_all();
}

}  // namespace detail

std::size_t idleQueueLength() {
    Host& h = detail::host();
    std::lock_guard<std::mutex> lock(h.idleMutex);
    return h.idle.size();
}

std::size_t dropQueuedIdleCommands(const std::string& command) {
    Host& h = detail::host();
    std::lock_guard<std::mutex> lock(h.idleMutex);
    const std::size_t before = h.idle.size();
    h.idle.erase(std::remove_if(h.idle.begin(), h.idle.end(),
                                [&](const detail::IdleTask& task) {
                                    return task.refresh.expired() && task.command == command;
                                }),
                 h.idle.end());
    return before - h.idle.size();
}

void setPluginPath(const std::vector<std::string>& folders) {
    detail::host().pluginPath = folders;
}

void setScriptPath(const std::vector<std::string>& folders) {
    detail::host().scriptPath = folders;
}
void setResourcePath(const std::vector<std::string>& folders) {
    detail::host().resourcePath = folders;
}

#define MAYAHOST_RECORD_READER(function, field)    \
    std::vector<std::string> function() {          \
        auto& r = detail::host().records;          \
        std::lock_guard<std::mutex> lock(r.mutex); \
        return r.field;                            \
    }
MAYAHOST_RECORD_READER(errorLines, errors)
MAYAHOST_RECORD_READER(infoLines, infos)
MAYAHOST_RECORD_READER(commandLog, commands)
MAYAHOST_RECORD_READER(sourcedScripts, sourced)
#undef MAYAHOST_RECORD_READER

void setEchoToConsole(bool echo) {
    auto& r = detail::host().records;
    std::lock_guard<std::mutex> lock(r.mutex);
    r.echo = echo;
}

std::vector<CurveInfo> animCurves() {
    std::vector<CurveInfo> curves;
    for (const auto& node : detail::host().nodes) {
        if (node->type->curveType < 0) continue;
        CurveInfo info;
        info.name = node->name;
        for (const auto& key : node->keys)
            info.keys.push_back(CurveKey{MTime(key.time, node->keyUnit), key.value});
        curves.push_back(std::move(info));
    }
    return curves;
}

CurveInfo animCurve(const std::string& name, bool* exists) {
    for (CurveInfo& info : animCurves()) {
        if (info.name == name) {
            if (exists != nullptr) *exists = true;
            return info;
        }
    }
    if (exists != nullptr) *exists = false;
    return CurveInfo{};
}

void failCurveCreations(int count) {
    detail::host().failingCurveCreations = count;
}

MStatus connectTime(const MObject& node, const std::string& attribute) {
    auto data = liveNode(node);
    const AttributeData* found = data ? attributeNamed(*data, attribute) : nullptr;
    if (found == nullptr || found->array || found->isTriple()) return MStatus::kInvalidParameter;
    data->timeInputs.push_back({found, false, {}});
    MPlug plug(node, Access::object(const_cast<AttributeData*>(found)->shared_from_this()));
    return plug.setValue(detail::host().currentTime);
}

void stepFrame(const std::vector<Output>& outputs) {
    MAnimControl::setCurrentTime(MTime(detail::host().currentTime + 1.0, MTime::uiUnit()));
    for (const Output& output : outputs) evaluate(output.node, output.attribute);
    processIdleEvents();
}

void playFrames(int frames, const std::vector<Output>& outputs) {
    MAnimControl::playForward();
    for (int i = 0; i < frames; ++i) stepFrame(outputs);
}

int threadStarts(const MObject& node) {
    auto data = liveNode(node);
    return data ? detail::deviceThreadStarts(*data) : 0;
}

bool threadRunning(const MObject& node) {
    auto data = Access::data<NodeData>(node, detail::ObjectData::Kind::kNode);
    return data && data->user != nullptr && detail::deviceThreadRunning(*data);
}

}  // namespace mayahost
