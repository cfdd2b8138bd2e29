// zemori-send --trigger: what goes to the stage around the stream, as a
// capture application does when its operator presses record and stop.
#pragma once

#include "tools/lib/captureSender.h"
#include "tools/lib/stageAnnouncer.h"

#include <atomic>
#include <iosfwd>
#include <memory>
#include <string>

namespace ztools {

class TriggeredSend {
public:
    // Opens the destination options.triggerHost:triggerPort; null with a
    // message when the host does not resolve or no socket opens.
    static std::unique_ptr<TriggeredSend> open(const SenderOptions& options, std::string& error);

    // The skeleton definition on `stream` for kTriggerLeadInSeconds, then
    // CaptureStart, then the Delay: the first frame may go out on return.
    // Interrupted during the lead-in, it sends no start.
    bool beforeStream(const CaptureTake& take, DatagramSink& stream, const std::atomic<bool>& stop,
                      std::ostream& err, std::string& error);
    // CaptureStop: SUCCESS when the stream went out whole, else FAILED; a
    // stop after any start, so that the receiving end writes what it recorded.
    bool afterStream(bool streamed, std::ostream& err, std::string& error);

private:
    TriggeredSend(std::unique_ptr<UdpDestination> destination, const SenderOptions& options);

    std::unique_ptr<UdpDestination> mDestination;
    StageAnnouncer mAnnouncer;
    std::string mName;
    // The stream's own sender id: a lead-in under another id would be a
    // second sender to the node.
    std::uint64_t mSenderId;
    int mDelayMs;
    std::string mStage;  // address:port, for the messages
    bool mStarted = false;
};

}  // namespace ztools
