// The versioned namespace of the API classes. Every class lives in it and is
// re-exported to the global namespace by a using declaration, so plug-in code
// names them unqualified but cannot forward-declare them.
#pragma once

#define MAYAHOST_NS_OPEN \
    namespace Autodesk { \
    namespace Maya {     \
    namespace OpenMaya20230000 {
#define MAYAHOST_NS_CLOSE \
    }                     \
    }                     \
    }

// The host's internals reach the private state of the API classes through
// this friend; it is not part of the API.
namespace mayahost {
namespace detail {
struct Access;
struct ObjectData;
struct NodeData;
struct AttributeData;
struct Slot;
struct ArrayData;
struct BuilderData;
struct DeviceState;
}  // namespace detail
}  // namespace mayahost

MAYAHOST_NS_OPEN
class MAnimControl;
class MAnimCurveChange;
class MArgList;
class MArrayDataBuilder;
class MArrayDataHandle;
class MCharBuffer;
class MCommandResult;
class MDataBlock;
class MDataHandle;
class MDGContext;
class MDGMessage;
class MDGModifier;
class MDoubleArray;
class MEulerRotation;
class MFn;
class MFnAnimCurve;
class MFnAttribute;
class MFnBase;
class MFnData;
class MFnDependencyNode;
class MFnMessageAttribute;
class MFnTypedAttribute;
class MFnNumericAttribute;
class MFnNumericData;
class MFnPlugin;
class MGlobal;
class MMessage;
class MObject;
class MObjectArray;
class MPlug;
class MPxCommand;
class MPxNode;
class MPxThreadedDeviceNode;
class MQuaternion;
class MSceneMessage;
class MConditionMessage;
class MNodeMessage;
class MEventMessage;
class MSelectionList;
class MStatus;
class MString;
class MStringResource;
class MStringResourceId;
class MSyntax;
class MTime;
class MTimeArray;
class MTypeId;
class MVector;
MAYAHOST_NS_CLOSE

using Autodesk::Maya::OpenMaya20230000::MAnimControl;
using Autodesk::Maya::OpenMaya20230000::MAnimCurveChange;
using Autodesk::Maya::OpenMaya20230000::MArgList;
using Autodesk::Maya::OpenMaya20230000::MArrayDataBuilder;
using Autodesk::Maya::OpenMaya20230000::MArrayDataHandle;
using Autodesk::Maya::OpenMaya20230000::MCharBuffer;
using Autodesk::Maya::OpenMaya20230000::MCommandResult;
using Autodesk::Maya::OpenMaya20230000::MConditionMessage;
using Autodesk::Maya::OpenMaya20230000::MDataBlock;
using Autodesk::Maya::OpenMaya20230000::MDataHandle;
using Autodesk::Maya::OpenMaya20230000::MDGContext;
using Autodesk::Maya::OpenMaya20230000::MDGMessage;
using Autodesk::Maya::OpenMaya20230000::MDGModifier;
using Autodesk::Maya::OpenMaya20230000::MDoubleArray;
using Autodesk::Maya::OpenMaya20230000::MEulerRotation;
using Autodesk::Maya::OpenMaya20230000::MEventMessage;
using Autodesk::Maya::OpenMaya20230000::MFn;
using Autodesk::Maya::OpenMaya20230000::MFnAnimCurve;
using Autodesk::Maya::OpenMaya20230000::MFnAttribute;
using Autodesk::Maya::OpenMaya20230000::MFnBase;
using Autodesk::Maya::OpenMaya20230000::MFnData;
using Autodesk::Maya::OpenMaya20230000::MFnDependencyNode;
using Autodesk::Maya::OpenMaya20230000::MFnMessageAttribute;
using Autodesk::Maya::OpenMaya20230000::MFnTypedAttribute;
using Autodesk::Maya::OpenMaya20230000::MFnNumericAttribute;
using Autodesk::Maya::OpenMaya20230000::MFnNumericData;
using Autodesk::Maya::OpenMaya20230000::MFnPlugin;
using Autodesk::Maya::OpenMaya20230000::MGlobal;
using Autodesk::Maya::OpenMaya20230000::MMessage;
using Autodesk::Maya::OpenMaya20230000::MNodeMessage;
using Autodesk::Maya::OpenMaya20230000::MObject;
using Autodesk::Maya::OpenMaya20230000::MObjectArray;
using Autodesk::Maya::OpenMaya20230000::MPlug;
using Autodesk::Maya::OpenMaya20230000::MPxCommand;
using Autodesk::Maya::OpenMaya20230000::MPxNode;
using Autodesk::Maya::OpenMaya20230000::MPxThreadedDeviceNode;
using Autodesk::Maya::OpenMaya20230000::MQuaternion;
using Autodesk::Maya::OpenMaya20230000::MSceneMessage;
using Autodesk::Maya::OpenMaya20230000::MSelectionList;
using Autodesk::Maya::OpenMaya20230000::MStatus;
using Autodesk::Maya::OpenMaya20230000::MString;
using Autodesk::Maya::OpenMaya20230000::MStringResource;
using Autodesk::Maya::OpenMaya20230000::MStringResourceId;
using Autodesk::Maya::OpenMaya20230000::MSyntax;
using Autodesk::Maya::OpenMaya20230000::MTime;
using Autodesk::Maya::OpenMaya20230000::MTimeArray;
using Autodesk::Maya::OpenMaya20230000::MTypeId;
using Autodesk::Maya::OpenMaya20230000::MVector;
