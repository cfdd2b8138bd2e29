// The undo queue, as far as deletion needs it: MEL's delete takes nodes out
// of the graph but keeps them, with their names and links, until undo
// brings them back or the queue is flushed (flushUndo, a new scene, reset).
#include "hostState.h"
#include "mel/scene.h"

#include <algorithm>

namespace mayahost {
namespace detail {

namespace {

struct Deletion {
    std::vector<std::shared_ptr<NodeData>> nodes;  // in the order they left
    mel::DetachedLinks links;
};

// Oldest first; never destroyed, so that the exit teardown can still stop
// the threads of the nodes it holds.
std::vector<Deletion>& queue() {
    static auto* instance = new std::vector<Deletion>;
    return *instance;
}

}  // namespace

MStatus deleteNodesUndoably(const std::vector<std::shared_ptr<NodeData>>& nodes) {
    for (const auto& node : nodes) {
        if (node && node->alive.load() && !graphEditAllowed("delete node", node->name)) {
            return MStatus::kFailure;
        }
    }
    Deletion deletion;
    deletion.nodes = takeOutOfGraph(nodes);
    deletion.links = mel::detachLinks(deletion.nodes);
    // Conversion nodes go with the connections they served, into the same
    // entry, so that undo brings the whole path back.
    const std::vector<std::shared_ptr<NodeData>> orphans =
        takeOutOfGraph(mel::takeOrphanConversions());
    mel::DetachedLinks orphanLinks = mel::detachLinks(orphans);
    deletion.links.connections.insert(deletion.links.connections.end(),
                                      orphanLinks.connections.begin(),
                                      orphanLinks.connections.end());
    for (const auto& node : orphans) {
        deletion.nodes.push_back(node);
        deletion.links.conversions.push_back(node);
    }
    if (deletion.nodes.empty()) return MStatus::kSuccess;
    for (const auto& node : deletion.nodes) suspendDeviceThread(*node);
    queue().push_back(std::move(deletion));
    return MStatus::kSuccess;
}

bool undoLastDeletion() {
    if (queue().empty()) return false;
    Deletion deletion = std::move(queue().back());
    queue().pop_back();
    Host& h = host();
    for (const auto& node : deletion.nodes) {
        // Its name may have been given to a node made since.
        node->name = uniqueName(node->name, node.get());
        node->alive.store(true);
        h.nodes.push_back(node);
        ++node->type->liveNodes;
    }
    mel::restoreLinks(deletion.links);
    for (const auto& node : deletion.nodes) resumeDeviceThread(*node);
    for (const auto& node : deletion.nodes) {
        if (node->alive.load()) notifyGraphChange(*node, true);
    }
    return true;
}

void flushUndoQueue() {
    std::vector<Deletion> flushed;
    flushed.swap(queue());
    std::vector<std::shared_ptr<NodeData>> nodes;
    for (const Deletion& deletion : flushed) {
        nodes.insert(nodes.end(), deletion.nodes.begin(), deletion.nodes.end());
    }
    destroyRemovedNodes(nodes);
}

bool undoQueueHolds(const NodeType& type) {
    for (const Deletion& deletion : queue()) {
        for (const auto& node : deletion.nodes) {
            if (node->type.get() == &type) return true;
        }
    }
    return false;
}

std::vector<std::shared_ptr<NodeData>> undoQueueNodes() {
    std::vector<std::shared_ptr<NodeData>> nodes;
    for (const Deletion& deletion : queue()) {
        nodes.insert(nodes.end(), deletion.nodes.begin(), deletion.nodes.end());
    }
    return nodes;
}

}  // namespace detail
}  // namespace mayahost
