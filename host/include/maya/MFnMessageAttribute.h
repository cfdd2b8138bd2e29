// Function set of message attributes: connectable, holding no data. Every
// node has one, "message" ("msg"); a node type adds its own to be connected
// to without data flowing.
#pragma once

#include <maya/MFnAttribute.h>
#include <maya/MObject.h>
#include <maya/MString.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MFnMessageAttribute : public MFnAttribute {
    declareMFn(MFnMessageAttribute, MFnAttribute);

    // Makes a new message attribute (not yet added to any node type) and
    // attaches the set to it. Fails (kInvalidParameter) for an empty name.
    MObject create(const MString& fullName, const MString& briefName,
                   MStatus* ReturnStatus = nullptr);
    declareMFnConstConstructor(MFnMessageAttribute, MFnAttribute);
};

MAYAHOST_NS_CLOSE
