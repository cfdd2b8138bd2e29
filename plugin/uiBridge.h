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
// Main thread: queues displayAvailableIPs with the workstation's IPv4 addresses.
void postAvailableIPs(ZemoriDeviceNode& node);
// Main thread: queues displayStreamSummary with the figures.
void postStreamSummary(ZemoriDeviceNode& node, const StreamSnapshot& figures);
// Main thread: queues zemoriTakesChanged, so the panel lists a take just written.
void postTakesChanged(int deviceId);
// Queues MEL's error with the text.
void postError(const MString& text);

// The command texts, for the operations above and for tests.
MString displayMessageCommand(const MString& text, int deviceId);
MString enableBindButtonCommand(int deviceId, bool enabled);
MString updateLiveCheckboxCommand(int deviceId, bool live);
MString displayAvailableIPsCommand(const MString& ipList, int deviceId);
MString errorCommand(const MString& text);
MString takesChangedCommand(int deviceId);
// The rate with one decimal and the jitter in milliseconds with two, as
// string literals; the lost frames as a MEL int (held at its top).
MString streamSummaryCommand(int deviceId, const StreamSnapshot& figures);
// The IP list: the YOUR_IP heading and each address after three tabs, or the
// GETTING_IP_ERROR text when the host name cannot be read.
MString availableIPList();
