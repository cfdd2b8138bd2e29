// Writing a record-button message as a capture application sends it: one
// small XML document, CaptureStart or CaptureStop, that the plug-in's stage
// trigger reads (intake/stageMessageParser.h).
#pragma once

#include "intake/stageMessage.h"

#include <string>

namespace ztools {

// The datagram's bytes: the XML declaration, the root and one element per
// field, `<Name VALUE="..."/>`. A start carries Name, Notes, Description,
// DatabasePath; a stop Name and DatabasePath, and RESULT when it names one.
// Both carry Delay and PacketID when set. Values are escaped with the five
// predefined entities; tab, line feed and carriage return go as character
// references (an attribute value would turn them into blanks), other
// control characters are left out and invalid UTF-8 becomes U+FFFD, so that
// whatever a user typed gives a message a receiver accepts.
std::string writeStageMessage(const StageMessage& message);

}  // namespace ztools
