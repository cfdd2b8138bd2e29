// POSIX sockets behind the Winsock-shaped interface. Handles are descriptor
// plus one so that 0 stays free to mean "no socket".
#include "platform/sockets.h"

#include "../closeHook.h"
#include "socketErrors.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/sock_diag.h>
#endif

#include <atomic>
#include <cerrno>
#include <climits>

namespace platform {

namespace {

std::atomic<int> gStartupCount{0};

constexpr unsigned kErrorInterrupted = 10004;  // WSAEINTR: blocking call cancelled
constexpr unsigned kErrorFault = 10014;        // WSAEFAULT

bool failWith(unsigned error) {
    posix::setLastSocketError(error);
    return false;
}

bool failWithErrno() {
    return failWith(posix::winsockErrorFromErrno(errno));
}

// Winsock refuses its calls until WSAStartup; so does this layer.
bool isStarted() {
    if (gStartupCount.load() > 0) return true;
    return failWith(kErrorNotInitialised);
}

// The descriptor of a handle, or -1 (with the error set) when it cannot be one.
int descriptorOf(SocketHandle socket) {
    if (socket == 0 || socket > static_cast<SocketHandle>(INT_MAX)) {
        failWith(kErrorNotSocket);
        return -1;
    }
    return static_cast<int>(socket - 1);
}

sockaddr_in ipv4Address(std::uint32_t hostOrderAddress, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    return address;
}

}  // namespace

int socketStartup() {
    gStartupCount.fetch_add(1);
    return 0;
}

void socketCleanup() {
    int count = gStartupCount.load();
    while (count > 0 && !gStartupCount.compare_exchange_weak(count, count - 1)) {
    }
    if (count <= 0) failWith(kErrorNotInitialised);
}

int socketStartupCount() {
    return gStartupCount.load();
}

SocketHandle openUdpSocket() {
    if (!isStarted()) return kInvalidSocket;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        failWithErrno();
        return kInvalidSocket;
    }
    return static_cast<SocketHandle>(fd) + 1;
}

int bindAddress(SocketHandle socket, std::uint32_t hostOrderAddress, std::uint16_t port) {
    if (!isStarted()) return -1;
    const int fd = descriptorOf(socket);
    if (fd < 0) return -1;
    // POSIX ports are exclusive unless both sockets ask for SO_REUSEADDR.
    const sockaddr_in address = ipv4Address(hostOrderAddress, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        failWithErrno();
        return -1;
    }
    return 0;
}

int bindAnyAddress(SocketHandle socket, std::uint16_t port) {
    return bindAddress(socket, INADDR_ANY, port);
}

int bindAddressShared(SocketHandle socket, std::uint32_t hostOrderAddress, std::uint16_t port) {
    if (!isStarted()) return -1;
    const int fd = descriptorOf(socket);
    if (fd < 0) return -1;
    const int reuse = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0) {
        failWithErrno();
        return -1;
    }
    return bindAddress(socket, hostOrderAddress, port);
}

bool isLocalAddress(std::uint32_t hostOrderAddress) {
    if (!isStarted()) return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        failWithErrno();
        return false;
    }
    const sockaddr_in address = ipv4Address(hostOrderAddress, 0);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!bound) failWithErrno();
    ::close(fd);
    return bound;
}

namespace {

int setOption(SocketHandle socket, int level, int name, const void* value, socklen_t length) {
    if (!isStarted()) return -1;
    const int fd = descriptorOf(socket);
    if (fd < 0) return -1;
    if (::setsockopt(fd, level, name, value, length) != 0) {
        failWithErrno();
        return -1;
    }
    return 0;
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

int receiveOnlyJoinedGroups(SocketHandle socket) {
#if defined(__linux__) && defined(IP_MULTICAST_ALL)
    const int all = 0;
    return setOption(socket, IPPROTO_IP, IP_MULTICAST_ALL, &all, sizeof all);
#else
    (void)socket;
    return 0;
#endif
}

int setReceiveBufferBytes(SocketHandle socket, int bytes) {
    return setOption(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

int receiveBufferBytes(SocketHandle socket) {
    if (!isStarted()) return -1;
    const int fd = descriptorOf(socket);
    if (fd < 0) return -1;
    int bytes = 0;
    socklen_t length = sizeof bytes;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, &length) != 0) {
        failWithErrno();
        return -1;
    }
    return bytes;
}

int setMulticastSending(SocketHandle socket, std::uint32_t interfaceAddress, int ttl) {
    in_addr localInterface{};
    localInterface.s_addr = htonl(interfaceAddress);
    const unsigned char hops = static_cast<unsigned char>(ttl < 0 ? 0 : ttl > 255 ? 255 : ttl);
    const unsigned char loop = 1;
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
    if (!isStarted()) return -1;
    const int fd = descriptorOf(socket);
    if (fd < 0) return -1;
    if (length < 0 || (bytes == nullptr && length > 0)) {
        failWith(kErrorFault);
        return -1;
    }
    const sockaddr_in target = ipv4Address(hostOrderAddress, port);
    const ssize_t sent = ::sendto(fd, bytes, static_cast<std::size_t>(length), 0,
                                  reinterpret_cast<const sockaddr*>(&target), sizeof target);
    if (sent < 0) {
        failWithErrno();
        return -1;
    }
    return static_cast<int>(sent);
}

std::uint16_t boundPort(SocketHandle socket) {
    if (!isStarted()) return 0;
    const int fd = descriptorOf(socket);
    if (fd < 0) return 0;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        failWithErrno();
        return 0;
    }
    return address.sin_family == AF_INET ? ntohs(address.sin_port) : 0;
}

// Closes whatever the start-up count says: a descriptor must not leak because
// a cleanup came first.
int closeSocket(SocketHandle socket) {
    const int fd = descriptorOf(socket);
    if (fd < 0) return -1;
    runCloseHook(socket);
    // A plain close leaves a recvfrom blocked in another thread waiting; the
    // shutdown wakes it. Unconnected UDP answers ENOTCONN but shuts down all the same.
    ::shutdown(fd, SHUT_RDWR);
    if (::close(fd) != 0) {
        failWithErrno();
        return -1;
    }
    return 0;
}

WaitStatus waitReadable(SocketHandle socket, int timeoutMs) {
    if (!isStarted()) return WaitStatus::kFailed;
    const int fd = descriptorOf(socket);
    if (fd < 0) return WaitStatus::kFailed;
    pollfd entry{fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        failWithErrno();
        return WaitStatus::kFailed;
    }
    if (ready == 0) return WaitStatus::kTimedOut;
    if ((entry.revents & POLLNVAL) != 0) {
        failWith(kErrorNotSocket);
        return WaitStatus::kFailed;
    }
    // An error or hang-up is readable too: the receive then reports it.
    return WaitStatus::kReadable;
}

namespace {

ReceiveResult receiveWithFlags(SocketHandle socket, char* buffer, int capacity, int flags) {
    const ReceiveResult failed{ReceiveStatus::kFailed, 0};
    if (!isStarted()) return failed;
    const int fd = descriptorOf(socket);
    if (fd < 0) return failed;
    if (capacity < 0 || (buffer == nullptr && capacity > 0)) {
        failWith(kErrorFault);
        return failed;
    }
    sockaddr_in sender{};
    iovec part{buffer, static_cast<std::size_t>(capacity)};
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t received;
    do {
        message.msg_namelen = sizeof sender;
        received = ::recvmsg(fd, &message, flags);
    } while (received < 0 && errno == EINTR);
    if (received < 0 && (flags & MSG_DONTWAIT) != 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return {ReceiveStatus::kWouldBlock, 0};
    }
    if (received < 0) {
        failWithErrno();
        return failed;
    }
    // After a shutdown the wait ends with 0 bytes from nobody; a real empty
    // datagram always names its sender.
    if (received == 0 && message.msg_namelen == 0) {
        failWith(kErrorInterrupted);
        return failed;
    }
    // The rest of an oversized datagram is gone, as with WSAEMSGSIZE.
    if ((message.msg_flags & MSG_TRUNC) != 0) {
        failWith(kErrorMessageSize);
        return {ReceiveStatus::kOversized, 0, ntohl(sender.sin_addr.s_addr),
                ntohs(sender.sin_port)};
    }
    return {ReceiveStatus::kReceived, static_cast<int>(received), ntohl(sender.sin_addr.s_addr),
            ntohs(sender.sin_port)};
}

}  // namespace

ReceiveResult receiveDatagram(SocketHandle socket, char* buffer, int capacity) {
    return receiveWithFlags(socket, buffer, capacity, 0);
}

ReceiveResult receiveDatagramNow(SocketHandle socket, char* buffer, int capacity) {
    return receiveWithFlags(socket, buffer, capacity, MSG_DONTWAIT);
}

#if defined(__linux__)
namespace {

// One entry of the socket's memory figures; nullopt when they cannot be read.
std::optional<std::int64_t> memoryFigure(SocketHandle socket, int entry) {
    if (!isStarted()) return std::nullopt;
    const int fd = descriptorOf(socket);
    if (fd < 0) return std::nullopt;
    std::uint32_t figures[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof figures;
    if (::getsockopt(fd, SOL_SOCKET, SO_MEMINFO, figures, &length) != 0) {
        failWithErrno();
        return std::nullopt;
    }
    // An older kernel may know fewer entries.
    if (length < (entry + 1) * sizeof figures[0]) return std::nullopt;
    return static_cast<std::int64_t>(figures[entry]);
}

}  // namespace
#endif

std::optional<std::int64_t> socketDropCount(SocketHandle socket) {
#if defined(__linux__)
    return memoryFigure(socket, SK_MEMINFO_DROPS);
#else
    (void)socket;
    return std::nullopt;
#endif
}

int hostName(char* buffer, std::size_t capacity) {
    if (!isStarted()) return -1;
    if (buffer == nullptr || capacity == 0) {
        failWith(kErrorFault);
        return -1;
    }
    if (::gethostname(buffer, capacity) != 0) {
        failWithErrno();
        return -1;
    }
    // POSIX leaves a truncated name unterminated; Winsock refuses a short buffer.
    for (std::size_t i = 0; i < capacity; ++i) {
        if (buffer[i] == '\0') return 0;
    }
    buffer[0] = '\0';
    failWith(kErrorFault);
    return -1;
}

std::vector<std::string> hostIPv4Addresses(const char* name) {
    std::vector<std::string> addresses;
    if (!isStarted()) return addresses;
    if (name == nullptr) {
        failWith(kErrorFault);
        return addresses;
    }
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        failWithErrno();
        return addresses;
    }
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
        const in_addr address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
        if ((ntohl(address.s_addr) >> 24) == 127) continue;
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &address, text, sizeof text) != nullptr) {
            addresses.emplace_back(text);
        }
    }
    ::freeifaddrs(interfaces);
    return addresses;
}

int bindAnyAddressReusing(SocketHandle socket, std::uint16_t port) {
    return bindAddressShared(socket, INADDR_ANY, port);
}

std::int64_t socketQueuedBytes(SocketHandle socket) {
#if defined(__linux__)
    // FIONREAD gives only the first datagram's length on Linux; the queue's
    // memory covers them all.
    const std::optional<std::int64_t> queued = memoryFigure(socket, SK_MEMINFO_RMEM_ALLOC);
    if (queued) return *queued;
#endif
    if (!isStarted()) return -1;
    const int fd = descriptorOf(socket);
    if (fd < 0) return -1;
    int bytes = 0;
    if (::ioctl(fd, FIONREAD, &bytes) != 0) {
        failWithErrno();
        return -1;
    }
    return bytes;
}

int sendToLoopback(SocketHandle socket, std::uint16_t port, const char* bytes, int length) {
    return sendToAddress(socket, INADDR_LOOPBACK, port, bytes, length);
}

}  // namespace platform
