// The value arrays of the API: MDoubleArray and MTimeArray.
#include "hostState.h"

#include <maya/MDoubleArray.h>
#include <maya/MTimeArray.h>

#include <type_traits>

namespace {

// Out of range reads a default value and writes go nowhere, rather than an
// exception across the API.
template <class Items>
auto element(Items& items, unsigned int index) -> decltype(items[0]) {
    if (index < items.size()) return items[index];
    thread_local typename std::remove_const<Items>::type::value_type scratch;
    scratch = {};
    return scratch;
}

template <class T>
MStatus setElement(std::vector<T>& items, const T& value, unsigned int index) {
    if (index >= items.size()) return MStatus::kFailure;
    items[index] = value;
    return MStatus::kSuccess;
}

}  // namespace

MAYAHOST_NS_OPEN

MDoubleArray::MDoubleArray() = default;
MDoubleArray::MDoubleArray(const MDoubleArray& other) = default;
MDoubleArray::MDoubleArray(const double src[], unsigned int count) : mItems(src, src + count) {}
MDoubleArray::MDoubleArray(const float src[], unsigned int count) : mItems(src, src + count) {}
MDoubleArray::MDoubleArray(unsigned int initialSize, double initialValue)
    : mItems(initialSize, initialValue) {}
MDoubleArray::~MDoubleArray() = default;
MDoubleArray& MDoubleArray::operator=(const MDoubleArray& other) = default;
const double& MDoubleArray::operator[](unsigned int index) const {
    return element(mItems, index);
}
double& MDoubleArray::operator[](unsigned int index) {
    return element(mItems, index);
}
MStatus MDoubleArray::set(double value, unsigned int index) {
    return setElement(mItems, value, index);
}
MStatus MDoubleArray::setLength(unsigned int length) {
    mItems.resize(length, 0.0);
    return MStatus::kSuccess;
}
unsigned int MDoubleArray::length() const {
    return static_cast<unsigned int>(mItems.size());
}
MStatus MDoubleArray::append(double value) {
    mItems.push_back(value);
    return MStatus::kSuccess;
}
MStatus MDoubleArray::clear() {
    mItems.clear();
    return MStatus::kSuccess;
}

MTimeArray::MTimeArray() = default;
MTimeArray::MTimeArray(const MTimeArray& other) = default;
MTimeArray::MTimeArray(const MTime src[], unsigned int count) : mItems(src, src + count) {}
MTimeArray::MTimeArray(unsigned int initialSize, const MTime& initialValue)
    : mItems(initialSize, initialValue) {}
MTimeArray::~MTimeArray() = default;
MTimeArray& MTimeArray::operator=(const MTimeArray& other) = default;
const MTime& MTimeArray::operator[](unsigned int index) const {
    return element(mItems, index);
}
MStatus MTimeArray::set(const MTime& value, unsigned int index) {
    return setElement(mItems, value, index);
}
MStatus MTimeArray::setLength(unsigned int length) {
    mItems.resize(length, MTime(0.0, MTime::uiUnit()));
    return MStatus::kSuccess;
}
unsigned int MTimeArray::length() const {
    return static_cast<unsigned int>(mItems.size());
}
MStatus MTimeArray::append(const MTime& value) {
    mItems.push_back(value);
    return MStatus::kSuccess;
}
MStatus MTimeArray::clear() {
    mItems.clear();
    return MStatus::kSuccess;
}

MAYAHOST_NS_CLOSE
