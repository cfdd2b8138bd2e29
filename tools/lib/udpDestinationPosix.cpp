#include "tools/lib/udpDestination.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ztools {

std::unique_ptr<UdpDestination> UdpDestination::open(const std::string& host, std::uint16_t port,
                                                     std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0 || !found) {
        error = "cannot resolve host '" + host + "': " + gai_strerror(rc);
        return nullptr;
    }
    std::unique_ptr<UdpDestination> d(new UdpDestination());
    const auto* sin = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    d->mAddressNetworkOrder = sin->sin_addr.s_addr;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text);
    d->mAddress = text;
    freeaddrinfo(found);
    d->mPortNetworkOrder = htons(port);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        error = std::string("cannot open a UDP socket: ") + std::strerror(errno);
        return nullptr;
    }
    d->mSocket = std::uint64_t(fd) + 1;
    return d;
}

UdpDestination::~UdpDestination() {
    if (mSocket) ::close(int(mSocket - 1));
}

bool UdpDestination::setMulticast(const std::string& interfaceAddress, int ttl,
                                  std::string& error) {
    in_addr localInterface{};
    if (!interfaceAddress.empty() &&
        inet_pton(AF_INET, interfaceAddress.c_str(), &localInterface) != 1) {
        error = "'" + interfaceAddress + "' is not an IPv4 address";
        return false;
    }
    const int fd = int(mSocket - 1);
    const unsigned char hops = static_cast<unsigned char>(ttl);
    const unsigned char loop = 1;
    if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &localInterface, sizeof localInterface) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0) {
        error = std::string("cannot send to a multicast group from '") + interfaceAddress +
                "': " + std::strerror(errno);
        return false;
    }
    return true;
}

bool UdpDestination::send(const char* bytes, int length) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = mPortNetworkOrder;
    to.sin_addr.s_addr = mAddressNetworkOrder;
    const ssize_t sent = ::sendto(int(mSocket - 1), bytes, std::size_t(length), 0,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == length;
}

}  // namespace ztools
