// Function set of attributes: the properties shared by all attribute kinds.
#pragma once

#include <maya/MFnBase.h>
#include <maya/MString.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MFnAttribute : public MFnBase {
    declareMFn(MFnAttribute, MFnBase);
    declareMFnConstConstructor(MFnAttribute, MFnBase);

    bool isReadable(MStatus* ReturnStatus = nullptr) const;
    bool isWritable(MStatus* ReturnStatus = nullptr) const;
    bool isStorable(MStatus* ReturnStatus = nullptr) const;
    bool isArray(MStatus* ReturnStatus = nullptr) const;
    bool isKeyable(MStatus* ReturnStatus = nullptr) const;
    bool isHidden(MStatus* ReturnStatus = nullptr) const;
    bool isUsingArrayDataBuilder(MStatus* ReturnStatus = nullptr) const;
    MString name(MStatus* ReturnStatus = nullptr) const;
    MString shortName(MStatus* ReturnStatus = nullptr) const;

    MStatus setReadable(bool state);
    MStatus setWritable(bool state);
    MStatus setStorable(bool state);
    MStatus setArray(bool state);
    MStatus setKeyable(bool state);
    MStatus setHidden(bool state);
    MStatus setUsesArrayDataBuilder(bool state);
};

MAYAHOST_NS_CLOSE
