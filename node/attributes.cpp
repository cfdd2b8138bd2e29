#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"

#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>

namespace {

struct AttributeSpec {
    MObject* object;
    const char* longName;
    const char* shortName;
    MFnNumericData::Type type;
    double defaultValue;
    bool writable;
    bool hidden;
    bool array;  // also built through an array data builder
    const char* createFailure;
};

struct AffectsSpec {
    const MObject* source;
    const MObject* affected;
    const char* failure;
};

}  // namespace

MStatus ZemoriDeviceNode::initialize() {
    const AttributeSpec attributes[] = {
        {&mInputPort, "inputPort", "prt", MFnNumericData::kInt, 12351, true, false, false,
         "create input Port"},
        {&mTime, "time", "tm", MFnNumericData::kDouble, 0, true, true, false, "create time"},
        {&mRecording, "recording", "rcd", MFnNumericData::kBoolean, 0, true, false, false,
         "create recording"},
        {&mDeviceIdAttr, "deviceId", "did", MFnNumericData::kInt, 0, true, true, false,
         "create device Id"},
        {&mOutputTranslate, "outputTranslate", "ot", MFnNumericData::k3Float, 0, false, true, false,
         "create outputTranslate"},
        {&mOutputTranslations, "outputTranslations", "ots", MFnNumericData::k3Float, 0, false,
         false, true, "create outputTranslations"},
        {&mOutputRotations, "outputRotations", "ors", MFnNumericData::k3Float, 0, false, false,
         true, "create outputRotations"},
    };

    MFnNumericAttribute numeric;
    MStatus status;
    for (const AttributeSpec& spec : attributes) {
        *spec.object =
            numeric.create(spec.longName, spec.shortName, spec.type, spec.defaultValue, &status);
        if (!status) {
            printDiagnostic(spec.createFailure);
            return MS::kFailure;
        }
        // Only the listed properties are touched; the rest keep the host's
        // numeric defaults.
        if (spec.writable) {
            numeric.setWritable(true);
        }
        if (spec.hidden) {
            numeric.setHidden(true);
        }
        if (spec.array) {
            numeric.setArray(true);
            numeric.setUsesArrayDataBuilder(true);
        }
        status = addAttribute(*spec.object);
        if (!status) {
            printDiagnostic("addAttribute: ATTR");
            return MS::kFailure;
        }
    }

    const AffectsSpec dependencies[] = {
        {&live, &mOutputTranslate, "attributeAffects:live->mOutputTranslate"},
        {&frameRate, &mOutputTranslate, "attributeAffects:frameRate->mOutputTranslate"},
        {&mTime, &mOutputTranslate, "attributeAffects:mTime->mOutputTranslate"},
        {&live, &mOutputTranslations, "attributeAffects:live->mOutputTranslations"},
        {&frameRate, &mOutputTranslations, "attributeAffects:frameRate->mOutputTranslations"},
        {&mTime, &mOutputTranslations, "attributeAffects:mTime->mOutputTranslations"},
        {&live, &mOutputRotations, "attributeAffects:live->mOutputRotations"},
        {&frameRate, &mOutputRotations, "attributeAffects:frameRate->mOutputRotations"},
        {&mTime, &mOutputRotations, "attributeAffects:mTime->mOutputRotations"},
        {&mOutputTranslate, &mOutputTranslations,
         "attributeAffects:mOutputTranslate->mOutputTranslations"},
        {&mOutputTranslate, &mOutputRotations,
         "attributeAffects:mOutputTranslate->mOutputRotations"},
    };
    for (const AffectsSpec& dependency : dependencies) {
        status = attributeAffects(*dependency.source, *dependency.affected);
        if (!status) {
            printDiagnostic(dependency.failure);
            return MS::kFailure;
        }
    }
    return MS::kSuccess;
}
