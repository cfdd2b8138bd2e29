// MPlug: addressing values of a node, reading them (computing dirty outputs
// first) and writing them (propagating dirtiness).
#include "hostState.h"

#include <maya/MPlug.h>

#include <cmath>
#include <limits>

using mayahost::detail::Access;
using mayahost::detail::AttributeData;
using mayahost::detail::NodeData;
using mayahost::detail::Slot;

namespace {

struct Target {
    std::shared_ptr<NodeData> node;
    std::shared_ptr<AttributeData> attribute;
};

Target resolve(const MPlug& plug) {
    Target t;
    t.node = mayahost::detail::nodeData(Access::plugNode(plug));
    t.attribute = mayahost::detail::attributeData(Access::plugAttribute(plug));
    if (t.attribute && t.node && !t.node->hasAttribute(t.attribute.get())) t.attribute.reset();
    return t;
}

void setStatus(MStatus* status, MStatus value) {
    if (status != nullptr) *status = value;
}

int toInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (v <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(v);
}

// The slot of the plug, or nullptr; the node's mutex must be held. A missing
// array element is created when `create` is set.
Slot* slotOf(NodeData& node, const AttributeData& attribute, int index, bool create) {
    const AttributeData* root = attribute.root();
    if (!root->array) return node.slot(root);
    if (index < 0) return nullptr;
    auto& elements = node.arrays[root];
    auto it = elements.find(static_cast<unsigned int>(index));
    if (it != elements.end()) return &it->second;
    if (!create) return nullptr;
    Slot& slot = elements[static_cast<unsigned int>(index)];
    root->initialize(slot);
    return &slot;
}

double readPrimary(const AttributeData& attribute, const Slot& slot) {
    if (attribute.childIndex >= 0) {
        return attribute.numericType == MFnNumericData::kDouble ? slot.d3[attribute.childIndex]
                                                                : slot.f3[attribute.childIndex];
    }
    switch (attribute.numericType) {
        case MFnNumericData::kBoolean:
            return slot.b ? 1.0 : 0.0;
        case MFnNumericData::kByte:
        case MFnNumericData::kChar:
        case MFnNumericData::kShort:
        case MFnNumericData::kInt:
            return slot.i;
        case MFnNumericData::kFloat:
            return slot.f;
        default:
            return slot.d;
    }
}

void writePrimary(const AttributeData& attribute, Slot& slot, double value) {
    if (attribute.childIndex >= 0) {
        if (attribute.numericType == MFnNumericData::kDouble) {
            slot.d3[attribute.childIndex] = value;
        } else {
            slot.f3[attribute.childIndex] = static_cast<float>(value);
        }
        return;
    }
    switch (attribute.numericType) {
        case MFnNumericData::kBoolean:
            slot.b = value != 0.0;
            break;
        case MFnNumericData::kByte:
        case MFnNumericData::kChar:
        case MFnNumericData::kShort:
        case MFnNumericData::kInt:
            slot.i = toInt(value);
            break;
        case MFnNumericData::kFloat:
            slot.f = static_cast<float>(value);
            break;
        default:
            slot.d = value;
            break;
    }
}

MStatus read(const MPlug& plug, double& value) {
    Target t = resolve(plug);
    if (!t.node || !t.attribute || t.attribute->isTriple()) return MStatus::kInvalidParameter;
    mayahost::detail::notePlugAccess("MPlug read", t.node->name, t.attribute->name.c_str());
    if (t.attribute->root()->array && Access::plugIndex(plug) < 0)
        return MStatus::kInvalidParameter;
    if (t.node->type->curveType >= 0 &&
        mayahost::detail::curveOutput(*t.node, *t.attribute, &value)) {
        return MStatus::kSuccess;
    }
    mayahost::detail::evaluatePlug(plug);
    std::lock_guard<std::mutex> lock(t.node->mutex);
    Slot* slot = slotOf(*t.node, *t.attribute, Access::plugIndex(plug), false);
    if (slot == nullptr) {
        // An element never written reads as the default.
        Slot fresh;
        t.attribute->root()->initialize(fresh);
        value = readPrimary(*t.attribute, fresh);
    } else {
        value = readPrimary(*t.attribute, *slot);
    }
    return MStatus::kSuccess;
}

MStatus write(const MPlug& plug, double value) {
    Target t = resolve(plug);
    if (!t.node || !t.attribute || t.attribute->isTriple()) return MStatus::kInvalidParameter;
    mayahost::detail::notePlugAccess("MPlug write", t.node->name, t.attribute->name.c_str());
    if (!mayahost::detail::graphEditAllowed("MPlug write", t.node->name,
                                            t.attribute->name.c_str())) {
        return MStatus::kFailure;
    }
    {
        std::lock_guard<std::mutex> lock(t.node->mutex);
        Slot* slot = slotOf(*t.node, *t.attribute, Access::plugIndex(plug), true);
        if (slot == nullptr) return MStatus::kInvalidParameter;
        writePrimary(*t.attribute, *slot, value);
    }
    mayahost::detail::afterValueSet(*t.node, t.attribute->root());
    // Only the main thread's sets: a plug set elsewhere is already a breach.
    if (mayahost::detail::onMainThread()) mayahost::detail::notifyAttributeSet(*t.node, plug);
    return MStatus::kSuccess;
}

}  // namespace

namespace mayahost {
namespace detail {

MPlug Access::plug(const MObject& node, const MObject& attribute, int index) {
    MPlug result(node, attribute);
    result.mIndex = index;
    return result;
}

}  // namespace detail
}  // namespace mayahost

MAYAHOST_NS_OPEN

MPlug::MPlug() : mIndex(-1) {}
MPlug::MPlug(const MPlug& other) = default;
MPlug::MPlug(const MObject& node, const MObject& attribute)
    : mNode(node), mAttribute(attribute), mIndex(-1) {}
MPlug::~MPlug() = default;
MPlug& MPlug::operator=(const MPlug& other) = default;

MObject MPlug::attribute(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, mAttribute.isNull() ? MStatus::kInvalidParameter : MStatus::kSuccess);
    return mAttribute;
}

MObject MPlug::node(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, mNode.isNull() ? MStatus::kInvalidParameter : MStatus::kSuccess);
    return mNode;
}

bool MPlug::isNull(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, MStatus::kSuccess);
    return mNode.isNull() || mAttribute.isNull();
}

bool MPlug::isArray(MStatus* ReturnStatus) const {
    auto a = mayahost::detail::attributeData(mAttribute);
    setStatus(ReturnStatus, a ? MStatus::kSuccess : MStatus::kInvalidParameter);
    return a && a->array && mIndex < 0;
}

bool MPlug::isElement(MStatus* ReturnStatus) const {
    auto a = mayahost::detail::attributeData(mAttribute);
    setStatus(ReturnStatus, a ? MStatus::kSuccess : MStatus::kInvalidParameter);
    return a && a->array && mIndex >= 0;
}

bool MPlug::isChild(MStatus* ReturnStatus) const {
    auto a = mayahost::detail::attributeData(mAttribute);
    setStatus(ReturnStatus, a ? MStatus::kSuccess : MStatus::kInvalidParameter);
    return a && !a->parent.expired();
}

bool MPlug::isCompound(MStatus* ReturnStatus) const {
    auto a = mayahost::detail::attributeData(mAttribute);
    setStatus(ReturnStatus, a ? MStatus::kSuccess : MStatus::kInvalidParameter);
    return a && a->isTriple();
}

unsigned int MPlug::logicalIndex(MStatus* ReturnStatus) const {
    bool element = isElement();
    setStatus(ReturnStatus, element ? MStatus::kSuccess : MStatus::kInvalidParameter);
    return element ? static_cast<unsigned int>(mIndex) : 0u;
}

MPlug MPlug::parent(MStatus* ReturnStatus) const {
    auto a = mayahost::detail::attributeData(mAttribute);
    auto p = a ? a->parent.lock() : nullptr;
    if (!p) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MPlug();
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    return Access::plug(mNode, Access::object(p), mIndex);
}

MPlug MPlug::array(MStatus* ReturnStatus) const {
    if (!isElement()) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MPlug();
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    return Access::plug(mNode, mAttribute, -1);
}

MPlug MPlug::elementByLogicalIndex(unsigned int logicalIndex, MStatus* ReturnStatus) const {
    auto a = mayahost::detail::attributeData(mAttribute);
    if (!a || !a->array || mIndex >= 0 ||
        logicalIndex > static_cast<unsigned int>(std::numeric_limits<int>::max())) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MPlug();
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    return Access::plug(mNode, mAttribute, static_cast<int>(logicalIndex));
}

MPlug MPlug::child(unsigned int index, MStatus* ReturnStatus) const {
    auto a = mayahost::detail::attributeData(mAttribute);
    if (!a || index >= a->children.size()) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MPlug();
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    return Access::plug(mNode, Access::object(a->children[index]), mIndex);
}

MStatus MPlug::getValue(double& value) const {
    return read(*this, value);
}
MStatus MPlug::getValue(float& value) const {
    double v = 0.0;
    MStatus s = read(*this, v);
    if (s) value = static_cast<float>(v);
    return s;
}
MStatus MPlug::getValue(int& value) const {
    double v = 0.0;
    MStatus s = read(*this, v);
    if (s) value = toInt(v);
    return s;
}
MStatus MPlug::getValue(bool& value) const {
    double v = 0.0;
    MStatus s = read(*this, v);
    if (s) value = v != 0.0;
    return s;
}

MStatus MPlug::setValue(double value) {
    return write(*this, value);
}
MStatus MPlug::setValue(float value) {
    return write(*this, value);
}
MStatus MPlug::setValue(int value) {
    return write(*this, value);
}
MStatus MPlug::setValue(bool value) {
    return write(*this, value ? 1.0 : 0.0);
}
MStatus MPlug::setDouble(double value) {
    return write(*this, value);
}
MStatus MPlug::setFloat(float value) {
    return write(*this, value);
}
MStatus MPlug::setInt(int value) {
    return write(*this, value);
}
MStatus MPlug::setBool(bool value) {
    return write(*this, value ? 1.0 : 0.0);
}

double MPlug::asDouble(MStatus* ReturnStatus) const {
    double v = 0.0;
    setStatus(ReturnStatus, getValue(v));
    return v;
}
float MPlug::asFloat(MStatus* ReturnStatus) const {
    float v = 0.0f;
    setStatus(ReturnStatus, getValue(v));
    return v;
}
MString MPlug::asString(MStatus* ReturnStatus) const {
    Target t = resolve(*this);
    if (!t.node || !t.attribute || !t.attribute->text) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MString();
    }
    mayahost::detail::notePlugAccess("MPlug read", t.node->name, t.attribute->name.c_str());
    std::lock_guard<std::mutex> lock(t.node->mutex);
    const auto it = t.node->strings.find(t.attribute.get());
    setStatus(ReturnStatus, MStatus::kSuccess);
    return MString(it == t.node->strings.end() ? "" : it->second.c_str());
}

MStatus MPlug::setString(const MString& value) {
    Target t = resolve(*this);
    if (!t.node || !t.attribute || !t.attribute->text) return MStatus::kInvalidParameter;
    mayahost::detail::notePlugAccess("MPlug write", t.node->name, t.attribute->name.c_str());
    if (!mayahost::detail::graphEditAllowed("MPlug write", t.node->name,
                                            t.attribute->name.c_str())) {
        return MStatus::kFailure;
    }
    {
        std::lock_guard<std::mutex> lock(t.node->mutex);
        t.node->strings[t.attribute.get()] = Access::text(value);
    }
    mayahost::detail::afterValueSet(*t.node, t.attribute.get());
    if (mayahost::detail::onMainThread()) mayahost::detail::notifyAttributeSet(*t.node, *this);
    return MStatus::kSuccess;
}

int MPlug::asInt(MStatus* ReturnStatus) const {
    int v = 0;
    setStatus(ReturnStatus, getValue(v));
    return v;
}
bool MPlug::asBool(MStatus* ReturnStatus) const {
    bool v = false;
    setStatus(ReturnStatus, getValue(v));
    return v;
}

bool MPlug::operator==(const MPlug& other) const {
    return mNode == other.mNode && mAttribute == other.mAttribute && mIndex == other.mIndex;
}
bool MPlug::operator==(const MObject& attribute) const {
    return !mAttribute.isNull() && mAttribute == attribute;
}
bool MPlug::operator!=(const MPlug& other) const {
    return !(*this == other);
}
bool MPlug::operator!=(const MObject& attribute) const {
    return !(*this == attribute);
}

MAYAHOST_NS_CLOSE
