// A plug: one attribute of one node, or one element of an array attribute,
// or a child of either. Reading an output plug whose value is dirty makes the
// node compute it.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>
#include <maya/MDGContext.h>
#include <maya/MObject.h>
#include <maya/MString.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MPlug {
public:
    MPlug();
    MPlug(const MPlug& other);
    MPlug(const MObject& node, const MObject& attribute);
    virtual ~MPlug();

    MObject attribute(MStatus* ReturnStatus = nullptr) const;
    MObject node(MStatus* ReturnStatus = nullptr) const;
    bool isNull(MStatus* ReturnStatus = nullptr) const;
    bool isArray(MStatus* ReturnStatus = nullptr) const;
    bool isElement(MStatus* ReturnStatus = nullptr) const;
    bool isChild(MStatus* ReturnStatus = nullptr) const;
    bool isCompound(MStatus* ReturnStatus = nullptr) const;
    unsigned int logicalIndex(MStatus* ReturnStatus = nullptr) const;
    // The compound plug of a child plug; fails (kInvalidParameter) otherwise.
    MPlug parent(MStatus* ReturnStatus = nullptr) const;
    // The array plug of an element plug; fails (kInvalidParameter) otherwise.
    MPlug array(MStatus* ReturnStatus = nullptr) const;
    MPlug elementByLogicalIndex(unsigned int logicalIndex, MStatus* ReturnStatus = nullptr) const;
    MPlug child(unsigned int index, MStatus* ReturnStatus = nullptr) const;

    MStatus getValue(double& value) const;
    MStatus getValue(float& value) const;
    MStatus getValue(int& value) const;
    MStatus getValue(bool& value) const;
    MStatus setValue(double value);
    MStatus setValue(float value);
    MStatus setValue(int value);
    MStatus setValue(bool value);
    double asDouble(MStatus* ReturnStatus = nullptr) const;
    float asFloat(MStatus* ReturnStatus = nullptr) const;
    int asInt(MStatus* ReturnStatus = nullptr) const;
    bool asBool(MStatus* ReturnStatus = nullptr) const;
    MStatus setDouble(double value);
    MStatus setFloat(float value);
    MStatus setInt(int value);
    MStatus setBool(bool value);
    // String attributes (MFnTypedAttribute of kString); kInvalidParameter
    // for any other plug.
    MString asString(MStatus* ReturnStatus = nullptr) const;
    MStatus setString(const MString& value);

    MPlug& operator=(const MPlug& other);
    bool operator==(const MPlug& other) const;
    // True when the plug's attribute is that attribute.
    bool operator==(const MObject& attribute) const;
    bool operator!=(const MPlug& other) const;
    bool operator!=(const MObject& attribute) const;

private:
    friend struct ::mayahost::detail::Access;
    MObject mNode;
    MObject mAttribute;
    int mIndex;  // logical index of the array element, -1 for none
};

MAYAHOST_NS_CLOSE
