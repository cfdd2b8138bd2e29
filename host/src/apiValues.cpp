// Small value classes: MObject, MObjectArray, MTypeId, MDGContext, MSyntax,
// MSelectionList, and the MFnBase attachment rules.
#include "hostState.h"

#include <maya/MDGContext.h>
#include <maya/MFnBase.h>
#include <maya/MObject.h>
#include <maya/MObjectArray.h>
#include <maya/MSelectionList.h>
#include <maya/MSyntax.h>
#include <maya/MTypeId.h>

using mayahost::detail::Access;
using mayahost::detail::AttributeData;
using mayahost::detail::NodeData;
using mayahost::detail::ObjectData;

namespace {

bool isCurveType(MFn::Type t) {
    return t >= MFn::kAnimCurve && t <= MFn::kAnimCurveUnitlessToUnitless;
}

}  // namespace

MAYAHOST_NS_OPEN

MObject MObject::kNullObj;

MObject::MObject() = default;
MObject::MObject(const MObject& other) = default;
MObject::~MObject() = default;
bool MObject::isNull() const {
    if (!mData) return true;
    if (mData->kind == ObjectData::Kind::kNode) {
        return !static_cast<const NodeData&>(*mData).alive.load();
    }
    return false;
}
bool MObject::operator==(const MObject& other) const {
    return mData == other.mData;
}
bool MObject::operator!=(const MObject& other) const {
    return mData != other.mData;
}
MObject& MObject::operator=(const MObject& other) = default;

MFn::Type MObject::apiType() const {
    if (isNull()) return MFn::kInvalid;
    switch (mData->kind) {
        case ObjectData::Kind::kNode:
            return static_cast<const NodeData&>(*mData).type->fnType;
        case ObjectData::Kind::kAttribute:
            if (static_cast<const AttributeData&>(*mData).message) return MFn::kMessageAttribute;
            if (static_cast<const AttributeData&>(*mData).text) return MFn::kTypedAttribute;
            return MFn::kNumericAttribute;
        case ObjectData::Kind::kPlugin:
            return MFn::kPlugin;
    }
    return MFn::kInvalid;
}

bool MObject::hasFn(MFn::Type type) const {
    MFn::Type own = apiType();
    if (own == MFn::kInvalid) return false;
    if (type == own || type == MFn::kBase) return true;
    switch (type) {
        case MFn::kNamedObject:
        case MFn::kDependencyNode:
            return mData->kind == ObjectData::Kind::kNode;
        case MFn::kAttribute:
            return mData->kind == ObjectData::Kind::kAttribute;
        case MFn::kAnimCurve:
            return isCurveType(own);
        default:
            return false;
    }
}

MObjectArray::MObjectArray() = default;
MObjectArray::MObjectArray(const MObjectArray& other) = default;
MObjectArray::MObjectArray(unsigned int initialSize, const MObject& initialValue)
    : mItems(initialSize, initialValue) {}
MObjectArray::~MObjectArray() = default;
MObjectArray& MObjectArray::operator=(const MObjectArray& other) = default;
// Out of range gives a null object rather than an exception across the API.
const MObject& MObjectArray::operator[](unsigned int index) const {
    return index < mItems.size() ? mItems[index] : MObject::kNullObj;
}
MObject& MObjectArray::operator[](unsigned int index) {
    if (index < mItems.size()) return mItems[index];
    thread_local MObject scratch;
    scratch = MObject();
    return scratch;
}
unsigned int MObjectArray::length() const {
    return static_cast<unsigned int>(mItems.size());
}
MStatus MObjectArray::append(const MObject& element) {
    mItems.push_back(element);
    return MStatus::kSuccess;
}
MStatus MObjectArray::clear() {
    mItems.clear();
    return MStatus::kSuccess;
}

MTypeId::MTypeId() : mId(0) {}
MTypeId::~MTypeId() = default;
MTypeId::MTypeId(unsigned int id) : mId(id) {}
MTypeId::MTypeId(unsigned int prefix, unsigned int id) : mId((prefix << 8) | (id & 0xFFu)) {}
MTypeId::MTypeId(const MTypeId& other) = default;
MTypeId& MTypeId::operator=(const MTypeId& other) = default;
bool MTypeId::operator==(const MTypeId& other) const {
    return mId == other.mId;
}
bool MTypeId::operator!=(const MTypeId& other) const {
    return mId != other.mId;
}
unsigned int MTypeId::id(MStatus* ReturnStatus) const {
    if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kSuccess;
    return mId;
}

MDGContext MDGContext::fsNormal;
MDGContext::MDGContext() = default;
MDGContext::MDGContext(const MDGContext&) = default;
MDGContext::~MDGContext() = default;
MDGContext& MDGContext::operator=(const MDGContext&) = default;
bool MDGContext::isNormal() const {
    return true;
}

MSyntax::MSyntax() = default;
MSyntax::MSyntax(const MSyntax&) = default;
MSyntax::~MSyntax() = default;
MSyntax& MSyntax::operator=(const MSyntax&) = default;

MSelectionList::MSelectionList() = default;
MSelectionList::MSelectionList(const MSelectionList& other) = default;
MSelectionList::~MSelectionList() = default;
MSelectionList& MSelectionList::operator=(const MSelectionList& other) = default;
MStatus MSelectionList::clear() {
    mItems.clear();
    return MStatus::kSuccess;
}
unsigned int MSelectionList::length(MStatus* ReturnStatus) const {
    if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kSuccess;
    return static_cast<unsigned int>(mItems.size());
}
MStatus MSelectionList::getDependNode(unsigned int index, MObject& depNode) const {
    if (index >= mItems.size() || !mItems[index].hasFn(MFn::kDependencyNode)) {
        return MStatus::kInvalidParameter;
    }
    depNode = mItems[index];
    return MStatus::kSuccess;
}
MStatus MSelectionList::add(const MObject& object, const bool mergeWithExisting) {
    if (object.isNull()) return MStatus::kInvalidParameter;
    if (mergeWithExisting) {
        for (const MObject& item : mItems) {
            if (item == object) return MStatus::kSuccess;
        }
    }
    mItems.push_back(object);
    return MStatus::kSuccess;
}
MStatus MSelectionList::add(const MString& matchString, const bool) {
    mayahost::detail::noteApiCall("MSelectionList::add", Access::text(matchString));
    auto node = mayahost::detail::findNodeByName(Access::text(matchString));
    if (!node) return MStatus::kInvalidParameter;
    mItems.push_back(Access::object(node));
    return MStatus::kSuccess;
}

MFnBase::MFnBase() = default;
MFnBase::~MFnBase() = default;
MFn::Type MFnBase::type() const {
    return MFn::kBase;
}
const char* MFnBase::className() {
    return "MFnBase";
}
bool MFnBase::hasObj(MFn::Type type) const {
    return mObject.hasFn(type);
}
MObject MFnBase::object(MStatus* ReturnStatus) const {
    if (ReturnStatus != nullptr) {
        *ReturnStatus = mObject.isNull() ? MStatus::kInvalidParameter : MStatus::kSuccess;
    }
    return mObject;
}
MStatus MFnBase::setObject(MObject& object) {
    return setObject(static_cast<const MObject&>(object));
}
MStatus MFnBase::setObject(const MObject& object) {
    MFn::Type wanted = type();
    if (object.isNull() || (wanted != MFn::kBase && !object.hasFn(wanted))) {
        mObject = MObject();
        return MStatus::kInvalidParameter;
    }
    mObject = object;
    return MStatus::kSuccess;
}

MAYAHOST_NS_CLOSE

namespace mayahost {
namespace detail {

MObject& Access::fnObject(MFnBase& fn) {
    return fn.mObject;
}
const MObject& Access::fnObject(const MFnBase& fn) {
    return fn.mObject;
}

}  // namespace detail
}  // namespace mayahost
