// A plug-in that uses every declaration of the API surface the project
// relies on, in the form the host's headers give it. It is only built, never
// loaded: a header that lacks a member, or declares it with another
// signature, default, constness or staticness, fails this build.
#include <maya/MAnimControl.h>
#include <maya/MArgList.h>
#include <maya/MArrayDataBuilder.h>
#include <maya/MArrayDataHandle.h>
#include <maya/MDataBlock.h>
#include <maya/MDataHandle.h>
#include <maya/MConditionMessage.h>
#include <maya/MDGMessage.h>
#include <maya/MDGModifier.h>
#include <maya/MDoubleArray.h>
#include <maya/MEulerRotation.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnAttribute.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>
#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MMessage.h>
#include <maya/MObject.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MPxCommand.h>
#include <maya/MPxNode.h>
#include <maya/MPxThreadedDeviceNode.h>
#include <maya/MQuaternion.h>
#include <maya/MSceneMessage.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringResource.h>
#include <maya/MStringResourceId.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>
#include <maya/MTypeId.h>
#include <maya/MTypes.h>
#include <maya/MVector.h>

#include <cstdint>
#include <iostream>
#include <sstream>
#include <type_traits>

// Names the host does not define: a header that did would clash with these.
#ifdef MLL_EXPORT
#error "MLL_EXPORT is the plug-in's own macro"
#endif
struct MInitFeatureStringsFunction {};
namespace MS_is_a_typedef {
struct MS {};
}  // namespace MS_is_a_typedef

static_assert(sizeof(MInt64) == 8 && sizeof(MUintPtrSz) == sizeof(void*), "");
static_assert(std::is_same<decltype(PLUGIN_COMPANY), const char (&)[9]>::value, "");

// Signatures checked exactly, where an overload set or a default could hide a
// difference from a plain call.
static_assert(std::is_same<decltype(static_cast<MStatus (MStatus::*)() const>(nullptr)),
                           MStatus (MStatus::*)() const>::value,
              "");
static_assert(std::is_same<MS, MStatus>::value, "MS is a typedef of MStatus");
static_assert(MS::kSuccess == 0 && MS::kFailure == 1 && MS::kInsufficientMemory == 2 &&
                  MS::kInvalidParameter == 3 && MS::kLicenseFailure == 4 &&
                  MS::kUnknownParameter == 5 && MS::kNotImplemented == 6 && MS::kNotFound == 7 &&
                  MS::kEndOfFile == 8,
              "status codes");
static_assert(std::is_same<MStatus::MStatusCode, decltype(MS::kSuccess)>::value, "");
static_assert(MAYA_API_VERSION == 20230300, "");
static_assert(std::is_same<MCallbackId, std::uintptr_t>::value, "");
static_assert(std::is_same<MCreatorFunction, void* (*)()>::value, "");
static_assert(std::is_same<MInitializeFunction, MStatus (*)()>::value, "");
static_assert(std::is_same<MCreateSyntaxFunction, MSyntax (*)()>::value, "");
static_assert(std::is_same<MMessage::MBasicFunction, void (*)(void*)>::value, "");
static_assert(std::is_same<float3, float[3]>::value, "");
static_assert(MFnNumericData::kInt == MFnNumericData::kLong && MFnNumericData::kInt == 7 &&
                  MFnNumericData::k3Float == 13 && MFnNumericData::kDouble == 14 &&
                  MFnNumericData::kBoolean == 1 && MFnNumericData::kLast == 19,
              "");
static_assert(MPxNode::kThreadedDeviceNode == 21 && MPxNode::kClientDeviceNode == 20 &&
                  MPxNode::kLast == 26,
              "");
static_assert(MTime::kFilm == 6 && MTime::k24FPS == MTime::kFilm && MTime::k30FPS == 8 &&
                  MTime::k50FPS == 10 && MTime::k60FPS == MTime::kNTSCField &&
                  MTime::k6000FPS == 42 && MTime::k90FPS == 50,
              "");
static_assert(MEulerRotation::kXYZ == 0 && MEulerRotation::kZYX == 5, "");
static_assert(MFnAnimCurve::kAnimCurveTL == 1 && MFnAnimCurve::kAnimCurveUnknown == 8, "");
static_assert(MSceneMessage::kBeforeNew == 1, "");
static_assert(!std::is_copy_constructible<MFnDependencyNode>::value, "function sets do not copy");
static_assert(!std::is_copy_constructible<MCharBuffer>::value, "");
// Members that are non-const in the host.
static_assert(std::is_same<decltype(&MPxThreadedDeviceNode::isLive),
                           bool (MPxThreadedDeviceNode::*)()>::value,
              "");
static_assert(std::is_same<decltype(&MPxThreadedDeviceNode::threadDataCount),
                           long (MPxThreadedDeviceNode::*)()>::value,
              "");
static_assert(
    std::is_same<decltype(&MDataHandle::asFloat3), float3& (MDataHandle::*)() const>::value, "");
static_assert(std::is_same<decltype(&MFnDependencyNode::userNode),
                           MPxNode* (MFnDependencyNode::*)(MStatus*) const>::value,
              "");
static_assert(std::is_same<decltype(&MStringResource::getString),
                           const MString (*)(const MStringResourceId&, MStatus&)>::value,
              "");
static_assert(std::is_same<decltype(&MStringResource::registerString),
                           MStatus (*)(const MStringResourceId&)>::value,
              "");
static_assert(std::is_same<decltype(&MSceneMessage::addCallback),
                           MCallbackId (*)(MSceneMessage::Message, MMessage::MBasicFunction, void*,
                                           MStatus*)>::value,
              "");
static_assert(std::is_same<decltype(&MMessage::removeCallback), MStatus (*)(MCallbackId)>::value,
              "");
static_assert(std::is_same<MMessage::MNodeFunction, void (*)(MObject&, void*)>::value, "");
static_assert(
    std::is_same<decltype(&MDGMessage::addNodeAddedCallback),
                 MCallbackId (*)(MMessage::MNodeFunction, const MString&, void*, MStatus*)>::value,
    "");
static_assert(
    std::is_same<decltype(&MDGMessage::addNodeRemovedCallback),
                 MCallbackId (*)(MMessage::MNodeFunction, const MString&, void*, MStatus*)>::value,
    "");
static_assert(std::is_same<MMessage::MStateFunction, void (*)(bool, void*)>::value, "");
static_assert(
    std::is_same<decltype(&MConditionMessage::addConditionCallback),
                 MCallbackId (*)(const MString&, MMessage::MStateFunction, void*, MStatus*)>::value,
    "");
static_assert(std::is_same<decltype(&MGlobal::mayaState), MGlobal::MMayaState (*)(MStatus*)>::value,
              "");
static_assert(MGlobal::kBatch == 1, "");
static_assert(std::is_same<decltype(&MTime::uiUnit), MTime::Unit (*)()>::value, "");
static_assert(std::is_same<decltype(&MAnimControl::isPlaying), bool (*)()>::value, "");
static_assert(std::is_same<decltype(&MQuaternion::asEulerRotation),
                           MEulerRotation (MQuaternion::*)() const>::value,
              "");
static_assert(
    std::is_same<decltype(&MEulerRotation::asVector), MVector (MEulerRotation::*)() const>::value,
    "");
static_assert(std::is_same<decltype(&MPlug::parent), MPlug (MPlug::*)(MStatus*) const>::value, "");
static_assert(
    std::is_same<decltype(&MFnPlugin::loadPath), MString (MFnPlugin::*)(MStatus*) const>::value,
    "");
static_assert(std::is_same<decltype(&MFnPlugin::registerUIStrings),
                           MStatus (MFnPlugin::*)(MInitializeFunction, const MString&)>::value,
              "");
static_assert(std::is_same<decltype(&MFnPlugin::deregisterNode),
                           MStatus (MFnPlugin::*)(const MTypeId&)>::value,
              "");
static_assert(
    std::is_same<decltype(&MFnPlugin::registerNode),
                 MStatus (MFnPlugin::*)(const MString&, const MTypeId&, MCreatorFunction,
                                        MInitializeFunction, MPxNode::Type, const MString*)>::value,
    "");
static_assert(std::is_same<decltype(&MPxNode::addAttribute), MStatus (*)(const MObject&)>::value,
              "");
static_assert(
    std::is_same<decltype(&MPxCommand::displayError), void (*)(const MString&, bool)>::value, "");
static_assert(std::is_same<decltype(&MArrayDataBuilder::addElement),
                           MDataHandle (MArrayDataBuilder::*)(unsigned int, MStatus*)>::value,
              "");
static_assert(std::is_same<decltype(&MArrayDataHandle::builder),
                           MArrayDataBuilder (MArrayDataHandle::*)(MStatus*)>::value,
              "");
static_assert(std::is_same<decltype(&MPxThreadedDeviceNode::destroyMemoryPools),
                           MStatus (MPxThreadedDeviceNode::*)()>::value,
              "");
static_assert(std::is_same<decltype(&MAnimControl::isValid), bool (*)()>::value, "");
static_assert(
    std::is_same<
        decltype(static_cast<MObject (MFnAnimCurve::*)(MFnAnimCurve::AnimCurveType, MDGModifier*,
                                                       MStatus*)>(&MFnAnimCurve::create)),
        MObject (MFnAnimCurve::*)(MFnAnimCurve::AnimCurveType, MDGModifier*, MStatus*)>::value,
    "");
static_assert(std::is_same<decltype(&MFnAnimCurve::addKeys),
                           MStatus (MFnAnimCurve::*)(
                               MTimeArray*, MDoubleArray*, MFnAnimCurve::TangentType,
                               MFnAnimCurve::TangentType, bool, MAnimCurveChange*)>::value,
              "");
static_assert(std::is_same<decltype(static_cast<const double& (MDoubleArray::*)(unsigned int)
                                                    const>(&MDoubleArray::operator[])),
                           const double& (MDoubleArray::*)(unsigned int) const>::value,
              "");
static_assert(std::is_same<decltype(&MTimeArray::operator[]),
                           const MTime& (MTimeArray::*)(unsigned int) const>::value,
              "");
static_assert(std::is_same<decltype(&MArrayDataHandle::set),
                           MStatus (MArrayDataHandle::*)(MArrayDataBuilder&)>::value,
              "");

namespace {

class CheckNode : public MPxThreadedDeviceNode {
public:
    CheckNode() {}
    void postConstructor() override {
        MObjectArray attributes;
        attributes.append(aOut);
        MObjectArray sized(2u);
        MObjectArray filled(1u, MObject::kNullObj);
        MObjectArray copy(attributes);
        copy = filled;
        const MObjectArray& constRef = copy;
        MObject first = constRef[0];
        copy[0] = first;
        (void)sized.length();
        for (const MObject& item : copy) {
            (void)(item == first);
            (void)(item != MObject::kNullObj);
        }
        MObject assignedObject;
        assignedObject = first;
        MObject copiedObject(assignedObject);
        (void)copiedObject.isNull();
        setRefreshOutputAttributes(attributes);
        createMemoryPools(3, 27, 128L);
        MPxNode::postConstructor();
    }
    MStatus compute(const MPlug& plug, MDataBlock& block) override {
        if (!(plug == aOut) && !(plug.parent() == aOut) && plug != aArray) {
            return MS::kUnknownParameter;
        }
        MStatus status;
        bool element = plug.isElement(&status) || plug.isChild(&status);
        MPlug arrayPlug = plug.array(&status);
        MObject attribute = plug.attribute(&status);
        (void)element;
        (void)attribute;
        (void)arrayPlug;
        MCharBuffer buffer;
        if (popThreadData(buffer) == MS::kSuccess) {
            char* bytes = buffer.ptr();
            long size = buffer.size();
            (void)bytes;
            (void)size;
            releaseDataStorage(buffer);
        }
        MArrayDataHandle handle = block.outputArrayValue(aArray, &status);
        MArrayDataHandle byPlug = block.outputArrayValue(plug, &status);
        byPlug = handle;
        MArrayDataHandle copied(handle);
        (void)copied.elementCount(&status);
        MArrayDataBuilder builder = handle.builder(&status);
        MArrayDataBuilder other(builder);
        other = builder;
        MArrayDataBuilder direct(&block, aArray, 27, &status);
        (void)direct.elementCount();
        MDataHandle out = builder.addElement(0, &status);
        float3& triple = out.asFloat3();
        triple[0] = 1.0f;
        const MDataHandle constHandle = out;
        constHandle.asFloat3()[1] = 2.0f;
        out.set(1.0f, 2.0f, 3.0f);
        out.set3Float(1.0f, 2.0f, 3.0f);
        MDataHandle scalar = block.outputValue(aOut, &status);
        MDataHandle byPlugValue = block.outputValue(plug, &status);
        MDataHandle defaulted;
        defaulted = scalar;
        MDataHandle copiedHandle(byPlugValue);
        scalar.asBool() = true;
        scalar.asInt() = 1;
        scalar.asFloat() = 1.0f;
        scalar.asDouble() = 1.0;
        scalar.set(true);
        scalar.set(1);
        scalar.set(1.0);
        scalar.setClean();
        MArrayDataHandle fromHandle(scalar, &status);
        (void)fromHandle;
        handle.set(builder);
        block.setClean(plug);
        block.setClean(aOut);
        MDataBlock copyOfBlock(block);
        (void)copyOfBlock;

        MPlug livePlug(thisMObject(), live);
        MPlug copiedPlug(livePlug);
        MPlug assigned;
        assigned = copiedPlug;
        bool on = false;
        int number = 0;
        double real = 0.0;
        livePlug.getValue(on);
        livePlug.getValue(number);
        livePlug.getValue(real);
        (void)livePlug.asBool();
        (void)livePlug.asInt(&status);
        (void)livePlug.asDouble(&status);
        livePlug.setValue(true);
        livePlug.setValue(1);
        livePlug.setValue(1.0);
        livePlug.setBool(true);
        livePlug.setInt(1);
        livePlug.setDouble(1.0);
        (void)(livePlug == assigned);
        (void)(livePlug != assigned);
        (void)(livePlug != live);
        MPlug fromContext(thisMObject(), frameRate);
        (void)fromContext.asDouble();

        MQuaternion q(0.0, 0.0, 0.0, 1.0);
        MQuaternion qCopy(q);
        MQuaternion qDefault;
        qDefault = qCopy.normal();
        MEulerRotation euler = q.asEulerRotation();
        MEulerRotation eCopy(euler);
        MEulerRotation eExplicit(0.0, 0.0, 0.0, MEulerRotation::kXYZ);
        MEulerRotation eDefault;
        eDefault = eExplicit;
        MVector v = eCopy.asVector();
        MVector vCopy(v);
        MVector vDefault;
        vDefault = MVector(1.0, 2.0);
        vDefault[0] = vCopy[1] + v.x + v.y + v.z + q.x + q.y + q.z + q.w + euler.x + euler.y +
                      euler.z + (euler.order == MEulerRotation::kXYZ ? 1.0 : 0.0);
        (void)MAnimControl::isPlaying();
        return MS::kSuccess;
    }
    void threadHandler() override {
        setDone(false);
        while (!isDone()) {
            if (!isLive()) continue;
            beginThreadLoop();
            MCharBuffer buffer;
            if (acquireDataStorage(buffer) == MS::kSuccess) {
                buffer.ptr()[0] = 0;
                pushThreadData(buffer);
            }
            (void)threadDataCount();
            endThreadLoop();
        }
    }
    void threadShutdownHandler() override { setDone(true); }
    ~CheckNode() override { destroyMemoryPools(); }

    static void* creator() { return new CheckNode; }
    static MStatus initialize() {
        MFnNumericAttribute numeric;
        MStatus status;
        aOut = numeric.create("checkOut", "co", MFnNumericData::k3Float, 0, &status);
        numeric.setReadable(true);
        numeric.setWritable(false);
        numeric.setStorable(false);
        numeric.setKeyable(false);
        numeric.setHidden(true);
        aArray = numeric.create("checkArray", "ca", MFnNumericData::k3Float);
        numeric.setArray(true);
        numeric.setUsesArrayDataBuilder(true);
        MObject port = numeric.create("checkPort", "cp", MFnNumericData::kInt, 12351);
        MObject flag = numeric.create("checkFlag", "cf", MFnNumericData::kBoolean, 0);
        MObject time = numeric.create("checkTime", "ct", MFnNumericData::kDouble);
        addAttribute(aOut);
        addAttribute(aArray);
        addAttribute(port);
        addAttribute(flag);
        addAttribute(time);
        attributeAffects(live, aOut);
        attributeAffects(frameRate, aArray);
        attributeAffects(time, aArray);
        attributeAffects(aOut, aArray);
        MObject attributeObject = port;
        MFnAttribute generic(attributeObject);
        MFnAttribute constGeneric(static_cast<const MObject&>(port), &status);
        generic.setStorable(true);
        MFnBase& base = generic;
        (void)base.type();
        (void)base.object(&status);
        base.setObject(attributeObject);
        base.setObject(static_cast<const MObject&>(port));
        MFnMessageAttribute message;
        MObject links = message.create("checkLinks", "cl", &status);
        message.setArray(true);
        addAttribute(links);
        MFnMessageAttribute constMessage(static_cast<const MObject&>(links), &status);
        (void)MFnMessageAttribute::className();
        (void)output;
        (void)MPxThreadedDeviceNode::className();
        return MS::kSuccess;
    }

    static MTypeId id;
    static MObject aOut;
    static MObject aArray;
};

MTypeId CheckNode::id(0x81051);
MObject CheckNode::aOut;
MObject CheckNode::aArray;

class CheckCommand : public MPxCommand {
public:
    MStatus doIt(const MArgList& args) override {
        MStatus status;
        unsigned int count = args.length(&status);
        if (count != 1) {
            displayError("one argument", false);
            displayError("again");
            return MS::kFailure;
        }
        MString name = args.asString(0, &status);
        (void)args.asInt(0);
        MArgList copy(args);
        MArgList empty;
        (void)copy;
        (void)empty;
        MSelectionList list;
        MSelectionList listCopy(list);
        MGlobal::getSelectionListByName(name, list);
        list.add(name, false);
        list.add(MObject::kNullObj);
        list.add("byName");
        (void)list.length(&status);
        MObject object;
        list.getDependNode(0, object);
        MFnDependencyNode fn(object, &status);
        MFnDependencyNode fromConst(static_cast<const MObject&>(object));
        MFnDependencyNode unattached;
        (void)unattached;
        MPxNode* user = fn.userNode(&status);
        CheckNode* device = dynamic_cast<CheckNode*>(user);
        (void)device;
        MTypeId typeId = fn.typeId(&status);
        (void)(typeId == CheckNode::id);
        (void)(typeId != MTypeId(0x81051, 0));
        (void)typeId.id();
        MTypeId assignedId;
        assignedId = MTypeId(typeId);
        MString nodeName = fn.name(&status);
        MString renamed = fn.setName(nodeName, false, &status);
        renamed = fn.setName(nodeName, &status);
        renamed = fn.setName("plain");
        if (user != nullptr) {
            (void)user->typeId();
            (void)user->name();
            (void)user->type();
            MObject self = user->thisMObject();
            (void)self.isNull();
        }
        setResult(true);
        setResult(1);
        setResult(1u);
        setResult(1.0);
        setResult("text");
        setResult(MString("text"));
        return MS::kSuccess;
    }
    MStatus undoIt() override { return MS::kSuccess; }
    MStatus redoIt() override { return MS::kSuccess; }
    bool isUndoable() const override { return false; }
    bool hasSyntax() const override { return false; }
    static void* creator() { return new CheckCommand; }
};

MCallbackId gCallback = 0;
MCallbackId gNodeCallbacks[2] = {0, 0};

void nodeLeft(MObject& node, void* clientData) {
    (void)node;
    (void)clientData;
}

void beforeNew(void* clientData) {
    (void)clientData;
}

MStatus registerStrings() {
    MStringResourceId id("CompileCheck", "KEY", "Default text");
    MStringResourceId copy(id);
    MStringResourceId empty;
    empty = copy;
    (void)(empty == id);
    MStatus status = MStringResource::registerString(id);
    MStatus lookup;
    MString text = MStringResource::getString(id, lookup);
    const char* narrow = text.asChar();
    const wchar_t* wide = text.asWChar();
    (void)narrow;
    (void)wide;
    return status;
}

void useStrings() {
    MString a;
    MString b("narrow");
    MString w(L"wide");
    MString c(b);
    c += b;
    c += "x";
    c += 1.5;
    c += 2;
    c += 3u;
    c += 1.5f;
    a = c;
    a = "text";
    (void)(a == c);
    (void)(a == "text");
    (void)(a != c);
    (void)(a != "text");
    MString d = a + c;
    d = a + "x";
    d = a + 2.0;
    d = "prefix" + a;
    (void)d.length();
    (void)d.numChars();
    d.substitute("x", "y");
    d.substituteFirst("y", "z");
    std::ostringstream out;
    out << d;
}

void useStatus() {
    MStatus s;
    MStatus f(MS::kFailure);
    MStatus copy(f);
    s = copy;
    (void)(s == f);
    (void)(s == MS::kFailure);
    (void)(s != f);
    (void)(s != MS::kSuccess);
    (void)(MS::kSuccess == s);
    (void)(MS::kSuccess != s);
    (void)s.error();
    s.clear();
    (void)s.statusCode();
    MString text = f.errorString();
    f.perror("context");
    f.perror(text);
    if (s) {
        (void)MFAIL(s);
    }
}

MStatus checkedCalls(MStatus status) {
    CHECK_MSTATUS(status);
    CHECK_MSTATUS_AND_RETURN(status, MS::kFailure);
    CHECK_MSTATUS_AND_RETURN_IT(status);
    return status;
}

void useCurvesAndTime() {
    MStatus status;
    MFnAnimCurve curve;
    MObject made = curve.create(MFnAnimCurve::kAnimCurveTL, nullptr, &status);
    MFnAnimCurve attached(made, &status);
    MFnAnimCurve attachedConst(static_cast<const MObject&>(made));
    MObject node;
    MPlug plug;
    MFnAnimCurve fromPlug(plug, &status);
    curve.create(node, MObject::kNullObj, nullptr, &status);
    curve.create(node, MObject::kNullObj, MFnAnimCurve::kAnimCurveTA);
    curve.create(plug, nullptr, &status);
    curve.create(plug, MFnAnimCurve::kAnimCurveTU);
    (void)MAnimControl::isValid();
    curve.setName("curve", false);
    MTime time(1.0, MTime::uiUnit());
    MTime copy(time);
    MTime film(2.0);
    MTime zero;
    zero = copy;
    (void)(zero == time);
    zero.setValue(3.0);
    (void)zero.value();
    (void)zero.as(MTime::kSeconds);
    MTime::setUIUnit(MTime::k30FPS);
    curve.addKeyframe(time, 1.0);
    curve.addKeyframe(film, 2.0, MFnAnimCurve::kTangentLinear, MFnAnimCurve::kTangentLinear);
    MTimeArray times;
    const MTime timeSource[] = {time, film};
    MTimeArray fromTimes(timeSource, 2);
    MTimeArray filledTimes(2u, time);
    MTimeArray timesCopy(fromTimes);
    timesCopy = filledTimes;
    times.append(time);
    times.setLength(2);
    times.set(film, 1);
    (void)(times[0] == times[1]);
    (void)timesCopy.length();
    timesCopy.clear();
    MDoubleArray values;
    const double doubleSource[] = {1.0, 2.0};
    const float floatSource[] = {1.0f, 2.0f};
    MDoubleArray fromDoubles(doubleSource, 2);
    MDoubleArray fromFloats(floatSource, 2);
    MDoubleArray zeros(2u);
    MDoubleArray ones(2u, 1.0);
    MDoubleArray valuesCopy(fromDoubles);
    valuesCopy = fromFloats;
    values.append(1.0);
    values.setLength(2);
    values.set(2.0, 1);
    values[0] = static_cast<const MDoubleArray&>(ones)[1] + zeros[0];
    (void)valuesCopy.length();
    valuesCopy.clear();
    curve.addKeys(&times, &values);
    curve.addKeys(&times, &values, MFnAnimCurve::kTangentGlobal, MFnAnimCurve::kTangentGlobal, true,
                  nullptr);
    (void)curve.numKeys(&status);
    (void)curve.numKeyframes();
    (void)curve.time(0, &status);
    (void)curve.value(0, &status);
    MDGModifier modifier;
    modifier.deleteNode(made);
    modifier.deleteNode(made, false);
    modifier.doIt();
    modifier.undoIt();
    MAnimControl::setCurrentTime(MAnimControl::currentTime());
    MAnimControl::playForward();
    MAnimControl::stop();
    int intResult = 0;
    double doubleResult = 0.0;
    MGlobal::executeCommand("createZemoriShelf", intResult);
    MGlobal::executeCommand("createZemoriShelf", doubleResult, false, false);
    MGlobal::executeCommand("createZemoriShelf", false, false);
    MGlobal::executeCommand("createZemoriShelf");
    MGlobal::executeCommandOnIdle("cleanUpUI", false);
    MGlobal::executeCommandOnIdle("cleanUpUI");
    MGlobal::displayInfo("info");
    MGlobal::displayError("error");
    MGlobal::sourceFile("script.mel");
}

}  // namespace

MStatus initializePlugin(MObject obj) {
    MFnPlugin plugin(obj, "Vendor", "1.0", "Any");
    MFnPlugin withStatus(obj, "Vendor", "1.0", "Any", nullptr);
    MFnPlugin defaulted(obj);
    MFnPlugin unattached;
    (void)unattached;
    MString folder = plugin.loadPath();
    (void)folder;
    MStatus status = plugin.registerUIStrings(registerStrings, "CompileCheckInitStrings");
    status = plugin.registerCommand("CompileCheck", CheckCommand::creator);
    status = plugin.registerCommand("CompileCheck2", CheckCommand::creator, nullptr);
    status = plugin.registerNode("CompileCheckNode", CheckNode::id, CheckNode::creator,
                                 CheckNode::initialize, MPxNode::kThreadedDeviceNode);
    status = plugin.registerNode("CompileCheckNode2", MTypeId(0x81052), CheckNode::creator,
                                 CheckNode::initialize);
    const MString classification("utility/general");
    status = plugin.registerNode("CompileCheckNode3", MTypeId(0x81053), CheckNode::creator,
                                 CheckNode::initialize, MPxNode::kDependNode, &classification);
    const char* company = PLUGIN_COMPANY;
    (void)company;
    gCallback = MSceneMessage::addCallback(MSceneMessage::kBeforeNew, beforeNew, nullptr, &status);
    gCallback = MSceneMessage::addCallback(MSceneMessage::kBeforeNew, beforeNew);
    gNodeCallbacks[0] = MDGMessage::addNodeRemovedCallback(nodeLeft);
    gNodeCallbacks[1] =
        MDGMessage::addNodeAddedCallback(nodeLeft, "CompileCheckNode", nullptr, &status);
    useStrings();
    useStatus();
    useCurvesAndTime();
    return checkedCalls(status);
}

MStatus uninitializePlugin(MObject obj) {
    MFnPlugin plugin(obj);
    MMessage::removeCallback(gCallback);
    for (MCallbackId id : gNodeCallbacks) MMessage::removeCallback(id);
    plugin.deregisterNode(CheckNode::id);
    plugin.deregisterCommand("CompileCheck");
    std::cout << MApiVersion << ADSK_PLUGIN_SIGNATURE << std::endl;
    return MS::kSuccess;
}
