#include "tools/lib/triggeredSend.h"

#include "tools/lib/streamDatagrams.h"

#include <chrono>
#include <cmath>
#include <ostream>
#include <thread>

namespace ztools {

std::unique_ptr<TriggeredSend> TriggeredSend::open(const SenderOptions& options,
                                                   std::string& error) {
    std::unique_ptr<UdpDestination> destination =
        UdpDestination::open(options.triggerHost, options.triggerPort, error);
    if (!destination) return nullptr;
    return std::unique_ptr<TriggeredSend>(new TriggeredSend(std::move(destination), options));
}

TriggeredSend::TriggeredSend(std::unique_ptr<UdpDestination> destination,
                             const SenderOptions& options)
    : mDestination(std::move(destination)),
      mAnnouncer(*mDestination, clockPacketId()),
      mName(options.takeName),
      mSenderId(options.senderId),
      mDelayMs(options.triggerDelayMs),
      mStage(mDestination->address() + ":" + std::to_string(options.triggerPort)) {}

bool TriggeredSend::beforeStream(const CaptureTake& take, DatagramSink& stream,
                                 const std::atomic<bool>& stop, std::ostream& err,
                                 std::string& error) {
    // The definition every 100 ms, as a live stream carries it before the
    // operator presses record.
    RealTimePacer pacer;
    EncodedDatagram datagram;
    const int count = int(std::lround(kTriggerLeadInSeconds * 10.0));
    for (int i = 0; i < count && !stop.load(); ++i) {
        pacer.waitUntil(i * 0.1);
        if (!encodeSkeletonDefinition(take, std::uint32_t(i), datagram, mSenderId) ||
            !stream.send(datagram.bytes, datagram.length)) {
            error = "sending the skeleton definition failed";
            return false;
        }
    }
    if (stop.load()) return true;  // interrupted before record was pressed
    pacer.waitUntil(kTriggerLeadInSeconds);
    err << "zemori-send: CaptureStart \"" << mName << "\" to " << mStage << " (PacketID "
        << mAnnouncer.nextPacketId() << ", Delay " << mDelayMs << " ms)\n";
    if (!mAnnouncer.announceStart(mName, mDelayMs)) {
        error = "sending CaptureStart to " + mStage + " failed";
        return false;
    }
    mStarted = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(mDelayMs));
    return true;
}

bool TriggeredSend::afterStream(bool streamed, std::ostream& err, std::string& error) {
    if (!mStarted) return true;
    const char* result = streamed ? "SUCCESS" : "FAILED";
    err << "zemori-send: CaptureStop \"" << mName << "\" " << result << " to " << mStage
        << " (PacketID " << mAnnouncer.nextPacketId() << ")\n";
    if (!mAnnouncer.announceStop(mName, result)) {
        error = "sending CaptureStop to " + mStage + " failed";
        return false;
    }
    return true;
}

}  // namespace ztools
