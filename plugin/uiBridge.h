// The bridge to the plug-in's MEL user interface: builds the command texts of
// the UI script procedures and hands them to the host. Texts are escaped for
// a MEL string literal (quote, backslash, line breaks) character by
// character; the defaults of the message table pass unchanged.
#pragma once

#include <maya/MString.h>

class ZemoriDeviceNode;
struct StreamSnapshot;

// Queued (executeCommandOnIdle); callable from the receiving thread.
void postDisplayMessage(ZemoriDeviceNode& node, const MString& text);
void postEnableBindButton(ZemoriDeviceNode& node, bool enabled);
// Main thread: sets the node's live attribute, then runs updateLiveCheckbox at once.
void setLiveCheckbox(ZemoriDeviceNode& node, bool live);
// Main thread: sets the node's recording attribute, then runs
// updateRecordingCheckbox at once (the stage's record button).
void setRecordingCheckbox(ZemoriDeviceNode& node, bool recording);
// Main thread: queues displayAvailableIPs with the workstation's IPv4 addresses.
void postAvailableIPs(ZemoriDeviceNode& node);
// Main thread: queues displayStreamSummary with the figures.
void postStreamSummary(ZemoriDeviceNode& node, const StreamSnapshot& figures);
// Main thread: queues zemoriTakesChanged, so the panel lists a take just written.
void postTakesChanged(int deviceId);
// Queues zemoriHudRefresh, which redraws the node's heads-up display; any thread.
void postHeadsUpRefresh(int deviceId);
// Queues zemoriHudSync, which gives each device node its heads-up display and
// removes those of nodes gone: after a node came or went, by then named and
// numbered. Nothing when the UI scripts are not there.
void postHeadsUpSync();
// Queues zemoriShowStreaming, which says on the status line that the node
// streams to its bound skeleton; any thread.
void postStreamingStatus(int deviceId);
// Queues MEL's error with the text.
void postError(const MString& text);

// Any text as a MEL string literal, quotes included, escaped as the
// commands below escape theirs.
MString melStringLiteral(const MString& text);

// The command texts, for the operations above and for tests.
MString displayMessageCommand(const MString& text, int deviceId);
MString streamingStatusCommand(int deviceId);
MString enableBindButtonCommand(int deviceId, bool enabled);
MString updateLiveCheckboxCommand(int deviceId, bool live);
MString updateRecordingCheckboxCommand(int deviceId, bool recording);
MString displayAvailableIPsCommand(const MString& ipList, int deviceId);
MString errorCommand(const MString& text);
MString takesChangedCommand(int deviceId);
MString headsUpRefreshCommand(int deviceId);
// The rate with one decimal and the jitter in milliseconds with two, as
// string literals; the lost frames as a MEL int (held at its top).
MString streamSummaryCommand(int deviceId, const StreamSnapshot& figures);
// The IP list: the YOUR_IP heading and each address after three tabs, or the
// GETTING_IP_ERROR text when the host name cannot be read.
MString availableIPList();
