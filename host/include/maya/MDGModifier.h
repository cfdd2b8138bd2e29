// Collects graph edits and performs them on doIt.
#pragma once

#include <maya/MStatus.h>
#include <maya/MFnDependencyNode.h>

#include <vector>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MDGModifier {
public:
    MDGModifier();
    virtual ~MDGModifier();
    // Queues the deletion of a node; fails (kInvalidParameter) for a null or
    // non-node object.
    MStatus deleteNode(const MObject& node);
    MStatus deleteNode(const MObject& node, bool includeParents);
    MStatus doIt();
    // Deletions cannot be undone here: kNotImplemented after a doIt.
    MStatus undoIt();

private:
    friend struct ::mayahost::detail::Access;
    MDGModifier(const MDGModifier&);
    MDGModifier& operator=(const MDGModifier&);
    std::vector<MObject> mDeletions;
    bool mDone;
};

MAYAHOST_NS_CLOSE
