// MPxNode, MFnDependencyNode and MDGModifier.
#include "hostState.h"

#include <maya/MDGModifier.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPxNode.h>

#include <algorithm>

using mayahost::detail::Access;
using mayahost::detail::AttributeData;
using mayahost::detail::NodeData;

namespace {

void setStatus(MStatus* status, MStatus value) {
    if (status != nullptr) *status = value;
}

std::shared_ptr<NodeData> attachedNode(const MFnBase& fn, MStatus* status) {
    auto node = mayahost::detail::nodeData(Access::fnObject(fn));
    setStatus(status, node ? MStatus::kSuccess : MStatus::kInvalidParameter);
    return node;
}

bool validName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name) {
        bool ok =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) return false;
    }
    return !(name[0] >= '0' && name[0] <= '9');
}

}  // namespace

MAYAHOST_NS_OPEN

MPxNode::MPxNode() : mNodeData(nullptr) {}
MPxNode::~MPxNode() = default;
void MPxNode::postConstructor() {}
MStatus MPxNode::compute(const MPlug&, MDataBlock&) {
    return MStatus::kUnknownParameter;
}
MPxNode::Type MPxNode::type() const {
    return kDependNode;
}
MTypeId MPxNode::typeId() const {
    return mNodeData != nullptr ? MTypeId(mNodeData->type->id) : MTypeId();
}
MString MPxNode::typeName() const {
    return mNodeData != nullptr ? MString(mNodeData->type->name.c_str()) : MString();
}
MString MPxNode::name() const {
    return mNodeData != nullptr ? MString(mNodeData->name.c_str()) : MString();
}
MObject MPxNode::thisMObject() const {
    if (mNodeData == nullptr) return MObject();
    return Access::object(mNodeData->shared_from_this());
}

MPxNode::SchedulingType MPxNode::schedulingType() const {
    return kDefaultScheduling;
}

MStatus MPxNode::addAttribute(const MObject& attr) {
    auto& h = mayahost::detail::host();
    if (h.initializing == nullptr) return MStatus::kFailure;
    auto data = mayahost::detail::attributeData(attr);
    if (!data || data->added || !data->parent.expired()) return MStatus::kInvalidParameter;
    // Every node has "message" already.
    auto clash = [&](const std::string& n) {
        return h.initializing->find(n) != nullptr || mayahost::detail::isNodeMessageName(n);
    };
    if (clash(data->name) || clash(data->shortName)) return MStatus::kInvalidParameter;
    for (const auto& child : data->children) {
        if (clash(child->name) || clash(child->shortName)) return MStatus::kInvalidParameter;
    }
    data->added = true;
    for (auto& child : data->children) child->added = true;
    h.initializing->attributes.push_back(data);
    return MStatus::kSuccess;
}

MStatus MPxNode::attributeAffects(const MObject& whenChanges, const MObject& isAffected) {
    auto& h = mayahost::detail::host();
    if (h.initializing == nullptr) return MStatus::kFailure;
    auto from = mayahost::detail::attributeData(whenChanges);
    auto to = mayahost::detail::attributeData(isAffected);
    if (!from || !to || !h.initializing->has(from.get()) || !h.initializing->has(to.get())) {
        return MStatus::kInvalidParameter;
    }
    auto& list = h.initializing->affects[from->root()];
    if (std::find(list.begin(), list.end(), to->root()) == list.end()) {
        list.push_back(to->root());
    }
    return MStatus::kSuccess;
}

MStatus MPxNode::attributeAffects(const MObject& whenChanges, const MObject& isAffected, bool) {
    return attributeAffects(whenChanges, isAffected);
}

MFn::Type MFnDependencyNode::type() const {
    return MFn::kDependencyNode;
}
MFnDependencyNode::~MFnDependencyNode() = default;
const char* MFnDependencyNode::className() {
    return "MFnDependencyNode";
}
MFnDependencyNode::MFnDependencyNode(MObject& object, MStatus* ReturnStatus) {
    mayahost::detail::noteApiCall("MFnDependencyNode", "a node");
    setStatus(ReturnStatus, setObject(object));
}
MFnDependencyNode::MFnDependencyNode(const MObject& object, MStatus* ReturnStatus) {
    mayahost::detail::noteApiCall("MFnDependencyNode", "a node");
    setStatus(ReturnStatus, setObject(object));
}

MTypeId MFnDependencyNode::typeId(MStatus* ReturnStatus) const {
    auto node = attachedNode(*this, ReturnStatus);
    return node ? MTypeId(node->type->id) : MTypeId();
}

MString MFnDependencyNode::typeName(MStatus* ReturnStatus) const {
    auto node = attachedNode(*this, ReturnStatus);
    return node ? MString(node->type->name.c_str()) : MString();
}

MString MFnDependencyNode::name(MStatus* ReturnStatus) const {
    auto node = attachedNode(*this, ReturnStatus);
    return node ? MString(node->name.c_str()) : MString();
}

MString MFnDependencyNode::setName(const MString& name, bool, MStatus* ReturnStatus) {
    auto node = attachedNode(*this, ReturnStatus);
    if (!node) return MString();
    const std::string& wanted = Access::text(name);
    if (!mayahost::detail::graphEditAllowed("MFnDependencyNode::setName", node->name)) {
        setStatus(ReturnStatus, MStatus::kFailure);
        return MString(node->name.c_str());
    }
    if (!validName(wanted)) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MString(node->name.c_str());
    }
    node->name = mayahost::detail::uniqueName(wanted, node.get());
    return MString(node->name.c_str());
}

MString MFnDependencyNode::setName(const MString& name, MStatus* ReturnStatus) {
    return setName(name, false, ReturnStatus);
}

MPxNode* MFnDependencyNode::userNode(MStatus* ReturnStatus) const {
    auto node = attachedNode(*this, ReturnStatus);
    if (!node) return nullptr;
    if (node->user == nullptr) setStatus(ReturnStatus, MStatus::kInvalidParameter);
    return node->user;
}

MDGModifier::MDGModifier() : mDone(false) {}
MDGModifier::~MDGModifier() = default;

MStatus MDGModifier::deleteNode(const MObject& node) {
    if (!mayahost::detail::nodeData(node)) return MStatus::kInvalidParameter;
    mDeletions.push_back(node);
    return MStatus::kSuccess;
}

MStatus MDGModifier::deleteNode(const MObject& node, bool) {
    return deleteNode(node);
}

MStatus MDGModifier::doIt() {
    mayahost::detail::noteApiCall("MDGModifier::doIt", "the graph");
    if (!mayahost::detail::graphEditAllowed("MDGModifier::doIt", "the graph")) {
        return MStatus::kFailure;
    }
    std::vector<std::shared_ptr<NodeData>> nodes;
    for (const MObject& object : mDeletions) {
        auto node = mayahost::detail::nodeData(object);
        if (node) nodes.push_back(node);
    }
    mDeletions.clear();
    mDone = true;
    return mayahost::detail::deleteNodes(nodes);
}

MStatus MDGModifier::undoIt() {
    return mDone ? MStatus::kNotImplemented : MStatus::kSuccess;
}

MAYAHOST_NS_CLOSE
