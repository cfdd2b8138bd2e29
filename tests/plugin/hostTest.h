// A test fixture on the embedded host with the plug-in's node type and
// command registered straight from the test (no module loaded), and the
// message table registered as the plug-in registers it.
#pragma once

#include "node/zemoriDeviceNode.h"

#include <maya/MObject.h>
#include <maya/MString.h>

#include <gtest/gtest.h>

#include <string>

class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new device node with the given device id and its panel open; its
    // MObject in `object`.
    ZemoriDeviceNode& createDeviceNode(int deviceId, MObject* object = nullptr,
                                       std::string* name = nullptr);
};

inline std::string str(const MString& text) {
    return text.asChar();
}
