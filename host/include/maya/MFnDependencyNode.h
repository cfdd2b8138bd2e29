// Function set of dependency graph nodes.
#pragma once

#include <maya/MFnBase.h>
#include <maya/MTypeId.h>
#include <maya/MString.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MFnDependencyNode : public MFnBase {
    declareMFn(MFnDependencyNode, MFnBase);
    declareMFnConstConstructor(MFnDependencyNode, MFnBase);

    MTypeId typeId(MStatus* ReturnStatus = nullptr) const;
    MString typeName(MStatus* ReturnStatus = nullptr) const;
    MString name(MStatus* ReturnStatus = nullptr) const;
    // Renames the node. When another node has the name, trailing digits are
    // counted up (or 1 appended) until the name is free; returns the name given.
    MString setName(const MString& name, bool createNamespace = false,
                    MStatus* ReturnStatus = nullptr);
    MString setName(const MString& name, MStatus* ReturnStatus);
    // The plug-in object of a plug-in node; null for a built-in node.
    MPxNode* userNode(MStatus* ReturnStatus = nullptr) const;
};

MAYAHOST_NS_CLOSE
