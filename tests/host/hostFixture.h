// A fixture that gives every test a fresh host, and a helper that registers
// test node types and commands through a plug-in object of the test's own.
#pragma once

#include <mayahost/host.h>

#include <maya/MFnPlugin.h>
#include <maya/MObject.h>

#include <gtest/gtest.h>

#include <string>

class HostTest : public ::testing::Test {
protected:
    void SetUp() override { mayahost::reset(); }
    void TearDown() override { mayahost::reset(); }

    // The plug-in object under which a test registers its types.
    MObject testPlugin(const std::string& folder = "/tmp/hostTests") {
        if (mPlugin.isNull()) mPlugin = mayahost::createPluginObject("hostTests", folder);
        return mPlugin;
    }

private:
    MObject mPlugin;
};
