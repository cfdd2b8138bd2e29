// HumanIK by script: a skeleton defined, validated, locked and made the
// source of another character, and what refuses each step.
// melTests.cpp carries the version data of this test program.
#define MNoVersionString
#include "melFixture.h"

#include <cmath>

namespace {

using Hik = MelTest;

constexpr double kPi = 3.14159265358979323846;

// A 27-joint skeleton in the T-stance, its names prefixed, and the mapping
// of our joints to HumanIK slots.
const char* const kSkeletonProcs = R"(
global proc buildSkeleton(string $p) {
    select -clear;
    joint -n ($p + "root") -p 0 100 0;
    for ($i = 1; $i <= 7; $i++) joint -n ($p + "torso_" + $i) -p 0 (100 + 5 * $i) 0;
    joint -n ($p + "neck_1") -p 0 140 0;
    joint -n ($p + "neck_2") -p 0 145 0;
    joint -n ($p + "head") -p 0 150 0;
    string $sides[] = {"l", "r"};
    string $side;
    for ($side in $sides) {
        float $x = ($side == "l") ? 1 : -1;
        select ($p + "torso_7");
        joint -n ($p + $side + "_shoulder") -p (5 * $x) 135 0;
        joint -n ($p + $side + "_up_arm") -p (15 * $x) 135 0;
        joint -n ($p + $side + "_low_arm") -p (40 * $x) 135 0;
        joint -n ($p + $side + "_hand") -p (65 * $x) 135 0;
        select ($p + "root");
        joint -n ($p + $side + "_up_leg") -p (10 * $x) 95 0;
        joint -n ($p + $side + "_low_leg") -p (10 * $x) 50 0;
        joint -n ($p + $side + "_foot") -p (10 * $x) 8 0;
        joint -n ($p + $side + "_toes") -p (10 * $x) 0 12;
    }
}
global proc string[] ourJoints() {
    return {"root", "torso_1", "torso_2", "torso_3", "torso_4", "torso_5", "torso_6",
            "torso_7", "neck_1", "neck_2", "head", "l_shoulder", "l_up_arm", "l_low_arm",
            "l_hand", "r_shoulder", "r_up_arm", "r_low_arm", "r_hand", "l_up_leg", "l_low_leg",
            "l_foot", "l_toes", "r_up_leg", "r_low_leg", "r_foot", "r_toes"};
}
global proc int[] ourSlots() {
    return {1, 8, 23, 24, 25, 26, 27, 28, 20, 32, 15, 18, 9, 10, 11, 19, 12, 13, 14,
            2, 3, 4, 16, 5, 6, 7, 17};
}
global proc mapSkeleton(string $p, string $character) {
    string $joints[] = ourJoints();
    int $slots[] = ourSlots();
    for ($i = 0; $i < size($joints); $i++)
        setCharacterObject($p + $joints[$i], $character, $slots[$i], 0);
    hikUpdateDefinitionUI;
}
global proc int lockState(string $character) {
    return `getAttr ($character + ".InputCharacterizationLock")`;
}
)";

TEST_F(Hik, CharactersAreDefinedLockedAndDriveEachOther) {
    run(kSkeletonProcs);
    run("buildSkeleton \"\"; buildSkeleton \"b_\"");

    // Nothing of HumanIK exists before the plug-in is loaded.
    EXPECT_EQ(failure("hikCreateCharacter(\"Source\")"),
              "Cannot find procedure \"hikCreateCharacter\".");
    EXPECT_EQ(run("exists hikToggleLockDefinition") + run("pluginInfo -q -loaded mayaHIK"), "00");
    EXPECT_EQ(run("about -batch"), "0");
    run("loadPlugin mayaHIK");
    EXPECT_EQ(run("pluginInfo -q -loaded mayaHIK"), "1");
    EXPECT_TRUE(mayahost::isHumanIkLoaded());
    // The plug-in brings its commands; the procedures come with HumanIK's
    // scripts, sourced by name or path.
    EXPECT_EQ(run("exists hikGetNodeIdFromName") + run("exists hikGetSkNode"), "10");
    EXPECT_EQ(failure("hikGetSkNode(\"Source\", 1)"), "Cannot find procedure \"hikGetSkNode\".");
    run("source \"/maya/scripts/others/hikGlobalUtils.mel\"");
    EXPECT_EQ(run("exists hikGetSkNode") + run("exists hikSetCharacterInput"), "11");

    // Characters are nodes with unique names.
    EXPECT_EQ(run("hikCreateCharacter(\"Source\")"), "Source");
    const std::string target = run("hikCreateCharacter(\"Source\")");
    EXPECT_NE(target, "Source");
    EXPECT_EQ(run("nodeType " + target) + " " + run("objectType Source"),
              "HIKCharacterNode HIKCharacterNode");
    EXPECT_EQ(run("stringArrayToString(`ls -type HIKCharacterNode`, \",\")"), "Source," + target);
    EXPECT_EQ(run("attributeQuery -node Source -exists InputCharacterizationLock"), "1");
    EXPECT_EQ(run("lockState Source"), "0");

    // The slot table, both ways.
    EXPECT_EQ(run("hikGetNodeIdFromName(\"Spine1\") + \" \" + GetHIKNodeName(32) + \" \" + "
                  "GetHIKNodeName(19) + \" \" + hikGetNodeCount()"),
              "23 Neck1 RightShoulder 41");
    EXPECT_EQ(failure("hikGetNodeIdFromName(\"Tail\")"),
              "hikGetNodeIdFromName: 'Tail' is not a HumanIK node name.");

    // The Character Controls' procedures need the tool built.
    EXPECT_EQ(failure("mapSkeleton \"\" Source"),
              "hikUpdateDefinitionUI: the HumanIK Character Controls have not been built "
              "(run HIKCharacterControlsTool first).");
    run("HIKCharacterControlsTool; mapSkeleton \"\" Source; mapSkeleton b_ " + target);
    const mayahost::HikCharacter mapped = mayahost::hikCharacter("Source");
    ASSERT_TRUE(mapped.exists);
    EXPECT_EQ(mapped.mapping.size(), 27u);
    EXPECT_EQ(mapped.mapping.at(28), "torso_7");
    EXPECT_EQ(mapped.mapping.at(17), "r_toes");
    EXPECT_EQ(run("hikGetSkNode(\"Source\", 32) + \"|\" + hikGetSkNode(\"Source\", 29)"),
              "neck_2|");
    EXPECT_EQ(failure("setCharacterObject(\"head\", \"Source\", 21, 0)"),
              "setCharacterObject: 21 is not a HumanIK node id.");
    run("createNode transform -n grp");
    EXPECT_EQ(failure("setCharacterObject(\"grp\", \"Source\", 1, 0)"),
              "setCharacterObject: 'grp' is not a joint.");
    EXPECT_EQ(failure("setCharacterObject(\"head\", \"Source\", 8, 0)"),
              "setCharacterObject: 'head' is already mapped to Head of 'Source'.");
    EXPECT_EQ(failure("setCharacterObject(\"head\", \"Source\", 1)"),
              "Wrong number of arguments on call to setCharacterObject.");
    EXPECT_EQ(run("hikValidateSkeleton Source"), "1");

    // A required slot missing: invalid, and the lock fails without an error.
    run("hikSetCurrentCharacter Source");
    EXPECT_EQ(run("hikGetCurrentCharacter()"), "Source");
    run("setCharacterObject r_hand Source 14 1");
    EXPECT_EQ(run("hikValidateSkeleton Source"), "0");
    EXPECT_EQ(mayahost::infoLines().back(),
              "Warning: The skeleton definition of 'Source' is not valid: missing RightHand.");
    run("hikToggleLockDefinition");
    EXPECT_EQ(run("lockState Source"), "0");
    EXPECT_TRUE(mayahost::hikCharacter("Source").stance.empty());
    // A gap in the spine.
    run("setCharacterObject r_hand Source 14 0; setCharacterObject torso_3 Source 24 1");
    EXPECT_EQ(run("hikValidateSkeleton Source"), "0");
    EXPECT_EQ(mayahost::infoLines().back(),
              "Warning: The skeleton definition of 'Source' is not valid: Spine6 is mapped "
              "without Spine2.");
    run("setCharacterObject torso_3 Source 24 0");
    // Out of the T-stance: an arm hanging down does not lock either.
    run("setAttr l_up_arm.rotate 0 0 -60; hikToggleLockDefinition");
    EXPECT_EQ(run("lockState Source"), "0");

    // Locked: the stance is each mapped joint's local pose at that moment.
    run("setAttr l_up_arm.rotate 0 0 10; hikToggleLockDefinition");
    EXPECT_EQ(run("lockState Source"), "1");
    const mayahost::HikCharacter locked = mayahost::hikCharacter("Source");
    EXPECT_TRUE(locked.locked);
    ASSERT_EQ(locked.stance.size(), 27u);
    EXPECT_EQ(locked.stance.at(9).joint, "l_up_arm");
    EXPECT_NEAR(locked.stance.at(9).rotate[2], 10.0 * kPi / 180.0, 1e-9);
    EXPECT_NEAR(locked.stance.at(9).translate[0], 10.0, 1e-9) << "local to l_shoulder";
    EXPECT_NEAR(locked.stance.at(1).translate[1], 100.0, 1e-9);
    EXPECT_EQ(failure("setCharacterObject(\"head\", \"Source\", 15, 1)"),
              "setCharacterObject: the definition of 'Source' is locked; unlock it to change "
              "the mapping.");

    // Only a locked character drives another, and only a locked one is driven.
    EXPECT_EQ(failure("hikSetCharacterInput(\"Source\", \"" + target + "\")"),
              "hikSetCharacterInput: the definition of '" + target +
                  "' is not locked; it cannot be a source.");
    EXPECT_EQ(failure("hikSetCharacterInput(\"" + target + "\", \"Source\")"),
              "hikSetCharacterInput: the definition of '" + target +
                  "' is not locked; it cannot be driven.");
    run("hikSetCurrentCharacter " + target +
        "; hikToggleLockDefinition;"
        "hikEnableCharacter " +
        target +
        " 1;"
        "hikSetCharacterInput " +
        target + " Source; hikUpdateSourceList");
    EXPECT_EQ(mayahost::hikCharacter(target).source, "Source");
    // "None" as Maya's Source menu does it: disabling disconnects. An empty
    // source names no character.
    EXPECT_EQ(failure("hikSetCharacterInput(\"" + target + "\", \"\")"),
              "hikSetCharacterInput: '' is not a HumanIK character.");
    EXPECT_EQ(mayahost::hikCharacter(target).source, "Source");
    run("hikEnableCharacter " + target + " 2");
    EXPECT_EQ(mayahost::hikCharacter(target).source, "");
    run("hikEnableCharacter " + target + " 1; hikSetCharacterInput " + target + " Source");
    EXPECT_EQ(failure("mayaHIKsetCharacterInput(\"Source\", \"" + target + "\")"),
              "mayaHIKsetCharacterInput: '" + target + "' is driven by 'Source'.");
    run("mayaHIKsetCharacterInput " + target + " \"\"");
    EXPECT_EQ(mayahost::hikCharacter(target).source, "");
    run("mayaHIKsetCharacterInput " + target + " Source");
    EXPECT_EQ(mayahost::hikCharacter(target).source, "Source");

    // Unlocking the source ends what it drives; so does deleting it.
    run("hikSetCurrentCharacter Source; hikToggleLockDefinition");
    EXPECT_EQ(run("lockState Source"), "0");
    EXPECT_TRUE(mayahost::hikCharacter("Source").stance.empty());
    EXPECT_EQ(mayahost::hikCharacter(target).source, "");
    run("hikToggleLockDefinition; hikSetCharacterInput " + target + " Source; delete Source");
    EXPECT_FALSE(mayahost::hikCharacter("Source").exists);
    EXPECT_EQ(mayahost::hikCharacter(target).source, "");
    EXPECT_EQ(mayahost::hikCharacters(), std::vector<std::string>{target});
    EXPECT_EQ(run("hikGetCurrentCharacter()"), "");
    // Deleted joints leave the mapping.
    run("delete b_l_hand");
    EXPECT_EQ(mayahost::hikCharacter(target).mapping.count(11), 0u);
    EXPECT_EQ(mayahost::hikCharacter(target).mapping.size(), 26u);
}

TEST_F(Hik, SessionsWithoutHumanIkOrInBatch) {
    mayahost::setHumanIkAvailable(false);
    EXPECT_EQ(failure("loadPlugin mayaHIK"),
              "Plug-in, \"mayaHIK\", was not found on MAYA_PLUG_IN_PATH.");
    EXPECT_EQ(run("pluginInfo -q -loaded mayaHIK"), "0");
    EXPECT_EQ(failure("hikValidateSkeleton(\"x\")"),
              "Cannot find procedure \"hikValidateSkeleton\".");
    EXPECT_EQ(failure("createNode HIKCharacterNode"), "Unknown object type: HIKCharacterNode");

    mayahost::reset();
    mayahost::setBatchMode(true);
    EXPECT_EQ(run("about -batch"), "1");
    run("loadPlugin mayaHIK; loadPlugin -quiet mayaHIK");
    EXPECT_EQ(failure("HIKCharacterControlsTool"),
              "HIKCharacterControlsTool: the Character Controls need the interactive UI.");
    EXPECT_EQ(run("exists hikSetCurrentCharacter"), "0");
    run("source hikCharacterControlsUI");
    EXPECT_EQ(failure("hikSetCurrentCharacter(\"\")"),
              "hikSetCurrentCharacter: the HumanIK Character Controls have not been built (run "
              "HIKCharacterControlsTool first).");
    // A session whose HumanIK scripts are missing has the plug-in's
    // commands only, whatever sources the scripts.
    mayahost::reset();
    mayahost::setHumanIkScriptsAvailable(false);
    run("loadPlugin mayaHIK");
    EXPECT_EQ(run("hikGetNodeCount"), "41");
    EXPECT_EQ(failure("source hikGlobalUtils.mel"),
              "Cannot find file \"hikGlobalUtils.mel\" for source statement.");
    EXPECT_EQ(failure("HIKCharacterControlsTool"),
              "Cannot find file \"hikCharacterControlsUI.mel\" for source statement.");
    EXPECT_EQ(run("exists hikGetSkNode"), "0");
    // A reset brings HumanIK back unloaded, and leaves batch mode.
    mayahost::reset();
    EXPECT_FALSE(mayahost::isHumanIkLoaded());
    EXPECT_FALSE(mayahost::batchMode());
    EXPECT_EQ(run("exists hikCreateCharacter"), "0");
}

}  // namespace
