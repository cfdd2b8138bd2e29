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
    // For a group address: sends out of the interface with this IPv4 address
    // (empty: the system's choice), with this time to live (0 keeps the
    // datagrams on this machine, 1 on the local network), looped back to
    // receivers on this machine. False with a message when refused.
    bool setMulticast(const std::string& interfaceAddress, int ttl, std::string& error);
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
