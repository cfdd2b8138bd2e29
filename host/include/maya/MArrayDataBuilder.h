// Builds the elements of an array attribute; copies share the elements.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>
#include <maya/MDataHandle.h>

#include <memory>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MArrayDataBuilder {
public:
    MArrayDataBuilder(MDataBlock* block, const MObject& attribute, unsigned int initialSize,
                      MStatus* ReturnStatus = nullptr);
    MArrayDataBuilder(const MArrayDataBuilder& other);
    MArrayDataBuilder& operator=(const MArrayDataBuilder& other);
    ~MArrayDataBuilder();
    // The element of that logical index, created if absent.
    MDataHandle addElement(unsigned int index, MStatus* ReturnStatus = nullptr);
    unsigned int elementCount(MStatus* ReturnStatus = nullptr) const;

private:
    friend struct ::mayahost::detail::Access;
    friend class MArrayDataHandle;
    MArrayDataBuilder();
    std::shared_ptr<::mayahost::detail::BuilderData> mData;
};

MAYAHOST_NS_CLOSE
