// The widget model: windows, layouts and controls as the UI commands build
// them, with their properties and the MEL commands they run.
#pragma once

#include "mel/flags.h"
#include "mel/value.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace mayahost {
namespace mel {

struct Control {
    std::string name;
    std::string type;  // the creating command: "window", "button", ...
    bool layout = false;
    Control* parent = nullptr;
    std::vector<std::unique_ptr<Control>> children;
    std::map<std::string, Value> properties;  // by long flag name
    std::vector<std::string> items;           // textScrollList
    std::vector<int> selected;                // textScrollList: item indices, ascending;
                                              // optionMenu: the chosen item's index

    std::string path() const;
    // The property, or the default its flag gives.
    Value property(const std::string& name, Arg kind) const;
};

class Widgets {
public:
    // Windows and the main window's shelf area.
    std::vector<std::unique_ptr<Control>> topLevel;
    Control* defaultParent = nullptr;
    Control* menuParent = nullptr;  // where menuItem puts items: the last optionMenu
    // Answers confirmDialog as a user would; empty: the dialog is dismissed.
    std::function<std::string(const std::string& message)> confirmAnswer;

    // By full path or short name; nullptr when there is none.
    Control* find(const std::string& nameOrPath) const;
    // A new control under `parent` (nullptr: top level); an empty name gives
    // <type><n>. Throws when the name is taken.
    Control* create(const std::string& type, const std::string& name, Control* parent, bool layout);
    void remove(Control* control);
    void clear();
    Control* shelfTopLevel() const;

private:
    std::map<std::string, int> mCounters;
};

Widgets& widgets();
// An optionMenu's items, and the index of the chosen one (-1 when it has none).
std::vector<Control*> optionItems(const Control& menu);
int optionIndex(const Control& menu);
// Selects a textScrollList item by 0-based index, as a click does.
void selectListItem(Control& list, int index);
// Empties the model and rebuilds the main window's shelf area, named in the
// MEL global $gShelfTopLevel as Maya's start-up scripts do.
void resetWidgets(Interpreter& mel);

}  // namespace mel
}  // namespace mayahost
