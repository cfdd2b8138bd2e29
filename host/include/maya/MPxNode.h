// Base of plug-in nodes. The host creates the object through the type's
// creator, calls postConstructor, and calls compute when a dirty output plug
// is read.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>
#include <maya/MObject.h>
#include <maya/MTypeId.h>
#include <maya/MDataHandle.h>
#include <maya/MDataBlock.h>
#include <maya/MPlug.h>
#include <maya/MString.h>
#include <maya/MDGContext.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MPxNode {
public:
    enum Type {
        kDependNode = 0,
        kLocatorNode,
        kDeformerNode,
        kManipContainer,
        kSurfaceShape,
        kFieldNode,
        kEmitterNode,
        kSpringNode,
        kIkSolverNode,
        kHardwareShader,
        kHwShaderNode,
        kTransformNode,
        kObjectSet,
        kFluidEmitterNode,
        kImagePlaneNode,
        kParticleAttributeMapperNode,
        kCameraSetNode,
        kConstraintNode,
        kManipulatorNode,
        kMotionPathNode,
        kClientDeviceNode = 20,
        kThreadedDeviceNode = 21,
        kAssembly,
        kSkinCluster,
        kGeometryFilter,
        kBlendShape,
        kLast = 26
    };

    // How the parallel evaluation may schedule the node's compute.
    enum SchedulingType {
        kParallel,        // any number of nodes of the type at once
        kSerial,          // nodes of the type one after another
        kGloballySerial,  // one node of the type at a time
        kUntrusted,       // nothing else runs while it computes
        kDefaultScheduling = kSerial,
        kSerialize = kSerial,
        kGloballySerialize = kGloballySerial
    };

    MPxNode();
    virtual ~MPxNode();
    virtual void postConstructor();
    // The default answers kUnknownParameter.
    virtual MStatus compute(const MPlug& plug, MDataBlock& dataBlock);
    virtual Type type() const;
    virtual MTypeId typeId() const;
    virtual MString typeName() const;
    virtual MString name() const;
    virtual MObject thisMObject() const;
    // kDefaultScheduling unless the type says otherwise.
    virtual SchedulingType schedulingType() const;

    // During a type's initialize: adds the attribute to the type being
    // registered. Fails (kFailure) outside initialize, (kInvalidParameter) for
    // a null or already added attribute or a name taken on the type.
    static MStatus addAttribute(const MObject& attr);
    // During a type's initialize: a change of whenChanges dirties isAffected.
    static MStatus attributeAffects(const MObject& whenChanges, const MObject& isAffected);
    static MStatus attributeAffects(const MObject& whenChanges, const MObject& isAffected,
                                    bool affectsTopology);

private:
    friend struct ::mayahost::detail::Access;
    MPxNode(const MPxNode&);
    MPxNode& operator=(const MPxNode&);
    ::mayahost::detail::NodeData* mNodeData;
};

MAYAHOST_NS_CLOSE
