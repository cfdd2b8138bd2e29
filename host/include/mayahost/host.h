// The embedded host's own interface, for tests and tools: what a user or the
// host application does around the API (create and delete nodes, set and
// read attributes, run idle processing, play back, load plug-ins). None of
// it is part of the plug-in API; the widget model is in mayahost/ui.h.
//
// Everything here runs on the main thread (the thread that calls it), except
// where a comment says otherwise.
#pragma once

#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxThreadedDeviceNode.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>
#include <maya/MTypes.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace mayahost {

// --- Host lifetime ---

// Unloads every plug-in, deletes every node (waiting a bounded time for
// device threads), and clears types, commands, callbacks, queues, records,
// paths, hooks and playback state. Call between tests.
void reset();
// Fires kBeforeNew callbacks, then deletes every node and flushes the undo
// queue. MEL's `file -force -newFile` does this and then fires kAfterNew;
// `file -force -open` fires kBeforeOpen, deletes every node (flushing the
// undo queue), runs the file, fires kAfterOpen.
void newScene();

// --- The host's rules ---

// A plug-in broke a rule of the host application: it edited the graph while
// a node computed (the edit was refused with kFailure), or it used a plug off
// the main thread (the access went on). Each breach is also printed to
// std::cerr as one line beginning "host rule broken:". The main thread is
// the one that first used the host, or that last called reset().
struct RuleBreach {
    std::string rule;       // "graph is read-only during compute" or
                            // "plugs belong to the main thread"
    std::string node;       // what was touched: node, or node.attribute
    std::string operation;  // the API call, e.g. "MPlug::setValue"
};
// Breaches since the last takeRuleBreaches (any thread).
std::vector<RuleBreach> ruleBreaches();
// Returns the breaches and forgets them.
std::vector<RuleBreach> takeRuleBreaches();

// --- Nodes ---

// A node of a registered type (plug-in types, "transform", the animCurve
// types), named <typeName>1, <typeName>2, ...; null and kInvalidParameter
// for an unknown type.
MObject createNode(const std::string& typeName, std::string* name = nullptr,
                   MStatus* status = nullptr);
// The node of that exact name, or null.
MObject findNode(const std::string& name);
std::string nodeName(const MObject& node);
std::vector<std::string> nodeNames();
// Deletes as MDGModifier::deleteNode + doIt do: for good, with nothing kept
// for undo (MEL's delete keeps the nodes in the undo queue).
MStatus deleteNode(const MObject& node);
// MEL's undo of the latest deletion still queued, and flushUndo.
bool undoDeletion();
void flushUndo();
// Nodes that MEL's delete took out of the graph and the undo queue holds.
std::size_t undoQueueNodeCount();
// Deleted device nodes whose thread has not ended yet.
std::size_t pendingDeletionCount();
// How long deletion and restarts wait for a device thread (default 2 s).
void setShutdownGracePeriod(std::chrono::milliseconds grace);

// --- Attributes by name (long or short) ---

MPlug findPlug(const MObject& node, const std::string& attribute, MStatus* status = nullptr);
MStatus setInt(const MObject& node, const std::string& attribute, int value);
MStatus setDouble(const MObject& node, const std::string& attribute, double value);
MStatus setBool(const MObject& node, const std::string& attribute, bool value);
// Reads as a plug read does: a dirty output is computed first.
int getInt(const MObject& node, const std::string& attribute, MStatus* status = nullptr);
double getDouble(const MObject& node, const std::string& attribute, MStatus* status = nullptr);
bool getBool(const MObject& node, const std::string& attribute, MStatus* status = nullptr);
// Computes the attribute if it is dirty and returns compute's status
// (kSuccess when it was clean).
MStatus evaluate(const MObject& node, const std::string& attribute);
bool isDirty(const MObject& node, const std::string& attribute);
// Element `index` of an array of float triples, as stored (no compute);
// kNotFound when the element does not exist.
MStatus getFloat3Element(const MObject& node, const std::string& attribute, unsigned int index,
                         float value[3]);
unsigned int elementCount(const MObject& node, const std::string& attribute);
// Calls to compute on the node so far.
int computeCount(const MObject& node);

// --- Units ---

// The UI units, as MEL's currentUnit sets them: setAttr, getAttr and joint
// take and give lengths and angles in them, and they fix the factor of the
// unitConversion node a connection between different unit kinds gets.
// Values stay in centimetres and radians (plug reads, worldPosition). The
// UI time unit is MTime::setUIUnit's. reset() restores centimetres and
// degrees.
enum class LinearUnit {
    kMillimeters,
    kCentimeters,
    kMeters,
    kKilometers,
    kInches,
    kFeet,
    kYards,
    kMiles
};
enum class AngleUnit { kDegrees, kRadians };
void setUiLinearUnit(LinearUnit unit);
void setUiAngleUnit(AngleUnit unit);
LinearUnit uiLinearUnit();
AngleUnit uiAngleUnit();

// --- Idle processing ---

// Runs, in the order queued, the commands of executeCommandOnIdle and the
// evaluations of refresh outputs that device threads scheduled; then
// finishes deferred thread restarts and pending deletions. Returns the
// number of queued items run.
int processIdleEvents();
// Items waiting for idle processing (any thread).
std::size_t idleQueueLength();
// Takes the queued idle commands whose text is `command` off the queue, as
// if the host had lost them; returns how many.
std::size_t dropQueuedIdleCommands(const std::string& command);
// Sleeps until an item is queued for idle processing or the timeout passes;
// true when one is waiting. The host's own loop waits like this between
// idle passes rather than polling.
bool waitForIdleWork(std::chrono::milliseconds timeout);

// --- Scripts, resources, records ---

// MAYA_SCRIPT_PATH: folders searched, in order, by MGlobal::sourceFile, the
// MEL `source` command and the lookup of undefined procedures.
void setScriptPath(const std::vector<std::string>& folders);
// MAYA_PLUG_IN_PATH: folders where MEL's `requires` (run by a scene file)
// finds a plug-in that is not loaded, as <name>.so (.mll on Windows).
// Empty by default and after reset().
void setPluginPath(const std::vector<std::string>& folders);
// MAYA_PLUG_IN_RESOURCE_PATH of a localized session: folders searched by
// loadPluginLanguageResources. Empty (the default), the session is English
// and nothing is loaded. The widget model is in mayahost/ui.h.
void setResourcePath(const std::vector<std::string>& folders);

// Error lines: MGlobal::displayError, MPxCommand::displayError, MEL error,
// and failures of MEL (unknown procedure or flag, bad arguments, syntax
// errors naming file and line).
std::vector<std::string> errorLines();
std::vector<std::string> infoLines();
// Every command text run, in order, immediate and idle.
std::vector<std::string> commandLog();
// Script files sourced by MGlobal::sourceFile or MEL's source, as paths.
std::vector<std::string> sourcedScripts();
// Also print error and info lines to std::cerr / std::cout (default off).
void setEchoToConsole(bool echo);

// --- Animation curves ---

struct CurveKey {
    MTime time;
    double value;
};
struct CurveInfo {
    std::string name;
    std::vector<CurveKey> keys;  // sorted by time
};
// All anim curve nodes in the scene, in creation order.
std::vector<CurveInfo> animCurves();
// The curve of that name; exists false when there is none.
CurveInfo animCurve(const std::string& name, bool* exists = nullptr);
// The next `count` curve creations fail with kFailure.
void failCurveCreations(int count);

// --- Playback ---

// The node's attribute follows the scene time (in the UI unit), as if
// connected to it; set at once and on every time change.
MStatus connectTime(const MObject& node, const std::string& attribute);
struct Output {
    MObject node;
    std::string attribute;
};
// Starts playback, then for each of `frames` frames: advances the current
// time by one frame of the UI unit, updates connected time inputs,
// evaluates the outputs, runs idle processing. Playback keeps running.
void playFrames(int frames, const std::vector<Output>& outputs);
// One frame as above without starting playback.
void stepFrame(const std::vector<Output>& outputs);

// The time slider's ranges, in the UI time unit, as MEL's playbackOptions
// reads and sets them (-minTime/-maxTime, -animationStartTime/-animationEndTime).
// A change of the UI unit keeps their moments; reset() restores the defaults.
struct PlaybackRange {
    double minTime = 1.0;
    double maxTime = 120.0;
    double animationStart = 1.0;
    double animationEnd = 200.0;
};
PlaybackRange playbackRange();
// kInvalidParameter (nothing changed) when a start lies after its end or the
// playback range leaves the animation range.
MStatus setPlaybackRange(const PlaybackRange& range);

// --- Real-time playback ---

// Plays as the host does with real-time playback on ("Play every frame"
// off): the scene time follows the wall clock at the rate of the UI unit,
// from the current time, so that `t` seconds after the call the scene is at
// current + floor(t * rate) frames. Each pass of the loop checks `stop`,
// reads the clock, and when the clock has reached a new frame shows it: sets
// the current time as MAnimControl::setCurrentTime does, evaluates the
// outputs, calls `afterFrame`. After a frame that took longer than a frame
// (a slow evaluation or callback) it goes straight to the frame the clock
// has reached: the frames in between are never shown, and are counted.
// Between frames the host is idle: queued idle work (executeCommandOnIdle,
// device refreshes) runs as it comes, at least once after every frame shown,
// and the loop sleeps in waitForIdleWork until the next frame is due.
struct RealTimePlayback {
    std::vector<Output> outputs;  // evaluated at each frame shown
    // Wall seconds to play; 0 plays until `stop` answers true, which is asked
    // once a frame and whenever idle work came. With neither, or with an
    // empty loop range, nothing is played and std::cerr says why.
    double seconds = 0.0;
    std::function<bool()> stop;
    std::function<void(const MTime& shown)> afterFrame;
    // Continuous looping over the playback range [loopMin, loopMax], in the
    // UI unit: after loopMax comes loopMin while the clock runs on. From a
    // current time outside the range the first frame is loopMin.
    bool loop = false;
    double loopMin = 0.0;
    double loopMax = 0.0;
    // Playback also ends when MAnimControl::stop is called during it. It is
    // left stopped at the end, as by the stop button, unless keepPlaying.
    bool keepPlaying = false;
};
struct PlaybackSummary {
    int framesShown = 0;
    // Frames the clock passed that were not shown, up to the last frame shown:
    // framesShown + framesSkipped is that frame's distance from the start.
    int framesSkipped = 0;
    double firstTime = 0.0;  // the first and last times shown, in the UI unit
    double lastTime = 0.0;
    double wallSeconds = 0.0;  // from the call to the end
};
PlaybackSummary playRealTime(const RealTimePlayback& options);

// How playback evaluates each frame (the outputs playRealTime evaluates).
// Parallel, Maya's default (the Evaluation Manager in parallel mode), runs
// the compute of every node not declared kUntrusted on a worker thread,
// while the main thread waits; a compute there that reads or writes a plug
// breaks a rule. Serial computes on the main thread, as the DG does.
// reset() restores parallel.
enum class PlaybackEvaluation { kParallel, kSerial };
void setPlaybackEvaluation(PlaybackEvaluation evaluation);

// --- Plug-ins ---

// Loads the module, calls its initializePlugin; kFailure (module kept
// unloaded) when it cannot be loaded, lacks the entry point, or
// initializePlugin fails.
MStatus loadPlugin(const std::string& path);
// Calls uninitializePlugin and unloads the module; the name is the file
// name without folder and extension, or the path given to loadPlugin. As
// Maya's unloadPlugin, refused (kFailure, "cannot be unloaded because it is
// still in use") while nodes of its types are in the scene or kept for
// undo; `force` unloads all the same, as -force does: such nodes stay, and
// the module stays loaded for them.
MStatus unloadPlugin(const std::string& nameOrPath, bool force = false);
bool isPluginLoaded(const std::string& nameOrPath);
// A plug-in object without a module, for registering test types and
// commands directly from a test.
MObject createPluginObject(const std::string& name, const std::string& loadPath);
// Registrations (command, node type, UI strings) of this name fail, and so
// do deregistrations of a command or node type of this name.
void failRegistration(const std::string& name);

// --- Device nodes ---

// Handler threads started for the node so far (the first at creation).
int threadStarts(const MObject& node);

// When a threaded device node's thread runs. Maya's pages give two readings:
// the class reference has it start with the node and run until the node goes
// (deletion, a new scene, the plug-in unloaded), live or not; other pages
// have a change of live or frameRate shut it down and start it again.
// Continuous is the default, the stricter for a node (it must notice live
// and frameRate changes itself); MAYAHOST_DEVICE_THREADS=restarting in the
// environment makes a program start with the other. Main thread; applies
// from the next change.
enum class DeviceThreadLifetime { kContinuous, kRestarting };
void setDeviceThreadLifetime(DeviceThreadLifetime lifetime);
DeviceThreadLifetime deviceThreadLifetime();
// True while the node's handler thread has not returned.
bool threadRunning(const MObject& node);
// The next `count` device-thread starts fail as if the system had no thread
// to give (a line on std::cerr, no handler run). reset() clears it.
void failDeviceThreadStarts(int count);
// While on, a device thread started from now on enters its handler only
// once the host has called the node's threadShutdownHandler for it: the
// shutdown then finds no run in progress, as when a stop follows a start
// closely. reset() turns it off.
void setThreadEntryAfterShutdown(bool on);

// Observers of every device node's pose queue, for tools and benchmarks:
// `pushed` runs on the pushing thread right after a buffer entered a
// node's queue, `popped` on the popping thread right after one left it,
// both with the queue locked, so together they see the queue's order. They
// must be quick and must not call the host. Empty functions are skipped;
// reset() removes the observers.
struct ThreadDataObserver {
    std::function<void(MPxThreadedDeviceNode& node)> pushed;
    std::function<void(MPxThreadedDeviceNode& node)> popped;
};
void setThreadDataObserver(ThreadDataObserver observer);

// --- Session ---

// Batch mode: MEL's `about -batch` answers 1 and the HumanIK Character
// Controls cannot be built. Off by default and after reset().
void setBatchMode(bool batch);
bool batchMode();

// --- HumanIK ---

// Whether this session has HumanIK: false makes MEL's `loadPlugin mayaHIK`
// fail, so that no HumanIK procedure exists. True by default and after
// reset(); loading the plug-in is MEL's `loadPlugin mayaHIK`. The host does
// not retarget: it records definitions, locks and which character drives
// which.
void setHumanIkAvailable(bool available);
bool isHumanIkLoaded();
// Whether HumanIK's MEL scripts (hikGlobalUtils.mel and the others) can be
// sourced: false leaves the mayaHIK plug-in's commands but no HumanIK
// procedure, whatever sources them. True by default and after reset().
void setHumanIkScriptsAvailable(bool available);

// A mapped joint's local values when the definition was locked, in
// centimetres and radians (jointOrient zero for a transform).
struct HikStanceJoint {
    std::string joint;
    double translate[3] = {0.0, 0.0, 0.0};
    double rotate[3] = {0.0, 0.0, 0.0};
    double jointOrient[3] = {0.0, 0.0, 0.0};
};
struct HikCharacter {
    bool exists = false;                   // an HIKCharacterNode of that name
    std::map<int, std::string> mapping;    // slot -> joint (deleted joints left out)
    bool locked = false;                   // its InputCharacterizationLock
    std::map<int, HikStanceJoint> stance;  // recorded by the lock; empty when unlocked
    std::string source;                    // the character driving it, "" for none
};
HikCharacter hikCharacter(const std::string& name);
// The names of the HumanIK characters, in creation order.
std::vector<std::string> hikCharacters();

}  // namespace mayahost
