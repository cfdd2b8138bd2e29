#include "tools/lib/udpDestination.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace ztools {

std::unique_ptr<UdpDestination> UdpDestination::open(const std::string& host, std::uint16_t port,
                                                     std::string& error) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "cannot start Windows Sockets";
        return nullptr;
    }
    std::unique_ptr<UdpDestination> d(new UdpDestination());
    d->mStarted = true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
        error =
            "cannot resolve host '" + host + "' (error " + std::to_string(WSAGetLastError()) + ")";
        return nullptr;
    }
    const auto* sin = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    d->mAddressNetworkOrder = sin->sin_addr.s_addr;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text);
    d->mAddress = text;
    freeaddrinfo(found);
    d->mPortNetworkOrder = htons(port);
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        error = "cannot open a UDP socket (error " + std::to_string(WSAGetLastError()) + ")";
        return nullptr;
    }
    d->mSocket = std::uint64_t(s);
    return d;
}

UdpDestination::~UdpDestination() {
    if (mSocket) closesocket(SOCKET(mSocket));
    if (mStarted) WSACleanup();
}

bool UdpDestination::setMulticast(const std::string& interfaceAddress, int ttl,
                                  std::string& error) {
    in_addr localInterface{};
    if (!interfaceAddress.empty() &&
        inet_pton(AF_INET, interfaceAddress.c_str(), &localInterface) != 1) {
        error = "'" + interfaceAddress + "' is not an IPv4 address";
        return false;
    }
    // Winsock takes DWORDs for both.
    const DWORD hops = static_cast<DWORD>(ttl);
    const DWORD loop = 1;
    const SOCKET s = SOCKET(mSocket);
    if (setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&localInterface),
                   sizeof localInterface) != 0 ||
        setsockopt(s, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&hops),
                   sizeof hops) != 0 ||
        setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, reinterpret_cast<const char*>(&loop),
                   sizeof loop) != 0) {
        error = "cannot send to a multicast group from '" + interfaceAddress + "' (error " +
                std::to_string(WSAGetLastError()) + ")";
        return false;
    }
    return true;
}

bool UdpDestination::send(const char* bytes, int length) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = mPortNetworkOrder;
    to.sin_addr.s_addr = mAddressNetworkOrder;
    const int sent = ::sendto(SOCKET(mSocket), bytes, length, 0,
                              reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == length;
}

}  // namespace ztools
