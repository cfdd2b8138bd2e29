// A handle to one value in a node's data block. The as* accessors return
// references into the block.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>
#include <maya/MFnNumericData.h>
#include <maya/MFnData.h>
#include <maya/MTypeId.h>
#include <maya/MObject.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MDataHandle {
public:
    MDataHandle();
    MDataHandle(const MDataHandle& other);
    MDataHandle& operator=(const MDataHandle& other);
    bool isNumeric() const;
    bool& asBool() const;
    int& asInt() const;
    float& asFloat() const;
    double& asDouble() const;
    float3& asFloat3() const;
    void set(bool value);
    void set(int value);
    void set(float value);
    void set(double value);
    void set(float x, float y, float z);
    void set3Float(float x, float y, float z);
    void setClean();

private:
    friend struct ::mayahost::detail::Access;
    ::mayahost::detail::NodeData* mNode;
    const ::mayahost::detail::AttributeData* mAttribute;
    ::mayahost::detail::Slot* mSlot;
};

MAYAHOST_NS_CLOSE
