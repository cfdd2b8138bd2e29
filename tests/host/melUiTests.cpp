// The widget model: windows, layouts and controls built by MEL, read and
// driven as a user would.
// melTests.cpp carries the version data of this test program.
#define MNoVersionString
#include "melFixture.h"

namespace {

using MelUi = MelTest;

TEST_F(MelUi, LayoutsNestControlsAndUsersDriveThem) {
    run("global int $gPresses = 0; global string $gSeen;"
        "global proc pressed(int $by) { global int $gPresses; $gPresses += $by; }"
        "global proc seen(string $what) { global string $gSeen; $gSeen += $what + \";\"; }");
    const std::string window = run("window -title \"Panel\" -widthHeight 200 100 panel");
    EXPECT_EQ(window, "panel");
    EXPECT_EQ(run("columnLayout -adjustableColumn true"), "panel|columnLayout1");
    run("rowLayout -numberOfColumns 2; text -label \"Port:\"; "
        "intField -value 12351 -changeCommand \"seen `intField -q -v port`\" port; setParent ..;"
        "checkBox -label Live -changeCommand \"seen changed\" -onCommand \"seen on\" "
        "-offCommand \"seen off\" live;"
        "textField -text \"a\" -changeCommand \"seen `textField -q -text name`\" name;"
        "button -label Go -command \"pressed 2\" go;"
        "button -label Never -enable false -command \"pressed 100\" never;"
        "textScrollList -append one -append two list;"
        "showWindow panel");
    EXPECT_EQ(mayahost::windows(), std::vector<std::string>{"panel"});
    const mayahost::ControlState panel = mayahost::control("panel");
    EXPECT_TRUE(panel.visible);
    EXPECT_EQ(panel.label, "Panel");
    EXPECT_EQ(mayahost::control("port").path, "panel|columnLayout1|rowLayout1|port");
    EXPECT_EQ(mayahost::control("go").path, "panel|columnLayout1|go") << "setParent .. went up";
    EXPECT_EQ(run("columnLayout -q -numberOfChildren columnLayout1"), "6");
    EXPECT_EQ(run("text -q -label text1"), "Port:");
    EXPECT_EQ(mayahost::control("list").items, (std::vector<std::string>{"one", "two"}));

    // Users act; the commands run at global scope.
    EXPECT_TRUE(mayahost::pressButton("go"));
    EXPECT_TRUE(mayahost::pressButton("panel|columnLayout1|go"));
    EXPECT_FALSE(mayahost::pressButton("never")) << "disabled";
    EXPECT_FALSE(mayahost::pressButton("live")) << "not a button";
    EXPECT_EQ(run("global int $gPresses; $gPresses"), "4");
    EXPECT_TRUE(mayahost::setCheckBox("live", true));
    EXPECT_TRUE(mayahost::setCheckBox("live", false));
    EXPECT_TRUE(mayahost::typeInt("port", 9000));
    EXPECT_TRUE(mayahost::typeText("name", "zemori"));
    EXPECT_EQ(run("global string $gSeen; $gSeen"), "changed;on;changed;off;9000;zemori;");
    EXPECT_EQ(mayahost::control("port").value, 9000);
    EXPECT_EQ(mayahost::control("name").text, "zemori");

    // Edits by script change what users see, without running commands.
    run("checkBox -edit -value 1 live; button -edit -enable 1 -label Now never;"
        "textScrollList -edit -removeAll -append three list");
    EXPECT_EQ(mayahost::control("live").value, 1);
    EXPECT_EQ(run("global string $gSeen; $gSeen"), "changed;on;changed;off;9000;zemori;");
    EXPECT_TRUE(mayahost::control("never").enabled);
    EXPECT_EQ(mayahost::control("never").label, "Now");
    EXPECT_EQ(run("textScrollList -q -allItems list"), "three");
    EXPECT_EQ(run("checkBox -q -value live") + run("checkBox -exists live") +
                  run("checkBox -exists gone"),
              "110");

    // A failing command is reported as the user's action failing.
    run("button -edit -command \"error \\\"no way\\\"\" go");
    EXPECT_FALSE(mayahost::pressButton("go"));
    EXPECT_EQ(mayahost::errorLines().back(), "no way");

    run("deleteUI -window panel");
    EXPECT_TRUE(mayahost::windows().empty());
    EXPECT_FALSE(mayahost::control("go").exists);
    EXPECT_EQ(run("setParent -q"), "") << "the default parent went with the window";
}

TEST_F(MelUi, ShelvesLiveInTheMainShelfArea) {
    EXPECT_EQ(run("global string $gShelfTopLevel; $gShelfTopLevel"), mayahost::shelfArea());
    run("global string $gShelfTopLevel; shelfLayout -parent $gShelfTopLevel Tools;"
        "shelfButton -parent Tools -label Make -sourceType \"mel\" -command \"window made\" make;"
        "shelfButton -parent Tools -label Py -sourceType \"python\" -command \"print(1)\" py");
    EXPECT_EQ(mayahost::shelves(), std::vector<std::string>{"Tools"});
    EXPECT_TRUE(mayahost::pressButton("make"));
    EXPECT_EQ(mayahost::windows(), std::vector<std::string>{"made"});
    EXPECT_FALSE(mayahost::pressButton("py")) << "no Python in this host";
    EXPECT_EQ(failure("shelfLayout -parent ShelfLayout Tools"),
              "Object's name 'Tools' is not unique.");
    run("deleteUI -layout Tools");
    EXPECT_TRUE(mayahost::shelves().empty());
    EXPECT_EQ(failure("deleteUI -layout ShelfLayout"),
              "deleteUI: the main shelf area cannot be deleted.");
}

TEST_F(MelUi, CommandErrors) {
    EXPECT_EQ(failure("button -label Lost"), "button: no window or layout to put it in.");
    run("window w1");
    EXPECT_EQ(failure("button -label Bare"),
              "Controls must have a layout. No layout found in window: w1");
    run("columnLayout c1; button b1");
    EXPECT_EQ(failure("checkBox -q -value b1"),
              "checkBox: object 'b1' is a button, not a checkBox.");
    EXPECT_EQ(failure("button -e -label x nowhere"), "button: object 'nowhere' not found.");
    EXPECT_EQ(failure("button -command"), "button: flag '-command' needs a string argument.");
    EXPECT_EQ(failure("intField -value \"many\" f1"),
              "Flag '-value' must be passed an int argument, not string \"many\".");
    EXPECT_EQ(failure("button -e -fullPathName b1"),
              "button: flag '-fullPathName' cannot be used in edit mode.");
    EXPECT_EQ(failure("deleteUI -control c1"), "deleteUI: object 'c1' is a columnLayout.");
    EXPECT_EQ(failure("showWindow c1"), "showWindow: no window.");
    run("textScrollList -append here l1");
    EXPECT_EQ(failure("textScrollList -e -selectItem missing l1"),
              "textScrollList: no item 'missing'.");
}

TEST_F(MelUi, DefaultParentsNamesAndQueries) {
    EXPECT_EQ(run("window"), "window1");
    EXPECT_EQ(run("columnLayout"), "window1|columnLayout1");
    EXPECT_EQ(run("button"), "window1|columnLayout1|button1");
    EXPECT_EQ(run("button"), "window1|columnLayout1|button2");
    EXPECT_EQ(run("button -q -label button2"), "button2") << "a label defaults to the name";
    EXPECT_EQ(run("rowLayout -numberOfColumns 2 row"), "window1|columnLayout1|row");
    EXPECT_EQ(run("setParent -q"), "window1|columnLayout1|row");
    EXPECT_EQ(run("setParent columnLayout1"), "window1|columnLayout1");
    EXPECT_EQ(run("setParent columnLayout1"), "") << "no change, no name";
    run("text -parent row inRow");
    EXPECT_EQ(run("stringArrayToString(`rowLayout -q -childArray row`, \" \")"), "inRow");
    EXPECT_EQ(run("text -q -fullPathName inRow"), "window1|columnLayout1|row|inRow");
    EXPECT_EQ(run("text -q -parent inRow"), "window1|columnLayout1|row");
    EXPECT_EQ(run("button -q -enable button1") + run("window -q -visible window1"), "10");
    EXPECT_EQ(run("size(`window -q -widthHeight window1`)"), "0");
    run("window -e -widthHeight 300 200 window1");
    EXPECT_EQ(run("int $wh[] = `window -q -widthHeight window1`; $wh[0] + \"x\" + $wh[1]"),
              "300x200");
    EXPECT_EQ(run("setParent -topLevel; setParent -q"), "");
    EXPECT_EQ(failure("text orphan"), "text: no window or layout to put it in.");
    run("window w2; columnLayout inner; setParent ..; setParent -q");
    EXPECT_EQ(run("setParent -q"), "w2") << "up one level from the layout";
    run("deleteUI -layout inner");
    EXPECT_EQ(run("setParent -q"), "w2");
    EXPECT_EQ(failure("deleteUI -window inner2"), "deleteUI: object 'inner2' not found.");
    EXPECT_EQ(failure("deleteUI -layout w2"), "deleteUI: object 'w2' is a window.");
    EXPECT_EQ(failure("window window1"), "Object's name 'window1' is not unique.");
    EXPECT_EQ(failure("button -query -label -command button1"),
              "button: a query needs exactly one flag.");
    EXPECT_EQ(failure("button -q -e -label button1"), "button: query and edit cannot be combined.");
    EXPECT_EQ(failure("button -label a -label b"), "button: flag '-label' can only be used once.");
}

}  // namespace
