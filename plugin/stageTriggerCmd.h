// ZemoriStageTrigger: sets up the stage trigger listener and reports on it.
//   ZemoriStageTrigger -port N        the UDP port (1 to 65535); a running
//                                     listener moves to it
//   ZemoriStageTrigger -enable 0|1    stops or starts the listener
//   ZemoriStageTrigger -query         "enabled=E port=P received=R
//                                     refused=F duplicates=D"
//   ZemoriStageTrigger -query -port   the port; -query -enable: 0 or 1
// -port and -enable may be given together. Both are kept as preferences
// (optionVar ZemoriStageTriggerPort, ZemoriStageTriggerEnabled), and the
// plug-in starts the listener on load when the preference says enabled.
// Fails, with an error line, for a bad port or a port it cannot bind; the
// enable preference is then left as it was.
#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

#include <cstdint>

class ZemoriStageTriggerCmd : public MPxCommand {
public:
    ZemoriStageTriggerCmd() = default;
    ~ZemoriStageTriggerCmd() override;
    MStatus doIt(const MArgList& args) override;
    static void* creator();
};

// Runs on the main thread from the idle queue: hands on what the listener
// received (see stageTriggerListener.h).
class ZemoriStageTriggerDrainCmd : public MPxCommand {
public:
    ZemoriStageTriggerDrainCmd() = default;
    ~ZemoriStageTriggerDrainCmd() override;
    MStatus doIt(const MArgList& args) override;
    static void* creator();
};

inline constexpr const char* kStageTriggerCommandName = "ZemoriStageTrigger";
inline constexpr std::uint16_t kStageTriggerDefaultPort = 1512;

// Plug-in load: starts the listener when the preference says enabled (a
// port that cannot be bound is reported, and the load goes on).
void startStageTriggerFromPreferences();
