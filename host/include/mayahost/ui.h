// The embedded host's widget model, for tests and tools: read the windows,
// layouts and controls that MEL scripts built, and act on them as a user
// would. Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace mayahost {

struct ControlState {
    bool exists = false;
    std::string type;   // the command that made it: "window", "button", ...
    std::string path;   // full path, "window1|columnLayout1|button1"
    std::string label;  // label of text, button, checkBox, shelfButton; window title
    bool enabled = false;
    bool visible = false;            // windows: shown with showWindow
    int value = 0;                   // intField value; checkBox 0 or 1
    std::string text;                // textField text
    std::vector<std::string> items;  // textScrollList items; optionMenu item labels
    // textScrollList: the selected items; optionMenu: the chosen item's label
    // (none when it has no items).
    std::vector<std::string> selectedItems;
    std::vector<std::string> children;  // short names of a layout's or window's children
};

// A control by short name or full path; exists false when there is none.
ControlState control(const std::string& name);
// Short names of the open windows, in creation order.
std::vector<std::string> windows();
// The main window's shelf area (MEL's $gShelfTopLevel) and its shelves.
std::string shelfArea();
std::vector<std::string> shelves();

// A heads-up display as the viewport draws it (MEL's headsUpDisplay). `shown`
// is its label and what its command returned when the host last ran it: at
// creation, on `headsUpDisplay -refresh` and when its command is edited, as
// a redraw would show it, never fresher.
struct HeadsUpDisplayState {
    bool exists = false;
    int id = 0;
    int section = 0;
    int block = 0;
    std::string label;
    std::string command;
    bool visible = false;
    std::string shown;
};
HeadsUpDisplayState headsUpDisplay(const std::string& name);
// Names of the heads-up displays, in creation order.
std::vector<std::string> headsUpDisplays();

// User actions. Each runs the control's command as Maya would, at global
// scope; false (and the error line the command gave) when the command
// fails, and false without running anything when the control does not
// exist, is of another kind, or is disabled.
bool pressButton(const std::string& name);  // button or shelfButton
// Sets the check box and runs -changeCommand, then -onCommand/-offCommand.
bool setCheckBox(const std::string& name, bool checked);
// Types the text and commits it: -changeCommand runs.
bool typeText(const std::string& name, const std::string& text);
// Enters a value in an intField: -changeCommand runs.
bool typeInt(const std::string& name, int value);

// Chooses the option menu's item of that label, then runs -changeCommand if
// the choice changed (always with -alwaysCallChangeCommand).
bool chooseOption(const std::string& name, const std::string& label);
// Clicks the textScrollList item (the first of that text): it becomes the
// one selected item, then -selectCommand runs.
bool selectListItem(const std::string& name, const std::string& item);

// Answers every confirmDialog, as a user clicking: given the message, returns
// a button's label or the dismiss string (anything else fails the dialog's
// command). Without an answer (the default, and after reset()) the dialog's
// window is closed: it returns its -dismissString, else "dismiss".
void answerConfirmDialogs(std::function<std::string(const std::string& message)> answer);

// Runs MEL as the Script Editor does; false with an error line on failure.
bool runMel(const std::string& text, std::string* result = nullptr);

// What one MEL run may use before it stops with an error where Maya would
// go on: statements executed (everything a text run from the top calls
// included), items an array grows to, bytes of a text `+` makes and of the
// texts eval and source run at once, and the size of their syntax. The defaults are far above any
// script of ours; a fuzzer lowers them so that each input ends quickly. reset() restores the
// defaults.
struct MelLimits {
    long long statements = 1000000;
    long long arrayItems = 1000000;
    std::size_t textBytes = std::size_t{16} << 20;
    // Tokens of a text being parsed and nodes of the trees of all the texts
    // eval and source run at once (about 230 bytes each at most).
    std::size_t syntaxItems = 1000000;
};
void setMelLimits(const MelLimits& limits);

// World-space position of a transform or joint, in centimetres whatever the
// UI unit, after pulling connected inputs; false when there is no such node.
bool worldPosition(const std::string& node, double position[3]);

}  // namespace mayahost
