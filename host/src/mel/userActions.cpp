// The widget model as tests see it (mayahost/ui.h).
#include "mel/headsUpDisplays.h"
#include "mel/interpreter.h"
#include "mel/scene.h"
#include "mel/widgets.h"

#include <mayahost/ui.h>

#include <algorithm>

namespace mayahost {

namespace {

using mel::Control;
using mel::Value;

Control* usable(const std::string& name, std::initializer_list<const char*> types) {
    Control* c = mel::widgets().find(name);
    if (c == nullptr) return nullptr;
    bool typeOk = false;
    for (const char* t : types) typeOk = typeOk || c->type == t;
    if (!typeOk || !c->property("enable", mel::Arg::kBool).truth()) return nullptr;
    return c;
}

// Takes the properties by value: the command may delete its own control.
bool runProperty(std::map<std::string, Value> properties, const char* flag) {
    auto it = properties.find(flag);
    if (it == properties.end() || it->second.asString().empty()) return true;
    return mel::interpreter().run(it->second.asString());
}

}  // namespace

ControlState control(const std::string& name) {
    ControlState state;
    const Control* c = mel::widgets().find(name);
    if (c == nullptr) return state;
    state.exists = true;
    state.type = c->type;
    state.path = c->path();
    state.label =
        c->property(c->type == "window" ? "title" : "label", mel::Arg::kString).asString();
    state.enabled = c->property("enable", mel::Arg::kBool).truth();
    state.visible = c->property("visible", mel::Arg::kBool).truth();
    state.value = c->property("value", mel::Arg::kInt).asInt(false);
    state.text = c->property("text", mel::Arg::kString).asString();
    state.items = c->items;
    for (int k : c->selected) {
        if (c->type == "textScrollList") state.selectedItems.push_back(c->items[k]);
    }
    if (c->type == "optionMenu") {
        const auto items = mel::optionItems(*c);
        for (const Control* item : items) {
            state.items.push_back(item->property("label", mel::Arg::kString).asString());
        }
        const int chosen = mel::optionIndex(*c);
        if (chosen >= 0) state.selectedItems.push_back(state.items[chosen]);
    }
    for (const auto& child : c->children) state.children.push_back(child->name);
    return state;
}

HeadsUpDisplayState headsUpDisplay(const std::string& name) {
    HeadsUpDisplayState state;
    for (const mel::HeadsUpDisplay& d : mel::headsUpDisplays()) {
        if (d.name != name) continue;
        state.exists = true;
        state.id = d.id;
        state.section = d.section;
        state.block = d.block;
        state.label = d.label;
        state.command = d.command;
        state.visible = d.visible;
        state.shown = d.label.empty() || d.data.empty() ? d.label + d.data : d.label + " " + d.data;
    }
    return state;
}

std::vector<std::string> headsUpDisplays() {
    std::vector<std::string> names;
    for (const mel::HeadsUpDisplay& d : mel::headsUpDisplays()) names.push_back(d.name);
    return names;
}

std::vector<std::string> windows() {
    std::vector<std::string> names;
    for (const auto& c : mel::widgets().topLevel) {
        if (c->type == "window") names.push_back(c->name);
    }
    return names;
}

std::string shelfArea() {
    const Control* area = mel::widgets().shelfTopLevel();
    return area != nullptr ? area->path() : "";
}

std::vector<std::string> shelves() {
    return control(shelfArea()).children;
}

bool pressButton(const std::string& name) {
    Control* c = usable(name, {"button", "shelfButton"});
    if (c == nullptr) return false;
    if (c->property("sourceType", mel::Arg::kString).asString() == "python") return false;
    return runProperty(c->properties, "command");
}

bool setCheckBox(const std::string& name, bool checked) {
    Control* c = usable(name, {"checkBox"});
    if (c == nullptr || !c->property("editable", mel::Arg::kBool).truth()) return false;
    c->properties["value"] = Value::ofInt(checked ? 1 : 0);
    const auto properties = c->properties;
    return runProperty(properties, "changeCommand") &&
           runProperty(properties, checked ? "onCommand" : "offCommand");
}

bool typeText(const std::string& name, const std::string& text) {
    Control* c = usable(name, {"textField"});
    if (c == nullptr || !c->property("editable", mel::Arg::kBool).truth()) return false;
    c->properties["text"] = Value::ofString(text);
    return runProperty(c->properties, "changeCommand");
}

bool typeInt(const std::string& name, int value) {
    Control* c = usable(name, {"intField"});
    if (c == nullptr || !c->property("editable", mel::Arg::kBool).truth()) return false;
    c->properties["value"] = Value::ofInt(value);
    return runProperty(c->properties, "changeCommand");
}

bool chooseOption(const std::string& name, const std::string& label) {
    Control* c = usable(name, {"optionMenu"});
    if (c == nullptr) return false;
    const auto items = mel::optionItems(*c);
    int chosen = -1;
    for (std::size_t k = 0; k < items.size() && chosen < 0; ++k) {
        if (items[k]->property("label", mel::Arg::kString).asString() == label) {
            chosen = static_cast<int>(k);
        }
    }
    if (chosen < 0) return false;
    const bool changed = chosen != mel::optionIndex(*c);
    c->selected.assign(1, chosen);
    if (!changed && !c->property("alwaysCallChangeCommand", mel::Arg::kBool).truth()) return true;
    return runProperty(c->properties, "changeCommand");
}

bool selectListItem(const std::string& name, const std::string& item) {
    Control* c = usable(name, {"textScrollList"});
    if (c == nullptr) return false;
    auto it = std::find(c->items.begin(), c->items.end(), item);
    if (it == c->items.end()) return false;
    c->selected.assign(1, static_cast<int>(it - c->items.begin()));
    return runProperty(c->properties, "selectCommand");
}

void answerConfirmDialogs(std::function<std::string(const std::string& message)> answer) {
    mel::widgets().confirmAnswer = std::move(answer);
}

bool runMel(const std::string& text, std::string* result) {
    Value value;
    const bool ok = mel::interpreter().run(text, &value);
    if (ok && result != nullptr) *result = value.asString();
    return ok;
}

void setMelLimits(const MelLimits& limits) {
    mel::interpreter().setLimits(limits);
}

bool worldPosition(const std::string& node, double position[3]) {
    auto data = mel::findNode(node);
    if (!data || !mel::isDag(*data)) return false;
    try {
        const auto p = mel::worldPosition(data);
        for (int k = 0; k < 3; ++k) position[k] = p[k];
        return true;
    } catch (const mel::MelError&) {
        return false;
    }
}

}  // namespace mayahost
