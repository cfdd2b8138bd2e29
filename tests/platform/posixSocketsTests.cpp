// What the POSIX layer adds to the system's sockets to behave as Winsock:
// calls gated by the start-up count, and handles that are never 0.
#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(PosixSockets, HostNameAndAddressesNeedAStartup) {
    ASSERT_EQ(platform::socketStartupCount(), 0);
    char name[256];
    EXPECT_EQ(platform::hostName(name, sizeof name), -1);
    EXPECT_EQ(platform::lastSocketError(), platform::kErrorNotInitialised);
    EXPECT_TRUE(platform::hostIPv4Addresses("localhost").empty());
    EXPECT_EQ(platform::lastSocketError(), platform::kErrorNotInitialised);
    ASSERT_EQ(platform::socketStartup(), 0);
    EXPECT_EQ(platform::hostName(name, sizeof name), 0);
    platform::socketCleanup();
}

TEST(PosixSockets, DescriptorZeroIsAUsableSocketWithANonZeroHandle) {
    // Free descriptor 0 so that the next socket takes it.
    const int savedInput = ::dup(0);
    ASSERT_GE(savedInput, 0);
    ASSERT_EQ(::close(0), 0);
    ASSERT_EQ(platform::socketStartup(), 0);
    const platform::SocketHandle socket = platform::openUdpSocket();
    EXPECT_EQ(socket, platform::SocketHandle{1});
    EXPECT_EQ(platform::bindAnyAddress(socket, 0), 0);
    EXPECT_NE(platform::boundPort(socket), 0);
    EXPECT_EQ(platform::closeSocket(socket), 0);
    // Closed: the handle is now refused, not mistaken for another descriptor.
    EXPECT_EQ(platform::closeSocket(socket), -1);
    EXPECT_EQ(platform::lastSocketError(), platform::kErrorNotSocket);
    platform::socketCleanup();
    ASSERT_EQ(::dup2(savedInput, 0), 0);
    ::close(savedInput);
}

}  // namespace
