// Function set of animation curve nodes. Keys are kept sorted by time;
// adding a key at a time that already holds one replaces that key's value.
#pragma once

#include <maya/MDoubleArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>

MAYAHOST_NS_OPEN

class OPENMAYAANIM_EXPORT MFnAnimCurve : public MFnDependencyNode {
    declareMFn(MFnAnimCurve, MFnDependencyNode);
    declareMFnConstConstructor(MFnAnimCurve, MFnDependencyNode);

    enum AnimCurveType {
        kAnimCurveTA = 0,
        kAnimCurveTL = 1,
        kAnimCurveTT = 2,
        kAnimCurveTU = 3,
        kAnimCurveUA = 4,
        kAnimCurveUL = 5,
        kAnimCurveUT = 6,
        kAnimCurveUU = 7,
        kAnimCurveUnknown = 8
    };
    enum TangentType {
        kTangentGlobal = 0,
        kTangentFixed,
        kTangentLinear,
        kTangentFlat,
        kTangentSmooth,
        kTangentStep,
        kTangentSlow,
        kTangentFast,
        kTangentClamped,
        kTangentPlateau,
        kTangentStepNext,
        kTangentAuto = 11,
        kTangentShared1 = 19,
        kTangentShared2,
        kTangentShared3,
        kTangentShared4,
        kTangentShared5,
        kTangentShared6,
        kTangentShared7,
        kTangentShared8 = 26,
        kTangentAutoMix = 27,
        kTangentAutoEase = 28,
        kTangentAutoCustom = 29,
        kTangentCustomStart = 64
    };

    // The curve driving the plug's attribute; fails (kNotFound) when none.
    MFnAnimCurve(const MPlug& plug, MStatus* ReturnStatus = nullptr);

    // Connected curves are not modelled: the forms taking a node or a plug
    // fail with kNotImplemented.
    MObject create(const MObject& node, const MObject& attribute, MDGModifier* modifier = nullptr,
                   MStatus* ReturnStatus = nullptr);
    MObject create(const MObject& node, const MObject& attribute, AnimCurveType type,
                   MDGModifier* modifier = nullptr, MStatus* ReturnStatus = nullptr);
    MObject create(const MPlug& plug, MDGModifier* modifier = nullptr,
                   MStatus* ReturnStatus = nullptr);
    MObject create(const MPlug& plug, AnimCurveType type, MDGModifier* modifier = nullptr,
                   MStatus* ReturnStatus = nullptr);
    // A free-standing curve node named after its type (animCurveTL1, ...);
    // the set is attached to it.
    MObject create(AnimCurveType type, MDGModifier* modifier = nullptr,
                   MStatus* ReturnStatus = nullptr);

    AnimCurveType animCurveType(MStatus* ReturnStatus = nullptr) const;
    unsigned int numKeyframes(MStatus* ReturnStatus = nullptr) const;
    unsigned int numKeys(MStatus* ReturnStatus = nullptr) const;
    MStatus addKeyframe(const MTime& time, double value, MAnimCurveChange* change = nullptr);
    MStatus addKeyframe(const MTime& time, double value, TangentType tangentInType,
                        TangentType tangentOutType, MAnimCurveChange* change = nullptr);
    // Keys at the arrays' times in one call, for TA, TL and TU curves
    // (kInvalidParameter otherwise, or when the lengths differ). Without
    // keepExistingKeys the curve's keys from the first time to the last are
    // cut first; with it, a key at a time that holds one replaces its value.
    // The times must be finite and strictly increasing (kInvalidParameter):
    // Maya promises no ordering of its own. The arrays stay the caller's.
    MStatus addKeys(MTimeArray* timeArray, MDoubleArray* valueArray,
                    TangentType tangentInType = kTangentGlobal,
                    TangentType tangentOutType = kTangentGlobal, bool keepExistingKeys = false,
                    MAnimCurveChange* change = nullptr);
    MTime time(unsigned int index, MStatus* ReturnStatus = nullptr) const;
    double value(unsigned int index, MStatus* ReturnStatus = nullptr) const;
};

MAYAHOST_NS_CLOSE
