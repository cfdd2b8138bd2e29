// The storage of one node's attribute values, handed to compute.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>
#include <maya/MDataHandle.h>
#include <maya/MArrayDataHandle.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MDataBlock {
public:
    MDataBlock(const MDataBlock& other);
    virtual ~MDataBlock();
    MDataHandle inputValue(const MPlug& plug, MStatus* ReturnStatus = nullptr);
    MDataHandle inputValue(const MObject& attribute, MStatus* ReturnStatus = nullptr);
    MDataHandle outputValue(const MPlug& plug, MStatus* ReturnStatus = nullptr);
    MDataHandle outputValue(const MObject& attribute, MStatus* ReturnStatus = nullptr);
    MArrayDataHandle outputArrayValue(const MPlug& plug, MStatus* ReturnStatus = nullptr);
    MArrayDataHandle outputArrayValue(const MObject& attribute, MStatus* ReturnStatus = nullptr);
    // Marks the plug's top-level attribute clean.
    MStatus setClean(const MPlug& plug);
    MStatus setClean(const MObject& attribute);

private:
    friend struct ::mayahost::detail::Access;
    MDataBlock();
    MDataBlock& operator=(const MDataBlock&);
    ::mayahost::detail::NodeData* mNode;
};

MAYAHOST_NS_CLOSE
