// Scene commands of the MEL runner: connections that pull computed outputs,
// joints and their world positions, the time node, and their errors.
// melTests.cpp carries the version data of this test program.
#define MNoVersionString
#include "melFixture.h"

#include <maya/MAnimControl.h>
#include <maya/MArrayDataBuilder.h>
#include <maya/MArrayDataHandle.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MPxNode.h>
#include <maya/MTime.h>

#include <cmath>

namespace {

// offsets[i] = (i + shift, 2i, 0) for i < 3, computed on demand; counts
// its computes.
class OffsetNode : public MPxNode {
public:
    static MObject aShift, aOffsets;
    static int computes;
    static bool cleansWholeArray;  // or only the plug asked for
    static void* creator() { return new OffsetNode; }
    static MStatus initialize() {
        MFnNumericAttribute fn;
        aShift = fn.create("shift", "sh", MFnNumericData::kDouble, 0.0);
        aOffsets = fn.create("offsets", "ofs", MFnNumericData::k3Float);
        fn.setWritable(false);
        fn.setArray(true);
        fn.setUsesArrayDataBuilder(true);
        addAttribute(aShift);
        addAttribute(aOffsets);
        attributeAffects(aShift, aOffsets);
        return MS::kSuccess;
    }
    MStatus compute(const MPlug& plug, MDataBlock& block) override {
        if (!(plug == aOffsets || plug.array() == aOffsets || plug.parent() == aOffsets)) {
            return MS::kUnknownParameter;
        }
        ++computes;
        const double shift = block.inputValue(aShift).asDouble();
        MArrayDataHandle handle = block.outputArrayValue(aOffsets);
        MArrayDataBuilder builder(&block, aOffsets, 0);
        for (int i = 0; i < 3; ++i) {
            float3& v = builder.addElement(static_cast<unsigned>(i)).asFloat3();
            v[0] = static_cast<float>(i + shift);
            v[1] = static_cast<float>(2 * i);
            v[2] = 0.0f;
        }
        handle.set(builder);
        if (cleansWholeArray) {
            block.setClean(aOffsets);
        } else {
            block.setClean(plug);
        }
        return MS::kSuccess;
    }
};
MObject OffsetNode::aShift;
MObject OffsetNode::aOffsets;
int OffsetNode::computes = 0;
bool OffsetNode::cleansWholeArray = true;

class MelScene : public MelTest {
protected:
    void SetUp() override {
        MelTest::SetUp();
        MObject plugin = testPlugin();
        MFnPlugin fn(plugin);
        ASSERT_TRUE(fn.registerNode("offsetNode", MTypeId(0x7F0A1), OffsetNode::creator,
                                    OffsetNode::initialize));
        OffsetNode::computes = 0;
        OffsetNode::cleansWholeArray = true;
    }
    static void expectPosition(const std::string& node, double x, double y, double z) {
        double p[3] = {0, 0, 0};
        ASSERT_TRUE(mayahost::worldPosition(node, p)) << node;
        EXPECT_NEAR(p[0], x, 1e-5) << node;
        EXPECT_NEAR(p[1], y, 1e-5) << node;
        EXPECT_NEAR(p[2], z, 1e-5) << node;
    }
};

TEST_F(MelScene, ConnectedJointsPullComputedOutputsAndComposeWorldPositions) {
    run("createNode offsetNode -n src;"
        "select -clear; joint -n hip -p 0 0 0;"
        "joint -n knee -p 0 0 0; joint -n foot -p 0 0 0;");
    EXPECT_EQ(run("nodeType knee"), "joint");
    EXPECT_EQ(run("listConnections hip"), "");
    // The second joint chained under the first: joint parents to the selection.
    run("connectAttr src.offsets[0] hip.translate;"
        "connectAttr src.offsets[1] knee.translate;"
        "connectAttr src.offsets[2] foot.translate;");
    EXPECT_EQ(run("getAttr knee.translateY"), "2");
    expectPosition("foot", 0 + 1 + 2, 0 + 2 + 4, 0);

    // A changed input dirties the source; reading a destination computes it.
    const int before = OffsetNode::computes;
    run("setAttr src.shift 10");
    expectPosition("foot", 10 + 11 + 12, 6, 0);
    EXPECT_EQ(OffsetNode::computes, before + 1) << "one compute for the whole pull";
    // Dirtiness is per plug: a compute that cleans only the element asked
    // for runs again for each other element pulled.
    OffsetNode::cleansWholeArray = false;
    run("setAttr src.shift 20");
    expectPosition("foot", 20 + 21 + 22, 6, 0);
    EXPECT_EQ(OffsetNode::computes, before + 4) << "one compute per element";
    run("setAttr src.shift 10");
    OffsetNode::cleansWholeArray = true;
    expectPosition("foot", 10 + 11 + 12, 6, 0);

    // Rotations compose down the chain: rotate order xyz, joint orient zero.
    run("setAttr hip.rotate 0 0 90");
    // knee local (11, 2, 0) turned 90 degrees about z: (-2, 11, 0).
    expectPosition("knee", 10 - 2, 0 + 11, 0);
    run("setAttr knee.rotate 90 0 0; setAttr knee.rotateOrder 0");
    // foot local (12, 4, 0): about x (12, 0, 4), then the hip's z turn (0, 12, 4).
    expectPosition("foot", 8 + 0, 11 + 12, 4);
    // Order matters: zyx applies z first.
    run("setAttr knee.rotate 90 0 90; setAttr knee.rotateOrder 5");
    double xyz[3];
    ASSERT_TRUE(mayahost::worldPosition("foot", xyz));
    run("setAttr knee.rotateOrder 0");
    double zyx[3];
    ASSERT_TRUE(mayahost::worldPosition("foot", zyx));
    EXPECT_GT(std::fabs(xyz[0] - zyx[0]) + std::fabs(xyz[2] - zyx[2]), 1.0);

    EXPECT_EQ(run("stringArrayToString(`listConnections -source true -destination false "
                  "-plugs true knee`, \",\")"),
              "src.offsets[1]");
}

TEST_F(MelScene, ConnectionQueriesAndTheirErrors) {
    run("createNode offsetNode -n src; createNode joint -n a; createNode transform -n b;"
        "connectAttr src.offsets[0] a.translate");
    EXPECT_EQ(run("string $c[] = `listConnections -plugs true a`; $c[0]"), "src.offsets[0]");
    EXPECT_EQ(run("string $c[] = `listConnections -connections true src`; $c[0] + \" \" + $c[1]"),
              "src.offsets[0] a");
    EXPECT_EQ(run("size(`listConnections -source false a`)"), "0");
    EXPECT_EQ(run("size(`listConnections -type joint src`)"), "1");
    EXPECT_EQ(failure("connectAttr src.offsets[1] a.translate"),
              "'a.translate' already has an incoming connection from 'src.offsets[0]'.");
    run("connectAttr -force src.offsets[1] a.translate");
    EXPECT_EQ(run("string $c[] = `listConnections -plugs true a.translate`; $c[0]"),
              "src.offsets[1]");
    EXPECT_EQ(failure("setAttr a.translateX 5"),
              "setAttr: The attribute 'a.translateX' is locked or connected and cannot be "
              "modified.");
    EXPECT_EQ(failure("connectAttr src.offsets[0] b.rotateX"),
              "The attributes 'src.offsets[0]' and 'b.rotateX' are not compatible.");
    EXPECT_EQ(failure("connectAttr src.offsets b.rotate"),
              "An element index is needed: src.offsets");
    EXPECT_EQ(failure("connectAttr a.translate src.offsets[0]"),
              "The attribute 'src.offsets[0]' is not writable.");
    EXPECT_EQ(failure("getAttr a.noSuchAttribute"), "No object matches name: a.noSuchAttribute");
    EXPECT_EQ(failure("createNode noSuchType"), "Unknown object type: noSuchType");
    EXPECT_EQ(failure("setAttr b.translate 1 2"), "setAttr: 'b.translate' takes 3 values.");
    EXPECT_EQ(run("objExists a") + run("objExists a.jointOrient") + run("objExists a.nothing") +
                  run("objExists nobody"),
              "1100");
    EXPECT_EQ(run("rename b moved"), "moved");
    EXPECT_EQ(run("rename a moved"), "moved1") << "a taken name is counted up";
    EXPECT_EQ(run("stringArrayToString(`ls -type joint -type transform`, \" \")"), "moved1 moved");
}

TEST_F(MelScene, TimeNodeFollowsTheCurrentTime) {
    run("createNode offsetNode -n src");
    MAnimControl::setCurrentTime(MTime(12.0, MTime::uiUnit()));
    EXPECT_EQ(run("getAttr time1.outTime"), "12");
    run("connectAttr time1.outTime src.shift");
    EXPECT_EQ(run("getAttr src.shift"), "12") << "set at connection";
    MAnimControl::setCurrentTime(MTime(30.0, MTime::uiUnit()));
    EXPECT_EQ(run("getAttr src.shift"), "30");
    EXPECT_EQ(run("getAttr src.offsets[1].offsets0"), "31") << "the output follows too";
    // A new scene has a fresh time node.
    mayahost::newScene();
    EXPECT_EQ(run("objExists time1"), "1");
}

TEST_F(MelScene, ParentingKeepsLocalValuesAndRefusesCycles) {
    run("createNode transform -n top; createNode joint -n mid; createNode joint -n low;"
        "setAttr top.translate 1 0 0; setAttr mid.translate 0 1 0; setAttr low.translate 0 0 1;"
        "parent -relative mid top; parent -r low mid");
    expectPosition("low", 1, 1, 1);
    EXPECT_EQ(failure("parent -relative top low"), "Cannot parent top under itself.");
    EXPECT_EQ(failure("parent low top"),
              "parent: only -relative and -world are modelled by this host.");
    run("parent -world low");
    expectPosition("low", 0, 0, 1);
    // joint -position is absolute under the selected parent.
    run("select -r top; joint -n tip -p 5 0 0");
    EXPECT_EQ(run("getAttr tip.translateX"), "4");
    expectPosition("tip", 5, 0, 0);
}

TEST_F(MelScene, NodesByNameTypeAndSelection) {
    EXPECT_EQ(run("createNode joint -n arm"), "arm");
    EXPECT_EQ(run("createNode joint -n arm"), "arm1") << "a taken name is counted up";
    EXPECT_EQ(run("createNode joint -n arm -shared"), "arm") << "-shared finds the node";
    EXPECT_EQ(
        run("createNode transform -n group -skipSelect; stringArrayToString(`ls -sl`, \" \")"),
        "arm1")
        << "the last node made without -skipSelect stays selected";
    EXPECT_EQ(run("select -r arm; select -add group; stringArrayToString(`ls -selection`, \" \")"),
              "arm group");
    EXPECT_EQ(run("stringArrayToString(`ls \"arm*\" \"gr*p\"`, \" \")"), "arm arm1 group");
    EXPECT_EQ(run("size(`ls -type joint \"*1\"`)"), "1");
    EXPECT_EQ(run("nodeType group"), "transform");
    EXPECT_EQ(failure("nodeType ghost"), "nodeType: no object matches name: ghost");
    EXPECT_EQ(failure("rename arm \"1bad\""), "rename: '1bad' is not a valid name.");
    EXPECT_EQ(failure("createNode joint -parent time1"),
              "createNode: time1 is not a transform or joint.");
    // joint: a chain under the selection, orientation, rotation order, queries.
    run("select -clear; joint -n j1 -p 1 0 0; joint -n j2 -p 1 2 0 -orientation 0 0 90 "
        "-rotationOrder zyx");
    EXPECT_EQ(run("stringArrayToString(`getAttr j2.translate`, \" \")"), "0 2 0");
    EXPECT_EQ(run("stringArrayToString(`getAttr j2.jointOrient`, \" \")"), "0 0 90");
    EXPECT_EQ(run("getAttr j2.rotateOrder"), "5");
    EXPECT_EQ(run("stringArrayToString(`joint -q -position j2`, \" \")"), "1 2 0");
    EXPECT_EQ(run("joint -q -exists j2") + run("joint -q -exists group"), "10");
    run("joint -e -n knee -p 3 0 0 j2");
    expectPosition("knee", 3, 0, 0);
    EXPECT_EQ(failure("joint -rotationOrder abc"), "Invalid rotation order: abc");
    EXPECT_EQ(failure("joint -e -p 0 0 0 group"), "joint: group is not a joint.");
    // -position is a world position also under a turned parent; joint
    // orient turns what lies below the joint.
    run("select -r knee; joint -n toe -p 3 1 0");
    expectPosition("toe", 3, 1, 0);
    EXPECT_EQ(run("float $t[] = `getAttr toe.translate`;"
                  "($t[0] - 1) * ($t[0] - 1) + $t[1] * $t[1] + $t[2] * $t[2] < 1e-9"),
              "1");
    run("setAttr knee.jointOrient 0 0 0");
    expectPosition("toe", 4, 0, 0);
}

}  // namespace
