// Which senders a receiver accepts: IPv4 addresses and CIDR ranges
// ("10.0.0.7, 192.168.1.0/24"), separated by blanks or commas. Empty accepts
// every sender. Held in a fixed array so that the receiving thread checks a
// datagram without allocating or locking.
#pragma once

#include <cstdint>
#include <string>

class SenderAllowList {
public:
    static constexpr int kMaxEntries = 64;

    // Any sender, as an empty list.
    SenderAllowList() = default;

    // Replaces this list by the one in `text` only when every entry is good;
    // otherwise leaves it as it was and names the first bad entry in
    // `badEntry` (a list of more than kMaxEntries names the first one over).
    bool parse(const std::string& text, std::string& badEntry);

    // Whether a sender at this host-order address may send.
    bool allows(std::uint32_t address) const {
        if (mCount == 0) return true;
        for (int k = 0; k < mCount; ++k) {
            if ((address & mMasks[k]) == mNetworks[k]) return true;
        }
        return false;
    }
    bool acceptsAll() const { return mCount == 0; }
    int size() const { return mCount; }

private:
    std::uint32_t mNetworks[kMaxEntries] = {};
    std::uint32_t mMasks[kMaxEntries] = {};
    int mCount = 0;
};
