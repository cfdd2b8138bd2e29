// A take knows its curves by their connections to its take node, never by
// their names: the panel's Review, Back to live and Delete take touch the
// take's own nodes only, whatever else bears its curves' names.
#include "recording/recordingTestSupport.h"

#include "plugin/zemoriDidCharacterizeCmd.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MFnPlugin.h>
#include <mayahost/ui.h>

#include <gtest/gtest.h>

#include <string>

namespace nodetest {
namespace {

std::string melResult(const std::string& text) {
    std::string result;
    EXPECT_TRUE(mayahost::runMel(text, &result))
        << text << ::testing::PrintToString(mayahost::errorLines());
    return result;
}

bool hasLine(const std::string& text) {
    for (const std::string& line : mayahost::infoLines()) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

TEST_F(RecordingTest, ReviewAndDeleteTouchOnlyTheTakesOwnNodes) {
    const std::string sk = "zemoriCharacter0_Skeleton_";
    // A transform bearing a curve's name, and a user's node bearing the name
    // take 1's curve gets once take 2 is written.
    MObject transform = mayahost::createNode("transform");
    MFnDependencyNode(transform).setName((sk + "root_tx").c_str(), false);
    MObject userNode = mayahost::createNode("transform");
    MFnDependencyNode(userNode).setName((sk + "root_ty_take1").c_str(), false);
    ASSERT_TRUE(MFnPlugin(mPlugin).registerCommand(kCharacterizeCommandName,
                                                   &ZemoriDidCharacterizeCmd::creator));
    ASSERT_TRUE(mayahost::runMel("zemoriBindSkeleton " + mDevice.name));

    startTake(1.0);
    for (int f = 1; f <= 3; ++f) frameAt(f, 1.0f * f, 0.0f);
    endTake();
    startTake(7.0);
    for (int f = 7; f <= 8; ++f) frameAt(f, 1.0f * f, 0.0f);
    endTake();

    // Take 1's curves went to their numbered names; the one whose name was
    // taken says which name it got instead.
    EXPECT_EQ(keyTimes(curve(sk + "root_tx_take1")), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(keyTimes(curve(sk + "root_ty_take2")), (std::vector<double>{1, 2, 3}));
    EXPECT_TRUE(hasLine("another node is named " + sk +
                        "root_ty_take1, so the older take's curve "
                        "meant to bear that name is named " +
                        sk + "root_ty_take2"));
    const std::string take1 = sk + "take1";
    const std::string take2 = sk + "take2";
    EXPECT_EQ(melResult("size(zemoriTakeCurves(\"" + take1 + "\"))"), "162");
    EXPECT_EQ(melResult("zemoriTakeCurve(\"" + take2 + "\", \"root\", \"tx\")"), sk + "root_tx1");

    // Review take 1: its own curves drive the joints, the user's node none.
    const std::vector<std::string> items = mayahost::control("zemoriTakes0").items;
    ASSERT_EQ(items.size(), 2u);
    ASSERT_TRUE(mayahost::selectListItem("zemoriTakes0", items[1]));
    ASSERT_TRUE(mayahost::pressButton("zemoriReview0"))
        << ::testing::PrintToString(mayahost::errorLines());
    EXPECT_EQ(melResult("zemoriReviewedTake " + mDevice.name), take1);
    EXPECT_EQ(melResult("stringArrayToString(`listConnections -source true " + sk +
                        "root.translateY`, \"\")"),
              sk + "root_ty_take2");
    EXPECT_EQ(melResult("size(`listConnections " + sk + "root_ty_take1`)"), "0");
    ASSERT_TRUE(mayahost::pressButton("zemoriBackToLive0"));
    EXPECT_EQ(melResult("zemoriReviewedTake " + mDevice.name), "");

    // Delete the latest take: its curves and node go, and nothing else; one
    // undo brings all of it back, connected.
    mayahost::answerConfirmDialogs([](const std::string&) { return std::string("Delete"); });
    ASSERT_TRUE(mayahost::selectListItem("zemoriTakes0", items[0]));
    ASSERT_TRUE(mayahost::pressButton("zemoriDeleteTake0"))
        << ::testing::PrintToString(mayahost::errorLines());
    EXPECT_EQ(mayahost::nodeName(transform), sk + "root_tx");
    EXPECT_EQ(mayahost::nodeName(userNode), sk + "root_ty_take1");
    EXPECT_TRUE(mayahost::findNode(take2).isNull());
    EXPECT_EQ(mayahost::animCurves().size(), 162u);
    EXPECT_EQ(melResult("size(zemoriTakeCurves(\"" + take1 + "\"))"), "162");
    EXPECT_EQ(mayahost::control("zemoriTakes0").items, std::vector<std::string>{items[1]});
    ASSERT_TRUE(mayahost::runMel("undo"));
    EXPECT_EQ(melResult("size(zemoriTakeCurves(\"" + take2 + "\"))"), "162");
    EXPECT_TRUE(mayahost::errorLines().empty()) << ::testing::PrintToString(mayahost::errorLines());
}

}  // namespace
}  // namespace nodetest
