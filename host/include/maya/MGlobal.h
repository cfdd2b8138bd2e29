// Global operations: commands, scripts, messages, lookups by name.
#pragma once

#include <maya/MString.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MGlobal {
public:
    enum MMayaState { kInteractive, kBatch, kLibraryApp, kBaseUIMode };
    // kBatch while the host runs as mayabatch does (mayahost::setBatchMode):
    // then no idle processing runs.
    static MMayaState mayaState(MStatus* ReturnStatus = nullptr);
    // Adds the node of that exact name to the list; kNotFound when none.
    static MStatus getSelectionListByName(const MString& name, MSelectionList& list);
    // Runs a script file found by name on the script search path; kNotFound
    // when no folder holds it, kFailure when it cannot be read.
    static MStatus sourceFile(const MString& fileName);
    // Queues the command for the main thread's idle processing (any thread).
    static MStatus executeCommandOnIdle(const MString& command, bool displayEnabled = false);
    // Runs the command at once.
    static MStatus executeCommand(const MString& command, bool displayEnabled = false,
                                  bool undoEnabled = false);
    static MStatus executeCommand(const MString& command, int& result, bool displayEnabled = false,
                                  bool undoEnabled = false);
    static MStatus executeCommand(const MString& command, double& result,
                                  bool displayEnabled = false, bool undoEnabled = false);
    static MStatus executeCommand(const MString& command, MString& result,
                                  bool displayEnabled = false, bool undoEnabled = false);
    static void displayInfo(const MString& theMessage);
    static void displayWarning(const MString& theWarning);
    static void displayError(const MString& theError);

private:
    MGlobal();
    ~MGlobal();
};

MAYAHOST_NS_CLOSE
