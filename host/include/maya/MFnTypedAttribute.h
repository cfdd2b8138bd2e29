// Function set of typed attributes. The stand-in holds strings only
// (MFnData::kString): a node keeps each one's text, empty by default.
#pragma once

#include <maya/MFnAttribute.h>
#include <maya/MFnData.h>
#include <maya/MObject.h>
#include <maya/MString.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MFnTypedAttribute : public MFnAttribute {
    declareMFn(MFnTypedAttribute, MFnAttribute);

    // Makes a new attribute (not yet added to any node type) and attaches the
    // set to it. Fails (kInvalidParameter) for an empty name, a type other
    // than kString, or default data (the stand-in keeps no data objects).
    MObject create(const MString& fullName, const MString& briefName, MFnData::Type type,
                   const MObject& defaultData = MObject::kNullObj, MStatus* ReturnStatus = nullptr);
    declareMFnConstConstructor(MFnTypedAttribute, MFnAttribute);
};

MAYAHOST_NS_CLOSE
