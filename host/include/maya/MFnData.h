// Base of the data function sets.
#pragma once

#include <maya/MFnBase.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MFnData : public MFnBase {
    declareMFn(MFnData, MFnBase);

public:
    enum Type { kInvalid, kNumeric, kPlugin, kPluginGeometry, kString, kMatrix, kLast };
};

MAYAHOST_NS_CLOSE
