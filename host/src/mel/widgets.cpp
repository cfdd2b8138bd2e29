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
    for (Control* p = menuParent; p != nullptr; p = p->parent) {
        if (p == control) {
            menuParent = nullptr;
            break;
        }
    }
    // An option menu that loses its chosen item falls back to its first.
    Control* menu = control->parent;
    const bool option = menu != nullptr && menu->type == "optionMenu";
    const int before = option ? optionIndex(*menu) : -1;
    int removed = -1;
    if (option) {
        const auto items = optionItems(*menu);
        for (std::size_t k = 0; k < items.size(); ++k) {
            if (items[k] == control) removed = static_cast<int>(k);
        }
    }
    auto& siblings = control->parent != nullptr ? control->parent->children : topLevel;
    siblings.erase(
        std::remove_if(siblings.begin(), siblings.end(),
                       [&](const std::unique_ptr<Control>& c) { return c.get() == control; }),
        siblings.end());
    if (option && removed >= 0) {
        menu->selected.clear();
        if (before != removed) menu->selected.push_back(before > removed ? before - 1 : before);
    }
}

void Widgets::clear() {
    topLevel.clear();
    defaultParent = nullptr;
    menuParent = nullptr;
    confirmAnswer = nullptr;
    mCounters.clear();
}

Control* Widgets::shelfTopLevel() const {
    return find(kShelfTopLevel);
}

std::vector<Control*> optionItems(const Control& menu) {
    std::vector<Control*> items;
    for (const auto& c : menu.children) {
        if (c->type == "menuItem") items.push_back(c.get());
    }
    return items;
}

int optionIndex(const Control& menu) {
    const int count = static_cast<int>(optionItems(menu).size());
    if (count == 0) return -1;
    return !menu.selected.empty() && menu.selected[0] < count ? menu.selected[0] : 0;
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
