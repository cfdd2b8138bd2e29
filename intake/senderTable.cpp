#include "intake/senderTable.h"

#include <cstring>

namespace {

// Single writer: a load and a release store, no read-modify-write.
void bump(std::atomic<std::int64_t>& counter) {
    counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

constexpr int kHeaderBytes = 28;
constexpr std::uint16_t kKindDefinition = 1;

bool readHeader(const char* bytes, int length, std::uint64_t& senderId, std::uint16_t& kind) {
    if (bytes == nullptr || length < kHeaderBytes || bytes[0] != 'O' || bytes[1] != 'S' ||
        bytes[2] != 'V' || bytes[3] != 'D') {
        return false;
    }
    // Little-endian on the wire, as on every system the plug-in runs on.
    std::memcpy(&kind, bytes + 6, sizeof kind);
    std::memcpy(&senderId, bytes + 12, sizeof senderId);
    return true;
}

}  // namespace

int SenderTable::entryFor(std::uint32_t address, std::uint64_t senderId, bool idKnown,
                          std::int64_t nowNs) {
    const int followed = mFollowed.load(std::memory_order_relaxed);
    // The followed sender first: almost every datagram is its.
    if (followed >= 0 && mEntries[followed].address.load(std::memory_order_relaxed) == address &&
        mEntries[followed].senderId.load(std::memory_order_relaxed) == senderId &&
        mEntries[followed].idKnown.load(std::memory_order_relaxed) == idKnown) {
        return followed;
    }
    for (int k = 0; k < mUsed; ++k) {
        const Entry& e = mEntries[k];
        if (e.address.load(std::memory_order_relaxed) == address &&
            e.senderId.load(std::memory_order_relaxed) == senderId &&
            e.idKnown.load(std::memory_order_relaxed) == idKnown) {
            return k;
        }
    }
    int slot = mUsed;
    if (slot == kMaxSenders) {
        // Full: the longest-silent sender not followed makes room.
        slot = followed == 0 ? 1 : 0;
        for (int k = 0; k < kMaxSenders; ++k) {
            if (k != followed && mEntries[k].lastSeenNs.load(std::memory_order_relaxed) <
                                     mEntries[slot].lastSeenNs.load(std::memory_order_relaxed)) {
                slot = k;
            }
        }
    } else {
        ++mUsed;
    }
    Entry& e = mEntries[slot];
    e.used.store(false, std::memory_order_release);
    e.address.store(address, std::memory_order_relaxed);
    e.senderId.store(senderId, std::memory_order_relaxed);
    e.idKnown.store(idKnown, std::memory_order_relaxed);
    e.datagrams.store(0, std::memory_order_relaxed);
    e.accepted.store(0, std::memory_order_relaxed);
    e.ignored.store(0, std::memory_order_relaxed);
    e.refused.store(0, std::memory_order_relaxed);
    e.lastSeenNs.store(nowNs, std::memory_order_relaxed);
    e.announced = false;
    e.refusalAnnounced = false;
    e.used.store(true, std::memory_order_release);
    return slot;
}

SenderTable::Verdict SenderTable::check(std::uint32_t address, std::uint16_t port,
                                        const char* bytes, int length, std::int64_t nowNs,
                                        std::int64_t silenceNs, const SenderAllowList& allowed,
                                        bool& announce) {
    announce = false;
    std::uint64_t senderId = 0;
    std::uint16_t kind = 0;
    const bool idKnown = readHeader(bytes, length, senderId, kind);
    const int index = entryFor(address, senderId, idKnown, nowNs);
    mLast = index;
    Entry& e = mEntries[index];
    const int followed = mFollowed.load(std::memory_order_relaxed);
    // Silence is measured on the followed sender's own datagrams.
    const bool followedSilent =
        followed >= 0 &&
        nowNs - mEntries[followed].lastSeenNs.load(std::memory_order_relaxed) > silenceNs;
    e.port.store(port, std::memory_order_relaxed);
    e.lastSeenNs.store(nowNs, std::memory_order_release);
    bump(e.datagrams);
    if (!allowed.allows(address)) {
        bump(e.refused);
        if (!e.refusalAnnounced) {
            e.refusalAnnounced = true;
            announce = true;
        }
        return Verdict::kRefuse;
    }
    if (!idKnown) {
        bump(e.refused);
        return Verdict::kUnidentified;
    }
    if (followed < 0 || followed == index || (followedSilent && kind == kKindDefinition)) {
        bump(e.accepted);
        return Verdict::kAccept;
    }
    bump(e.ignored);
    if (!e.announced) {
        e.announced = true;
        announce = true;
    }
    return Verdict::kIgnore;
}

void SenderTable::adoptLastChecked() {
    if (mLast < 0) return;
    mFollowed.store(mLast, std::memory_order_release);
    // A sender ignored before may be announced again should it come back.
    mEntries[mLast].announced = false;
}

void SenderTable::forgetRefusals() {
    for (Entry& e : mEntries) e.refusalAnnounced = false;
}

std::vector<SenderSnapshot> SenderTable::snapshot() const {
    std::vector<SenderSnapshot> senders;
    const int followed = mFollowed.load(std::memory_order_acquire);
    for (int k = 0; k < kMaxSenders; ++k) {
        const Entry& e = mEntries[k];
        if (!e.used.load(std::memory_order_acquire)) continue;
        SenderSnapshot s;
        s.lastSeenNs = e.lastSeenNs.load(std::memory_order_acquire);
        s.datagrams = e.datagrams.load(std::memory_order_acquire);
        s.accepted = e.accepted.load(std::memory_order_acquire);
        s.ignored = e.ignored.load(std::memory_order_acquire);
        s.refused = e.refused.load(std::memory_order_acquire);
        s.address = e.address.load(std::memory_order_relaxed);
        s.port = e.port.load(std::memory_order_relaxed);
        s.senderId = e.senderId.load(std::memory_order_relaxed);
        s.idKnown = e.idKnown.load(std::memory_order_relaxed);
        s.followed = k == followed;
        if (s.followed) {
            senders.insert(senders.begin(), s);
        } else {
            senders.push_back(s);
        }
    }
    return senders;
}
