// The plug-in's message table: every text shown to the user or printed as a
// localizable console line, looked up by key at each use on the main thread
// (code that may run off it takes its texts from threadTexts.h), and the
// three console channels.
#pragma once

#include <maya/MStatus.h>
#include <maya/MString.h>

// A key of module "ZemoriMayaPlugin" with its English default text.
struct MessageKey {
    const char* key;
    const char* defaultText;
    // The text is a printf format (of a console line or a warning): a
    // localized text is used only if its conversions are the default's.
    bool isFormat = false;
};

inline constexpr const char* kMessageModule = "ZemoriMayaPlugin";

namespace msg {
inline constexpr MessageKey kYourIp{"YOUR_IP", "Your local IPs:"};
inline constexpr MessageKey kWsaStartError{"WSA_START_ERROR", "Error at WSAStartup()\n", true};
inline constexpr MessageKey kClosingSocket{"CLOSING_SOCKET", "Closing socket \n", true};
inline constexpr MessageKey kInitSocket{"INIT_SOCKET", "Initializing Socket% d\n", true};
inline constexpr MessageKey kBindSocketError{"BIND_SOCKET_ERROR", "Bind failed with error %u\n",
                                             true};
inline constexpr MessageKey kBindSocketErrorApple{"BIND_SOCKET_ERROR_APPLE", "Bind failed [%s]\n",
                                                  true};
inline constexpr MessageKey kPortInUseError{
    "PORT_IN_USE_ERROR", "Port in Use. Socket Initialization failed. Try using a different port."};
inline constexpr MessageKey kGettingIpError{
    "GETTING_IP_ERROR", "An error occurred while trying to find your IP address"};
inline constexpr MessageKey kSocketFunctionError{"SOCKET_FUNCTION_ERROR",
                                                 "socket function failed with error : %u\n", true};
inline constexpr MessageKey kSocketFunctionErrorApple{"SOCKET_FUNCTION_ERROR_APPLE",
                                                      "socket function failed [%s]\n", true};
inline constexpr MessageKey kCreateCurvesError{"CREATE_CURVES_ERROR",
                                               "Error creating animation curves"};
inline constexpr MessageKey kSkelDefReceived{"SKEL_DEF_RECEIVED",
                                             "Data received. Press Bind to Character button"};
inline constexpr MessageKey kAwaitingSkelDef{"AWAITING_SKEL_DEF", "Awaiting Skeleton Definition"};
inline constexpr MessageKey kOsvImportError{
    "OSV_IMPORT_ERROR", "Failed to import Ostrevo library. Plug-in will not be functional."};
inline constexpr MessageKey kOsvFunctionImportError{"OSV_FUNCTION_IMPORT_ERROR",
                                                    "Failed to import Ostrevo function"};
inline constexpr MessageKey kOsvLinkError{"OSV_LINK_ERROR",
                                          "A dynamic linking error occurred: %s\n", true};
inline constexpr MessageKey kRegCommandError{"REG_COMMAND_ERROR",
                                             "failed to register command ZemoriDidCharacterize"};
inline constexpr MessageKey kDeregCommandError{
    "DEREG_COMMAND_ERROR", "failed to deregister command ZemoriDidCharacterize"};
inline constexpr MessageKey kRegNodeError{"REG_NODE_ERROR",
                                          "failed to registerNode ZemoriDeviceNode"};
inline constexpr MessageKey kDeregNodeError{"DEREG_NODE_ERROR",
                                            "failed to deregisterNode ZemoriDeviceNode"};
inline constexpr MessageKey kTimeUnitWatchError{
    "TIME_UNIT_WATCH_ERROR",
    "failed to watch the scene's time unit: after a change of it, bind each device again"};
// Arguments: the frames left unfilled, the longest gap that is filled.
inline constexpr MessageKey kGapsNotFilled{
    "GAPS_NOT_FILLED",
    "Recording: %d skipped frames left unfilled; a gap of more than %d frames is keyed at its "
    "ends only",
    true};
// Looked up but never registered: it reports that registering the table failed.
inline constexpr MessageKey kRegStringsError{"REG_STRINGS_ERROR",
                                             "failed to register localized UI strings"};
// Shown when a take is written; looked up with its default, outside the
// registered table.
inline constexpr MessageKey kTakeReport{
    "TAKE_REPORT",
    "Take written: %lld frames recorded, %lld gaps filled (longest %lld frames), %lld gaps left "
    "unfilled, %lld frames lost in the stream"};
// Recording from the journal; looked up with their defaults, outside the
// registered table, as the take report is.
inline constexpr MessageKey kTakeEmpty{
    "TAKE_EMPTY", "Recording: no frame arrived while recording, so no take was written"};
// Arguments: the other node's name, the name the new curve was given.
inline constexpr MessageKey kCurveNameTaken{
    "CURVE_NAME_TAKEN",
    "Recording: %s is not a take curve and was left alone; the take's curve is named %s", true};
// Arguments: the name an older take's curve should have had, the name it got.
inline constexpr MessageKey kTakeCurveRenamed{
    "TAKE_CURVE_RENAMED",
    "Recording: another node is named %s, so the older take's curve meant to bear that name is "
    "named %s",
    true};
// Arguments: the keys a curve would have had, the budget, the captured
// seconds, the seconds its time stamps span.
inline constexpr MessageKey kTakeOverBudget{
    "TAKE_OVER_BUDGET",
    "Recording: the take would have %lld keys a curve, more than its budget of %lld for %.1f s "
    "of capture (its time stamps span %.1f s): only its captured frames are keyed, with no "
    "filling",
    true};
// Arguments: frames left out for their time stamps, joint values not keyed.
inline constexpr MessageKey kTakeLeftOut{
    "TAKE_LEFT_OUT",
    "Recording: %lld frames left out for a time stamp the stream did not follow, %lld joint "
    "values not keyed for not being numbers",
    true};
// Argument: the skeleton whose take it is.
inline constexpr MessageKey kTakeOutlivedScene{
    "TAKE_OUTLIVED_SCENE",
    "Recording: the take of %s was recording when its scene closed; it is written into this one",
    true};
// Arguments: the command's name and the node given.
inline constexpr MessageKey kNotDeviceNode{"NOT_DEVICE_NODE", "%s: %s is not a ZemoriDeviceNode",
                                           true};
inline constexpr MessageKey kKeepLastSeconds{
    "KEEP_LAST_SECONDS", "ZemoriKeepLast: the seconds to keep must be a number above 0"};
// Arguments: the node, the seconds the journal holds, the seconds asked for.
inline constexpr MessageKey kKeepLastTooLong{
    "KEEP_LAST_TOO_LONG",
    "ZemoriKeepLast: the journal of %s holds %.2f s of capture, less than the %.2f s asked for",
    true};
// The stage trigger; looked up with their defaults, outside the registered
// table. Arguments: datagrams refused since the last warning, the last
// sender (address:port), why it was refused.
inline constexpr MessageKey kStageMessageRefused{
    "STAGE_MESSAGE_REFUSED",
    "ZemoriStageTrigger: %llu record-button datagrams refused, the last from %s (%s)", true};
// Argument: the port given.
inline constexpr MessageKey kStagePortInvalid{
    "STAGE_PORT_INVALID",
    "ZemoriStageTrigger: the port must be a whole number from 1 to 65535, not %s", true};
// Arguments: the port, the Winsock error number.
inline constexpr MessageKey kStageBindFailed{
    "STAGE_BIND_FAILED",
    "ZemoriStageTrigger: cannot listen on UDP port %d (error %u): another program may hold it",
    true};
inline constexpr MessageKey kStageUsage{
    "STAGE_USAGE",
    "ZemoriStageTrigger: use -port N, -enable 0|1, -allow LIST, -listenAddress ADDR, or -query "
    "with at most one of them"};
// Argument: the entry refused.
inline constexpr MessageKey kStageBadAllowList{
    "STAGE_BAD_ALLOW_LIST",
    "ZemoriStageTrigger: '%s' is not an IPv4 address or range (such as 192.168.1.20 or "
    "192.168.1.0/24); the list in force stays",
    true};
// Argument: the text refused.
inline constexpr MessageKey kStageBadListenAddress{
    "STAGE_BAD_LISTEN_ADDRESS",
    "ZemoriStageTrigger: '%s' is not an IPv4 address; the address in force stays", true};
// Argument: the address.
inline constexpr MessageKey kStageAbsentListenAddress{
    "STAGE_ABSENT_LISTEN_ADDRESS",
    "ZemoriStageTrigger: this workstation has no address %s, so the stage trigger cannot listen "
    "there; leave it empty for every interface",
    true};
// The stage's record button (stageTakes.cpp); looked up with their
// defaults, outside the registered table. The first argument of each is
// the take's Name as the stage gave it.
// Argument 2: the device node.
inline constexpr MessageKey kStageNodeSkipped{
    "STAGE_NODE_SKIPPED",
    "Stage start \"%s\": %s is not live and bound to a character, so it does not record", true};
inline constexpr MessageKey kStageNoDevice{
    "STAGE_NO_DEVICE",
    "Stage start \"%s\": no device node follows the stage (stageTrigger), so nothing records",
    true};
// Argument 2: the device node.
inline constexpr MessageKey kStageTakeInterrupted{
    "STAGE_TAKE_INTERRUPTED",
    "Stage start \"%s\": %s was recording a take; it ends here and is written, and the new take "
    "begins",
    true};
// Argument 2: how many device nodes record.
inline constexpr MessageKey kStageStarted{
    "STAGE_STARTED", "Stage start \"%s\": recording on %d device node(s)", true};
inline constexpr MessageKey kStageStopWithoutStart{
    "STAGE_STOP_WITHOUT_START",
    "Stage stop \"%s\": no take the stage started is recording, so the stop is ignored", true};
inline constexpr MessageKey kStageStopEndsPlayback{
    "STAGE_STOP_ENDS_PLAYBACK",
    "Stage stop \"%s\": its take had already ended; the playback the stage started stops", true};
// Argument 2: the Name of the take that records.
inline constexpr MessageKey kStageStopOtherName{
    "STAGE_STOP_OTHER_NAME",
    "Stage stop \"%s\": the take recording is \"%s\", so the stop is ignored", true};
// Argument 2: the stop's RESULT.
inline constexpr MessageKey kStageStopResult{
    "STAGE_STOP_RESULT",
    "Stage stop \"%s\": the capture ended with %s; the take is written and its result kept on "
    "its take node",
    true};
// The viewport's heads-up display, one line per device node; looked up with
// their defaults, outside the registered table, as the take report is.
inline constexpr MessageKey kHeadsUpNotLive{"HEADS_UP_NOT_LIVE", "not live"};
// Arguments: the arrival rate (a text with one decimal), the frames lost.
inline constexpr MessageKey kHeadsUpLive{"HEADS_UP_LIVE", "live, %s fps, %lld lost", true};
// Argument: the take's name; the timecode follows it when there is one.
inline constexpr MessageKey kHeadsUpRecording{"HEADS_UP_RECORDING", "REC %s", true};
// Argument: the number the take will bear.
inline constexpr MessageKey kHeadsUpTakeName{"HEADS_UP_TAKE_NAME", "Take %d", true};
// Arguments: the other sender's address, its sender id, the node's port.
inline constexpr MessageKey kOtherSender{
    "OTHER_SENDER", "Another sender (%s, id %llx) is sending to port %d; its datagrams are ignored",
    true};
// Arguments: the refused sender's address, the node's port.
inline constexpr MessageKey kRefusedSender{
    "REFUSED_SENDER",
    "Datagrams from %s to port %d are refused: that address is not in allowedSenders", true};
// Argument: the entry refused.
inline constexpr MessageKey kBadAllowList{
    "BAD_ALLOW_LIST",
    "allowedSenders: '%s' is not an IPv4 address or range (such as 192.168.1.20 or "
    "192.168.1.0/24); the list in force stays",
    true};
// Argument: the text refused.
inline constexpr MessageKey kBadListenAddress{
    "BAD_LISTEN_ADDRESS", "listenAddress: '%s' is not an IPv4 address; the address in force stays",
    true};
// Argument: the address.
inline constexpr MessageKey kAbsentListenAddress{
    "ABSENT_LISTEN_ADDRESS",
    "listenAddress: this workstation has no address %s, so no socket is open; choose one of the "
    "addresses the panel lists, or leave it empty for every interface",
    true};
// Argument: the text refused.
inline constexpr MessageKey kBadMulticastGroup{
    "BAD_MULTICAST_GROUP",
    "multicastGroup: '%s' is not an IPv4 multicast group (224.0.0.0 to 239.255.255.255, outside "
    "the local-network block 224.0.0.0/24; such as 239.255.12.51); the group in force stays",
    true};
// Arguments: the group, the interface, the Windows Sockets error.
inline constexpr MessageKey kJoinGroupFailed{
    "JOIN_GROUP_FAILED",
    "multicastGroup: joining %s on interface %s failed with error %u, so no socket is open; "
    "check that the interface is up and routes multicast",
    true};
// Arguments: the port, the addresses listened on, the port again.
inline constexpr MessageKey kNothingArrives{
    "NOTHING_ARRIVES",
    "Nothing has arrived on port %d for 3 s. Check: this workstation's addresses on the chosen "
    "interface (%s) and the port; that the capture application sends there; that the firewall "
    "lets UDP port %d in",
    true};
// ZemoriSenders' one line before any datagram; looked up with its default.
inline constexpr MessageKey kNoSenderYet{"NO_SENDER_YET",
                                         "No sender has been heard on this node's port yet"};
}  // namespace msg

// The 22 registered rows in registration order.
extern const MessageKey kMessageTable[22];

// Registers the 22 rows with the host; always succeeds.
MStatus registerMessageStrings();
// The localized text for the key, else the registered default, else the given
// default. Uses a status object of its own.
MString lookupMessage(const char* key, const char* defaultText);
// As lookupMessage, but a text whose conversions differ from the default's
// (sameConversions) yields the default: used as a format, it would read
// arguments that the caller does not pass.
MString lookupFormat(const char* key, const char* defaultText);
inline MString lookupMessage(const MessageKey& message) {
    return message.isFormat ? lookupFormat(message.key, message.defaultText)
                            : lookupMessage(message.key, message.defaultText);
}

// Whether two printf formats have the same conversion specifications in the
// same order: flags (in any order), width, precision, length and conversion.
// %% is text. A format with a malformed, positional or %n conversion matches
// nothing.
bool sameConversions(const wchar_t* format, const wchar_t* reference);

// Narrow printf-style line to standard output.
void printToConsole(const char* format, ...);
// Wide wprintf-style line to standard output: %s takes a wide string, %u an
// unsigned 32-bit number.
void printWideToConsole(const wchar_t* format, ...);
// Fixed English diagnostic on std::cerr, followed by std::endl.
void printDiagnostic(const char* text);
