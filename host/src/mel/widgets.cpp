#include "mel/widgets.h"

#include <algorithm>
#include <functional>

namespace mayahost {
namespace mel {

namespace {

const char* const kShelfTopLevel = "ShelfLayout";

void visit(const std::vector<std::unique_ptr<Control>>& controls,
           const std::function<bool(Control&)>& found) {
    for (const auto& c : controls) {
        if (found(*c)) return;
        visit(c->children, found);
    }
}

}  // namespace

std::string Control::path() const {
    return parent != nullptr ? parent->path() + "|" + name : name;
}

Value Control::property(const std::string& flag, Arg kind) const {
    auto it = properties.find(flag);
    if (it != properties.end()) return it->second;
    if (flag == "label" || flag == "title") return Value::ofString(name);
    if (flag == "enable" || flag == "visible" || flag == "manage" || flag == "editable") {
        return Value::ofInt(flag == "visible" && type == "window" ? 0 : 1);
    }
    switch (kind) {
        case Arg::kString:
            return Value::ofString("");
        case Arg::kFloat:
            return Value::ofFloat(0.0);
        default:
            return Value::ofInt(0);
    }
}

Control* Widgets::find(const std::string& nameOrPath) const {
    if (nameOrPath.empty()) return nullptr;
    const bool path = nameOrPath.find('|') != std::string::npos;
    Control* result = nullptr;
    visit(topLevel, [&](Control& c) {
        if ((path ? c.path() : c.name) != nameOrPath) return false;
        result = &c;
        return true;
    });
    return result;
}

Control* Widgets::create(const std::string& type, const std::string& name, Control* parent,
                         bool layout) {
    std::string chosen = name;
    if (chosen.empty()) {
        do {
            chosen = type + std::to_string(++mCounters[type]);
        } while (find(chosen) != nullptr);
    } else if (find(chosen) != nullptr) {
        throw MelError("Object's name '" + chosen + "' is not unique.");
    }
    auto control = std::make_unique<Control>();
    control->name = chosen;
    control->type = type;
    control->layout = layout;
    control->parent = parent;
    Control* raw = control.get();
    (parent != nullptr ? parent->children : topLevel).push_back(std::move(control));
    return raw;
}

void Widgets::remove(Control* control) {
    for (Control* p = defaultParent; p != nullptr; p = p->parent) {
        if (p == control) {
            defaultParent = control->parent;
            break;
        }
    }
    auto& siblings = control->parent != nullptr ? control->parent->children : topLevel;
    siblings.erase(
        std::remove_if(siblings.begin(), siblings.end(),
                       [&](const std::unique_ptr<Control>& c) { return c.get() == control; }),
        siblings.end());
}

void Widgets::clear() {
    topLevel.clear();
    defaultParent = nullptr;
    mCounters.clear();
}

Control* Widgets::shelfTopLevel() const {
    return find(kShelfTopLevel);
}

Widgets& widgets() {
    static Widgets* instance = new Widgets;
    return *instance;
}

void resetWidgets(Interpreter& mel) {
    Widgets& w = widgets();
    w.clear();
    w.create("shelfTabLayout", kShelfTopLevel, nullptr, true);
    mel.global("gShelfTopLevel", Type::kString).value = Value::ofString(kShelfTopLevel);
}

}  // namespace mel
}  // namespace mayahost
