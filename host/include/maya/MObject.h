// A handle to an object owned by the host: a node, an attribute or a plug-in.
// Copies refer to the same object; a default handle is null.
#pragma once

#include <maya/MFn.h>
#include <maya/MTypes.h>

#include <memory>

MAYAHOST_NS_OPEN

class FND_EXPORT MObject {
public:
    MObject();
    MObject(const MObject& other);
    ~MObject();
    bool isNull() const;
    // True when both refer to the same object.
    bool operator==(const MObject& other) const;
    bool operator!=(const MObject& other) const;
    MObject& operator=(const MObject& other);
    // The function set type matching the object (kInvalid when null).
    MFn::Type apiType() const;
    bool hasFn(MFn::Type type) const;

    static MObject kNullObj;

private:
    friend struct ::mayahost::detail::Access;
    std::shared_ptr<::mayahost::detail::ObjectData> mData;
};

MAYAHOST_NS_CLOSE
