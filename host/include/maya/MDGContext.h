// The evaluation context; the host evaluates in the normal context only.
#pragma once

#include <maya/MTypes.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MDGContext {
public:
    MDGContext();
    MDGContext(const MDGContext& other);
    ~MDGContext();
    MDGContext& operator=(const MDGContext& other);
    bool isNormal() const;

    static MDGContext fsNormal;
};

MAYAHOST_NS_CLOSE
