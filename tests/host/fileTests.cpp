// The file command: a scene saved as Maya ASCII and opened again is the same
// scene; a hostile file is a MEL error, never a crash.
// melTests.cpp carries the version data of this test program.
#define MNoVersionString
#include "melFixture.h"

#include <maya/MFnAnimCurve.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MMessage.h>
#include <maya/MPxNode.h>
#include <maya/MSceneMessage.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

// A plug-in type with a stored value, a value that is not stored, a stored
// array of triples, and a multi message attribute.
class FileNode : public MPxNode {
public:
    static MObject aGain, aScratch, aPoints, aLinks;
    static void* creator() { return new FileNode; }
    static MStatus initialize() {
        MFnNumericAttribute fn;
        aGain = fn.create("gain", "gn", MFnNumericData::kDouble, 1.0);
        aScratch = fn.create("scratch", "scr", MFnNumericData::kDouble, 0.0);
        fn.setStorable(false);
        aPoints = fn.create("points", "pts", MFnNumericData::k3Float);
        fn.setArray(true);
        addAttribute(aGain);
        addAttribute(aScratch);
        addAttribute(aPoints);
        MFnMessageAttribute message;
        aLinks = message.create("links", "lk");
        message.setArray(true);
        addAttribute(aLinks);
        return MS::kSuccess;
    }
};
MObject FileNode::aGain, FileNode::aScratch, FileNode::aPoints, FileNode::aLinks;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// With forward slashes: in a MEL string a backslash starts an escape
// (Windows temp paths).
std::string scenePath(const char* name) {
    std::string path = ::testing::TempDir() + name;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

void countOpen(void* counter) {
    ++*static_cast<int*>(counter);
}

class FileTest : public MelTest {
protected:
    void SetUp() override {
        MelTest::SetUp();
        MObject object = testPlugin();
        MFnPlugin plugin(object, "Tests", "2.5");
        ASSERT_TRUE(
            plugin.registerNode("FileNode", 0x7f0101, FileNode::creator, FileNode::initialize));
    }
};

TEST_F(FileTest, ASavedSceneOpensAsTheSameScene) {
    const std::string path = scenePath("roundTrip.ma");
    run("createNode transform -n \"rig\";"
        "createNode joint -n \"hip\" -p \"rig\";"
        "createNode joint -n \"knee\" -p \"hip\";"
        // A parent made after its child: the file must still create it first.
        "createNode transform -n \"mover\"; parent -relative rig mover;"
        "setAttr mover.translate 0 5 0; setAttr hip.translate 1 2 3;"
        "setAttr knee.rotate 10 -20 30; setAttr knee.rotateOrder 2;"
        "addAttr -ln \"note\" -dt \"string\" rig;"
        "setAttr rig.note -type \"string\" \"say \\\"hi\\\" to C:\\\\temp\\\\ \\n end\";"
        "addAttr -ln \"weight\" -sn \"wt\" -at \"double\" -dv 0.5 rig; setAttr rig.wt 2.5;"
        "addAttr -ln \"unused\" -at \"long\" rig;"
        "createNode FileNode -n \"box\"; setAttr box.gain 3; setAttr box.scratch 7;"
        "setAttr \"box.points[2]\" 1 -2 3.25;"
        "createNode animCurveTL -n \"hip_tx\";"
        "setAttr -s 3 \".ktv[0:2]\" 1 0.5 10 -2.25 20 1e-07;"
        "connectAttr hip_tx.output knee.translateX;"
        // Unitless into an angle goes through a conversion node in degrees.
        "connectAttr box.gain hip.rotateY;"
        // Every node's message, into an element of a multi message attribute.
        "connectAttr hip_tx.msg \"box.links[3]\"; connectAttr knee.message \"box.lk[0]\";");
    // A message attribute holds no value and connects only to another; a
    // node's own message is a source only.
    failure("getAttr \"box.links[3]\"");
    failure("connectAttr box.gain \"box.links[1]\"");
    failure("connectAttr \"box.links[1]\" hip.message");
    // A key value that needs every digit of a double.
    MFnAnimCurve curve(mayahost::findNode("hip_tx"));
    ASSERT_TRUE(curve.addKeyframe(MTime(30.0, MTime::uiUnit()), 0.1 + 0.2));
    run("currentTime 10; file -rename \"" + path + "\"");
    EXPECT_EQ(run("file -q -sn"), path);
    EXPECT_EQ(run("file -save -type \"mayaAscii\""), path);
    const std::string saved = readText(path);
    EXPECT_EQ(saved.find("scratch"), std::string::npos) << "not storable, so not written";
    EXPECT_NE(saved.find("requires -nodeType \"FileNode\" \"hostTests\" \"2.5\";"),
              std::string::npos);
    const auto keysBefore = mayahost::animCurve("hip_tx").keys;
    double worldBefore[3];
    ASSERT_TRUE(mayahost::worldPosition("knee", worldBefore));

    int before = 0;
    int after = 0;
    const MCallbackId beforeId =
        MSceneMessage::addCallback(MSceneMessage::kBeforeOpen, countOpen, &before);
    const MCallbackId afterId =
        MSceneMessage::addCallback(MSceneMessage::kAfterOpen, countOpen, &after);
    run("file -force -newFile");
    EXPECT_TRUE(mayahost::findNode("rig").isNull());
    EXPECT_EQ(run("file -q -sceneName"), "");
    EXPECT_EQ(run("file -f -o \"" + path + "\""), path);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    MMessage::removeCallback(beforeId);
    MMessage::removeCallback(afterId);

    EXPECT_EQ(run("file -q -sn"), path);
    EXPECT_EQ(run("getAttr rig.note"), "say \"hi\" to C:\\temp\\ \n end");
    EXPECT_EQ(run("getAttr rig.weight"), "2.5");
    EXPECT_EQ(run("getAttr box.gain"), "3");
    EXPECT_EQ(run("getAttr box.scratch"), "0");
    EXPECT_EQ(run("getAttr \"box.points[2]\""), "1 -2 3.25");
    EXPECT_EQ(run("getAttr knee.rotateOrder"), "2");
    EXPECT_EQ(run("currentTime -q"), "10");
    EXPECT_EQ(run("isConnected -iuc box.gain hip.rotateY"), "1");
    EXPECT_EQ(run("isConnected hip_tx.output knee.translateX"), "1");
    EXPECT_EQ(run("listConnections -p true knee.translateX"), "hip_tx.output");
    EXPECT_EQ(run("stringArrayToString(`listConnections -s 1 -d 0 -c 1 -p 1 box.links`, \" \")"),
              "box.links[3] hip_tx.message box.links[0] knee.message");
    const auto keysAfter = mayahost::animCurve("hip_tx").keys;
    ASSERT_EQ(keysAfter.size(), keysBefore.size());
    for (std::size_t i = 0; i < keysAfter.size(); ++i) {
        EXPECT_EQ(keysAfter[i].time, keysBefore[i].time);
        EXPECT_EQ(keysAfter[i].value, keysBefore[i].value) << "key " << i;
    }
    double world[3];
    ASSERT_TRUE(mayahost::worldPosition("knee", world));
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(world[k], worldBefore[k], 1e-9) << k;
    // Saving the opened scene writes the same text: nothing was lost or added.
    run("file -save");
    EXPECT_EQ(readText(path), saved);
    std::remove(path.c_str());
}

TEST_F(FileTest, AHostileFileIsAMelErrorAndNeverACrash) {
    const std::string path = scenePath("hostile.ma");
    const std::vector<std::string> bodies = {
        "createNode transform -n \"a\";\n\tsetAttr \".t\" -type \"double3\" 1 2",  // unterminated
        "createNode animCurveTL -n \"c\";\n\tsetAttr -s 2 \".ktv[0:999999999]\" 1 2;\n",
        "createNode animCurveTL -n \"c\";\n\tsetAttr \".ktv[2:1]\" 1 2;\n",
        "createNode animCurveTL -n \"c\";\n\tsetAttr \".ktv[0:0]\" \"x\" 2;\n",
        "createNode transform -n \"c\";\n\tsetAttr \".ktv[0:0]\" 1 2;\n",
        "createNode noSuchType -n \"x\";\n",
        "setAttr \".t\" 1 2 3;\n",
        "requires \"noSuchPlugIn\" \"1.0\";\n",
        "createNode transform -n \"a\";\n\taddAttr -ln \"t\" -at \"double\";\n",
        "createNode transform -n \"a\";\n\taddAttr -ln \"v\" -at \"matrix\";\n",
        "createNode transform -n \"a\";\n\tsetAttr \".t\" -type \"string\" \"x\";\n",
        "connectAttr \"a.t\" \"b.t\";\n",
        "createNode joint -n \"j\" -p \"j\";\n",
        // A file that opens itself ends at the runner's depth bound.
        "createNode transform;\nfile -f -o \"" + path + "\";\n",
    };
    for (const std::string& body : bodies) {
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << "//Maya ASCII 2023 scene\nrequires maya \"2023\";\n" << body;
        }
        failure("file -f -o \"" + path + "\"");
    }
    // A file that is not there leaves the scene as it was.
    run("createNode transform -n \"kept\"");
    failure("file -f -o \"" + scenePath("missing.ma") + "\"");
    EXPECT_FALSE(mayahost::findNode("kept").isNull());
    failure("file -o \"" + path + "\"");  // no -force: unsaved changes are not tracked here
    run("file -force -newFile");
    failure("file -save");  // untitled
    failure("file -rename \"" + scenePath("scene.mb") + "\"; file -save");
    std::remove(path.c_str());
}

}  // namespace
