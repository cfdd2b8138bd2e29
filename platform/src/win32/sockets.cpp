// The real Windows Sockets calls behind the platform interface.

// MSVC marks gethostbyname deprecated (C4996, an error under /W4 /WX). It
// stays: its replacement, getaddrinfo, sorts the addresses by destination
// address selection (RFC 6724), so the panel's list could change order.
#define _WINSOCK_DEPRECATED_NO_WARNINGS

#include "platform/sockets.h"

#include "../closeHook.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>

namespace platform {

namespace {

std::atomic<int> gStartupCount{0};

SOCKET toSocket(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

sockaddr_in ipv4Address(u_long hostOrderAddress, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    return address;
}

}  // namespace

int socketStartup() {
    WSADATA data;
    const int result = ::WSAStartup(MAKEWORD(2, 2), &data);
    if (result == 0) gStartupCount.fetch_add(1);
    return result;
}

void socketCleanup() {
    if (::WSACleanup() == 0) gStartupCount.fetch_sub(1);
}

int socketStartupCount() {
    return gStartupCount.load();
}

SocketHandle openUdpSocket() {
    const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

int bindAddress(SocketHandle socket, std::uint32_t hostOrderAddress, std::uint16_t port) {
    // Without it another process could bind the same port with SO_REUSEADDR
    // and take the node's datagrams.
    const BOOL exclusive = TRUE;
    if (::setsockopt(toSocket(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                     reinterpret_cast<const char*>(&exclusive), sizeof exclusive) != 0) {
        return -1;
    }
    const sockaddr_in address = ipv4Address(hostOrderAddress, port);
    return ::bind(toSocket(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
                   0
               ? 0
               : -1;
}

int bindAnyAddress(SocketHandle socket, std::uint16_t port) {
    return bindAddress(socket, INADDR_ANY, port);
}

int bindAddressShared(SocketHandle socket, std::uint32_t hostOrderAddress, std::uint16_t port) {
    // SO_REUSEADDR and SO_EXCLUSIVEADDRUSE exclude each other: a shared
    // port is asked for instead of exclusive use, never with it.
    const BOOL reuse = TRUE;
    if (::setsockopt(toSocket(socket), SOL_SOCKET, SO_REUSEADDR,
                     reinterpret_cast<const char*>(&reuse), sizeof reuse) != 0) {
        return -1;
    }
    const sockaddr_in address = ipv4Address(hostOrderAddress, port);
    return ::bind(toSocket(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
                   0
               ? 0
               : -1;
}

bool isLocalAddress(std::uint32_t hostOrderAddress) {
    const SOCKET probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (probe == INVALID_SOCKET) return false;
    const sockaddr_in address = ipv4Address(hostOrderAddress, 0);
    const bool bound =
        ::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const int error = ::WSAGetLastError();
    ::closesocket(probe);
    ::WSASetLastError(error);  // the bind's reason, not the close's
    return bound;
}

namespace {

int setOption(SocketHandle socket, int level, int name, const void* value, int length) {
    return ::setsockopt(toSocket(socket), level, name, static_cast<const char*>(value), length) == 0
               ? 0
               : -1;
}

int membership(SocketHandle socket, int option, std::uint32_t group, std::uint32_t localInterface) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_interface.s_addr = htonl(localInterface);
    return setOption(socket, IPPROTO_IP, option, &request, sizeof request);
}

}  // namespace

int joinMulticastGroup(SocketHandle socket, std::uint32_t group, std::uint32_t interfaceAddress) {
    return membership(socket, IP_ADD_MEMBERSHIP, group, interfaceAddress);
}

int leaveMulticastGroup(SocketHandle socket, std::uint32_t group, std::uint32_t interfaceAddress) {
    return membership(socket, IP_DROP_MEMBERSHIP, group, interfaceAddress);
}

int receiveOnlyJoinedGroups(SocketHandle /*socket*/) {
    // Winsock delivers a group's datagrams only to the sockets that joined it.
    return 0;
}

int setReceiveBufferBytes(SocketHandle socket, int bytes) {
    return setOption(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

int receiveBufferBytes(SocketHandle socket) {
    int bytes = 0;
    int length = sizeof bytes;
    if (::getsockopt(toSocket(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&bytes),
                     &length) != 0) {
        return -1;
    }
    return bytes;
}

int setMulticastSending(SocketHandle socket, std::uint32_t interfaceAddress, int ttl) {
    in_addr localInterface{};
    localInterface.s_addr = htonl(interfaceAddress);
    // Winsock takes DWORDs for the TTL and the loop switch.
    const DWORD hops = static_cast<DWORD>(ttl < 0 ? 0 : ttl > 255 ? 255 : ttl);
    const DWORD loop = 1;
    if (setOption(socket, IPPROTO_IP, IP_MULTICAST_IF, &localInterface, sizeof localInterface) !=
            0 ||
        setOption(socket, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops) != 0 ||
        setOption(socket, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0) {
        return -1;
    }
    return 0;
}

int sendToAddress(SocketHandle socket, std::uint32_t hostOrderAddress, std::uint16_t port,
                  const char* bytes, int length) {
    const sockaddr_in target = ipv4Address(hostOrderAddress, port);
    const int sent = ::sendto(toSocket(socket), bytes, length, 0,
                              reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return sent == SOCKET_ERROR ? -1 : sent;
}

std::uint16_t boundPort(SocketHandle socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(toSocket(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return address.sin_family == AF_INET ? ntohs(address.sin_port) : 0;
}

int closeSocket(SocketHandle socket) {
    runCloseHook(socket);
    return ::closesocket(toSocket(socket)) == 0 ? 0 : -1;
}

unsigned lastSocketError() {
    return static_cast<unsigned>(::WSAGetLastError());
}

WaitStatus waitReadable(SocketHandle socket, int timeoutMs) {
    WSAPOLLFD entry{};
    entry.fd = toSocket(socket);
    entry.events = POLLRDNORM;
    const int ready = ::WSAPoll(&entry, 1, timeoutMs);
    if (ready == SOCKET_ERROR) return WaitStatus::kFailed;
    if (ready == 0) return WaitStatus::kTimedOut;
    if ((entry.revents & POLLNVAL) != 0) return WaitStatus::kFailed;
    return WaitStatus::kReadable;
}

ReceiveResult receiveDatagram(SocketHandle socket, char* buffer, int capacity) {
    sockaddr_in sender{};
    int senderLength = sizeof sender;
    const int received = ::recvfrom(toSocket(socket), buffer, capacity, 0,
                                    reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (received != SOCKET_ERROR) {
        return {ReceiveStatus::kReceived, received, ntohl(sender.sin_addr.s_addr),
                ntohs(sender.sin_port)};
    }
    // The system drops the rest of an oversized datagram; the socket stays usable.
    if (::WSAGetLastError() == WSAEMSGSIZE) return {ReceiveStatus::kOversized, 0};
    return {ReceiveStatus::kFailed, 0};
}

ReceiveResult receiveDatagramNow(SocketHandle socket, char* buffer, int capacity) {
    // The socket stays blocking, as opened: a zero wait tells whether a
    // receive would block.
    switch (waitReadable(socket, 0)) {
        case WaitStatus::kTimedOut:
            return {ReceiveStatus::kWouldBlock, 0};
        case WaitStatus::kFailed:
            return {ReceiveStatus::kFailed, 0};
        default:
            return receiveDatagram(socket, buffer, capacity);
    }
}

std::optional<std::int64_t> socketDropCount(SocketHandle /*socket*/) {
    // Winsock keeps no drop count per socket.
    return std::nullopt;
}

int hostName(char* buffer, std::size_t capacity) {
    const int length = capacity > 0x7fffffff ? 0x7fffffff : static_cast<int>(capacity);
    return ::gethostname(buffer, length) == 0 ? 0 : -1;
}

std::vector<std::string> hostIPv4Addresses(const char* name) {
    std::vector<std::string> addresses;
    const hostent* host = ::gethostbyname(name);
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list == nullptr) {
        return addresses;
    }
    for (char** entry = host->h_addr_list; *entry != nullptr; ++entry) {
        // inet_ntop writes the same dotted decimal as the deprecated
        // inet_ntoa, into a buffer of ours instead of a shared one.
        char text[INET_ADDRSTRLEN];
        if (::inet_ntop(AF_INET, *entry, text, sizeof text) != nullptr) {
            addresses.emplace_back(text);
        }
    }
    return addresses;
}

int bindAnyAddressReusing(SocketHandle socket, std::uint16_t port) {
    return bindAddressShared(socket, INADDR_ANY, port);
}

std::int64_t socketQueuedBytes(SocketHandle socket) {
    u_long bytes = 0;
    if (::ioctlsocket(toSocket(socket), FIONREAD, &bytes) != 0) return -1;
    return static_cast<std::int64_t>(bytes);
}

int sendToLoopback(SocketHandle socket, std::uint16_t port, const char* bytes, int length) {
    return sendToAddress(socket, INADDR_LOOPBACK, port, bytes, length);
}

}  // namespace platform
