// A list of objects, filled from objects or by node name.
#pragma once

#include <maya/MStatus.h>
#include <maya/MObject.h>
#include <maya/MString.h>

#include <vector>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MSelectionList {
public:
    MSelectionList();
    MSelectionList(const MSelectionList& other);
    virtual ~MSelectionList();
    MSelectionList& operator=(const MSelectionList& other);
    MStatus clear();
    unsigned int length(MStatus* ReturnStatus = nullptr) const;
    // Fails (kInvalidParameter) when index is out of range or the item is
    // not a dependency node.
    MStatus getDependNode(unsigned int index, MObject& depNode) const;
    MStatus add(const MObject& object, const bool mergeWithExisting = false);
    // Adds the node of that exact name; fails (kInvalidParameter) when no
    // node has it.
    MStatus add(const MString& matchString, const bool searchChildNamespacesToo = false);

private:
    friend struct ::mayahost::detail::Access;
    std::vector<MObject> mItems;
};

MAYAHOST_NS_CLOSE
