// The widget model: windows, layouts and controls built by MEL, read and
// driven as a user would.
// melTests.cpp carries the version data of this test program.
#define MNoVersionString
#include "melFixture.h"

#include <maya/MAnimControl.h>
#include <maya/MTime.h>

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

// One display a block, unique names, strict removal; what a display shows
// changes only when its command runs again.
TEST_F(MelUi, HeadsUpDisplaysHoldOneBlockEachAndShowTheirCommand) {
    run("global int $gHudRuns = 0;"
        "global proc string hudText() { global int $gHudRuns; $gHudRuns++;"
        " return (\"run \" + $gHudRuns); }");
    EXPECT_EQ(run("headsUpDisplay -exists rate"), "0");
    EXPECT_EQ(run("headsUpDisplay -nextFreeBlock 5"), "0");
    run("headsUpDisplay -section 5 -block 0 -label \"Rate:\" -command \"hudText\" rate");
    mayahost::HeadsUpDisplayState rate = mayahost::headsUpDisplay("rate");
    EXPECT_TRUE(rate.exists && rate.visible);
    EXPECT_EQ(rate.shown, "Rate: run 1");
    EXPECT_EQ(run("headsUpDisplay -exists rate"), "1");
    EXPECT_EQ(run("headsUpDisplay -nextFreeBlock 5"), "1");
    EXPECT_EQ(run("headsUpDisplay -query -label rate"), "Rate:");

    EXPECT_EQ(failure("headsUpDisplay -section 5 -block 0 other"),
              "headsUpDisplay: block 0 of section 5 is taken by 'rate'.");
    EXPECT_EQ(failure("headsUpDisplay -section 6 -block 0 rate"),
              "headsUpDisplay: a heads-up display named 'rate' exists already.");
    EXPECT_EQ(failure("headsUpDisplay -section 10 -block 0 far"),
              "headsUpDisplay: section 10 is not one of 0 to 9.");
    EXPECT_EQ(failure("headsUpDisplay -label \"no place\" nowhere"),
              "headsUpDisplay: -section and -block are needed to create a heads-up display.");
    EXPECT_EQ(failure("headsUpDisplay -exists -label x rate"),
              "headsUpDisplay: -exists cannot be combined with other flags.");
    EXPECT_EQ(mayahost::headsUpDisplays(), std::vector<std::string>{"rate"});

    // Drawn again only when refreshed.
    EXPECT_EQ(mayahost::headsUpDisplay("rate").shown, "Rate: run 1");
    run("headsUpDisplay -refresh rate");
    EXPECT_EQ(mayahost::headsUpDisplay("rate").shown, "Rate: run 2");
    run("headsUpDisplay -edit -visible false -block 3 rate");
    rate = mayahost::headsUpDisplay("rate");
    EXPECT_FALSE(rate.visible);
    EXPECT_EQ(rate.block, 3);
    EXPECT_EQ(run("headsUpDisplay -nextFreeBlock 5"), "0");

    run("headsUpDisplay -section 5 -block 0 -label Other other");
    EXPECT_EQ(run("headsUpDisplay -lastOccupiedBlock 5"), "3");
    EXPECT_EQ(run("headsUpDisplay -remove rate"), "rate");
    EXPECT_FALSE(mayahost::headsUpDisplay("rate").exists);
    EXPECT_EQ(failure("headsUpDisplay -remove rate"),
              "headsUpDisplay: no heads-up display named 'rate'.");
    EXPECT_EQ(failure("headsUpDisplay -refresh rate"),
              "headsUpDisplay: no heads-up display named 'rate'.");
    EXPECT_EQ(failure("headsUpDisplay -removePosition 5 3"),
              "headsUpDisplay: no heads-up display in block 3 of section 5.");
    run("headsUpDisplay -removePosition 5 0");
    EXPECT_TRUE(mayahost::headsUpDisplays().empty());
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

TEST_F(MelUi, PanelChoicesListsDialogsAndTimeRange) {
    run("global string $gLog; global proc note(string $s) { global string $gLog; $gLog += $s + "
        "\";\"; }"
        "window panel; columnLayout;"
        "optionMenu -label Source -changeCommand \"note `optionMenu -q -value sources`\" sources;"
        "menuItem -label None; menuItem -label Actor; menuItem -label Puppet;"
        "global proc noteTake() { string $s[] = `textScrollList -q -selectItem takes`; note $s[0]; "
        "}"
        "textScrollList -selectCommand noteTake takes;"
        "textScrollList -e -append take1 -append take2 -append take3 takes");

    // An option menu shows its first item until one is chosen.
    EXPECT_EQ(run("optionMenu -q -numberOfItems sources") + run("optionMenu -q -select sources") +
                  run("optionMenu -q -value sources"),
              "31None");
    EXPECT_EQ(run("stringArrayToString(`optionMenu -q -itemListLong sources`, \",\")"),
              "panel|columnLayout1|sources|menuItem1,panel|columnLayout1|sources|menuItem2,"
              "panel|columnLayout1|sources|menuItem3");
    EXPECT_EQ(mayahost::control("sources").items,
              (std::vector<std::string>{"None", "Actor", "Puppet"}));
    run("optionMenu -e -value Puppet sources");
    EXPECT_EQ(run("optionMenu -q -select sources"), "3");
    EXPECT_EQ(failure("optionMenu -e -value Nobody sources"),
              "optionMenu: 'sources' has no item Nobody.");
    EXPECT_EQ(failure("optionMenu -e -select 4 sources"), "optionMenu: 'sources' has no item 4.");
    EXPECT_TRUE(mayahost::chooseOption("sources", "Actor"));
    EXPECT_TRUE(mayahost::chooseOption("sources", "Actor")) << "unchanged: no command";
    EXPECT_FALSE(mayahost::chooseOption("sources", "Nobody"));
    EXPECT_EQ(mayahost::control("sources").selectedItems, std::vector<std::string>{"Actor"});
    // The chosen item deleted, the menu falls back to its first.
    run("deleteUI -menuItem menuItem2");
    EXPECT_EQ(run("optionMenu -q -value sources") + run("optionMenu -q -numberOfItems sources"),
              "None2");

    // A list: script selections run nothing, a click replaces the selection.
    run("textScrollList -e -selectIndexedItem 2 takes");
    EXPECT_EQ(run("textScrollList -q -selectItem takes"), "take2");
    EXPECT_TRUE(mayahost::selectListItem("takes", "take3"));
    EXPECT_FALSE(mayahost::selectListItem("takes", "take9"));
    EXPECT_EQ(mayahost::control("takes").selectedItems, std::vector<std::string>{"take3"});
    run("textScrollList -e -allowMultiSelection true -selectItem take1 takes");
    EXPECT_EQ(run("stringArrayToString(`textScrollList -q -selectItem takes`, \",\")"),
              "take1,take3");
    run("textScrollList -e -removeIndexedItem 1 takes");
    EXPECT_EQ(run("int $s[] = `textScrollList -q -selectIndexedItem takes`; size($s) + \":\" + "
                  "$s[0]"),
              "1:2");
    EXPECT_EQ(failure("textScrollList -e -selectIndexedItem 3 takes"),
              "textScrollList: index 3 is out of range for 'takes'.");
    EXPECT_EQ(run("global string $gLog; $gLog"), "Actor;take3;");

    // Dialogs: closed without a hook, else answered by it.
    const std::string ask =
        "confirmDialog -title Stop -message \"Stop the take?\" -button Yes -button No "
        "-defaultButton Yes -cancelButton No";
    EXPECT_EQ(run(ask + " -dismissString Gone"), "Gone");
    EXPECT_EQ(run(ask), "dismiss") << "closed, not cancelled";
    std::string asked;
    std::string reply = "Yes";
    mayahost::answerConfirmDialogs([&](const std::string& message) {
        asked = message;
        return reply;
    });
    EXPECT_EQ(run(ask), "Yes");
    EXPECT_EQ(asked, "Stop the take?");
    reply = "Maybe";
    EXPECT_EQ(failure(ask), "confirmDialog: 'Maybe' is neither a button nor the dismiss string.");

    // The time range, in the UI unit.
    EXPECT_EQ(run("playbackOptions -q -min") + " " + run("playbackOptions -q -max") + " " +
                  run("playbackOptions -q -ast") + " " + run("playbackOptions -q -aet"),
              "1 120 1 200");
    run("playbackOptions -minTime 10 -maxTime 300");
    EXPECT_EQ(mayahost::playbackRange().animationEnd, 300.0) << "widened to the playback range";
    run("playbackOptions -e -animationStartTime 20");
    EXPECT_EQ(mayahost::playbackRange().minTime, 20.0) << "narrowed to the animation range";
    EXPECT_EQ(failure("playbackOptions -e -min 50 -max 40"),
              "playbackOptions: the start time lies after the end time.");
    mayahost::PlaybackRange bad = mayahost::playbackRange();
    bad.minTime = 5.0;
    EXPECT_EQ(mayahost::setPlaybackRange(bad), MStatus::kInvalidParameter);
    run("currentUnit -time ntsc; currentTime 12");
    EXPECT_EQ(run("playbackOptions -q -minTime") + " " + run("currentTime -q"), "25 12");
    EXPECT_DOUBLE_EQ(MAnimControl::currentTime().as(MTime::kFilm), 12.0 * 24.0 / 30.0);
}

}  // namespace
