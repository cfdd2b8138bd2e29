// The module's MEL scripts on their own: devices from the shelf, the panel's
// controls and the node's attributes, the procedures the plug-in calls, and
// binding, with the node type and command registered straight from the test.
#include "hostTest.h"
#include "plugin/timeUnitWatch.h"
#include "tests/support/melRun.h"
#include "tests/support/zemoriPanel.h"

#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using zemoritest::mel;

class UiScripts : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(MGlobal::executeCommand("createZemoriShelf"));
    }
    static MObject pressShelfButton() {
        const std::size_t before = mayahost::nodeNames().size();
        EXPECT_TRUE(mayahost::pressButton("zemoriCreateDeviceButton"));
        const std::vector<std::string> names = mayahost::nodeNames();
        EXPECT_EQ(names.size(), before + 1);
        return mayahost::findNode(names.back());
    }
};

TEST_F(UiScripts, DevicesGetFreeIdsAndPortsAndTheirPanelsFollowTheNodes) {
    // Loading again leaves one shelf.
    ASSERT_TRUE(MGlobal::executeCommand("createZemoriShelf"));
    EXPECT_EQ(mayahost::shelves(), std::vector<std::string>{"Zemori"});

    const MObject first = pressShelfButton();
    const MObject second = pressShelfButton();
    EXPECT_EQ(mayahost::getInt(first, "deviceId"), 0);
    EXPECT_EQ(mayahost::getInt(second, "deviceId"), 1);
    EXPECT_EQ(mayahost::getInt(first, "inputPort"), 12351);
    EXPECT_EQ(mayahost::getInt(second, "inputPort"), 12352);
    EXPECT_EQ(mayahost::windows(), (std::vector<std::string>{"zemoriPanel0", "zemoriPanel1"}));
    EXPECT_EQ(mayahost::control("zemoriPanel1").label, "Zemori Device 1");
    EXPECT_EQ(mayahost::control("zemoriPort1").value, 12352);
    EXPECT_EQ(mayahost::control("zemoriDeviceId1").label, "1");
    // A freed id is the next one given.
    ASSERT_TRUE(mayahost::setInt(first, "deviceId", 7));
    EXPECT_EQ(mayahost::getInt(pressShelfButton(), "deviceId"), 0);

    // The port field: a port another device uses is refused and the field
    // goes back; a free one is taken.
    ASSERT_TRUE(mayahost::typeInt("zemoriPort1", 12351));
    EXPECT_EQ(mayahost::getInt(second, "inputPort"), 12352);
    EXPECT_EQ(mayahost::control("zemoriPort1").value, 12352);
    EXPECT_EQ(mayahost::infoLines().back(),
              "Warning: Another Zemori device already uses port 12351");
    ASSERT_TRUE(mayahost::typeInt("zemoriPort1", 40000));
    EXPECT_EQ(mayahost::getInt(second, "inputPort"), 40000);

    // The check boxes set the attributes.
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording1", true));
    EXPECT_TRUE(mayahost::getBool(second, "recording"));
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording1", false));
    EXPECT_FALSE(mayahost::getBool(second, "recording"));

    // The plug-in's procedures reach the panel of their id only.
    ASSERT_TRUE(MGlobal::executeCommand("displayMessage \"Awaiting Skeleton Definition\" 1"));
    ASSERT_TRUE(MGlobal::executeCommand("enableBindButton 1 1"));
    ASSERT_TRUE(MGlobal::executeCommand("updateLiveCheckbox 1 1"));
    EXPECT_EQ(zemoritest::panelState(1).status, "Awaiting Skeleton Definition");
    EXPECT_TRUE(zemoritest::panelState(1).bindButtonEnabled);
    EXPECT_TRUE(zemoritest::panelState(1).liveChecked);
    EXPECT_FALSE(mayahost::getBool(second, "live")) << "the box follows the node, not the reverse";
    EXPECT_FALSE(zemoritest::panelState(0).bindButtonEnabled);
    // Ids without a panel are no error.
    ASSERT_TRUE(MGlobal::executeCommand("displayMessage \"x\" 42; enableBindButton 42 1"));
    ASSERT_TRUE(MGlobal::executeCommand("displayStreamSummary 42 \"1.0\" 0 \"0.00\""));
    ASSERT_TRUE(MGlobal::executeCommand(
        "displayAvailableIPs \"An error occurred while trying to find your IP address\" 1"));
    EXPECT_EQ(mayahost::control("zemoriIpHeading1").label,
              "An error occurred while trying to find your IP address");
    EXPECT_TRUE(mayahost::control("zemoriIps1").items.empty());
    ASSERT_TRUE(MGlobal::executeCommand(
        "displayAvailableIPs \"Your local IPs:\t\t\t10.0.0.5\t\t\t10.1.1.1\" 1"));
    EXPECT_EQ(mayahost::control("zemoriIps1").items,
              (std::vector<std::string>{"10.0.0.5", "10.1.1.1"}));

    // Before a new scene every panel closes.
    ASSERT_TRUE(MGlobal::executeCommand("cleanUpUI"));
    EXPECT_TRUE(mayahost::windows().empty());
    EXPECT_TRUE(mayahost::errorLines().empty()) << ::testing::PrintToString(mayahost::errorLines());
}

TEST_F(UiScripts, BindingBuildsOrReusesTheSkeletonAndCharacterizes) {
    MObject object;
    std::string name;
    ZemoriDeviceNode& node = createDeviceNode(3, &object, &name);
    ASSERT_FALSE(node.isCharacterized());
    mel("zemoriBindSkeleton " + name);
    EXPECT_TRUE(node.isCharacterized());
    EXPECT_EQ(mel("size(`ls -type joint \"zemoriCharacter3_Skeleton_*\"`)"), "27");
    // Hierarchy and drivers, for a joint deep in the chain.
    const std::string hand = "zemoriCharacter3_Skeleton_l_hand";
    EXPECT_EQ(mel("string $p[] = `listConnections -plugs true " + hand + ".translate`; $p[0]"),
              name + ".outputTranslations[14]");
    // Through the unit conversion Maya puts between unitless and angle plugs.
    EXPECT_EQ(mel("string $p[] = `listConnections -plugs true -skipConversionNodes true " + hand +
                  ".rotate`; $p[0]"),
              name + ".outputRotations[14]");
    EXPECT_EQ(mel("string $p[] = `listConnections -plugs true -skipConversionNodes true " + name +
                  ".time`; $p[0]"),
              "time1.outTime");
    EXPECT_EQ(mel("getAttr " + hand + ".rotateOrder"), "0");
    EXPECT_EQ(mel("stringArrayToString(`getAttr " + hand + ".jointOrient`, \" \")"), "0 0 0");

    // Binding again reuses the joints, even when a user changed them.
    mel("setAttr zemoriCharacter3_Skeleton_head.rotateOrder 4; "
        "setAttr zemoriCharacter3_Skeleton_head.jointOrient 10 0 0");
    mel("zemoriBind " + name);
    EXPECT_EQ(mel("size(`ls -type joint`)"), "27");
    EXPECT_EQ(mel("getAttr zemoriCharacter3_Skeleton_head.rotateOrder"), "0");
    EXPECT_EQ(
        mel("string $p[] = `listConnections -plugs true zemoriCharacter3_Skeleton_head.translate`;"
            " $p[0]"),
        name + ".outputTranslations[10]");
    EXPECT_EQ(mel("getAttr zemoriCharacter3_Skeleton_head.jointOrientX"), "0");
    // The node's own joint table hangs the arms down: no T-stance to lock.
    EXPECT_EQ(zemoritest::panelState(3).status,
              "Streaming to skeleton zemoriCharacter3_Skeleton. No HumanIK character: the "
              "skeleton definition's rest pose is not a T-stance (arms not along X)");
    EXPECT_TRUE(mayahost::hikCharacters().empty());
    EXPECT_TRUE(mayahost::errorLines().empty()) << ::testing::PrintToString(mayahost::errorLines());

    // A node of a joint's name that is no joint stops the binding.
    createDeviceNode(4, nullptr, &name);
    mel("createNode transform -n zemoriCharacter4_Skeleton_neck_1");
    EXPECT_FALSE(mayahost::runMel("zemoriBindSkeleton " + name));
    EXPECT_EQ(mayahost::errorLines().back(),
              "Cannot build the skeleton: a node that is not a joint is named "
              "zemoriCharacter4_Skeleton_neck_1");
    EXPECT_FALSE(mayahost::runMel("zemoriBindSkeleton time1"));
    EXPECT_EQ(mayahost::errorLines().back(), "Not a Zemori device node: time1");
}

// Where HumanIK cannot be used, binding drives the skeleton all the same and
// the status line says why.
TEST_F(UiScripts, BindingWithoutHumanIkStillDrivesTheSkeletonAndSaysWhy) {
    const std::string hand = "zemoriCharacter1_Skeleton_r_hand.translate";
    const auto bindSays = [&](const std::string& why) {
        std::string name;
        createDeviceNode(1, nullptr, &name);
        mel("zemoriBind " + name);
        EXPECT_EQ(zemoritest::panelState(1).status,
                  "Streaming to skeleton zemoriCharacter1_Skeleton. No HumanIK character: " + why);
        EXPECT_EQ(mel("string $p[] = `listConnections -plugs true " + hand + "`; $p[0]"),
                  name + ".outputTranslations[18]");
        EXPECT_TRUE(mayahost::hikCharacters().empty());
        EXPECT_TRUE(mayahost::errorLines().empty())
            << ::testing::PrintToString(mayahost::errorLines());
        mel("delete " + name);
    };
    mayahost::setHumanIkAvailable(false);
    bindSays("the HumanIK plug-in (mayaHIK) could not be loaded");
    mayahost::setHumanIkAvailable(true);
    mayahost::setBatchMode(true);
    bindSays("Maya runs in batch mode, where HumanIK cannot be set up");
    mayahost::setBatchMode(false);
}

// The node's skeleton defined and locked as a HumanIK character, as binding
// does for a T-stance (the character is made directly here: this node's
// own rest pose is none).
std::string defineCharacter(const std::string& skeleton) {
    return mel("zemoriHikUnavailable(); zemoriDefineCharacter(\"" + skeleton +
               "\", zemoriSkeletonJoints(\"" + skeleton + "\"))");
}

std::string problems(const std::string& node) {
    return mel("stringArrayToString(zemoriCheckCharacter(\"" + node + "\"), \"|\")");
}

TEST_F(UiScripts, TheCharacterCheckNamesEachFault) {
    std::string name;
    createDeviceNode(5, nullptr, &name);
    const std::string skeleton = "zemoriCharacter5_Skeleton";
    mel("zemoriBindSkeleton " + name);
    EXPECT_EQ(problems(name), "No HumanIK character for skeleton " + skeleton);
    const std::string character = defineCharacter(skeleton);
    ASSERT_TRUE(mayahost::hikCharacter(character).locked);
    EXPECT_EQ(problems(name), "");

    // An unlocked definition missing Neck1, an arm joint let go of the node
    // and turned, and a second character on one of the joints.
    mel("hikSetCurrentCharacter(\"" + character +
        "\"); hikToggleLockDefinition; "
        "setCharacterObject(\"" +
        skeleton + "_neck_2\", \"" + character + "\", 32, 1)");
    mel("zemoriDisconnectJoint " + skeleton + "_l_low_arm; setAttr " + skeleton +
        "_l_low_arm.rotate 0 30 0");
    const std::string intruder = mel("hikCreateCharacter(\"intruder\")");
    mel("setCharacterObject(\"" + skeleton + "_head\", \"" + intruder + "\", 15, 0)");
    EXPECT_EQ(problems(name), "HumanIK slot not mapped to its joint: Neck1 (" + skeleton +
                                  "_neck_2)|Joint not at its stance: " + skeleton +
                                  "_l_low_arm|HumanIK definition not locked: " + character +
                                  "|Another HumanIK character uses the same joints: " + intruder);
    // A joint let go of the node but still at its rest values passes.
    mel("setAttr " + skeleton + "_l_low_arm.rotate 0 0 0");
    EXPECT_EQ(problems(name).find("stance"), std::string::npos);

    // Binding again poses the joints at stance and drives them again; with
    // no T-stance it leaves the definition as it was.
    mel("zemoriBindSkeleton " + name);
    EXPECT_EQ(problems(name), "HumanIK slot not mapped to its joint: Neck1 (" + skeleton +
                                  "_neck_2)|HumanIK definition not locked: " + character +
                                  "|Another HumanIK character uses the same joints: " + intruder);
    EXPECT_EQ(defineCharacter(skeleton), character) << "the character is reused";
    EXPECT_EQ(mayahost::hikCharacters().size(), 2u);
    EXPECT_EQ(problems(name), "Another HumanIK character uses the same joints: " + intruder);
}

TEST_F(UiScripts, TheRetargetMenuMakesOurCharacterTheChosenOnesSource) {
    std::string ours;
    std::string theirs;
    createDeviceNode(6, nullptr, &ours);
    createDeviceNode(7, nullptr, &theirs);
    mel("zemoriBindSkeleton " + ours + "; zemoriBindSkeleton " + theirs);
    const std::string source = defineCharacter("zemoriCharacter6_Skeleton");
    const std::string target = defineCharacter("zemoriCharacter7_Skeleton");
    mel("zemoriRefreshRetargetMenu " + ours);

    ASSERT_TRUE(mayahost::chooseOption("zemoriRetarget6", target))
        << ::testing::PrintToString(mayahost::errorLines());
    EXPECT_EQ(mayahost::hikCharacter(target).source, source);
    EXPECT_EQ(mayahost::hikCharacter(source).source, "");
    EXPECT_FALSE(mayahost::chooseOption("zemoriRetarget6", source)) << "ours is not listed";
    ASSERT_TRUE(mayahost::chooseOption("zemoriRetarget6", "None"));
    EXPECT_EQ(mayahost::hikCharacter(target).source, "");
    EXPECT_TRUE(mayahost::errorLines().empty()) << ::testing::PrintToString(mayahost::errorLines());
}

std::string retargetShown(int deviceId) {
    return mel("optionMenu -query -value zemoriRetarget" + std::to_string(deviceId));
}

// HumanIK outside binding: its plug-in loaded and a character in the scene,
// but its scripts missing, then there and never sourced. Opening a panel
// and the retarget menu source them, or say on the status line what is
// missing; no MEL error escapes. "None" disables the character driven, as
// Maya's Source menu does.
TEST_F(UiScripts, HumanIkOutsideBindingSourcesItsScriptsOrSaysWhy) {
    mayahost::setHumanIkScriptsAvailable(false);
    mel("loadPlugin mayaHIK; createNode HIKCharacterNode -n stranger");
    pressShelfButton();
    const std::string ours = mayahost::nodeNames().back();
    ASSERT_TRUE(mayahost::chooseOption("zemoriRetarget0", "stranger"));
    const std::string missing = "HumanIK's scripts could not be sourced: no procedure ";
    EXPECT_EQ(zemoritest::panelState(0).status,
              "Cannot drive another character: " + missing + "hikCreateCharacter");
    EXPECT_EQ(retargetShown(0), "None");
    mel("zemoriBind " + ours);
    EXPECT_EQ(zemoritest::panelState(0).status,
              "Streaming to skeleton zemoriCharacter0_Skeleton. No HumanIK character: " + missing +
                  "hikCreateCharacter");
    EXPECT_TRUE(mayahost::errorLines().empty()) << ::testing::PrintToString(mayahost::errorLines());

    // The scripts there but not sourced: a new panel sources them.
    mayahost::setHumanIkScriptsAvailable(true);
    EXPECT_EQ(mel("exists hikGetSkNode"), "0");
    pressShelfButton();
    const std::string theirs = mayahost::nodeNames().back();
    EXPECT_EQ(mel("exists hikGetSkNode"), "1");
    mel("zemoriBindSkeleton " + theirs);
    const std::string source = defineCharacter("zemoriCharacter0_Skeleton");
    const std::string target = defineCharacter("zemoriCharacter1_Skeleton");
    mel("zemoriRefreshRetargetMenu " + ours);
    ASSERT_TRUE(mayahost::chooseOption("zemoriRetarget0", target));
    EXPECT_EQ(mayahost::hikCharacter(target).source, source);
    ASSERT_TRUE(mayahost::chooseOption("zemoriRetarget0", "None"));
    EXPECT_EQ(mayahost::hikCharacter(target).source, "");
    // HumanIK refuses an unlocked character: the one before is let go, and
    // the menu says "None".
    ASSERT_TRUE(mayahost::chooseOption("zemoriRetarget0", target));
    ASSERT_TRUE(mayahost::chooseOption("zemoriRetarget0", "stranger"));
    EXPECT_EQ(mayahost::hikCharacter(target).source, "");
    EXPECT_EQ(mayahost::hikCharacter("stranger").source, "");
    EXPECT_EQ(zemoritest::panelState(0).status,
              "Cannot drive another character: a HumanIK procedure failed");
    EXPECT_EQ(retargetShown(0), "None");
    EXPECT_TRUE(mayahost::errorLines().empty()) << ::testing::PrintToString(mayahost::errorLines());
}

double nodeTime(const std::string& node) {
    return std::stod(mel("getAttr " + node + ".time"));
}

// Maya puts a timeToUnitConversion node between time1.outTime and the
// node's double time, its factor fixed at connection. Binding again keeps
// that connection; a new time unit gets a new one.
TEST_F(UiScripts, TheNodesTimeFollowsTheScenesTimeUnit) {
    ASSERT_TRUE(watchTimeUnit());
    std::string name;
    createDeviceNode(2, nullptr, &name);
    mel("currentUnit -time film; currentTime 12; zemoriBindSkeleton " + name);
    const std::string list =
        "string $c[] = `listConnections -source true -destination false " + name + ".time`; $c[0]";
    const std::string conversion = mel(list);
    EXPECT_EQ(mel("nodeType " + conversion), "timeToUnitConversion");
    EXPECT_DOUBLE_EQ(std::stod(mel("getAttr " + conversion + ".conversionFactor")), 24.0 / 6000);
    EXPECT_EQ(mel("isConnected time1.outTime " + name + ".time"), "0");
    EXPECT_EQ(mel("isConnected -ignoreUnitConversion time1.outTime " + name + ".time"), "1");
    EXPECT_NEAR(nodeTime(name), 12.0, 1e-9);
    mel("zemoriBindSkeleton " + name);
    EXPECT_EQ(mel(list), conversion) << "binding again does not reconnect";

    // 24 to 30 frames a second: the same moment is frame 15.
    mel("currentUnit -time ntsc");
    EXPECT_EQ(mel("currentTime -query"), "15");
    EXPECT_NEAR(nodeTime(name), 15.0, 1e-9);
    for (int frame = 16; frame <= 20; ++frame) {
        mel("currentTime " + std::to_string(frame));
        EXPECT_NEAR(nodeTime(name), frame, 1e-9);
    }
    const std::string now = mel(list);
    EXPECT_DOUBLE_EQ(std::stod(mel("getAttr " + now + ".conversionFactor")), 30.0 / 6000);
    EXPECT_EQ(mel("objExists " + conversion), "0") << "the old conversion went with its connection";
    mel("zemoriBindSkeleton " + name);
    EXPECT_EQ(mel(list), now);
    EXPECT_TRUE(mayahost::errorLines().empty()) << ::testing::PrintToString(mayahost::errorLines());
    unwatchTimeUnit();
}

}  // namespace
