// Attribute function sets and the attribute definitions behind them.
#include "hostState.h"

#include <maya/MFnAttribute.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MFnData.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>

using mayahost::detail::Access;
using mayahost::detail::AttributeData;

namespace mayahost {
namespace detail {

const AttributeData* AttributeData::root() const {
    auto p = parent.lock();
    return p ? p.get() : this;
}

void AttributeData::initialize(Slot& slot) const {
    slot.b = defaultValue != 0.0;
    slot.i = static_cast<int>(defaultValue);
    slot.f = static_cast<float>(defaultValue);
    slot.d = defaultValue;
    for (float& c : slot.f3) c = static_cast<float>(defaultValue);
    for (double& c : slot.d3) c = defaultValue;
}

std::shared_ptr<AttributeData> attributeData(const MObject& attribute) {
    return Access::data<AttributeData>(attribute, ObjectData::Kind::kAttribute);
}

}  // namespace detail
}  // namespace mayahost

namespace {

std::shared_ptr<AttributeData> attached(const MFnBase& fn, MStatus* status) {
    auto data = mayahost::detail::attributeData(Access::fnObject(fn));
    if (status != nullptr) *status = data ? MStatus::kSuccess : MStatus::kInvalidParameter;
    return data;
}

bool supported(MFnNumericData::Type t) {
    switch (t) {
        case MFnNumericData::kBoolean:
        case MFnNumericData::kByte:
        case MFnNumericData::kChar:
        case MFnNumericData::kShort:
        case MFnNumericData::kInt:
        case MFnNumericData::kFloat:
        case MFnNumericData::kDouble:
        case MFnNumericData::k3Float:
            return true;
        default:
            return false;
    }
}

// Sets a flag on an attribute and, for a triple, on its children; array and
// builder use stay on the parent.
template <class Setter>
MStatus setFlag(const MFnBase& fn, Setter setter) {
    MStatus status;
    auto data = attached(fn, &status);
    if (!data) return status;
    setter(*data);
    return MStatus::kSuccess;
}

}  // namespace

MAYAHOST_NS_OPEN

MFn::Type MFnData::type() const {
    return MFn::kData;
}
MFnData::~MFnData() = default;
const char* MFnData::className() {
    return "MFnData";
}
MFnData::MFnData(MObject& object, MStatus* ReturnStatus) {
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
}

MFn::Type MFnNumericData::type() const {
    return MFn::kNumericData;
}
MFnNumericData::~MFnNumericData() = default;
const char* MFnNumericData::className() {
    return "MFnNumericData";
}
MFnNumericData::MFnNumericData(MObject& object, MStatus* ReturnStatus) {
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
}

MFn::Type MFnAttribute::type() const {
    return MFn::kAttribute;
}
MFnAttribute::~MFnAttribute() = default;
const char* MFnAttribute::className() {
    return "MFnAttribute";
}
MFnAttribute::MFnAttribute(MObject& object, MStatus* ReturnStatus) {
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
}
MFnAttribute::MFnAttribute(const MObject& object, MStatus* ReturnStatus) {
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
}

#define MAYAHOST_ATTRIBUTE_GETTER(method, field)             \
    bool MFnAttribute::method(MStatus* ReturnStatus) const { \
        auto data = attached(*this, ReturnStatus);           \
        return data ? data->field : false;                   \
    }
MAYAHOST_ATTRIBUTE_GETTER(isReadable, readable)
MAYAHOST_ATTRIBUTE_GETTER(isWritable, writable)
MAYAHOST_ATTRIBUTE_GETTER(isStorable, storable)
MAYAHOST_ATTRIBUTE_GETTER(isArray, array)
MAYAHOST_ATTRIBUTE_GETTER(isKeyable, keyable)
MAYAHOST_ATTRIBUTE_GETTER(isHidden, hidden)
MAYAHOST_ATTRIBUTE_GETTER(isUsingArrayDataBuilder, usesArrayDataBuilder)
#undef MAYAHOST_ATTRIBUTE_GETTER

MString MFnAttribute::name(MStatus* ReturnStatus) const {
    auto data = attached(*this, ReturnStatus);
    return data ? MString(data->name.c_str()) : MString();
}
MString MFnAttribute::shortName(MStatus* ReturnStatus) const {
    auto data = attached(*this, ReturnStatus);
    return data ? MString(data->shortName.c_str()) : MString();
}

// Flags of an attribute already added to a node type are fixed.
#define MAYAHOST_ATTRIBUTE_SETTER(method, field)                 \
    MStatus MFnAttribute::method(bool state) {                   \
        MStatus status;                                          \
        auto data = attached(*this, &status);                    \
        if (!data) return status;                                \
        if (data->added) return MStatus::kFailure;               \
        data->field = state;                                     \
        for (auto& child : data->children) child->field = state; \
        return MStatus::kSuccess;                                \
    }
MAYAHOST_ATTRIBUTE_SETTER(setReadable, readable)
MAYAHOST_ATTRIBUTE_SETTER(setWritable, writable)
MAYAHOST_ATTRIBUTE_SETTER(setStorable, storable)
MAYAHOST_ATTRIBUTE_SETTER(setKeyable, keyable)
MAYAHOST_ATTRIBUTE_SETTER(setHidden, hidden)
#undef MAYAHOST_ATTRIBUTE_SETTER

MStatus MFnAttribute::setArray(bool state) {
    MStatus status;
    auto data = attached(*this, &status);
    if (!data) return status;
    if (data->added || !data->parent.expired()) return MStatus::kFailure;
    data->array = state;
    return MStatus::kSuccess;
}

MStatus MFnAttribute::setUsesArrayDataBuilder(bool state) {
    MStatus status;
    auto data = attached(*this, &status);
    if (!data) return status;
    if (data->added) return MStatus::kFailure;
    data->usesArrayDataBuilder = state;
    return MStatus::kSuccess;
}

MFn::Type MFnNumericAttribute::type() const {
    return MFn::kNumericAttribute;
}
MFnNumericAttribute::~MFnNumericAttribute() = default;
const char* MFnNumericAttribute::className() {
    return "MFnNumericAttribute";
}
MFnNumericAttribute::MFnNumericAttribute(MObject& object, MStatus* ReturnStatus) {
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
}
MFnNumericAttribute::MFnNumericAttribute(const MObject& object, MStatus* ReturnStatus) {
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
}

MObject MFnNumericAttribute::create(const MString& fullName, const MString& briefName,
                                    MFnNumericData::Type unitType, double defaultValue,
                                    MStatus* ReturnStatus) {
    const std::string& name = Access::text(fullName);
    if (name.empty() || !supported(unitType)) {
        if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kInvalidParameter;
        return MObject();
    }
    auto data = std::make_shared<AttributeData>();
    data->name = name;
    data->shortName = Access::text(briefName).empty() ? name : Access::text(briefName);
    data->numericType = unitType;
    data->defaultValue = defaultValue;
    if (unitType == MFnNumericData::k3Float) {
        for (int k = 0; k < 3; ++k) {
            auto child = std::make_shared<AttributeData>();
            child->name = data->name + std::to_string(k);
            child->shortName = data->shortName + std::to_string(k);
            child->numericType = MFnNumericData::kFloat;
            child->defaultValue = defaultValue;
            child->parent = data;
            child->childIndex = k;
            data->children.push_back(child);
        }
    }
    MObject object = Access::object(data);
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
    return object;
}

MFnNumericData::Type MFnNumericAttribute::unitType(MStatus* ReturnStatus) const {
    auto data = attached(*this, ReturnStatus);
    return data ? data->numericType : MFnNumericData::kInvalid;
}

MFn::Type MFnMessageAttribute::type() const {
    return MFn::kMessageAttribute;
}
MFnMessageAttribute::~MFnMessageAttribute() = default;
const char* MFnMessageAttribute::className() {
    return "MFnMessageAttribute";
}
MFnMessageAttribute::MFnMessageAttribute(MObject& object, MStatus* ReturnStatus) {
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
}
MFnMessageAttribute::MFnMessageAttribute(const MObject& object, MStatus* ReturnStatus) {
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
}

MObject MFnMessageAttribute::create(const MString& fullName, const MString& briefName,
                                    MStatus* ReturnStatus) {
    const std::string& name = Access::text(fullName);
    if (name.empty()) {
        if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kInvalidParameter;
        return MObject();
    }
    auto data = std::make_shared<AttributeData>();
    data->name = name;
    data->shortName = Access::text(briefName).empty() ? name : Access::text(briefName);
    data->message = true;
    MObject object = Access::object(data);
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
    return object;
}

MFn::Type MFnTypedAttribute::type() const {
    return MFn::kTypedAttribute;
}
MFnTypedAttribute::~MFnTypedAttribute() = default;
const char* MFnTypedAttribute::className() {
    return "MFnTypedAttribute";
}
MFnTypedAttribute::MFnTypedAttribute(MObject& object, MStatus* ReturnStatus) {
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
}
MFnTypedAttribute::MFnTypedAttribute(const MObject& object, MStatus* ReturnStatus) {
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
}

MObject MFnTypedAttribute::create(const MString& fullName, const MString& briefName,
                                  MFnData::Type type, const MObject& defaultData,
                                  MStatus* ReturnStatus) {
    const std::string& name = Access::text(fullName);
    if (name.empty() || type != MFnData::kString || !defaultData.isNull()) {
        if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kInvalidParameter;
        return MObject();
    }
    auto data = std::make_shared<AttributeData>();
    data->name = name;
    data->shortName = Access::text(briefName).empty() ? name : Access::text(briefName);
    data->text = true;
    MObject object = Access::object(data);
    MStatus s = setObject(object);
    if (ReturnStatus != nullptr) *ReturnStatus = s;
    return object;
}

MAYAHOST_NS_CLOSE
