// ZemoriDidCharacterize <node>: the UI scripts run it once a character has
// been bound to a device node's skeleton; from then on the node decodes
// frame data. Not undoable, no syntax object.
#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

class ZemoriDidCharacterizeCmd : public MPxCommand {
public:
    ZemoriDidCharacterizeCmd() = default;
    ~ZemoriDidCharacterizeCmd() override;

    // Fails, with an error shown to the user and no node changed, unless
    // given exactly one argument naming a ZemoriDeviceNode.
    MStatus doIt(const MArgList& args) override;

    static void* creator();
};

inline constexpr const char* kCharacterizeCommandName = "ZemoriDidCharacterize";
