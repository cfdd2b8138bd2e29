// The plug-in function set: registration of commands, node types and UI
// strings. Also declares the plug-in's entry points, which the host looks up
// in the loaded module.
#pragma once

#include <maya/MFnBase.h>
#include <maya/MApiVersion.h>
#include <maya/MPlugin.h>
#include <maya/MPxNode.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#define PLUGIN_COMPANY "Autodesk"

PLUGIN_EXPORT MStatus initializePlugin(MObject obj);
PLUGIN_EXPORT MStatus uninitializePlugin(MObject obj);

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MFnPlugin : public MFnBase {
    declareMinimalMFn(MFnPlugin)

        MFnPlugin();
    MFnPlugin(MObject& object, const char* vendor = "Unknown", const char* version = "Unknown",
              const char* requiredApiVersion = "Any", MStatus* ReturnStatus = 0L);
    MString vendor(MStatus* ReturnStatus = nullptr) const;
    MString version(MStatus* ReturnStatus = nullptr) const;
    MString name(MStatus* ReturnStatus = nullptr) const;
    // The folder the plug-in was loaded from, with forward slashes.
    MString loadPath(MStatus* ReturnStatus = nullptr) const;
    // Fails (kFailure) when the name is taken.
    MStatus registerCommand(const MString& commandName, MCreatorFunction creatorFunction,
                            MCreateSyntaxFunction createSyntaxFunction = nullptr);
    // Fails (kFailure) when no command of the plug-in has the name.
    MStatus deregisterCommand(const MString& commandName);
    // Calls initFunction to collect the type's attributes; fails (kFailure)
    // when it fails or when the name or id is taken.
    MStatus registerNode(const MString& typeName, const MTypeId& typeId,
                         MCreatorFunction creatorFunction, MInitializeFunction initFunction,
                         MPxNode::Type type = MPxNode::kDependNode,
                         const MString* classification = nullptr);
    // Fails (kFailure) while nodes of the type exist or when the type is not
    // one of the plug-in's.
    MStatus deregisterNode(const MTypeId& typeId);
    // Calls the function (which registers the string ids), then reads the
    // localized texts of the resource named pluginStringsProc.
    MStatus registerUIStrings(MInitializeFunction registerMStringResources,
                              const MString& pluginStringsProc);

private:
    MFnPlugin(const MObject& object, const char* vendor = "Unknown",
              const char* version = "Unknown", const char* requiredApiVersion = "Any",
              MStatus* ReturnStatus = 0L);
};

MAYAHOST_NS_CLOSE
