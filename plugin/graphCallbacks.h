// The plug-in's watch on device nodes leaving and entering the graph. A
// deleted node stays allocated in the undo queue, so its destructor comes
// too late to free its port: the node removed callback tells the node it
// left, the node added callback (also sent by undo) that it is back.
#pragma once

#include <maya/MStatus.h>

// Installs both callbacks, for device nodes only (main thread).
MStatus addGraphCallbacks();
// Removes them; nothing when none is installed.
void removeGraphCallbacks();
