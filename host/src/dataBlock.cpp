// The data block handed to compute, and the handles and builders into it.
#include "hostState.h"

#include <maya/MArrayDataBuilder.h>
#include <maya/MArrayDataHandle.h>
#include <maya/MDataBlock.h>
#include <maya/MDataHandle.h>

using mayahost::detail::Access;
using mayahost::detail::AttributeData;
using mayahost::detail::NodeData;
using mayahost::detail::Slot;

namespace mayahost {
namespace detail {

struct BuilderData {
    NodeData* node = nullptr;
    const AttributeData* attribute = nullptr;
    std::map<unsigned int, Slot> elements;
};

// An evaluation usually rebuilds an array with the same indices it had:
// then the values are copied over in place, with no map nodes made or freed.
void assignElements(std::map<unsigned int, Slot>& to, const std::map<unsigned int, Slot>& from) {
    if (to.size() == from.size()) {
        auto target = to.begin();
        auto source = from.begin();
        while (source != from.end() && target->first == source->first) {
            ++target;
            ++source;
        }
        if (source == from.end()) {
            for (target = to.begin(), source = from.begin(); source != from.end();
                 ++target, ++source) {
                target->second = source->second;
            }
            return;
        }
    }
    to = from;
}

MDataBlock Access::block(NodeData* node) {
    MDataBlock block;
    block.mNode = node;
    return block;
}

MDataHandle Access::handle(NodeData* node, const AttributeData* attribute, Slot* slot) {
    MDataHandle handle;
    handle.mNode = node;
    handle.mAttribute = attribute;
    handle.mSlot = slot;
    return handle;
}

MArrayDataHandle Access::arrayHandle(NodeData* node, const AttributeData* attribute) {
    MArrayDataHandle handle;
    handle.mNode = node;
    handle.mAttribute = attribute;
    return handle;
}

}  // namespace detail
}  // namespace mayahost

namespace {

void setStatus(MStatus* status, MStatus value) {
    if (status != nullptr) *status = value;
}

// What a handle without a value refers to, so that accessors never hand out
// a dangling reference.
Slot& scratch() {
    thread_local Slot slot;
    slot = Slot();
    return slot;
}

// The attribute on the block's node, or nullptr when it is not one of it.
const AttributeData* onNode(NodeData* node, const MObject& attribute) {
    auto data = mayahost::detail::attributeData(attribute);
    if (node == nullptr || !data || !node->type->has(data.get())) return nullptr;
    return data.get();
}

void store(const AttributeData* attribute, Slot& slot, double value) {
    if (attribute != nullptr && attribute->childIndex >= 0) {
        if (attribute->numericType == MFnNumericData::kDouble) {
            slot.d3[attribute->childIndex] = value;
        } else {
            slot.f3[attribute->childIndex] = static_cast<float>(value);
        }
        return;
    }
    slot.b = value != 0.0;
    slot.i = static_cast<int>(value);
    slot.f = static_cast<float>(value);
    slot.d = value;
}

}  // namespace

MAYAHOST_NS_OPEN

MDataBlock::MDataBlock() : mNode(nullptr) {}
MDataBlock::MDataBlock(const MDataBlock& other) = default;
MDataBlock::~MDataBlock() = default;

MDataHandle MDataBlock::outputValue(const MPlug& plug, MStatus* ReturnStatus) {
    const AttributeData* attribute = onNode(mNode, Access::plugAttribute(plug));
    if (attribute == nullptr) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MDataHandle();
    }
    const AttributeData* root = attribute->root();
    int index = Access::plugIndex(plug);
    if (root->array && index < 0) {
        setStatus(ReturnStatus, MStatus::kSuccess);
        return Access::handle(mNode, root, nullptr);
    }
    Slot* slot = nullptr;
    {
        std::lock_guard<std::mutex> lock(mNode->mutex);
        if (root->array) {
            auto& elements = mNode->arrays[root];
            auto it = elements.find(static_cast<unsigned int>(index));
            if (it == elements.end()) {
                it = elements.emplace(static_cast<unsigned int>(index), Slot()).first;
                root->initialize(it->second);
            }
            slot = &it->second;
        } else {
            slot = mNode->slot(root);
        }
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    return Access::handle(mNode, attribute, slot);
}

MDataHandle MDataBlock::outputValue(const MObject& attribute, MStatus* ReturnStatus) {
    const AttributeData* data = onNode(mNode, attribute);
    if (data == nullptr || data->childIndex >= 0) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MDataHandle();
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    if (data->array) return Access::handle(mNode, data, nullptr);
    std::lock_guard<std::mutex> lock(mNode->mutex);
    return Access::handle(mNode, data, mNode->slot(data));
}

MDataHandle MDataBlock::inputValue(const MPlug& plug, MStatus* ReturnStatus) {
    return outputValue(plug, ReturnStatus);
}

MDataHandle MDataBlock::inputValue(const MObject& attribute, MStatus* ReturnStatus) {
    return outputValue(attribute, ReturnStatus);
}

MArrayDataHandle MDataBlock::outputArrayValue(const MPlug& plug, MStatus* ReturnStatus) {
    const AttributeData* data = onNode(mNode, Access::plugAttribute(plug));
    if (data == nullptr || !data->array || Access::plugIndex(plug) >= 0) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return Access::arrayHandle(nullptr, nullptr);
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    return Access::arrayHandle(mNode, data);
}

MArrayDataHandle MDataBlock::outputArrayValue(const MObject& attribute, MStatus* ReturnStatus) {
    const AttributeData* data = onNode(mNode, attribute);
    if (data == nullptr || !data->array) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return Access::arrayHandle(nullptr, nullptr);
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    return Access::arrayHandle(mNode, data);
}

MStatus MDataBlock::setClean(const MPlug& plug) {
    const int element = Access::plugIndex(plug);
    if (element < 0) return setClean(Access::plugAttribute(plug));
    const AttributeData* data = onNode(mNode, Access::plugAttribute(plug));
    if (data == nullptr) return MStatus::kInvalidParameter;
    std::lock_guard<std::mutex> lock(mNode->mutex);
    mNode->dirty.cleanElement(data->root(), element);  // that element's plug only
    return MStatus::kSuccess;
}

MStatus MDataBlock::setClean(const MObject& attribute) {
    const AttributeData* data = onNode(mNode, attribute);
    if (data == nullptr) return MStatus::kInvalidParameter;
    std::lock_guard<std::mutex> lock(mNode->mutex);
    mNode->dirty.erase(data->root());
    return MStatus::kSuccess;
}

MDataHandle::MDataHandle() : mNode(nullptr), mAttribute(nullptr), mSlot(nullptr) {}
MDataHandle::MDataHandle(const MDataHandle& other) = default;
MDataHandle& MDataHandle::operator=(const MDataHandle& other) = default;
bool MDataHandle::isNumeric() const {
    return mAttribute != nullptr && !mAttribute->generic;
}
bool& MDataHandle::asBool() const {
    return mSlot != nullptr ? mSlot->b : scratch().b;
}
int& MDataHandle::asInt() const {
    return mSlot != nullptr ? mSlot->i : scratch().i;
}
float& MDataHandle::asFloat() const {
    if (mSlot == nullptr) return scratch().f;
    if (mAttribute != nullptr && mAttribute->childIndex >= 0) {
        return mSlot->f3[mAttribute->childIndex];
    }
    return mSlot->f;
}
double& MDataHandle::asDouble() const {
    if (mSlot == nullptr) return scratch().d;
    if (mAttribute != nullptr && mAttribute->childIndex >= 0 &&
        mAttribute->numericType == MFnNumericData::kDouble) {
        return mSlot->d3[mAttribute->childIndex];
    }
    return mSlot->d;
}
float3& MDataHandle::asFloat3() const {
    return mSlot != nullptr ? mSlot->f3 : scratch().f3;
}
void MDataHandle::set(bool value) {
    if (mSlot != nullptr) store(mAttribute, *mSlot, value ? 1.0 : 0.0);
}
void MDataHandle::set(int value) {
    if (mSlot != nullptr) store(mAttribute, *mSlot, value);
}
void MDataHandle::set(float value) {
    if (mSlot != nullptr) store(mAttribute, *mSlot, value);
}
void MDataHandle::set(double value) {
    if (mSlot != nullptr) store(mAttribute, *mSlot, value);
}
void MDataHandle::set(float x, float y, float z) {
    set3Float(x, y, z);
}
void MDataHandle::set3Float(float x, float y, float z) {
    if (mSlot == nullptr) return;
    mSlot->f3[0] = x;
    mSlot->f3[1] = y;
    mSlot->f3[2] = z;
}
void MDataHandle::setClean() {
    if (mNode == nullptr || mAttribute == nullptr) return;
    std::lock_guard<std::mutex> lock(mNode->mutex);
    mNode->dirty.erase(mAttribute->root());
}

MArrayDataHandle::MArrayDataHandle() : mNode(nullptr), mAttribute(nullptr) {}
MArrayDataHandle::MArrayDataHandle(const MDataHandle& handle, MStatus* ReturnStatus)
    : mNode(nullptr), mAttribute(nullptr) {
    const AttributeData* attribute = Access::handleAttribute(handle);
    if (attribute == nullptr || !attribute->array || Access::handleSlot(handle) != nullptr) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return;
    }
    mNode = Access::handleNode(handle);
    mAttribute = attribute;
    setStatus(ReturnStatus, MStatus::kSuccess);
}
MArrayDataHandle::MArrayDataHandle(const MArrayDataHandle& other) = default;
MArrayDataHandle& MArrayDataHandle::operator=(const MArrayDataHandle& other) = default;

unsigned int MArrayDataHandle::elementCount(MStatus* ReturnStatus) {
    if (mNode == nullptr) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return 0;
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    std::lock_guard<std::mutex> lock(mNode->mutex);
    return static_cast<unsigned int>(mNode->arrays[mAttribute].size());
}

MArrayDataBuilder MArrayDataHandle::builder(MStatus* ReturnStatus) {
    MArrayDataBuilder result;
    if (mNode == nullptr) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return result;
    }
    std::shared_ptr<mayahost::detail::BuilderData> data;
    {
        std::lock_guard<std::mutex> lock(mNode->mutex);
        std::shared_ptr<mayahost::detail::BuilderData>& cached = mNode->builders[mAttribute];
        if (!cached || cached.use_count() != 1) {
            cached = std::make_shared<mayahost::detail::BuilderData>();
            cached->node = mNode;
            cached->attribute = mAttribute;
        }
        data = cached;
        mayahost::detail::assignElements(data->elements, mNode->arrays[mAttribute]);
    }
    Access::builderData(result) = data;
    setStatus(ReturnStatus, MStatus::kSuccess);
    return result;
}

MStatus MArrayDataHandle::set(MArrayDataBuilder& builder) {
    const auto& data = Access::builderData(builder);
    if (mNode == nullptr || !data || data->node != mNode || data->attribute != mAttribute) {
        return MStatus::kInvalidParameter;
    }
    std::lock_guard<std::mutex> lock(mNode->mutex);
    mayahost::detail::assignElements(mNode->arrays[mAttribute], data->elements);
    return MStatus::kSuccess;
}

MArrayDataBuilder::MArrayDataBuilder() = default;
MArrayDataBuilder::MArrayDataBuilder(MDataBlock* block, const MObject& attribute, unsigned int,
                                     MStatus* ReturnStatus) {
    NodeData* node = block != nullptr ? Access::blockNode(*block) : nullptr;
    const AttributeData* data = onNode(node, attribute);
    if (data == nullptr || !data->array) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return;
    }
    mData = std::make_shared<mayahost::detail::BuilderData>();
    mData->node = node;
    mData->attribute = data;
    setStatus(ReturnStatus, MStatus::kSuccess);
}
MArrayDataBuilder::MArrayDataBuilder(const MArrayDataBuilder& other) = default;
MArrayDataBuilder& MArrayDataBuilder::operator=(const MArrayDataBuilder& other) = default;
MArrayDataBuilder::~MArrayDataBuilder() = default;

MDataHandle MArrayDataBuilder::addElement(unsigned int index, MStatus* ReturnStatus) {
    if (!mData) {
        setStatus(ReturnStatus, MStatus::kInvalidParameter);
        return MDataHandle();
    }
    auto it = mData->elements.find(index);
    if (it == mData->elements.end()) {
        it = mData->elements.emplace(index, Slot()).first;
        mData->attribute->initialize(it->second);
    }
    setStatus(ReturnStatus, MStatus::kSuccess);
    return Access::handle(mData->node, mData->attribute, &it->second);
}

unsigned int MArrayDataBuilder::elementCount(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, mData ? MStatus::kSuccess : MStatus::kInvalidParameter);
    return mData ? static_cast<unsigned int>(mData->elements.size()) : 0u;
}

MAYAHOST_NS_CLOSE
