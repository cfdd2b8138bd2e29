// The senders a node's port has heard from, and which one it follows. A node
// takes the stream of one sender, known by its address and the sender id of
// its datagrams' header (not its source port: a restarted sender keeps its
// id and address and is the same sender). Every other sender's datagrams are
// counted against it and go no further.
//
// Threads: the receiving thread is the only writer (check, adopt); its
// counts are atomics stored with release, so any thread may take a snapshot
// as the stream statistics allow. A fixed table: no allocation, no lock.
#pragma once

#include "intake/senderAllowList.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct SenderSnapshot {
    std::uint32_t address = 0;  // host order
    std::uint16_t port = 0;     // of its newest datagram
    std::uint64_t senderId = 0;
    bool idKnown = false;  // false: its datagrams had no readable header
    bool followed = false;
    std::int64_t datagrams = 0;
    std::int64_t accepted = 0;
    std::int64_t ignored = 0;
    std::int64_t refused = 0;
    std::int64_t lastSeenNs = 0;
};

class SenderTable {
public:
    static constexpr int kMaxSenders = 32;

    enum class Verdict {
        kAccept,        // decode it
        kUnidentified,  // no header names its sender: not of the format, refused
                        // downstream as any such datagram (counted refused here)
        kIgnore,        // another sender than the one followed
        kRefuse         // not on the allow-list
    };

    // The receiving thread, for each datagram of `length` bytes from the
    // address and port (host order) at `nowNs`. `silenceNs` is the gap after
    // which the node may move to another sender that sends a definition.
    // `announce` is set the first time a sender is ignored, and the first
    // time it is refused.
    Verdict check(std::uint32_t address, std::uint16_t port, const char* bytes, int length,
                  std::int64_t nowNs, std::int64_t silenceNs, const SenderAllowList& allowed,
                  bool& announce);
    // The receiving thread: the sender of the datagram just checked had its
    // definition accepted, and is followed from now on.
    void adoptLastChecked();
    // While the receiving thread holds no socket (a new allow-list): each
    // sender refused is announced again.
    void forgetRefusals();

    // Any thread: every sender heard from, the followed one first.
    std::vector<SenderSnapshot> snapshot() const;

private:
    struct Entry {
        std::atomic<bool> used{false};
        std::atomic<std::uint32_t> address{0};
        std::atomic<std::uint16_t> port{0};
        std::atomic<std::uint64_t> senderId{0};
        std::atomic<bool> idKnown{false};
        std::atomic<std::int64_t> datagrams{0};
        std::atomic<std::int64_t> accepted{0};
        std::atomic<std::int64_t> ignored{0};
        std::atomic<std::int64_t> refused{0};
        std::atomic<std::int64_t> lastSeenNs{0};
        bool announced = false;         // receiving thread only
        bool refusalAnnounced = false;  // receiving thread only
    };

    // The entry of this sender, made (or the longest-silent one not
    // followed taken over) when it is new.
    int entryFor(std::uint32_t address, std::uint64_t senderId, bool idKnown, std::int64_t nowNs);

    Entry mEntries[kMaxSenders];
    int mUsed = 0;                   // receiving thread only
    int mLast = -1;                  // receiving thread only; -1 before any check
    std::atomic<int> mFollowed{-1};  // index, -1 for none yet
};
