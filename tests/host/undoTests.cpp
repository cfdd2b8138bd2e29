// The undo queue of deletions: MEL's delete keeps nodes for undo, undo
// brings them back with their names and links, and flushUndo, a new scene
// or nothing but an unloaded plug-in's refusal let them go; the graph
// callbacks that tell plug-ins so.
// The version data belong to another file of this program.
#define MNoVersionString
#include "melFixture.h"

#include <maya/MAnimControl.h>
#include <maya/MDGMessage.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MPxNode.h>
#include <maya/MTime.h>

#include <string>
#include <vector>

namespace {

// Counts its destructions.
class ProbeNode : public MPxNode {
public:
    static MTypeId id;
    static MObject aInput;
    static int destroyed;
    ~ProbeNode() override { ++destroyed; }
    static void* creator() { return new ProbeNode; }
    static MStatus initialize() {
        MFnNumericAttribute fn;
        aInput = fn.create("input", "in", MFnNumericData::kDouble, 0.0);
        return addAttribute(aInput);
    }
};
MTypeId ProbeNode::id(0x7f101);
MObject ProbeNode::aInput;
int ProbeNode::destroyed = 0;

std::vector<std::string> gEvents;

void record(const char* what, MObject& node) {
    gEvents.push_back(std::string(what) + " " + MFnDependencyNode(node).name().asChar());
}
void onRemoved(MObject& node, void*) {
    record("removed", node);
}
void onAdded(MObject& node, void*) {
    record("added", node);
}

class UndoTest : public MelTest {
protected:
    void SetUp() override {
        MelTest::SetUp();
        ProbeNode::destroyed = 0;
        gEvents.clear();
        MObject owner = testPlugin();
        MFnPlugin plugin(owner);
        ASSERT_TRUE(plugin.registerNode("probeNode", ProbeNode::id, ProbeNode::creator,
                                        ProbeNode::initialize));
    }
    static bool exists(const std::string& node) { return run("objExists " + node) == "1"; }
};

TEST_F(UndoTest, DeleteKeepsNodesUntilUndoRestoresThemWithNamesAndLinks) {
    run("createNode joint -n hip; createNode joint -n knee; parent -relative knee hip;"
        "createNode probeNode -n probe; connectAttr hip.translateX knee.rotateX;"
        "connectAttr time1.outTime probe.input");
    const MCallbackId removed = MDGMessage::addNodeRemovedCallback(onRemoved);
    const MCallbackId added = MDGMessage::addNodeAddedCallback(onAdded, "probeNode");

    run("delete hip probe");
    EXPECT_FALSE(exists("hip") || exists("knee") || exists("probe"));
    EXPECT_EQ(run("size(`ls -type unitConversion`)"), "0") << "it went with its connection";
    EXPECT_EQ(gEvents, (std::vector<std::string>{"removed hip", "removed probe", "removed knee",
                                                 "removed unitConversion1",
                                                 "removed timeToUnitConversion1"}));
    EXPECT_EQ(ProbeNode::destroyed, 0) << "kept for undo";
    EXPECT_EQ(mayahost::undoQueueNodeCount(), 5u);
    // Out of the graph, the probe no longer follows the time.
    MAnimControl::setCurrentTime(MTime(5.0, MTime::uiUnit()));

    gEvents.clear();
    run("undo");
    ASSERT_TRUE(exists("hip") && exists("knee") && exists("probe"));
    EXPECT_EQ(gEvents, std::vector<std::string>{"added probe"}) << "filtered by type";
    EXPECT_EQ(run("isConnected -iuc hip.translateX knee.rotateX"), "1");
    EXPECT_EQ(run("isConnected -iuc time1.outTime probe.input"), "1");
    EXPECT_EQ(run("getAttr probe.input"), "5") << "the time input caught up";
    run("setAttr hip.translateY 10");
    double knee[3] = {0.0, 0.0, 0.0};
    ASSERT_TRUE(mayahost::worldPosition("knee", knee));
    EXPECT_DOUBLE_EQ(knee[1], 10.0) << "still below hip";
    EXPECT_EQ(mayahost::undoQueueNodeCount(), 0u);

    // A name given away meanwhile is not taken back.
    run("delete probe; createNode probeNode -n probe; undo");
    EXPECT_TRUE(exists("probe1"));

    // The queue holds the plug-in: it cannot be unloaded until flushed.
    run("delete probe1");
    EXPECT_EQ(mayahost::unloadPlugin("hostTests"), MS::kFailure);
    EXPECT_EQ(mayahost::errorLines().back(),
              "Plug-in, \"hostTests\", cannot be unloaded because it is still in use.");
    run("flushUndo");
    EXPECT_EQ(ProbeNode::destroyed, 1);
    EXPECT_FALSE(exists("probe1"));
    run("undo");
    EXPECT_EQ(mayahost::infoLines().back(), "Warning: There are no more commands to undo.");

    // A new scene flushes the queue as well.
    run("delete probe");
    mayahost::newScene();
    EXPECT_EQ(ProbeNode::destroyed, 2);
    EXPECT_EQ(mayahost::undoQueueNodeCount(), 0u);
    EXPECT_TRUE(MMessage::removeCallback(removed));
    EXPECT_TRUE(MMessage::removeCallback(added));
    EXPECT_EQ(mayahost::unloadPlugin("hostTests"), MS::kSuccess);
}

}  // namespace
