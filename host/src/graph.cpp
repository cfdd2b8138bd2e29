// The dependency graph: node creation and naming, dirty propagation, compute
// on demand, deletion.
#include "hostState.h"

#include <maya/MDataBlock.h>
#include <maya/MPxThreadedDeviceNode.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>
#include <unordered_set>

namespace mayahost {
namespace detail {

namespace {

void teardownAtExit() {
    // Registered more than once (see registerExitTeardown); runs once. Only
    // stops device threads: nothing is freed at exit.
    static std::atomic<bool> ran{false};
    if (ran.exchange(true)) return;
    Host& h = host();
    auto deadline = graceDeadline();
    // Nodes in the graph or the undo queue get their stop now; pending ones
    // had theirs when they were deleted.
    std::vector<std::shared_ptr<NodeData>> running = h.nodes;
    const std::vector<std::shared_ptr<NodeData>> undoable = undoQueueNodes();
    running.insert(running.end(), undoable.begin(), undoable.end());
    for (auto& node : running) {
        if (node->type->kind == MPxNode::kThreadedDeviceNode && node->user != nullptr) {
            requestDeviceStop(*node);
        }
    }
    std::vector<std::shared_ptr<NodeData>> all = running;
    all.insert(all.end(), h.pending.begin(), h.pending.end());
    for (auto& node : all) {
        if (node->type->kind == MPxNode::kThreadedDeviceNode && node->user != nullptr) {
            if (waitDeviceThread(*node, deadline)) joinDeviceThread(*node);
        }
    }
}

}  // namespace

Host& host() {
    static Host* instance = [] {
        auto* h = new Host;
        adoptMainThread();
        // A test program's whole run can take the other reading of Maya's
        // device-thread lifetime.
        const char* lifetime = std::getenv("MAYAHOST_DEVICE_THREADS");
        if (lifetime != nullptr && std::string(lifetime) == "restarting") {
            h->deviceThreadLifetime.store(
                static_cast<int>(mayahost::DeviceThreadLifetime::kRestarting));
        }
        registerBuiltInTypes(*h);
        std::atexit(teardownAtExit);
        return h;
    }();
    return *instance;
}

void registerExitTeardown() {
    std::atexit(teardownAtExit);
}

std::chrono::steady_clock::time_point graceDeadline() {
    return std::chrono::steady_clock::now() +
           std::chrono::milliseconds(host().graceMilliseconds.load());
}

const AttributeData* NodeType::find(const std::string& wanted) const {
    for (const auto& attribute : attributes) {
        if (attribute->name == wanted || attribute->shortName == wanted) return attribute.get();
        for (const auto& child : attribute->children) {
            if (child->name == wanted || child->shortName == wanted) return child.get();
        }
    }
    return nullptr;
}

bool NodeType::has(const AttributeData* attribute) const {
    if (attribute == nullptr) return false;
    const AttributeData* root = attribute->root();
    for (const auto& a : attributes) {
        if (a.get() == root) return true;
    }
    return false;
}

NodeData::~NodeData() = default;

const AttributeData* nodeMessageAttribute() {
    // A static object, not a pointer kept for good: LeakSanitizer reports
    // the latter. Nodes only compare against it.
    static const std::shared_ptr<AttributeData> instance = [] {
        auto attribute = std::make_shared<AttributeData>();
        attribute->name = "message";
        attribute->shortName = "msg";
        attribute->message = true;
        attribute->writable = false;  // a source only
        attribute->storable = false;
        attribute->hidden = true;
        attribute->added = true;
        return attribute;
    }();
    return instance.get();
}

bool isNodeMessageName(const std::string& name) {
    return name == "message" || name == "msg";
}

const AttributeData* NodeData::findAttribute(const std::string& wanted) const {
    if (const AttributeData* own = type->find(wanted)) return own;
    for (const auto& attribute : dynamic) {
        if (attribute->name == wanted || attribute->shortName == wanted) return attribute.get();
    }
    return isNodeMessageName(wanted) ? nodeMessageAttribute() : nullptr;
}

bool NodeData::hasAttribute(const AttributeData* attribute) const {
    if (attribute != nullptr && attribute == nodeMessageAttribute()) return true;
    if (type->has(attribute)) return true;
    for (const auto& own : dynamic) {
        if (own.get() == attribute) return true;
    }
    return false;
}

Slot* NodeData::slot(const AttributeData* root) {
    auto it = values.find(root);
    return it == values.end() ? nullptr : &it->second;
}

std::shared_ptr<NodeData> nodeData(const MObject& node) {
    auto data = Access::data<NodeData>(node, ObjectData::Kind::kNode);
    if (!data || !data->alive.load()) return nullptr;
    return data;
}

std::shared_ptr<NodeData> findNodeByName(const std::string& name) {
    for (const auto& node : host().nodes) {
        if (node->name == name) return node;
    }
    return nullptr;
}

std::string uniqueName(const std::string& wanted, const NodeData* except) {
    auto taken = [&](const std::string& name) {
        auto node = findNodeByName(name);
        return node && node.get() != except;
    };
    if (!taken(wanted)) return wanted;
    std::size_t digits = wanted.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(wanted[digits - 1]))) --digits;
    std::string base = wanted.substr(0, digits);
    // A run of digits too long to count stays part of the base.
    unsigned long long number = 0;
    if (digits < wanted.size() && wanted.size() - digits <= 18) {
        number = std::stoull(wanted.substr(digits));
    } else if (digits < wanted.size()) {
        base = wanted;
    }
    // The numbers taken after this base, gathered in one pass over the
    // scene: a script creating thousands of nodes stays quadratic at worst.
    std::unordered_set<std::string> takenSuffixes;
    for (const auto& node : host().nodes) {
        if (node.get() != except && node->name.size() > base.size() &&
            node->name.compare(0, base.size(), base) == 0) {
            takenSuffixes.insert(node->name.substr(base.size()));
        }
    }
    for (;;) {
        ++number;
        std::string suffix = std::to_string(number);
        if (takenSuffixes.count(suffix) == 0) return base + suffix;
    }
}

std::shared_ptr<NodeData> createNodeOfType(const std::string& typeName, MStatus* status) {
    if (!graphEditAllowed("create node", typeName)) {
        if (status != nullptr) *status = MStatus::kFailure;
        return nullptr;
    }
    Host& h = host();
    auto found = h.types.find(typeName);
    if (found == h.types.end()) {
        if (status != nullptr) *status = MStatus::kInvalidParameter;
        return nullptr;
    }
    auto node = std::make_shared<NodeData>();
    node->type = found->second;
    for (const auto& attribute : node->type->attributes) {
        if (attribute->array) {
            node->arrays[attribute.get()];
        } else {
            attribute->initialize(node->values[attribute.get()]);
        }
    }
    // Outputs start dirty so that the first read computes them.
    for (const auto& entry : node->type->affects) {
        for (const AttributeData* affected : entry.second) node->dirty.insert(affected);
    }
    node->name = uniqueName(typeName + "1", nullptr);
    if (node->type->creator != nullptr) {
        void* created = node->type->creator();
        if (created == nullptr) {
            if (status != nullptr) *status = MStatus::kFailure;
            return nullptr;
        }
        node->user = static_cast<MPxNode*>(created);
        Access::nodeOf(*node->user) = node.get();
    }
    h.nodes.push_back(node);
    ++node->type->liveNodes;
    if (node->user != nullptr) {
        node->user->postConstructor();
        if (node->type->kind == MPxNode::kThreadedDeviceNode) startDeviceThread(*node);
    }
    notifyGraphChange(*node, true);
    if (status != nullptr) *status = MStatus::kSuccess;
    return node;
}

std::vector<const AttributeData*> affectedClosure(const NodeData& node,
                                                  const std::vector<const AttributeData*>& roots) {
    const auto& affects = node.type->affects;
    std::vector<const AttributeData*> closure;
    std::vector<const AttributeData*> work;
    for (const AttributeData* root : roots) {
        if (std::find(closure.begin(), closure.end(), root) != closure.end()) continue;
        closure.push_back(root);
        work.push_back(root);
    }
    while (!work.empty()) {
        const AttributeData* current = work.back();
        work.pop_back();
        auto it = affects.find(current);
        if (it == affects.end()) continue;
        for (const AttributeData* affected : it->second) {
            if (std::find(closure.begin(), closure.end(), affected) != closure.end()) continue;
            closure.push_back(affected);
            work.push_back(affected);
        }
    }
    return closure;
}

void markAllDirty(NodeData& node, const AttributeData* const* attributes, std::size_t count) {
    std::lock_guard<std::mutex> lock(node.mutex);
    for (std::size_t i = 0; i < count; ++i) node.dirty.insert(attributes[i]);
}

void markDirtyFrom(NodeData& node, const AttributeData* changed) {
    // The changed attribute leads the closure; only what it affects turns dirty.
    const std::vector<const AttributeData*> closure = affectedClosure(node, {changed->root()});
    markAllDirty(node, closure.data() + 1, closure.size() - 1);
}

MStatus evaluatePlug(const MPlug& plug) {
    auto node = nodeData(Access::plugNode(plug));
    auto attribute = attributeData(Access::plugAttribute(plug));
    if (!node || !attribute) return MStatus::kInvalidParameter;
    const AttributeData* root = attribute->root();
    {
        std::lock_guard<std::mutex> lock(node->mutex);
        if (!node->dirty.isDirty(root, Access::plugIndex(plug))) return MStatus::kSuccess;
    }
    if (node->user == nullptr) {
        std::lock_guard<std::mutex> lock(node->mutex);
        node->dirty.erase(root);
        return MStatus::kSuccess;
    }
    // A compute that reads its own output gets the stored value.
    if (node->computing.count(root) != 0) return MStatus::kSuccess;
    node->computing.insert(root);
    ++node->computeCount;
    MDataBlock block = Access::block(node.get());
    MStatus status;
    if (computesOnWorker(*node->user)) {
        status = computeOnWorker(*node, plug, block);
    } else {
        const ComputeScope scope(*node);
        status = node->user->compute(plug, block);
    }
    node->computing.erase(root);
    return status;
}

void notifyAttributeSet(NodeData& node, const MPlug& plug) {
    std::vector<NodeCallbackEntry> callbacks;
    for (const auto& entry : host().nodeCallbacks) {
        if (entry.second.node.lock().get() == &node) callbacks.push_back(entry.second);
    }
    const auto message = static_cast<MNodeMessage::AttributeMessage>(
        MNodeMessage::kAttributeSet | MNodeMessage::kIncomingDirection);
    for (const NodeCallbackEntry& callback : callbacks) {
        MPlug changed(plug);
        MPlug other;
        callback.function(message, changed, other, callback.clientData);
    }
}

void afterValueSet(NodeData& node, const AttributeData* root) {
    markDirtyFrom(node, root);
    if (node.type->kind == MPxNode::kThreadedDeviceNode) onDeviceAttributeSet(node, root);
}

void destroyNode(const std::shared_ptr<NodeData>& node) {
    MPxNode* user = node->user;
    node->user = nullptr;
    delete user;
    std::lock_guard<std::mutex> lock(node->mutex);
    node->values.clear();
    node->arrays.clear();
    node->builders.clear();
    node->strings.clear();
    node->dirty.clear();
}

void notifyGraphChange(NodeData& node, bool added) {
    std::vector<GraphCallbackEntry> callbacks;
    for (const auto& entry : host().graphCallbacks) {
        const GraphCallbackEntry& callback = entry.second;
        if (callback.added == added &&
            (callback.nodeType == "dependNode" || callback.nodeType == node.type->name)) {
            callbacks.push_back(callback);
        }
    }
    for (const GraphCallbackEntry& callback : callbacks) {
        MObject object = Access::object(node.shared_from_this());
        callback.function(object, callback.clientData);
    }
}

std::vector<std::shared_ptr<NodeData>> takeOutOfGraph(
    const std::vector<std::shared_ptr<NodeData>>& nodes) {
    std::vector<std::shared_ptr<NodeData>> leaving;
    for (const auto& node : nodes) {
        if (node && node->alive.load() &&
            std::find(leaving.begin(), leaving.end(), node) == leaving.end()) {
            leaving.push_back(node);
        }
    }
    for (const auto& node : leaving) {
        if (node->alive.load()) notifyGraphChange(*node, false);
    }
    Host& h = host();
    std::vector<std::shared_ptr<NodeData>> removed;
    for (const auto& node : leaving) {
        if (!node->alive.exchange(false)) continue;
        h.nodes.erase(std::remove(h.nodes.begin(), h.nodes.end(), node), h.nodes.end());
        --node->type->liveNodes;
        removed.push_back(node);
    }
    return removed;
}

void destroyRemovedNodes(const std::vector<std::shared_ptr<NodeData>>& nodes) {
    Host& h = host();
    std::vector<std::shared_ptr<NodeData>> devices;
    for (const auto& node : nodes) {
        if (node->type->kind == MPxNode::kThreadedDeviceNode && node->user != nullptr) {
            devices.push_back(node);
        } else {
            destroyNode(node);
        }
    }
    if (devices.empty()) return;
    // Ask every thread to stop before waiting for any of them.
    for (const auto& node : devices) requestDeviceStop(*node);
    auto deadline = graceDeadline();
    for (const auto& node : devices) {
        if (waitDeviceThread(*node, deadline)) {
            joinDeviceThread(*node);
            destroyNode(node);
        } else {
            // Its thread still runs: keep the object until the thread ends.
            h.pending.push_back(node);
        }
    }
}

MStatus deleteNodes(const std::vector<std::shared_ptr<NodeData>>& nodes) {
    for (const auto& node : nodes) {
        if (node && node->alive.load() && !graphEditAllowed("delete node", node->name)) {
            return MStatus::kFailure;
        }
    }
    destroyRemovedNodes(takeOutOfGraph(nodes));
    // A conversion node goes with the connection it served.
    dropOrphanConversions();
    return MStatus::kSuccess;
}

}  // namespace detail
}  // namespace mayahost
