// A handle to the elements of an array attribute in a node's data block.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MArrayDataHandle {
public:
    // Fails (kInvalidParameter) when the handle is not of an array attribute.
    MArrayDataHandle(const MDataHandle& handle, MStatus* ReturnStatus = nullptr);
    MArrayDataHandle(const MArrayDataHandle& other);
    MArrayDataHandle& operator=(const MArrayDataHandle& other);
    unsigned int elementCount(MStatus* ReturnStatus = nullptr);
    // A builder holding a copy of the current elements.
    MArrayDataBuilder builder(MStatus* ReturnStatus = nullptr);
    // Replaces the elements with the builder's; fails for a builder of
    // another attribute.
    MStatus set(MArrayDataBuilder& builder);

private:
    friend struct ::mayahost::detail::Access;
    MArrayDataHandle();
    ::mayahost::detail::NodeData* mNode;
    const ::mayahost::detail::AttributeData* mAttribute;
};

MAYAHOST_NS_CLOSE
