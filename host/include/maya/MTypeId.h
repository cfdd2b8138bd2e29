// The numeric id of a node type.
#pragma once

#include <maya/MTypes.h>
#include <maya/MStatus.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MTypeId {
public:
    MTypeId();
    ~MTypeId();
    MTypeId(unsigned int id);
    // prefix in the upper 24 bits, id in the lower 8.
    MTypeId(unsigned int prefix, unsigned int id);
    MTypeId(const MTypeId& other);
    MTypeId& operator=(const MTypeId& other);
    bool operator==(const MTypeId& other) const;
    bool operator!=(const MTypeId& other) const;
    unsigned int id(MStatus* ReturnStatus = nullptr) const;

private:
    friend struct ::mayahost::detail::Access;
    unsigned int mId;
};

MAYAHOST_NS_CLOSE
