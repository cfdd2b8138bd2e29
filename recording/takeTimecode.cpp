// The take node's timecode attributes. The two texts are string attributes,
// added to the node when its take is written, as addAttr does for any node.
#include "recording/takeTimecode.h"

#include "plugin/messageTable.h"
#include "recording/takeNode.h"

#include <maya/MGlobal.h>
#include <maya/MPlug.h>

#include <string>

namespace {

void setText(const MString& node, const char* attribute, const std::string& text) {
    const MString plug = node + "." + attribute;
    // The text holds digits, ':' and ';' only: nothing to escape in MEL.
    if (!MGlobal::executeCommand(MString("addAttr -longName \"") + attribute +
                                 "\" -dataType \"string\" \"" + node + "\"") ||
        !MGlobal::executeCommand(MString("setAttr -type \"string\" \"") + plug + "\" \"" +
                                 text.c_str() + "\"")) {
        printDiagnostic("set take timecode");
    }
}

}  // namespace

void setTakeTimecode(const MObject& node, const MString& takeNode, const TakeTimecode& timecode) {
    setText(takeNode, "startTimecode", formatTimecode(timecode.start));
    setText(takeNode, "endTimecode", formatTimecode(timecode.end));
    const bool present = timecode.start.present();
    MPlug(node, ZemoriTakeNode::mTimecodeRate)
        .setValue(present ? timecodeFramesPerSecond(timecode.start.rate) : 0.0);
    MPlug(node, ZemoriTakeNode::mTimecodeDropFrame).setValue(present && timecode.start.dropFrame());
}
