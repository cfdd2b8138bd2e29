// A test that breaks a host rule without taking the breach: the test main
// must fail it. Run by CTest, which expects that failure.
#include "hostFixture.h"

#include <thread>

TEST_F(HostTest, BreachWithoutTakingIt) {
    MObject node = mayahost::createNode("transform");
    // Its line is captured: only the failure of this test is wanted.
    testing::internal::CaptureStderr();
    std::thread other([&] { mayahost::findPlug(node, "tx").setValue(1.0); });
    other.join();
    testing::internal::GetCapturedStderr();
}
