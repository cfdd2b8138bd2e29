// Whether this system tells loopback addresses apart: a socket bound to
// 127.0.0.2 is seen as sending from 127.0.0.2, and 127.0.0.1 and 127.0.0.2
// each hold a port of their own. Linux and Windows do; Wine binds any
// loopback address as 127.0.0.1, so tests that need two loopback
// addresses skip there and say why.
#pragma once

#include "platform/sockets.h"

#include <string>

namespace zemoritest {

// Empty when they are told apart; otherwise why not.
inline std::string loopbackAddressesNotToldApart() {
    platform::socketStartup();
    std::string why;
    const platform::SocketHandle receiver = platform::openUdpSocket();
    const platform::SocketHandle second = platform::openUdpSocket();
    const platform::SocketHandle sender = platform::openUdpSocket();
    char buffer[8] = {};
    if (platform::bindAddress(receiver, 0x7F000001, 0) != 0 ||
        platform::bindAddress(sender, 0x7F000002, 0) != 0) {
        why = "a socket cannot be bound to 127.0.0.1 or 127.0.0.2";
    } else if (platform::bindAddress(second, 0x7F000002, platform::boundPort(receiver)) != 0) {
        why = "127.0.0.2 cannot hold the port 127.0.0.1 holds (the system binds both as one)";
    } else if (platform::sendToAddress(sender, 0x7F000001, platform::boundPort(receiver), "z", 1) !=
                   1 ||
               platform::waitReadable(receiver, 2000) != platform::WaitStatus::kReadable) {
        why = "a datagram from 127.0.0.2 to 127.0.0.1 did not arrive";
    } else {
        const platform::ReceiveResult got = platform::receiveDatagram(receiver, buffer, 8);
        if (got.sourceAddress != 0x7F000002) {
            why =
                "a datagram from a socket bound to 127.0.0.2 arrives as from another address "
                "(the system binds every loopback address as 127.0.0.1)";
        }
    }
    platform::closeSocket(sender);
    platform::closeSocket(second);
    platform::closeSocket(receiver);
    platform::socketCleanup();
    return why;
}

}  // namespace zemoritest
