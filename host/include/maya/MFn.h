// The kinds of objects that function sets work on.
#pragma once

#include <maya/MTypes.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MFn {
public:
    enum Type {
        kInvalid = 0,
        kBase,
        kNamedObject,
        kDependencyNode,
        kAttribute,
        kNumericAttribute,
        kCompoundAttribute,
        kData,
        kNumericData,
        kTransform,
        kAnimCurve,
        kAnimCurveTimeToAngular,
        kAnimCurveTimeToDistance,
        kAnimCurveTimeToTime,
        kAnimCurveTimeToUnitless,
        kAnimCurveUnitlessToAngular,
        kAnimCurveUnitlessToDistance,
        kAnimCurveUnitlessToTime,
        kAnimCurveUnitlessToUnitless,
        kPlugin,
        kPluginDependNode,
        kPluginThreadedDevice,
        kTime,
        kMessageAttribute,
        kTypedAttribute,
        kLast
    };
};

MAYAHOST_NS_CLOSE
