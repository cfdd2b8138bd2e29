// Windows Sockets as the plug-in uses them. On Windows these are the real
// Winsock calls; on POSIX a thin layer gives the same behaviour: a start-up
// count, Winsock error numbers (10048 for an address in use), and a close
// that makes a receive blocked in another thread return at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A socket handle as Winsock's SOCKET (64-bit unsigned); 0 is never a valid
// handle the layer hands out, so callers may use 0 for "none". On POSIX the
// handle is the descriptor plus one, so a descriptor 0 (stdin closed) is
// still a usable socket.
using SocketHandle = std::uint64_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// Winsock error numbers that callers and tests name; lastSocketError gives
// these on every system.
inline constexpr unsigned kErrorInvalidArgument = 10022;      // WSAEINVAL
inline constexpr unsigned kErrorNotSocket = 10038;            // WSAENOTSOCK
inline constexpr unsigned kErrorMessageSize = 10040;          // WSAEMSGSIZE
inline constexpr unsigned kErrorAddressInUse = 10048;         // WSAEADDRINUSE
inline constexpr unsigned kErrorAddressNotAvailable = 10049;  // WSAEADDRNOTAVAIL
inline constexpr unsigned kErrorNotInitialised = 10093;       // WSANOTINITIALISED

// WSAStartup(2.2) / WSACleanup. startup returns 0 on success. Until a
// startup is balanced by a cleanup the calls below work; with no startup
// outstanding they fail with kErrorNotInitialised, as Winsock does.
int socketStartup();
// Does nothing (and sets kErrorNotInitialised) when no startup is outstanding.
void socketCleanup();
// Number of startups not yet balanced by a cleanup (for tests).
int socketStartupCount();

// socket(AF_INET, SOCK_DGRAM, 0): blocking, system default options;
// kInvalidSocket on failure.
SocketHandle openUdpSocket();
// bind to INADDR_ANY and the port (host order); 0 on success, -1 on failure
// (kErrorAddressInUse when another socket holds the port).
int bindAnyAddress(SocketHandle socket, std::uint16_t port);
// bind to one of the machine's IPv4 addresses (host order; 0 for any) and
// the port, keeping the port to this socket (SO_EXCLUSIVEADDRUSE on
// Windows). 0 on success, -1 on failure: kErrorAddressNotAvailable for an
// address the machine does not have.
int bindAddress(SocketHandle socket, std::uint32_t address, std::uint16_t port);
// As bindAddress, but the port may be shared with other sockets that ask the
// same (SO_REUSEADDR): how every receiver of one multicast group on a
// machine binds its port. Nowhere else.
int bindAddressShared(SocketHandle socket, std::uint32_t address, std::uint16_t port);
// Whether the machine has this IPv4 address (host order): a socket can be
// bound to it. Loopback addresses count.
bool isLocalAddress(std::uint32_t address);

// Multicast receiving, on a socket bound to any address and the group's port.
// Joins the group (host order) on the interface of `interfaceAddress` (0: the
// one the system routes the group to). 0 on success, -1 on failure.
int joinMulticastGroup(SocketHandle socket, std::uint32_t group, std::uint32_t interfaceAddress);
// Leaves a group joined with the same arguments.
int leaveMulticastGroup(SocketHandle socket, std::uint32_t group, std::uint32_t interfaceAddress);
// Linux delivers to a socket bound to any address the datagrams of every
// group any socket of the machine has joined, unless IP_MULTICAST_ALL is
// off; this turns it off. Does nothing (0) where the system delivers only the
// socket's own groups (Windows).
int receiveOnlyJoinedGroups(SocketHandle socket);
// SO_RCVBUF: asks for a receive queue of `bytes`; 0 on success. The system
// may grant less (Linux caps it at net.core.rmem_max).
int setReceiveBufferBytes(SocketHandle socket, int bytes);
// The receive queue the system granted, in bytes; -1 when it cannot be read.
int receiveBufferBytes(SocketHandle socket);
// Multicast sending: out through the interface of `interfaceAddress` (host
// order; 0: the system's choice), with this time to live (0 keeps datagrams
// on the machine, 1 on the local network), looped back to the machine's own
// receivers. 0 on success, -1 on failure.
int setMulticastSending(SocketHandle socket, std::uint32_t interfaceAddress, int ttl);
// sendto the IPv4 address and port (host order); bytes sent or -1.
int sendToAddress(SocketHandle socket, std::uint32_t address, std::uint16_t port, const char* bytes,
                  int length);

// The port a bound socket has (host order); 0 when it cannot be read.
std::uint16_t boundPort(SocketHandle socket);
// closesocket: also wakes a receive blocked on the socket in another thread,
// which then reports kFailed. 0 on success, -1 on failure (kErrorNotSocket
// for a handle that is not an open socket).
int closeSocket(SocketHandle socket);
// WSAGetLastError for the calling thread, as a Winsock error number.
unsigned lastSocketError();

enum class ReceiveStatus {
    kReceived,   // a datagram of `bytes` bytes is in the buffer
    kOversized,  // a datagram larger than the buffer arrived and was dropped
    kFailed,     // the socket was closed, is invalid, or the system failed
    kWouldBlock  // receiveDatagramNow only: no datagram was waiting
};
struct ReceiveResult {
    ReceiveStatus status;
    int bytes;  // the datagram's length when kReceived, else 0
    // The sender's IPv4 address and port, host order, when kReceived (and
    // kOversized where the system names the sender); 0 otherwise.
    std::uint32_t sourceAddress = 0;
    std::uint16_t sourcePort = 0;
};
// As receiveDatagram, but returns kWouldBlock at once when no datagram is
// waiting: a busy receiver takes each datagram with one call, and waits
// (waitReadable) only when there is none.
ReceiveResult receiveDatagramNow(SocketHandle socket, char* buffer, int capacity);

enum class WaitStatus {
    kReadable,  // a receive will not block
    kTimedOut,  // nothing arrived within the time
    kFailed     // the socket is invalid or the system failed
};
// poll (WSAPoll on Windows) for a datagram on the socket for at most
// timeoutMs milliseconds. Lets a receiving loop look for a stop between
// bounded waits instead of relying on a close to wake it.
WaitStatus waitReadable(SocketHandle socket, int timeoutMs);

// recvfrom into buffer from any sender; blocks until a datagram arrives or
// the socket closes. An empty datagram is kReceived with 0 bytes. After
// kOversized the socket stays usable and the next datagram can be received.
ReceiveResult receiveDatagram(SocketHandle socket, char* buffer, int capacity);

// Datagrams the system has dropped for this socket since it was opened, a
// full receive queue being the usual reason (Linux: SO_MEMINFO's drop count).
// Reads only: no option is set. nullopt where the system keeps no such count
// per socket (Windows) or it cannot be read.
std::optional<std::int64_t> socketDropCount(SocketHandle socket);

// gethostname into buffer; 0 on success, -1 (SOCKET_ERROR) on failure,
// lastSocketError then says why.
int hostName(char* buffer, std::size_t capacity);
// The IPv4 addresses of the machine, dotted decimal, in the system's order;
// what gethostbyname(hostName) lists on Windows. On POSIX the name only has
// to be given: the addresses are those of the interfaces that are up,
// loopback excluded (a resolver lookup of the name often gives 127.0.1.1).
// Empty when none or when the lookup fails.
std::vector<std::string> hostIPv4Addresses(const char* hostName);

// --- Test helpers. ---
// Bytes waiting in the socket's receive queue; 0 exactly when no datagram
// waits, -1 when it cannot be read. Linux counts the queue's memory
// (SO_MEMINFO), other systems the bytes FIONREAD reports.
std::int64_t socketQueuedBytes(SocketHandle socket);
// Sets SO_REUSEADDR, then binds as bindAnyAddress does: how another program
// could try to share a port that a node holds.
int bindAnyAddressReusing(SocketHandle socket, std::uint16_t port);
// On loopback only:
// sendto 127.0.0.1:port from a socket of the caller's; returns bytes sent or -1.
int sendToLoopback(SocketHandle socket, std::uint16_t port, const char* bytes, int length);

// Called by closeSocket on the closing thread, with the handle, before the
// system close; nullptr (the default) for none. Lets a test hold one closer
// there until another one has come in.
using CloseHook = void (*)(SocketHandle socket);
void setCloseHook(CloseHook hook);

}  // namespace platform
