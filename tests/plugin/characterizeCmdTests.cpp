#include "plugin/zemoriDidCharacterizeCmd.h"

#include "hostTest.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <mayahost/host.h>
// A test is no plug-in: the version data stay the module's own.
#define MNoVersionString
#include <maya/MFnPlugin.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

namespace {

const char* const kUsageError = "This command expects exactly one argument: the name of the node";
const char* const kTypeError = "Node is not of type ZemoriDeviceNode";

class CharacterizeCommand : public HostTest {
protected:
    MStatus run(const std::string& command) {
        return MGlobal::executeCommand(command.c_str(), false, false);
    }
    // The error lines added by the last command.
    std::string lastError() {
        const std::vector<std::string> lines = mayahost::errorLines();
        return lines.empty() ? std::string() : lines.back();
    }
};

TEST_F(CharacterizeCommand, MarksTheNamedDeviceNode) {
    std::string name;
    ZemoriDeviceNode& node = createDeviceNode(0, nullptr, &name);
    std::string otherName;
    ZemoriDeviceNode& other = createDeviceNode(1, nullptr, &otherName);
    ASSERT_FALSE(node.isCharacterized());

    EXPECT_TRUE(run("ZemoriDidCharacterize " + name));
    EXPECT_TRUE(node.isCharacterized());
    EXPECT_FALSE(other.isCharacterized()) << "only the named node changes";
    EXPECT_TRUE(mayahost::errorLines().empty());

    // Again on a marked node: still success, still marked.
    EXPECT_TRUE(run("ZemoriDidCharacterize " + name));
    EXPECT_TRUE(node.isCharacterized());
}

TEST_F(CharacterizeCommand, NeedsExactlyOneArgument) {
    std::string name;
    ZemoriDeviceNode& node = createDeviceNode(0, nullptr, &name);

    EXPECT_EQ(run("ZemoriDidCharacterize"), MS::kFailure);
    EXPECT_NE(lastError().find(kUsageError), std::string::npos) << lastError();
    EXPECT_EQ(run("ZemoriDidCharacterize " + name + " " + name), MS::kFailure);
    EXPECT_NE(lastError().find(kUsageError), std::string::npos) << lastError();
    EXPECT_EQ(mayahost::errorLines().size(), 2u);
    EXPECT_FALSE(node.isCharacterized());
}

TEST_F(CharacterizeCommand, RejectsNamesThatAreNotDeviceNodes) {
    std::string name;
    ZemoriDeviceNode& node = createDeviceNode(0, nullptr, &name);
    std::string transformName;
    ASSERT_FALSE(mayahost::createNode("transform", &transformName).isNull());

    EXPECT_EQ(run("ZemoriDidCharacterize " + transformName), MS::kFailure);
    EXPECT_NE(lastError().find(kTypeError), std::string::npos) << lastError();
    EXPECT_EQ(run("ZemoriDidCharacterize noSuchNode"), MS::kFailure);
    EXPECT_NE(lastError().find(kTypeError), std::string::npos) << lastError();
    EXPECT_FALSE(node.isCharacterized());
}

// A node type of another plug-in, as large as a device node: a command that
// took it for one would write into its zeroed bytes, not past them.
class OtherPluginNode : public MPxNode {
public:
    static void* creator() { return new OtherPluginNode; }
    static MStatus initialize() { return MS::kSuccess; }
    std::array<unsigned char, sizeof(ZemoriDeviceNode)> bytes{};
};

TEST_F(CharacterizeCommand, RejectsANodeOfAnotherPluginsType) {
    MObject otherPlugin = mayahost::createPluginObject("otherVendorNodes", ".");
    ASSERT_TRUE(MFnPlugin(otherPlugin, "Other vendor", "2.0", "Any")
                    .registerNode("otherVendorNode", MTypeId(0x7F0F1), OtherPluginNode::creator,
                                  OtherPluginNode::initialize, MPxNode::kDependNode));
    std::string otherName;
    const MObject other = mayahost::createNode("otherVendorNode", &otherName);
    ASSERT_FALSE(other.isNull());
    const auto* otherNode = dynamic_cast<OtherPluginNode*>(MFnDependencyNode(other).userNode());
    ASSERT_NE(otherNode, nullptr);
    ZemoriDeviceNode& device = createDeviceNode(0);

    EXPECT_EQ(run("ZemoriDidCharacterize " + otherName), MS::kFailure);
    EXPECT_NE(lastError().find(kTypeError), std::string::npos) << lastError();
    EXPECT_EQ(std::count(otherNode->bytes.begin(), otherNode->bytes.end(), 0),
              static_cast<std::ptrdiff_t>(otherNode->bytes.size()))
        << "the command wrote into a node of another type";
    EXPECT_FALSE(device.isCharacterized());
}

TEST_F(CharacterizeCommand, IsAHeapObjectThatIsNotUndoable) {
    const std::unique_ptr<ZemoriDidCharacterizeCmd> command(
        static_cast<ZemoriDidCharacterizeCmd*>(ZemoriDidCharacterizeCmd::creator()));
    ASSERT_NE(command, nullptr);
    EXPECT_FALSE(command->isUndoable());
    EXPECT_FALSE(command->hasSyntax());
}

}  // namespace
