#include "hostTest.h"

#include "plugin/headsUpTextCmd.h"
#include "plugin/idleWorkCmd.h"
#include "plugin/messageTable.h"
#include "plugin/zemoriDidCharacterizeCmd.h"
#include "tests/support/zemoriPanel.h"

#include <maya/MFnDependencyNode.h>
// A test is no plug-in: the version data stay the module's own.
#define MNoVersionString
#include <maya/MFnPlugin.h>
#include <maya/MPxNode.h>
#include <mayahost/host.h>

void HostTest::SetUp() {
    mayahost::reset();
    zemoritest::loadUiScripts(false);
    MObject pluginObject = mayahost::createPluginObject("zemoriTests", ".");
    MFnPlugin plugin(pluginObject, "Corvane Corporation", "1.0.1", "Any");
    ASSERT_TRUE(plugin.registerUIStrings(registerMessageStrings, "ZemoriMayaInitStrings"));
    ASSERT_TRUE(
        plugin.registerCommand(kCharacterizeCommandName, ZemoriDidCharacterizeCmd::creator));
    ASSERT_TRUE(plugin.registerCommand(kIdleWorkCommandName, ZemoriIdleWorkCmd::creator));
    ASSERT_TRUE(plugin.registerCommand(kHeadsUpTextCommandName, ZemoriHeadsUpTextCmd::creator));
    ASSERT_TRUE(plugin.registerNode("ZemoriDeviceNode", ZemoriDeviceNode::id,
                                    ZemoriDeviceNode::creator, ZemoriDeviceNode::initialize,
                                    MPxNode::kThreadedDeviceNode));
}

void HostTest::TearDown() {
    mayahost::reset();
}

ZemoriDeviceNode& HostTest::createDeviceNode(int deviceId, MObject* object, std::string* name) {
    MStatus status;
    const MObject node = mayahost::createNode("ZemoriDeviceNode", name, &status);
    EXPECT_TRUE(status);
    EXPECT_TRUE(mayahost::setInt(node, "deviceId", deviceId));
    zemoritest::openPanel(mayahost::nodeName(node));
    if (object != nullptr) *object = node;
    MPxNode* user = MFnDependencyNode(node).userNode();
    return *static_cast<ZemoriDeviceNode*>(user);
}
