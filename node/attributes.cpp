#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"

#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>
#include <maya/MFnTypedAttribute.h>

namespace {

struct AttributeRow {
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

struct AffectsRow {
    const MObject* source;
    const MObject* affected;
    const char* failure;
};

}  // namespace

MStatus ZemoriDeviceNode::initialize() {
    const AttributeRow attributes[] = {
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
        {&mJournalSeconds, "journalSeconds", "jsc", MFnNumericData::kDouble, 120, true, false,
         false, "create journalSeconds"},
        {&mKeyEveryFrame, "keyEveryFrame", "kef", MFnNumericData::kBoolean, 0, true, false, false,
         "create keyEveryFrame"},
        {&mPreRoll, "preRoll", "prl", MFnNumericData::kDouble, 0, true, false, false,
         "create preRoll"},
        {&mKeyOnTimecode, "keyOnTimecode", "kot", MFnNumericData::kBoolean, 0, true, false, false,
         "create keyOnTimecode"},
        // Storable and not keyable, as the host makes every attribute here.
        {&mStageTrigger, "stageTrigger", "stg", MFnNumericData::kBoolean, 1, true, false, false,
         "create stageTrigger"},
    };

    MFnNumericAttribute numeric;
    MStatus status;
    for (const AttributeRow& row : attributes) {
        *row.object =
            numeric.create(row.longName, row.shortName, row.type, row.defaultValue, &status);
        if (!status) {
            printDiagnostic(row.createFailure);
            return MS::kFailure;
        }
        // Only the listed properties are touched; the rest keep the host's
        // numeric defaults.
        if (row.writable) {
            numeric.setWritable(true);
        }
        if (row.hidden) {
            numeric.setHidden(true);
        }
        if (row.array) {
            numeric.setArray(true);
            numeric.setUsesArrayDataBuilder(true);
        }
        status = addAttribute(*row.object);
        if (!status) {
            printDiagnostic("addAttribute: ATTR");
            return MS::kFailure;
        }
    }

    // The network settings: texts, checked when set (networkSettings.cpp).
    struct TextRow {
        MObject* object;
        const char* longName;
        const char* shortName;
    };
    const TextRow texts[] = {
        {&mAllowedSenders, "allowedSenders", "als"},
        {&mListenAddress, "listenAddress", "lad"},
        {&mMulticastGroup, "multicastGroup", "mcg"},
    };
    MFnTypedAttribute typed;
    for (const TextRow& row : texts) {
        *row.object =
            typed.create(row.longName, row.shortName, MFnData::kString, MObject::kNullObj, &status);
        if (!status) {
            printDiagnostic(row.longName);
            return MS::kFailure;
        }
        typed.setWritable(true);
        status = addAttribute(*row.object);
        if (!status) {
            printDiagnostic("addAttribute: ATTR");
            return MS::kFailure;
        }
    }

    const AffectsRow dependencies[] = {
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
    for (const AffectsRow& dependency : dependencies) {
        status = attributeAffects(*dependency.source, *dependency.affected);
        if (!status) {
            printDiagnostic(dependency.failure);
            return MS::kFailure;
        }
    }
    return addStatisticsAttributes();
}
