#include "node/zemoriDeviceNode.h"

#include <cstdint>
#include <string>

MString ZemoriDeviceNode::skeletonName() const {
    const int deviceId = mDeviceId.load();
    std::string name = mSkeletonNameTemplate;
    static const std::string kPlaceholder = "{index}";
    const std::size_t at = name.find(kPlaceholder);
    if (at != std::string::npos) {
        name.replace(at, kPlaceholder.size(), std::to_string(static_cast<std::uint32_t>(deviceId)));
    }
    return MString(name.c_str());
}

void ZemoriDeviceNode::applySenderRate(int senderRate) {
    const auto entry = mFrameRateBySenderRate.find(senderRate);
    if (entry == mFrameRateBySenderRate.end()) {
        return;  // the store detects only rates of the table
    }
    MPlug(thisMObject(), MPxThreadedDeviceNode::frameRate).setValue(entry->second);
}
