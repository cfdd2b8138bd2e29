// Windows Sockets as the plug-in uses them. On Windows these are the real
// Winsock calls; on POSIX a thin layer gives the same behaviour: a start-up
// count, Winsock error numbers (10048 for an address in use), and a close
// that makes a receive blocked in another thread return at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A socket handle as Winsock's SOCKET (64-bit unsigned); 0 is never a valid
// handle the layer hands out, so callers may use 0 for "none".
using SocketHandle = std::uint64_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// WSAStartup(2.2) / WSACleanup. startup returns 0 on success.
int socketStartup();
void socketCleanup();
// Number of startups not yet balanced by a cleanup (for tests).
int socketStartupCount();

// socket(AF_INET, SOCK_DGRAM, 0); kInvalidSocket on failure.
SocketHandle openUdpSocket();
// bind to INADDR_ANY and the port (host order); 0 on success, -1 on failure.
int bindAnyAddress(SocketHandle socket, std::uint16_t port);
// The port a bound socket has (host order); 0 when it cannot be read.
std::uint16_t boundPort(SocketHandle socket);
// closesocket: also wakes a receive blocked on the socket in another thread.
int closeSocket(SocketHandle socket);
// WSAGetLastError for the calling thread, as a Winsock error number.
unsigned lastSocketError();

enum class ReceiveStatus {
    kReceived,   // a datagram of `bytes` bytes is in the buffer
    kOversized,  // a datagram larger than the buffer arrived and was dropped
    kFailed      // the socket was closed, is invalid, or the system failed
};
struct ReceiveResult {
    ReceiveStatus status;
    int bytes;
};
// recvfrom into buffer; blocks until a datagram arrives or the socket closes.
ReceiveResult receiveDatagram(SocketHandle socket, char* buffer, int capacity);

// gethostname into buffer; 0 on success, -1 (SOCKET_ERROR) on failure.
int hostName(char* buffer, std::size_t capacity);
// The IPv4 addresses of the machine, dotted decimal, in the system's order;
// what gethostbyname(hostName) lists on Windows: interfaces that are up,
// loopback excluded. Empty when none or when the lookup fails.
std::vector<std::string> hostIPv4Addresses(const char* hostName);

// --- Test helpers on loopback only. ---
// sendto 127.0.0.1:port from a socket of the caller's; returns bytes sent or -1.
int sendToLoopback(SocketHandle socket, std::uint16_t port, const char* bytes, int length);

}  // namespace platform
