// The host's internal state: node types, nodes and their values, the idle
// queue, the command table and the records of errors, lines and commands. Private
// to the host library.
#pragma once

#include <maya/MArgList.h>
#include <maya/MArrayDataBuilder.h>
#include <maya/MDataBlock.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnBase.h>
#include <maya/MFnNumericData.h>
#include <maya/MMessage.h>
#include <maya/MNodeMessage.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>
#include <maya/MPxThreadedDeviceNode.h>
#include <maya/MSceneMessage.h>
#include <maya/MString.h>
#include <maya/MStringResourceId.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>
#include <maya/MTypes.h>
#include <mayahost/host.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace mayahost {
namespace mel {
struct Value;
}
namespace detail {

struct ObjectData : std::enable_shared_from_this<ObjectData> {
    enum class Kind { kNode, kAttribute, kPlugin };
    explicit ObjectData(Kind k) : kind(k) {}
    virtual ~ObjectData() = default;
    const Kind kind;
};

// One value of the data block. Every numeric type uses the field of its own
// kind; float triples use f3, double triples d3.
struct Slot {
    bool b = false;
    int i = 0;
    float f = 0.0f;
    double d = 0.0;
    float f3[3] = {0.0f, 0.0f, 0.0f};
    double d3[3] = {0.0, 0.0, 0.0};
};

// What a numeric value measures. Values are held in the kind's internal
// unit (centimetres, radians) and shown in the UI unit.
enum class UnitKind { kUnitless, kLinear, kAngular, kTime };

struct AttributeData : ObjectData {
    AttributeData() : ObjectData(Kind::kAttribute) {}
    std::string name;
    std::string shortName;
    MFnNumericData::Type numericType = MFnNumericData::kInvalid;
    UnitKind unit = UnitKind::kUnitless;  // children share their parent's
    bool generic = false;                 // accepts any data; holds a double here
    double defaultValue = 0.0;
    bool readable = true;
    bool writable = true;
    bool storable = true;
    bool array = false;
    bool keyable = false;
    bool hidden = false;
    bool usesArrayDataBuilder = false;
    bool added = false;    // belongs to a node type
    bool dynamic = false;  // added to one node by MEL's addAttr
    bool text = false;     // a string (addAttr -dataType "string"), held in NodeData::strings
    bool message = false;  // connectable, holds no value (MFnMessageAttribute)
    std::vector<std::shared_ptr<AttributeData>> children;
    std::weak_ptr<AttributeData> parent;
    int childIndex = -1;

    bool isTriple() const { return !children.empty(); }
    // The top-level attribute of a child, or this one.
    const AttributeData* root() const;
    void initialize(Slot& slot) const;
};

struct PluginData;
struct BuilderData;

// The "message" ("msg") attribute every node has: an output holding no
// value, for connections that carry no data.
const AttributeData* nodeMessageAttribute();
bool isNodeMessageName(const std::string& name);

struct NodeType {
    std::string name;
    unsigned int id = 0;
    MCreatorFunction creator = nullptr;
    MPxNode::Type kind = MPxNode::kDependNode;
    bool builtIn = false;
    MFn::Type fnType = MFn::kDependencyNode;
    int curveType = -1;  // MFnAnimCurve::AnimCurveType of curve node types
    std::vector<std::shared_ptr<AttributeData>> attributes;  // top level, inherited first
    std::map<const AttributeData*, std::vector<const AttributeData*>> affects;
    PluginData* plugin = nullptr;
    int liveNodes = 0;

    const AttributeData* find(const std::string& name) const;
    bool has(const AttributeData* attribute) const;
};

struct CurveKeyData {
    CurveKeyData() {}  // fields left unset, so that growing for bulk keys costs no clearing
    CurveKeyData(double keyTime, double keyValue) : time(keyTime), value(keyValue) {}
    double time;  // in the curve's keyUnit
    double value;
};

// The dirty attributes of a node: a handful, each entry kept once made, so
// that marking and cleaning whole attributes (once per datagram) never
// allocate. Dirtiness is per plug: an array attribute marked dirty has every
// element dirty, and cleaning one element's plug leaves the others dirty.
class DirtySet {
public:
    // The attribute and all its elements turn dirty.
    void insert(const AttributeData* attribute) {
        Entry* entry = find(attribute);
        if (entry == nullptr) {
            mItems.emplace_back();
            entry = &mItems.back();
            entry->attribute = attribute;
        }
        entry->dirty = true;
        entry->cleanElements.clear();
    }
    // The attribute and all its elements turn clean; 1 when it was dirty.
    std::size_t erase(const AttributeData* attribute) {
        Entry* entry = find(attribute);
        if (entry == nullptr || !entry->dirty) return 0;
        entry->dirty = false;
        entry->cleanElements.clear();
        return 1;
    }
    // One element of a dirty array attribute turns clean.
    void cleanElement(const AttributeData* attribute, int element) {
        Entry* entry = find(attribute);
        if (entry == nullptr || !entry->dirty || isClean(*entry, element)) return;
        entry->cleanElements.push_back(element);
    }
    // Whether the attribute is dirty at all (some element may be clean).
    std::size_t count(const AttributeData* attribute) const {
        const Entry* entry = find(attribute);
        return entry != nullptr && entry->dirty ? 1 : 0;
    }
    // Whether the plug at `element` (-1: the attribute itself) is dirty.
    bool isDirty(const AttributeData* attribute, int element) const {
        const Entry* entry = find(attribute);
        if (entry == nullptr || !entry->dirty) return false;
        return element < 0 || !isClean(*entry, element);
    }
    void clear() {
        for (Entry& entry : mItems) {
            entry.dirty = false;
            entry.cleanElements.clear();
        }
    }

private:
    struct Entry {
        const AttributeData* attribute = nullptr;
        bool dirty = false;
        std::vector<int> cleanElements;
    };
    static bool isClean(const Entry& entry, int element) {
        for (const int clean : entry.cleanElements) {
            if (clean == element) return true;
        }
        return false;
    }
    Entry* find(const AttributeData* attribute) {
        for (Entry& entry : mItems) {
            if (entry.attribute == attribute) return &entry;
        }
        return nullptr;
    }
    const Entry* find(const AttributeData* attribute) const {
        for (const Entry& entry : mItems) {
            if (entry.attribute == attribute) return &entry;
        }
        return nullptr;
    }
    std::vector<Entry> mItems;
};

struct NodeData : ObjectData {
    NodeData() : ObjectData(Kind::kNode) {}
    ~NodeData() override;

    std::string name;  // main thread only
    std::shared_ptr<NodeType> type;
    MPxNode* user = nullptr;
    std::atomic<bool> alive{true};

    // Values and dirty flags; also read from device threads.
    std::mutex mutex;
    std::map<const AttributeData*, Slot> values;
    std::map<const AttributeData*, std::map<unsigned int, Slot>> arrays;
    DirtySet dirty;
    // The last builder of each array, reused while nobody else holds it, so
    // that rebuilding an array every evaluation allocates nothing.
    std::map<const AttributeData*, std::shared_ptr<BuilderData>> builders;

    // Main thread only.
    std::set<const AttributeData*> computing;
    int computeCount = 0;
    std::vector<CurveKeyData> keys;
    MTime::Unit keyUnit = MTime::kInvalid;  // of every key's time
    // Inputs the scene time drives: straight from time1.outTime, or through
    // the timeToUnitConversion node `conversion`, whose factor applies.
    struct TimeInput {
        const AttributeData* attribute;
        bool converted;
        std::weak_ptr<NodeData> conversion;
    };
    std::vector<TimeInput> timeInputs;

    // Attributes added to this node alone (addAttr), and string values.
    std::vector<std::shared_ptr<AttributeData>> dynamic;
    std::map<const AttributeData*, std::string> strings;

    Slot* slot(const AttributeData* root);
    // The type's attribute of that long or short name, else a dynamic one.
    const AttributeData* findAttribute(const std::string& name) const;
    bool hasAttribute(const AttributeData* attribute) const;
};

struct PluginData : ObjectData {
    PluginData() : ObjectData(Kind::kPlugin) {}
    std::string name;
    std::string path;
    std::string loadPath;
    std::string vendor;
    std::string version;
    void* module = nullptr;
    std::vector<std::string> commands;
    std::vector<std::shared_ptr<NodeType>> types;
};

struct Records {
    std::mutex mutex;
    std::vector<std::string> errors;
    std::vector<std::string> infos;
    std::vector<std::string> commands;
    std::vector<std::string> sourced;
    bool echo = false;
};

struct IdleTask {
    std::string command;                // a command to run, or
    std::weak_ptr<ObjectData> refresh;  // a node whose refresh outputs to evaluate
};

struct CommandEntry {
    MCreatorFunction creator = nullptr;
    PluginData* plugin = nullptr;
};

struct CallbackEntry {
    MSceneMessage::Message message;
    MMessage::MBasicFunction function;
    void* clientData;
    PluginData* plugin;  // installed while that plug-in's entry point ran
};

struct ConditionCallbackEntry {
    std::string condition;
    MMessage::MStateFunction function;
    void* clientData;
    PluginData* plugin;
};

// MDGMessage's node added and node removed callbacks.
struct GraphCallbackEntry {
    bool added;            // else removed
    std::string nodeType;  // "dependNode" matches every node
    MMessage::MNodeFunction function;
    void* clientData;
    PluginData* plugin;
};

struct EventCallbackEntry {
    std::string event;
    MMessage::MBasicFunction function;
    void* clientData;
    PluginData* plugin;
};

struct NodeCallbackEntry {
    std::weak_ptr<NodeData> node;
    MNodeMessage::MAttr2PlugFunction function;
    void* clientData;
    PluginData* plugin;
};

struct Host {
    // Any thread.
    std::mutex idleMutex;
    // Oldest first. A vector that keeps its room, so that queueing (once per
    // datagram, by device threads) does not allocate.
    std::vector<IdleTask> idle;
    std::condition_variable idleWork;  // notified when a task is queued
    int idleWaiters = 0;               // threads in waitForIdleWork
    Records records;
    std::mutex stringsMutex;
    std::map<std::pair<std::string, std::string>, std::string> registeredStrings;
    std::map<std::pair<std::string, std::string>, std::string> localizedStrings;
    std::atomic<int> uiUnit{MTime::kFilm};
    std::atomic<bool> playing{false};
    std::atomic<long long> graceMilliseconds{2000};
    std::atomic<int> deviceThreadLifetime{0};  // mayahost::DeviceThreadLifetime
    std::atomic<int> playbackEvaluation{0};    // mayahost::PlaybackEvaluation
    // Test hooks for device threads: starts that fail, and new threads that
    // enter their handler only after the host asked them to stop.
    std::atomic<int> failingThreadStarts{0};
    std::atomic<bool> entryAfterShutdown{false};

    // Main thread.
    std::map<std::string, std::shared_ptr<NodeType>> types;
    std::vector<std::shared_ptr<NodeData>> nodes;
    std::vector<std::shared_ptr<NodeData>> pending;
    NodeType* initializing = nullptr;
    std::map<std::string, CommandEntry> commands;
    std::map<MCallbackId, CallbackEntry> callbacks;
    std::map<MCallbackId, NodeCallbackEntry> nodeCallbacks;
    std::map<MCallbackId, ConditionCallbackEntry> conditionCallbacks;
    std::map<MCallbackId, GraphCallbackEntry> graphCallbacks;
    std::map<MCallbackId, EventCallbackEntry> eventCallbacks;
    MCallbackId nextCallbackId = 1;
    std::vector<std::shared_ptr<PluginData>> plugins;
    PluginData* runningEntryPoint = nullptr;
    std::vector<std::shared_ptr<NodeData>> leaked;  // threads that never ended
    std::vector<std::string> scriptPath;
    std::vector<std::string> resourcePath;
    std::string sceneName;                // "" while untitled (file -rename)
    std::vector<std::string> pluginPath;  // MAYA_PLUG_IN_PATH, for requires
    double currentTime = 0.0;             // in uiUnit
    PlaybackRange playbackRange;          // in uiUnit
    bool batchMode = false;
    bool humanIkAvailable = true;
    LinearUnit uiLinear = LinearUnit::kCentimeters;
    AngleUnit uiAngle = AngleUnit::kDegrees;
    std::set<std::string> failingRegistrations;
    int failingCurveCreations = 0;
};

// The host, created on first use and never destroyed.
Host& host();
// Handlers registered with atexit run in reverse order, interleaved with the
// destruction of statics: registering the exit teardown again after a
// plug-in module has been loaded makes it run before that module's statics
// are destroyed.
void registerExitTeardown();
void registerBuiltInTypes(Host& h);

// Reach into the API classes.
struct Access {
    template <class T>
    static std::shared_ptr<T> data(const MObject& object, ObjectData::Kind kind) {
        if (!object.mData || object.mData->kind != kind) return nullptr;
        return std::static_pointer_cast<T>(object.mData);
    }
    static MObject object(std::shared_ptr<ObjectData> data) {
        MObject result;
        result.mData = std::move(data);
        return result;
    }
    static const std::shared_ptr<ObjectData>& raw(const MObject& object) { return object.mData; }
    static MObject& fnObject(MFnBase& fn);
    static const MObject& fnObject(const MFnBase& fn);
    static MPlug plug(const MObject& node, const MObject& attribute, int index);
    static int plugIndex(const MPlug& plug) { return plug.mIndex; }
    static const MObject& plugNode(const MPlug& plug) { return plug.mNode; }
    static const MObject& plugAttribute(const MPlug& plug) { return plug.mAttribute; }
    static NodeData*& nodeOf(MPxNode& node) { return node.mNodeData; }
    static DeviceState* device(MPxThreadedDeviceNode& node);
    static MDataBlock block(NodeData* node);
    static MDataHandle handle(NodeData* node, const AttributeData* attribute, Slot* slot);
    static MArrayDataHandle arrayHandle(NodeData* node, const AttributeData* attribute);
    static const AttributeData* handleAttribute(const MDataHandle& h) { return h.mAttribute; }
    static Slot* handleSlot(const MDataHandle& h) { return h.mSlot; }
    static NodeData* handleNode(const MDataHandle& h) { return h.mNode; }
    static NodeData* blockNode(const MDataBlock& b) { return b.mNode; }
    static std::shared_ptr<BuilderData>& builderData(MArrayDataBuilder& b) { return b.mData; }
    static const std::shared_ptr<BuilderData>& builderData(const MArrayDataBuilder& b) {
        return b.mData;
    }
    static std::vector<std::string>& args(MArgList& list) { return list.mArgs; }
    static const std::string& text(const MString& s) { return s.mText; }
    static const std::vector<MTime>& items(const MTimeArray& a) { return a.mItems; }
    static const std::vector<double>& items(const MDoubleArray& a) { return a.mItems; }
    static void setBuffer(MCharBuffer& buffer, char* ptr, long size);
    static const MString& resourceModule(const MStringResourceId& id);
    static const MString& resourceKey(const MStringResourceId& id);
    static const MString& resourceDefault(const MStringResourceId& id);
};

// Node and graph operations (graph.cpp).
std::shared_ptr<NodeData> nodeData(const MObject& node);
std::shared_ptr<AttributeData> attributeData(const MObject& attribute);
std::shared_ptr<NodeData> createNodeOfType(const std::string& typeName, MStatus* status);
std::string uniqueName(const std::string& wanted, const NodeData* except);
std::shared_ptr<NodeData> findNodeByName(const std::string& name);
void markDirtyFrom(NodeData& node, const AttributeData* changed);
// The roots given and every attribute they affect within the node, transitively.
std::vector<const AttributeData*> affectedClosure(const NodeData& node,
                                                  const std::vector<const AttributeData*>& roots);
// Marks each of the attributes dirty under one hold of the node's lock.
void markAllDirty(NodeData& node, const AttributeData* const* attributes, std::size_t count);
// Computes the plug if its attribute is dirty; kSuccess when it was clean.
MStatus evaluatePlug(const MPlug& plug);
// Applies a value set through a plug or the host API: dirtiness, the
// device-thread reaction to live and frameRate.
void afterValueSet(NodeData& node, const AttributeData* root);
// Runs the callbacks on `condition` with its new state (main thread).
void sendCondition(const std::string& condition, bool state);

// Runs the node's attribute-changed callbacks for a value set through `plug`.
void notifyAttributeSet(NodeData& node, const MPlug& plug);
// Deletes the nodes for good: out of the graph, then destroyed (device
// threads stopped first, within the grace period).
MStatus deleteNodes(const std::vector<std::shared_ptr<NodeData>>& nodes);
// Calls the callbacks of an MSceneMessage::Message, in the order added.
void sendSceneMessage(int message);
// The teardown of a new scene: every node goes (device threads stopped).
void deleteAllNodes();
void destroyNode(const std::shared_ptr<NodeData>& node);
// Takes the nodes out of the graph without destroying them: node removed
// callbacks first, while each still answers to its name; returns those
// taken out (a node already out, or taken out by a callback, is not).
std::vector<std::shared_ptr<NodeData>> takeOutOfGraph(
    const std::vector<std::shared_ptr<NodeData>>& nodes);
// Destroys nodes already out of the graph, as deleteNodes does.
void destroyRemovedNodes(const std::vector<std::shared_ptr<NodeData>>& nodes);
// Calls the matching node added (or removed) callbacks for the node.
void notifyGraphChange(NodeData& node, bool added);

// The undo queue (undoQueue.cpp): deletions that MEL's undo takes back.
// A deletion by MEL's delete: the nodes leave the graph but stay allocated.
MStatus deleteNodesUndoably(const std::vector<std::shared_ptr<NodeData>>& nodes);
// Brings back the nodes of the latest deletion queued; false when none is.
bool undoLastDeletion();
// Destroys every node the queue holds, and empties it.
void flushUndoQueue();
// Whether the queue holds a node of the type.
bool undoQueueHolds(const NodeType& type);
std::vector<std::shared_ptr<NodeData>> undoQueueNodes();

// Device nodes (threadedDevice.cpp).
void startDeviceThread(NodeData& node);
// Calls the node's shutdown handler (main thread).
void requestDeviceStop(NodeData& node);
// Waits until the handler thread has returned or the deadline passed; true
// when it has returned.
bool waitDeviceThread(NodeData& node, std::chrono::steady_clock::time_point deadline);
// Both of the above.
bool stopDeviceThread(NodeData& node, std::chrono::steady_clock::time_point deadline);
void joinDeviceThread(NodeData& node);
// For a node that is deliberately never freed: its thread may end on its own.
void detachDeviceThread(NodeData& node);
bool deviceThreadRunning(NodeData& node);
// Under the restarting reading of the thread's lifetime, a node that leaves
// the graph for the undo queue has its thread shut down, and one that comes
// back has it started again if it ran; under the continuous reading both do
// nothing.
void suspendDeviceThread(NodeData& node);
void resumeDeviceThread(NodeData& node);
void onDeviceAttributeSet(NodeData& node, const AttributeData* root);
// Restarts deferred because the old thread outlived the grace period, and
// destruction of pending deleted nodes whose thread has ended.
void finishDeferredDeviceWork();
void registerDeviceAttributes(NodeType& type);
int deviceThreadStarts(NodeData& node);
// Evaluates the node's refresh outputs (idle processing).
void evaluateRefreshOutputs(NodeData& node);

// Time (time.cpp).
void pushTimeToInputs();
const char* curveTypeName(int curveType);
// The output of a time-driven curve at the current time; false for any
// other attribute.
bool curveOutput(const NodeData& node, const AttributeData& attribute, double* value);

// Units (units.cpp).
// Internal units in one UI unit of the kind (1 for unitless and time).
double internalPerUiUnit(UnitKind kind);
double toUi(UnitKind kind, double internal);
double toInternal(UnitKind kind, double ui);
// What a conversion node from one kind to the other multiplies by, under
// the current UI units; 1 when none is needed.
double conversionFactor(UnitKind from, UnitKind to);
// Deletes the conversion nodes that connections made and that have lost
// their input or their output (mel/scene.cpp).
void dropOrphanConversions();
// Runs the MEventMessage callbacks of that event.
void sendEvent(const char* event);
// Maya's internal time unit: ticks of 1/6000 s. A timeToUnitConversion node
// takes the time in ticks.
constexpr double kTicksPerSecond = 6000.0;
// The time in UI frames as a timeToUnitConversion node with this factor
// gives it; false when the node is gone.
bool convertedTime(const std::weak_ptr<NodeData>& conversion, double* value);

// Queues a task for idle processing and wakes a thread waiting for one (any thread).
void queueIdleTask(IdleTask task);

// Commands (commands.cpp, mel/).
MStatus runCommand(const std::string& text);
// Also gives the value of the text's last statement.
MStatus runCommand(const std::string& text, mel::Value* result);
bool isBuiltInProcedure(const std::string& name);
void setCommandResult(const std::string& text, double number);
const std::string& commandResultText();
// appendToResult: the result becomes an array of strings, this one last.
void appendCommandResult(const std::string& text);
// The result's strings when appendToResult made it an array; null otherwise.
const std::vector<std::string>* commandResultStrings();
double commandResultNumber();
void recordError(const std::string& line);
void recordInfo(const std::string& line);

// Plug-in objects (plugin.cpp).
std::shared_ptr<PluginData> pluginData(const MObject& object);
bool registrationFails(const std::string& name);
// Removes what a plug-in left registered; false when some of its node types
// still have nodes (those stay, and so must its module).
bool dropRegistrations(PluginData& plugin);

// Modules (moduleLoader.cpp).
void* openModule(const std::string& path, std::string* error);
void* moduleSymbol(void* module, const char* name);
void closeModule(void* module);
std::string absolutePath(const std::string& path);

std::chrono::steady_clock::time_point graceDeadline();

// The host's rules (hostRules.cpp).
extern const char* const kRuleGraphReadOnlyInCompute;
extern const char* const kRulePlugsOnMainThread;
extern const char* const kRuleApiOnMainThread;
extern const char* const kRulePlugsInParallelCompute;
// Records a breach when an API call other than executeCommandOnIdle and the
// device node's queue, pool and loop calls comes off the main thread (the
// technical note "Threading and Maya API"); `what` names its argument.
void noteApiCall(const char* operation, const std::string& what);
// The calling thread becomes the main thread (host creation, reset()).
void adoptMainThread();
bool onMainThread();
// Marks the calling thread as inside the node's compute for its lifetime.
class ComputeScope {
public:
    explicit ComputeScope(const NodeData& node);
    ~ComputeScope();
    ComputeScope(const ComputeScope&) = delete;
    ComputeScope& operator=(const ComputeScope&) = delete;
};
// Whether a compute runs on this thread.
bool insideCompute();
// Marks the main thread as evaluating a frame of playback for its lifetime:
// computes then run as the parallel evaluation runs them.
class FrameEvaluationScope {
public:
    FrameEvaluationScope();
    ~FrameEvaluationScope();
    FrameEvaluationScope(const FrameEvaluationScope&) = delete;
    FrameEvaluationScope& operator=(const FrameEvaluationScope&) = delete;
};
// Whether the node's compute, asked for on this thread now, runs on an
// evaluation worker: during a frame of playback evaluated in parallel, for
// a node not declared untrusted.
bool computesOnWorker(const MPxNode& node);
// Runs the compute on a worker thread of its own and waits for it; an
// exception it throws is thrown here.
MStatus computeOnWorker(NodeData& node, const MPlug& plug, MDataBlock& block);
// False, with the breach recorded, while a compute runs on this thread: the
// caller then refuses the edit with kFailure. `target` (and `member`, if
// given, as target.member) names what is edited; the name is only put
// together for a breach.
bool graphEditAllowed(const char* operation, const std::string& target,
                      const char* member = nullptr);
// Records a breach when called off the main thread, or from a compute on an
// evaluation worker; the access goes on.
void notePlugAccess(const char* operation, const std::string& node, const char* attribute);

}  // namespace detail
}  // namespace mayahost
