// Base of plug-in commands. The host makes a fresh object for every
// invocation, calls doIt with the arguments, and deletes it.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>
#include <maya/MString.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MPxCommand {
public:
    MPxCommand();
    virtual ~MPxCommand();
    virtual MStatus doIt(const MArgList& args);
    virtual MStatus undoIt();
    virtual MStatus redoIt();
    virtual bool isUndoable() const;
    virtual bool hasSyntax() const;
    // Records an error line, as MGlobal::displayError does.
    static void displayError(const MString& error, bool showLineNumber = false);
    static void displayInfo(const MString& info);
    static void setResult(unsigned int val);
    static void setResult(int val);
    static void setResult(double val);
    static void setResult(bool val);
    static void setResult(const char* val);
    static void setResult(const MString& val);
    // Makes the result an array of strings (a single result set before
    // becomes its first element) and adds this one.
    static void appendToResult(const MString& val);

private:
    MPxCommand(const MPxCommand&);
    MPxCommand& operator=(const MPxCommand&);
};

MAYAHOST_NS_CLOSE
