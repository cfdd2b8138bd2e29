// Where a sender's datagrams go: an interface (so the send loop can be
// tested without a network) and its UDP implementation. One source file per
// system implements UdpDestination (udpDestinationPosix.cpp,
// udpDestinationWin32.cpp); the rest of the tools has no #ifdef.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace ztools {

class DatagramSink {
public:
    virtual ~DatagramSink() = default;
    // False when the datagram could not be handed to the network.
    virtual bool send(const char* bytes, int length) = 0;
};

class UdpDestination : public DatagramSink {
public:
    // Resolves `host` (a name or dotted IPv4 address) and opens a UDP socket.
    // Returns null with a message when the name does not resolve to an IPv4
    // address or no socket can be opened.
    static std::unique_ptr<UdpDestination> open(const std::string& host, std::uint16_t port,
                                                std::string& error);
    ~UdpDestination() override;
    bool send(const char* bytes, int length) override;
    // The resolved address, dotted decimal.
    const std::string& address() const { return mAddress; }

    UdpDestination(const UdpDestination&) = delete;
    UdpDestination& operator=(const UdpDestination&) = delete;

private:
    UdpDestination() = default;
    std::uint64_t mSocket = 0;
    std::uint32_t mAddressNetworkOrder = 0;
    std::uint16_t mPortNetworkOrder = 0;
    std::string mAddress;
    bool mStarted = false;
};

}  // namespace ztools
