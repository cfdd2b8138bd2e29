// Threaded device nodes: the handler thread's life (start, restart on a
// change of live or frameRate, stop on deletion), the data pools and the
// queue between the node's thread and the main thread.
#include "hostState.h"

#include <mayahost/host.h>

#include <maya/MObjectArray.h>
#include <maya/MPxThreadedDeviceNode.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>
#include <system_error>

using mayahost::detail::Access;
using mayahost::detail::AttributeData;
using mayahost::detail::NodeData;

namespace mayahost {
namespace detail {

constexpr std::size_t kMaxRefreshMarks = 64;

struct DeviceState {
    // Mirrors of live and frameRate for the node's thread.
    std::atomic<bool> live{false};
    std::atomic<double> frameRate{15.0};
    std::atomic<bool> done{false};
    std::chrono::steady_clock::time_point loopStart;  // the node's thread only

    // Main thread.
    std::thread thread;
    bool started = false;
    bool restartPending = false;
    bool suspended = false;  // its thread was shut down as it left the graph
    int starts = 0;
    std::atomic<bool> refreshQueued{false};

    std::mutex endMutex;
    std::condition_variable ended;  // also wakes a thread held at its entry
    bool running = false;
    bool stopRequested = false;  // for the current thread

    // Pools and queue; also the refresh outputs, read by pushThreadData.
    std::mutex poolMutex;
    std::vector<std::unique_ptr<char[]>> storage;
    long bufferSize = 0;
    // All three hold at most the pool count and are reserved to it when the
    // pools are made, so moving a buffer between them never allocates.
    std::vector<char*> freeBuffers;
    std::vector<char*> heldBuffers;
    std::vector<char*> queue;  // oldest first
    std::vector<const AttributeData*> refreshOutputs;
    // The refresh outputs and every attribute they affect, transitively:
    // what a push marks dirty, worked out once instead of once per push.
    std::array<const AttributeData*, kMaxRefreshMarks> refreshMarks{};
    std::size_t refreshMarkCount = 0;
};

namespace {

// Removes ptr from the held buffers; false when it is not one of them.
bool releaseHeld(DeviceState& device, char* ptr) {
    auto held = std::find(device.heldBuffers.begin(), device.heldBuffers.end(), ptr);
    if (held == device.heldBuffers.end()) return false;
    *held = device.heldBuffers.back();
    device.heldBuffers.pop_back();
    return true;
}

}  // namespace

DeviceState* Access::device(MPxThreadedDeviceNode& node) {
    return node.mDevice;
}

void Access::setBuffer(MCharBuffer& buffer, char* ptr, long size) {
    buffer.setPtr(ptr);
    buffer.setSize(size);
}

namespace {

MPxThreadedDeviceNode* deviceNode(NodeData& node) {
    return dynamic_cast<MPxThreadedDeviceNode*>(node.user);
}

DeviceState* stateOf(NodeData& node) {
    MPxThreadedDeviceNode* user = deviceNode(node);
    return user != nullptr ? Access::device(*user) : nullptr;
}

std::shared_ptr<AttributeData> inherited(const char* name, const char* brief,
                                         MFnNumericData::Type type, double value) {
    auto data = std::make_shared<AttributeData>();
    data->name = name;
    data->shortName = brief;
    data->numericType = type;
    data->defaultValue = value;
    data->added = true;
    // Maya does not save live with the scene: a scene opens with its
    // devices off.
    data->storable = std::string(name) != "live";
    return data;
}

void updateMirror(NodeData& node, DeviceState& state, const AttributeData* root) {
    std::lock_guard<std::mutex> lock(node.mutex);
    Slot* slot = node.slot(root);
    if (slot == nullptr) return;
    if (root == attributeData(MPxThreadedDeviceNode::live).get()) state.live.store(slot->b);
    if (root == attributeData(MPxThreadedDeviceNode::frameRate).get()) {
        state.frameRate.store(slot->d);
    }
}

}  // namespace

void registerDeviceAttributes(NodeType& type) {
    for (const MObject* attribute :
         {&MPxThreadedDeviceNode::live, &MPxThreadedDeviceNode::frameRate,
          &MPxThreadedDeviceNode::output}) {
        type.attributes.push_back(attributeData(*attribute));
    }
}

void startDeviceThread(NodeData& node) {
    MPxThreadedDeviceNode* user = deviceNode(node);
    if (user == nullptr) return;
    DeviceState* state = Access::device(*user);
    updateMirror(node, *state, attributeData(MPxThreadedDeviceNode::live).get());
    updateMirror(node, *state, attributeData(MPxThreadedDeviceNode::frameRate).get());
    // done keeps its value: resetting it is the handler's own job.
    {
        std::lock_guard<std::mutex> lock(state->endMutex);
        state->running = true;
        state->stopRequested = false;
    }
    state->started = true;
    ++state->starts;
    const bool entryAfterShutdown = host().entryAfterShutdown.load();
    try {
        if (host().failingThreadStarts.load() > 0) {
            host().failingThreadStarts.fetch_sub(1);
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        state->thread = std::thread([user, state, entryAfterShutdown] {
            if (entryAfterShutdown) {
                std::unique_lock<std::mutex> lock(state->endMutex);
                state->ended.wait(lock, [state] { return state->stopRequested; });
            }
            user->threadHandler();
            std::lock_guard<std::mutex> lock(state->endMutex);
            state->running = false;
            state->ended.notify_all();
        });
    } catch (const std::system_error& error) {
        std::lock_guard<std::mutex> lock(state->endMutex);
        state->running = false;
        std::cerr << "mayahost: cannot start the thread of " << node.name << ": " << error.what()
                  << std::endl;
    }
}

// The shutdown handler is called only for a thread the host runs (started
// and not yet returned), as Maya calls the handlers of the thread it
// manages: a start that failed, or a handler that already returned, gets no
// call, and so leaves the node no stop to hold for a later thread.
void requestDeviceStop(NodeData& node) {
    MPxThreadedDeviceNode* user = deviceNode(node);
    if (user == nullptr || !deviceThreadRunning(node)) return;
    DeviceState* state = Access::device(*user);
    user->threadShutdownHandler();
    std::lock_guard<std::mutex> lock(state->endMutex);
    state->stopRequested = true;
    state->ended.notify_all();
}

bool waitDeviceThread(NodeData& node, std::chrono::steady_clock::time_point deadline) {
    DeviceState* state = stateOf(node);
    if (state == nullptr) return true;
    std::unique_lock<std::mutex> lock(state->endMutex);
    return state->ended.wait_until(lock, deadline, [state] { return !state->running; });
}

bool stopDeviceThread(NodeData& node, std::chrono::steady_clock::time_point deadline) {
    requestDeviceStop(node);
    return waitDeviceThread(node, deadline);
}

void joinDeviceThread(NodeData& node) {
    DeviceState* state = stateOf(node);
    if (state != nullptr && state->thread.joinable()) state->thread.join();
}

void detachDeviceThread(NodeData& node) {
    DeviceState* state = stateOf(node);
    if (state != nullptr && state->thread.joinable()) state->thread.detach();
}

bool deviceThreadRunning(NodeData& node) {
    DeviceState* state = stateOf(node);
    if (state == nullptr) return false;
    std::lock_guard<std::mutex> lock(state->endMutex);
    return state->running;
}

void suspendDeviceThread(NodeData& node) {
    DeviceState* state = stateOf(node);
    if (state == nullptr || host().deviceThreadLifetime.load() !=
                                static_cast<int>(mayahost::DeviceThreadLifetime::kRestarting)) {
        return;
    }
    state->suspended = deviceThreadRunning(node) || state->restartPending;
    state->restartPending = false;
    // A thread that outlives the grace period ends on its own; a resume or
    // the node's destruction waits for it.
    if (stopDeviceThread(node, graceDeadline())) joinDeviceThread(node);
}

void resumeDeviceThread(NodeData& node) {
    DeviceState* state = stateOf(node);
    if (state == nullptr || !state->suspended) return;
    state->suspended = false;
    if (deviceThreadRunning(node)) {
        state->restartPending = true;  // finished in idle processing
        return;
    }
    joinDeviceThread(node);
    startDeviceThread(node);
}

int deviceThreadStarts(NodeData& node) {
    DeviceState* state = stateOf(node);
    return state != nullptr ? state->starts : 0;
}

void onDeviceAttributeSet(NodeData& node, const AttributeData* root) {
    if (root != attributeData(MPxThreadedDeviceNode::live).get() &&
        root != attributeData(MPxThreadedDeviceNode::frameRate).get()) {
        return;
    }
    DeviceState* state = stateOf(node);
    if (state == nullptr) return;
    updateMirror(node, *state, root);
    // Continuous: the thread keeps running, and reads the new values itself.
    if (host().deviceThreadLifetime.load() !=
        static_cast<int>(mayahost::DeviceThreadLifetime::kRestarting)) {
        return;
    }
    // Before the first start (postConstructor) and while a restart waits,
    // the new value is simply picked up by the next start.
    if (!state->started || state->restartPending || !node.alive.load()) return;
    if (stopDeviceThread(node, graceDeadline())) {
        joinDeviceThread(node);
        startDeviceThread(node);
    } else {
        state->restartPending = true;
    }
}

void finishDeferredDeviceWork() {
    Host& h = host();
    std::vector<std::shared_ptr<NodeData>> nodes = h.nodes;
    for (const auto& node : nodes) {
        DeviceState* state = stateOf(*node);
        if (state == nullptr || !state->restartPending || deviceThreadRunning(*node)) continue;
        state->restartPending = false;
        joinDeviceThread(*node);
        startDeviceThread(*node);
    }
    std::vector<std::shared_ptr<NodeData>> still;
    std::vector<std::shared_ptr<NodeData>> pending;
    pending.swap(h.pending);
    for (const auto& node : pending) {
        if (deviceThreadRunning(*node)) {
            still.push_back(node);
        } else {
            joinDeviceThread(*node);
            destroyNode(node);
        }
    }
    h.pending.insert(h.pending.end(), still.begin(), still.end());
}

void evaluateRefreshOutputs(NodeData& node) {
    DeviceState* state = stateOf(node);
    if (state == nullptr) return;
    state->refreshQueued.store(false);
    std::vector<const AttributeData*> outputs;
    {
        std::lock_guard<std::mutex> lock(state->poolMutex);
        outputs = state->refreshOutputs;
    }
    MObject object = Access::object(node.shared_from_this());
    for (const AttributeData* attribute : outputs) {
        MPlug plug(object,
                   Access::object(const_cast<AttributeData*>(attribute)->shared_from_this()));
        evaluatePlug(plug);
    }
}

}  // namespace detail

namespace {
// Replaced as a whole, read by device threads: an atomically swapped pointer.
std::shared_ptr<const ThreadDataObserver> gObserver;
// Lets a push or pop skip the atomic shared-pointer load (a global lock in
// libstdc++) when no test watches the queue, which is every datagram's case.
std::atomic<bool> gObserverSet{false};

std::shared_ptr<const ThreadDataObserver> observer() {
    if (!gObserverSet.load(std::memory_order_acquire)) return nullptr;
    return std::atomic_load(&gObserver);
}
}  // namespace

void setThreadDataObserver(ThreadDataObserver observer) {
    const bool watching = observer.pushed || observer.popped;
    std::atomic_store(&gObserver, std::make_shared<const ThreadDataObserver>(std::move(observer)));
    gObserverSet.store(watching, std::memory_order_release);
}

}  // namespace mayahost

using mayahost::detail::DeviceState;

MAYAHOST_NS_OPEN

MObject MPxThreadedDeviceNode::output =
    Access::object(mayahost::detail::inherited("output", "out", MFnNumericData::kDouble, 0.0));
MObject MPxThreadedDeviceNode::live =
    Access::object(mayahost::detail::inherited("live", "liv", MFnNumericData::kBoolean, 0.0));
MObject MPxThreadedDeviceNode::frameRate =
    Access::object(mayahost::detail::inherited("frameRate", "fr", MFnNumericData::kDouble, 15.0));

MCharBuffer::MCharBuffer() : mPtr(nullptr), mSize(0) {}
MCharBuffer::~MCharBuffer() = default;
char* MCharBuffer::ptr() {
    return mPtr;
}
long MCharBuffer::size() {
    return mSize;
}
void MCharBuffer::setPtr(char* ptr) {
    mPtr = ptr;
}
void MCharBuffer::setSize(long size) {
    mSize = size;
}

MPxThreadedDeviceNode::MPxThreadedDeviceNode() : mDevice(new DeviceState) {}

MPxThreadedDeviceNode::~MPxThreadedDeviceNode() {
    // The host joins the thread before it destroys a node.
    if (mDevice->thread.joinable()) mDevice->thread.join();
    delete mDevice;
}

MPxNode::Type MPxThreadedDeviceNode::type() const {
    return kThreadedDeviceNode;
}
void MPxThreadedDeviceNode::threadHandler() {}
void MPxThreadedDeviceNode::threadShutdownHandler() {
    setDone(true);
}
const char* MPxThreadedDeviceNode::className() {
    return "MPxThreadedDeviceNode";
}

bool MPxThreadedDeviceNode::isLive() {
    return mDevice->live.load();
}
bool MPxThreadedDeviceNode::isDone() {
    return mDevice->done.load();
}
MStatus MPxThreadedDeviceNode::setDone(bool done) {
    mDevice->done.store(done);
    return MStatus::kSuccess;
}

MStatus MPxThreadedDeviceNode::beginThreadLoop() {
    mDevice->loopStart = std::chrono::steady_clock::now();
    return MStatus::kSuccess;
}

MStatus MPxThreadedDeviceNode::endThreadLoop() {
    double rate = mDevice->frameRate.load();
    if (!(rate > 0.0) || !std::isfinite(rate)) return MStatus::kSuccess;
    auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / rate));
    auto until = mDevice->loopStart + period;
    // Sleep in slices so that a shutdown is not held up by a slow rate.
    const auto slice = std::chrono::milliseconds(10);
    for (;;) {
        auto now = std::chrono::steady_clock::now();
        if (now >= until || mDevice->done.load()) break;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(until - now, slice));
    }
    return MStatus::kSuccess;
}

MStatus MPxThreadedDeviceNode::createMemoryPools(int nCount, int nElements, long nSize) {
    if (nCount <= 0 || nElements <= 0 || nSize <= 0) return MStatus::kInvalidParameter;
    // Bounded so that the product cannot overflow.
    if (nCount > 4096 || static_cast<double>(nElements) * static_cast<double>(nSize) > 1 << 30) {
        return MStatus::kInvalidParameter;
    }
    std::lock_guard<std::mutex> lock(mDevice->poolMutex);
    if (!mDevice->storage.empty()) return MStatus::kFailure;
    mDevice->bufferSize = static_cast<long>(nElements) * nSize;
    const auto count = static_cast<std::size_t>(nCount);
    mDevice->freeBuffers.reserve(count);
    mDevice->heldBuffers.reserve(count);
    mDevice->queue.reserve(count);
    for (int i = 0; i < nCount; ++i) {
        mDevice->storage.emplace_back(new char[static_cast<std::size_t>(mDevice->bufferSize)]());
        mDevice->freeBuffers.push_back(mDevice->storage.back().get());
    }
    return MStatus::kSuccess;
}

MStatus MPxThreadedDeviceNode::destroyMemoryPools() {
    std::lock_guard<std::mutex> lock(mDevice->poolMutex);
    mDevice->freeBuffers.clear();
    mDevice->heldBuffers.clear();
    mDevice->queue.clear();
    mDevice->storage.clear();
    mDevice->bufferSize = 0;
    return MStatus::kSuccess;
}

MStatus MPxThreadedDeviceNode::acquireDataStorage(MCharBuffer& buffer) {
    std::lock_guard<std::mutex> lock(mDevice->poolMutex);
    if (mDevice->freeBuffers.empty()) return MStatus::kFailure;
    char* ptr = mDevice->freeBuffers.back();
    mDevice->freeBuffers.pop_back();
    mDevice->heldBuffers.push_back(ptr);
    buffer.setPtr(ptr);
    buffer.setSize(mDevice->bufferSize);
    return MStatus::kSuccess;
}

MStatus MPxThreadedDeviceNode::pushThreadData(MCharBuffer& buffer) {
    // Copied out under the pool's lock and marked under the node's, so the
    // two locks are never held together.
    std::array<const AttributeData*, mayahost::detail::kMaxRefreshMarks> marks;
    std::size_t markCount = 0;
    {
        std::lock_guard<std::mutex> lock(mDevice->poolMutex);
        if (!mayahost::detail::releaseHeld(*mDevice, buffer.ptr()))
            return MStatus::kInvalidParameter;
        mDevice->queue.push_back(buffer.ptr());
        markCount = mDevice->refreshMarkCount;
        std::copy_n(mDevice->refreshMarks.begin(), markCount, marks.begin());
        const auto watcher = mayahost::observer();
        if (watcher && watcher->pushed) watcher->pushed(*this);
    }
    NodeData* node = Access::nodeOf(*this);
    if (node == nullptr) return MStatus::kSuccess;
    mayahost::detail::markAllDirty(*node, marks.data(), markCount);
    if (markCount != 0 && !mDevice->refreshQueued.exchange(true)) {
        mayahost::detail::IdleTask task;
        task.refresh = node->weak_from_this();
        mayahost::detail::queueIdleTask(std::move(task));
    }
    return MStatus::kSuccess;
}

MStatus MPxThreadedDeviceNode::popThreadData(MCharBuffer& buffer) {
    std::lock_guard<std::mutex> lock(mDevice->poolMutex);
    if (mDevice->queue.empty()) return MStatus::kFailure;
    char* ptr = mDevice->queue.front();
    mDevice->queue.erase(mDevice->queue.begin());
    mDevice->heldBuffers.push_back(ptr);
    const auto watcher = mayahost::observer();
    if (watcher && watcher->popped) watcher->popped(*this);
    buffer.setPtr(ptr);
    buffer.setSize(mDevice->bufferSize);
    return MStatus::kSuccess;
}

long MPxThreadedDeviceNode::threadDataCount() {
    std::lock_guard<std::mutex> lock(mDevice->poolMutex);
    return static_cast<long>(mDevice->queue.size());
}

MStatus MPxThreadedDeviceNode::releaseDataStorage(MCharBuffer& buffer) {
    std::lock_guard<std::mutex> lock(mDevice->poolMutex);
    if (!mayahost::detail::releaseHeld(*mDevice, buffer.ptr())) return MStatus::kInvalidParameter;
    mDevice->freeBuffers.push_back(buffer.ptr());
    return MStatus::kSuccess;
}

MStatus MPxThreadedDeviceNode::setRefreshOutputAttributes(const MObjectArray& attributeList) {
    NodeData* node = Access::nodeOf(*this);
    std::vector<const AttributeData*> outputs;
    for (unsigned int i = 0; i < attributeList.length(); ++i) {
        auto data = mayahost::detail::attributeData(attributeList[i]);
        if (!data || (node != nullptr && !node->type->has(data.get()))) {
            return MStatus::kInvalidParameter;
        }
        outputs.push_back(data->root());
    }
    std::vector<const AttributeData*> marks;
    if (node != nullptr) marks = mayahost::detail::affectedClosure(*node, outputs);
    if (marks.size() > mayahost::detail::kMaxRefreshMarks) return MStatus::kInvalidParameter;
    std::lock_guard<std::mutex> lock(mDevice->poolMutex);
    mDevice->refreshOutputs = outputs;
    mDevice->refreshMarkCount = marks.size();
    std::copy(marks.begin(), marks.end(), mDevice->refreshMarks.begin());
    return MStatus::kSuccess;
}

MAYAHOST_NS_CLOSE

namespace mayahost {

void setDeviceThreadLifetime(DeviceThreadLifetime lifetime) {
    detail::host().deviceThreadLifetime.store(static_cast<int>(lifetime));
}

void failDeviceThreadStarts(int count) {
    detail::host().failingThreadStarts.store(count);
}

void setThreadEntryAfterShutdown(bool on) {
    detail::host().entryAfterShutdown.store(on);
}

DeviceThreadLifetime deviceThreadLifetime() {
    return static_cast<DeviceThreadLifetime>(detail::host().deviceThreadLifetime.load());
}

}  // namespace mayahost
