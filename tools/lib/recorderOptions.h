// Command line of the headless recorder.
#pragma once

#include "tools/lib/captureTake.h"

#include <string>
#include <vector>

namespace ztools {

struct RecorderOptions {
    std::string modulePrefix;  // install prefix holding ZemoriMayaPlugin/
    int port = 12351;
    int deviceId = 0;
    // Device nodes in the session, with ids deviceId, deviceId + 1, …: all on
    // the port with the same network settings (one multicast group, say),
    // each bound to its own character and recording. The first one's take
    // is the recorder's; the others are read back beside it.
    int deviceNodes = 1;
    double durationSeconds = 0.0;  // 0: until the stream ends or a signal
    std::string maPath;            // both empty: take.ma and take.bvh
    std::string bvhPath;
    std::string comparePath;  // source BVH to compare the take with
    double unitCm = kCmuUnitCm;
    double noDataSeconds = 3.0;     // no datagram at all: give up
    double streamEndSeconds = 1.0;  // silence after frames: the take ends
    int settleFrames = 10;          // frames seen before recording starts
    // The scene plays in real time at this rate (24, 25, 30, 48, 50 or 60),
    // as Maya plays it; the take's keys are in its frames.
    int sceneFps = 30;
    bool keyEveryFrame = false;  // every captured frame, else every scene frame
    bool keyOnTimecode = false;  // keys at the frames' timecode (the node's keyOnTimecode)
    double preRollSeconds = 0.0;
    // A busy scene: the main thread stalls this long after each frame that
    // comes this many seconds after the last stall (0: never).
    double stallMs = 0.0;
    double stallEverySeconds = 0.0;
    bool progress = true;
    // Through the module's shelf and panel, as a user would: the shelf
    // button makes the device (and gives it its id), the panel's port field,
    // check boxes and bind button drive it.
    bool ui = false;
    // --trigger-port P [--out DIR] [--takes N]: the stage's record button
    // starts and stops the takes (0: recording starts at once, as before).
    int triggerPort = 0;
    std::string outDir;  // empty: the current folder
    int takes = 0;       // 0: until the stream ends or a signal
    // The node's network settings, as its attributes take them (empty: not set).
    std::string listenAddress;
    std::string multicastGroup;
    std::string allowedSenders;
};

enum class RecorderParse { kRun, kHelp, kError };

// Reads the command line (without the program name); `defaultPrefix` is
// the build's install tree.
RecorderParse parseRecorderOptions(const std::vector<std::string>& args,
                                   const std::string& defaultPrefix, RecorderOptions& out,
                                   std::string& error);
const char* recorderUsage();

// What to check when nothing arrived on the port for `seconds`: the
// workstation's addresses on the chosen interface and the port, that the
// capture application sends there, the firewall.
std::string noDatagramAdvice(int port, const std::string& listenAddress,
                             const std::string& multicastGroup, double seconds);

// The plug-in file inside an install prefix.
std::string pluginPath(const std::string& prefix);

}  // namespace ztools
