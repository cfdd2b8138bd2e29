#include "intake/stageDuplicates.h"

bool StageDuplicates::admit(const StageMessage& message, const StageArrival& arrival) {
    const std::int64_t now = arrival.arrivalNs;
    while (!mSeen.empty() && now - mSeen.front().arrivalNs > kStagePacketIdWindowNs) {
        mSeen.pop_front();
    }
    for (const Seen& seen : mSeen) {
        if (seen.kind != message.kind || seen.hasPacketId != message.packetId.has_value()) {
            continue;
        }
        if (seen.hasPacketId) {
            if (seen.packetId == *message.packetId && seen.sender == arrival.senderAddress) {
                return false;  // within the PacketID window: older ones were pruned
            }
        } else if (seen.name == message.name && now - seen.arrivalNs <= kStageNameWindowNs) {
            return false;
        }
    }
    if (mSeen.size() == kStageRememberedMessages) mSeen.pop_front();
    mSeen.push_back(Seen{arrival.senderAddress, message.packetId.has_value(),
                         message.packetId.value_or(0), message.kind, message.name, now});
    return true;
}
