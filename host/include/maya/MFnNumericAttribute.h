// Function set of numeric attributes. A k3Float (or other triple) attribute
// is a compound with three children named <name>0, <name>1, <name>2.
#pragma once

#include <maya/MFnAttribute.h>
#include <maya/MFnNumericData.h>
#include <maya/MObject.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MFnNumericAttribute : public MFnAttribute {
    declareMFn(MFnNumericAttribute, MFnAttribute);
    declareMFnConstConstructor(MFnNumericAttribute, MFnAttribute);

    // Makes a new attribute (not yet added to any node type) and attaches the
    // set to it. Fails (kInvalidParameter) for an empty name or an
    // unsupported type.
    MObject create(const MString& fullName, const MString& briefName, MFnNumericData::Type unitType,
                   double defaultValue = 0, MStatus* ReturnStatus = nullptr);
    MFnNumericData::Type unitType(MStatus* ReturnStatus = nullptr) const;
};

MAYAHOST_NS_CLOSE
