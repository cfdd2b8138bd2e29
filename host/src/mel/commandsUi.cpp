// Window, layout, control and shelf commands over the widget model, with the
// flags of Maya's command reference that the scripts use.
#include "mel/flags.h"
#include "mel/interpreter.h"
#include "mel/widgets.h"

#include <algorithm>

namespace mayahost {
namespace mel {

namespace {

using A = Arg;

std::vector<Flag> controlFlags(bool layout, std::vector<Flag> own) {
    std::vector<Flag> flags = {
        {"exists", "ex", {}, "C"},
        {"enable", "en", {A::kBool}, "CQE"},
        {"visible", "vis", {A::kBool}, "CQE"},
        {"width", "w", {A::kInt}, "CQE"},
        {"height", "h", {A::kInt}, "CQE"},
        {"parent", "p", {A::kString}, "CQ"},
        {"annotation", "ann", {A::kString}, "CQE"},
        {"manage", "m", {A::kBool}, "CQE"},
        {"docTag", "dtg", {A::kString}, "CQE"},
        {"backgroundColor", "bgc", {A::kFloat, A::kFloat, A::kFloat}, "CQE"},
        {"fullPathName", "fpn", {}, "Q"},
    };
    if (layout) {
        flags.push_back({"childArray", "ca", {}, "Q"});
        flags.push_back({"numberOfChildren", "nch", {}, "Q"});
    }
    flags.insert(flags.end(), own.begin(), own.end());
    return flags;
}

const std::vector<Flag>& windowFlags() {
    static const std::vector<Flag> flags = {
        {"exists", "ex", {}, "C"},
        {"title", "t", {A::kString}, "CQE"},
        {"widthHeight", "wh", {A::kInt, A::kInt}, "CQE"},
        {"width", "w", {A::kInt}, "CQE"},
        {"height", "h", {A::kInt}, "CQE"},
        {"topLeftCorner", "tlc", {A::kInt, A::kInt}, "CQE"},
        {"sizeable", "s", {A::kBool}, "CQE"},
        {"resizeToFitChildren", "rtf", {A::kBool}, "CQE"},
        {"menuBar", "mb", {A::kBool}, "CQ"},
        {"titleBar", "tb", {A::kBool}, "CQE"},
        {"minimizeButton", "mnb", {A::kBool}, "CQE"},
        {"maximizeButton", "mxb", {A::kBool}, "CQE"},
        {"iconify", "i", {A::kBool}, "CQE"},
        {"retain", "ret", {}, "C"},
        {"visible", "vis", {A::kBool}, "CQE"},
        {"closeCommand", "cc", {A::kString}, "CE"},
    };
    return flags;
}

Control* existing(const std::string& command, const std::string& name) {
    Control* control = widgets().find(name);
    if (control == nullptr) throw MelError(command + ": object '" + name + "' not found.");
    return control;
}

Control* layoutParent(const std::string& command, const Flags& flags) {
    if (flags.has("parent")) {
        Control* parent = existing(command, flags.text("parent"));
        if (!parent->layout && parent->type != "window") {
            throw MelError(command + ": '" + parent->name + "' is not a layout.");
        }
        return parent;
    }
    Control* parent = widgets().defaultParent;
    if (parent == nullptr) throw MelError(command + ": no window or layout to put it in.");
    return parent;
}

std::string itemLabel(const Control& item) {
    return item.property("label", A::kString).asString();
}

// A 1-based index of a textScrollList, as 0-based.
int listIndex(const Control& list, int oneBased) {
    if (oneBased < 1 || oneBased > static_cast<int>(list.items.size())) {
        throw MelError("textScrollList: index " + std::to_string(oneBased) +
                       " is out of range for '" + list.name + "'.");
    }
    return oneBased - 1;
}

void removeListItem(Control& list, int index) {
    list.items.erase(list.items.begin() + index);
    std::vector<int> kept;
    for (int k : list.selected) {
        if (k != index) kept.push_back(k > index ? k - 1 : k);
    }
    list.selected = kept;
}

}  // namespace

void selectListItem(Control& list, int index) {
    // One selected item unless the list allows more.
    if (!list.property("allowMultiSelection", A::kBool).truth()) list.selected.clear();
    auto& sel = list.selected;
    if (std::find(sel.begin(), sel.end(), index) == sel.end()) sel.push_back(index);
    std::sort(sel.begin(), sel.end());
}

namespace {

Value queryValue(const Control& control, const Flag& flag) {
    const std::string name = flag.name;
    if (name == "childArray") {
        std::vector<std::string> names;
        for (const auto& c : control.children) names.push_back(c->name);
        return Value::ofStrings(names);
    }
    if (name == "numberOfChildren") return Value::ofInt(static_cast<int>(control.children.size()));
    if (name == "fullPathName") return Value::ofString(control.path());
    if (name == "parent") return Value::ofString(control.parent ? control.parent->path() : "");
    if (control.type == "optionMenu") {
        const std::vector<Control*> items = optionItems(control);
        const int chosen = optionIndex(control);
        if (name == "value") {
            return Value::ofString(chosen < 0 ? "" : itemLabel(*items[chosen]));
        }
        if (name == "select") return Value::ofInt(chosen + 1);
        if (name == "numberOfItems") return Value::ofInt(static_cast<int>(items.size()));
        if (name == "itemListLong" || name == "itemListShort") {
            std::vector<std::string> names;
            for (const Control* item : items) {
                names.push_back(name == "itemListLong" ? item->path() : item->name);
            }
            return Value::ofStrings(names);
        }
    }
    if (name == "allItems") return Value::ofStrings(control.items);
    if (name == "selectItem") {
        std::vector<std::string> labels;
        for (int k : control.selected) labels.push_back(control.items[k]);
        return Value::ofStrings(labels);
    }
    if (name == "selectIndexedItem") {
        Value indices = Value::emptyArray(Type::kIntArray);
        for (int k : control.selected) indices.items.push_back(Value::ofInt(k + 1));
        return indices;
    }
    if (name == "numberOfSelectedItems") {
        return Value::ofInt(static_cast<int>(control.selected.size()));
    }
    if (name == "numberOfItems") return Value::ofInt(static_cast<int>(control.items.size()));
    if (flag.args.size() > 1) {
        auto it = control.properties.find(name);
        return it != control.properties.end() ? it->second : Value::emptyArray(Type::kIntArray);
    }
    return control.property(name, flag.args.empty() ? A::kBool : flag.args[0]);
}

void applyFlags(Control& control, const Flags& flags) {
    for (const FlagUse& use : flags.uses) {
        const std::string name = use.flag->name;
        if (name == "parent" || name == "exists") continue;
        if (control.type == "optionMenu" && (name == "value" || name == "select")) {
            const std::vector<Control*> items = optionItems(control);
            int chosen = -1;
            if (name == "select") {
                chosen = use.args[0].i - 1;
                if (chosen < 0 || chosen >= static_cast<int>(items.size())) chosen = -1;
            } else {
                for (std::size_t k = 0; k < items.size() && chosen < 0; ++k) {
                    if (itemLabel(*items[k]) == use.args[0].s) chosen = static_cast<int>(k);
                }
            }
            if (chosen < 0) {
                throw MelError("optionMenu: '" + control.name + "' has no item " +
                               use.args[0].asString() + ".");
            }
            control.selected.assign(1, chosen);
        } else if (name == "append") {
            control.items.push_back(use.args[0].s);
        } else if (name == "removeAll") {
            control.items.clear();
            control.selected.clear();
        } else if (name == "removeItem") {
            for (int k = static_cast<int>(control.items.size()) - 1; k >= 0; --k) {
                if (control.items[k] == use.args[0].s) removeListItem(control, k);
            }
        } else if (name == "removeIndexedItem") {
            removeListItem(control, listIndex(control, use.args[0].i));
        } else if (name == "selectItem" || name == "selectIndexedItem") {
            int index = -1;
            if (name == "selectIndexedItem") {
                index = listIndex(control, use.args[0].i);
            } else {
                auto it = std::find(control.items.begin(), control.items.end(), use.args[0].s);
                if (it == control.items.end()) {
                    throw MelError("textScrollList: no item '" + use.args[0].s + "'.");
                }
                index = static_cast<int>(it - control.items.begin());
            }
            selectListItem(control, index);
        } else if (name == "deselectItem" || name == "deselectIndexedItem") {
            for (int k = 0; k < static_cast<int>(control.items.size()); ++k) {
                const bool match = name == "deselectItem" ? control.items[k] == use.args[0].s
                                                          : k == listIndex(control, use.args[0].i);
                if (match) {
                    auto& sel = control.selected;
                    sel.erase(std::remove(sel.begin(), sel.end(), k), sel.end());
                }
            }
        } else if (name == "deselectAll") {
            control.selected.clear();
        } else if (use.args.size() == 1) {
            control.properties[name] = use.args[0];
        } else if (!use.args.empty()) {
            Value array = Value::emptyArray(arrayOf(use.args[0].type));
            for (const Value& a : use.args) array.items.push_back(convert(a, use.args[0].type));
            control.properties[name] = array;
        } else {
            control.properties[name] = Value::ofInt(1);
        }
    }
}

// The create/edit/query form common to windows, layouts and controls.
Value controlCommand(const Invocation& call, const std::vector<Flag>& known, bool layout) {
    Flags flags(call, known, true);
    Widgets& w = widgets();
    const bool window = call.name == "window";
    if (flags.has("exists")) {
        flags.needObjects(1);
        return Value::ofInt(w.find(flags.objects[0].asString()) != nullptr ? 1 : 0);
    }
    if (flags.query || flags.edit) {
        if (flags.objects.empty()) {
            if (!w.defaultParent) throw MelError(call.name + ": no object given.");
            flags.objects.push_back(Value::ofString(w.defaultParent->path()));
        }
        flags.needObjects(1);
        Control* control = existing(call.name, flags.objects[0].asString());
        if (control->type != call.name) {
            throw MelError(call.name + ": object '" + control->name + "' is a " + control->type +
                           ", not a " + call.name + ".");
        }
        if (flags.query) return queryValue(*control, *flags.queried());
        applyFlags(*control, flags);
        return Value();
    }
    if (flags.objects.size() > 1) throw MelError(call.name + ": too many objects.");
    const std::string name = flags.objects.empty() ? "" : flags.objects[0].asString();
    Control* parent = nullptr;
    if (call.name == "menuItem") {
        parent = flags.has("parent") ? existing(call.name, flags.text("parent")) : w.menuParent;
        if (parent == nullptr || parent->type != "optionMenu") {
            throw MelError("menuItem: no menu to put the item in.");
        }
        Control* item = w.create(call.name, name, parent, false);
        applyFlags(*item, flags);
        return Value::ofString(item->path());
    }
    if (!window) {
        parent = layoutParent(call.name, flags);
        if (!layout && parent->type == "window") {
            throw MelError("Controls must have a layout. No layout found in window: " +
                           parent->path());
        }
    }
    Control* control = w.create(call.name, name, parent, layout || window);
    applyFlags(*control, flags);
    if (window || layout) w.defaultParent = control;
    // Menu items that follow go into the new option menu.
    if (call.name == "optionMenu") w.menuParent = control;
    return Value::ofString(control->path());
}

// Modal: the answer comes from the hook tests set, as a user's click; with
// none the dialog is closed without a button.
Value confirmDialogCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {
        {"title", "t", {A::kString}, "C"},
        {"message", "m", {A::kString}, "C"},
        {"button", "b", {A::kString}, "CM"},
        {"defaultButton", "db", {A::kString}, "C"},
        {"cancelButton", "cb", {A::kString}, "C"},
        {"dismissString", "ds", {A::kString}, "C"},
        {"messageAlign", "ma", {A::kString}, "C"},
        {"icon", "icn", {A::kString}, "C"},
        {"parent", "p", {A::kString}, "C"},
        {"backgroundColor", "bgc", {A::kFloat, A::kFloat, A::kFloat}, "C"}};
    Flags flags(call, kFlags, false);
    flags.needObjects(0);
    const std::string message = flags.has("message") ? flags.text("message") : "";
    const std::string dismissed = flags.has("dismissString")  ? flags.text("dismissString")
                                  : flags.has("cancelButton") ? flags.text("cancelButton")
                                                              : "dismiss";
    // The hook may run MEL: take a copy.
    const auto answer = widgets().confirmAnswer;
    if (!answer) return Value::ofString(dismissed);
    const std::string chosen = answer(message);
    bool known = chosen == dismissed;
    for (const FlagUse* button : flags.all("button")) known = known || button->args[0].s == chosen;
    if (!known) {
        throw MelError("confirmDialog: '" + chosen +
                       "' is neither a button nor the dismiss string.");
    }
    return Value::ofString(chosen);
}

void addControl(Interpreter& mel, const char* name, bool layout, std::vector<Flag> own) {
    const std::vector<Flag> flags = controlFlags(layout, std::move(own));
    mel.addCommand(name, [flags, layout](const Invocation& call) {
        return controlCommand(call, flags, layout);
    });
}

}  // namespace

void addUiCommands(Interpreter& mel) {
    mel.addCommand("window", [](const Invocation& call) {
        return controlCommand(call, windowFlags(), false);
    });
    mel.addCommand("showWindow", [](const Invocation& call) {
        Control* window = nullptr;
        if (call.args.empty()) {
            for (Control* p = widgets().defaultParent; p != nullptr; p = p->parent) window = p;
        } else if (call.args.size() == 1) {
            window = existing(call.name, call.args[0].asString());
        } else {
            throw MelError("showWindow: too many objects.");
        }
        if (window == nullptr || window->type != "window") throw MelError("showWindow: no window.");
        window->properties["visible"] = Value::ofInt(1);
        return Value();
    });
    static const std::vector<Flag> kDeleteFlags = {{"window", "wnd", {}, "C"},
                                                   {"control", "ctl", {}, "C"},
                                                   {"layout", "lay", {}, "C"},
                                                   {"menuItem", "mi", {}, "C"}};
    mel.addCommand("deleteUI", [](const Invocation& call) {
        Flags flags(call, kDeleteFlags, false);
        if (flags.objects.empty()) throw MelError("deleteUI: no object given.");
        for (const Value& object : flags.objects) {
            Control* control = existing(call.name, object.asString());
            const bool isWindow = control->type == "window";
            if ((flags.has("window") && !isWindow) ||
                (flags.has("layout") && (!control->layout || isWindow)) ||
                (flags.has("control") && (control->layout || isWindow)) ||
                (flags.has("menuItem") != (control->type == "menuItem") &&
                 (flags.has("menuItem") || flags.has("control")))) {
                throw MelError("deleteUI: object '" + control->name + "' is a " + control->type +
                               ".");
            }
            if (control == widgets().shelfTopLevel()) {
                throw MelError("deleteUI: the main shelf area cannot be deleted.");
            }
            widgets().remove(control);
        }
        return Value();
    });
    static const std::vector<Flag> kSetParentFlags = {
        {"menu", "m", {}, "CQ"}, {"topLevel", "top", {}, "C"}, {"upLevel", "u", {}, "C"}};
    mel.addCommand("setParent", [](const Invocation& call) {
        Flags flags(call, kSetParentFlags, true);
        Widgets& w = widgets();
        if (flags.has("menu")) {
            if (flags.query) return Value::ofString(w.menuParent ? w.menuParent->path() : "");
            flags.needObjects(1);
            Control* menu = existing(call.name, flags.objects[0].asString());
            if (menu->type != "optionMenu") {
                throw MelError("setParent: '" + menu->name + "' is not a menu.");
            }
            w.menuParent = menu;
            return Value::ofString(menu->path());
        }
        if (flags.query) return Value::ofString(w.defaultParent ? w.defaultParent->path() : "");
        Control* before = w.defaultParent;
        if (flags.has("topLevel")) {
            w.defaultParent = nullptr;
        } else if (flags.has("upLevel") ||
                   (flags.objects.size() == 1 && flags.objects[0].s == "..")) {
            if (w.defaultParent && w.defaultParent->parent)
                w.defaultParent = w.defaultParent->parent;
        } else if (flags.objects.size() == 1 && flags.objects[0].s == "|") {
            while (w.defaultParent && w.defaultParent->parent)
                w.defaultParent = w.defaultParent->parent;
        } else {
            flags.needObjects(1);
            Control* parent = existing(call.name, flags.objects[0].asString());
            if (!parent->layout)
                throw MelError("setParent: '" + parent->name + "' is not a layout.");
            w.defaultParent = parent;
        }
        return Value::ofString(
            w.defaultParent != before && w.defaultParent ? w.defaultParent->path() : "");
    });

    addControl(mel, "columnLayout", true,
               {{"adjustableColumn", "adj", {A::kBool}, "CE"},
                {"columnAlign", "cal", {A::kString}, "CE"},
                {"columnAttach", "cat", {A::kString, A::kInt}, "CE"},
                {"columnOffset", "co", {A::kString, A::kInt}, "CE"},
                {"columnWidth", "cw", {A::kInt}, "CQE"},
                {"rowSpacing", "rs", {A::kInt}, "CQE"}});
    addControl(mel, "rowLayout", true,
               {{"numberOfColumns", "nc", {A::kInt}, "CQ"},
                {"adjustableColumn", "adj", {A::kInt}, "CEM"},
                {"columnWidth", "cw", {A::kInt, A::kInt}, "CEM"},
                {"columnAttach", "cat", {A::kInt, A::kString, A::kInt}, "CEM"},
                {"columnAlign", "cal", {A::kInt, A::kString}, "CEM"}});
    addControl(mel, "text", false,
               {{"label", "l", {A::kString}, "CQE"},
                {"align", "al", {A::kString}, "CQE"},
                {"font", "fn", {A::kString}, "CQE"},
                {"wordWrap", "ww", {A::kBool}, "CQ"},
                {"recomputeSize", "rs", {A::kBool}, "CQE"}});
    addControl(mel, "textField", false,
               {{"text", "tx", {A::kString}, "CQE"},
                {"editable", "ed", {A::kBool}, "CQE"},
                {"changeCommand", "cc", {A::kString}, "CE"},
                {"textChangedCommand", "tcc", {A::kString}, "CE"},
                {"enterCommand", "ec", {A::kString}, "CE"},
                {"alwaysInvokeEnterCommandOnReturn", "aie", {A::kBool}, "CQE"},
                {"placeholderText", "pht", {A::kString}, "CQE"}});
    addControl(mel, "intField", false,
               {{"value", "v", {A::kInt}, "CQE"},
                {"minValue", "min", {A::kInt}, "CQE"},
                {"maxValue", "max", {A::kInt}, "CQE"},
                {"step", "s", {A::kInt}, "CQE"},
                {"editable", "ed", {A::kBool}, "CQE"},
                {"changeCommand", "cc", {A::kString}, "CE"},
                {"dragCommand", "dc", {A::kString}, "CE"},
                {"enterCommand", "ec", {A::kString}, "CE"}});
    addControl(mel, "checkBox", false,
               {{"label", "l", {A::kString}, "CQE"},
                {"value", "v", {A::kBool}, "CQE"},
                {"onCommand", "onc", {A::kString}, "CQE"},
                {"offCommand", "ofc", {A::kString}, "CQE"},
                {"changeCommand", "cc", {A::kString}, "CQE"},
                {"editable", "ed", {A::kBool}, "CQE"},
                {"recomputeSize", "rs", {A::kBool}, "CQE"}});
    addControl(mel, "button", false,
               {{"label", "l", {A::kString}, "CQE"},
                {"command", "c", {A::kString}, "CQE"},
                {"actOnPress", "aop", {A::kBool}, "CQE"},
                {"recomputeSize", "rs", {A::kBool}, "CQE"}});
    addControl(mel, "textScrollList", false,
               {{"append", "a", {A::kString}, "CEM"},
                {"removeAll", "ra", {}, "CE"},
                {"removeItem", "ri", {A::kString}, "CEM"},
                {"selectItem", "si", {A::kString}, "CQEM"},
                {"selectIndexedItem", "sii", {A::kInt}, "CQEM"},
                {"removeIndexedItem", "rii", {A::kInt}, "CEM"},
                {"deselectItem", "di", {A::kString}, "CEM"},
                {"deselectIndexedItem", "dii", {A::kInt}, "CEM"},
                {"numberOfSelectedItems", "nsi", {}, "Q"},
                {"deselectAll", "da", {}, "CE"},
                {"allItems", "ai", {}, "Q"},
                {"numberOfItems", "ni", {}, "Q"},
                {"numberOfRows", "nr", {A::kInt}, "CQE"},
                {"allowMultiSelection", "ams", {A::kBool}, "CQE"},
                {"selectCommand", "sc", {A::kString}, "CE"},
                {"doubleClickCommand", "dcc", {A::kString}, "CE"}});
    addControl(mel, "optionMenu", false,
               {{"label", "l", {A::kString}, "CQE"},
                {"value", "v", {A::kString}, "CQE"},
                {"select", "sl", {A::kInt}, "CQE"},
                {"numberOfItems", "ni", {}, "Q"},
                {"itemListLong", "ill", {}, "Q"},
                {"itemListShort", "ils", {}, "Q"},
                {"changeCommand", "cc", {A::kString}, "CE"},
                {"alwaysCallChangeCommand", "acc", {A::kBool}, "CQE"},
                {"maxVisibleItems", "mvi", {A::kInt}, "CQE"}});
    static const std::vector<Flag> kMenuItemFlags = {
        {"exists", "ex", {}, "C"},           {"label", "l", {A::kString}, "CQE"},
        {"parent", "p", {A::kString}, "C"},  {"command", "c", {A::kString}, "CQE"},
        {"enable", "en", {A::kBool}, "CQE"}, {"annotation", "ann", {A::kString}, "CQE"},
        {"data", "da", {A::kInt}, "CQE"}};
    mel.addCommand("menuItem", [](const Invocation& call) {
        return controlCommand(call, kMenuItemFlags, false);
    });
    mel.addCommand("confirmDialog", confirmDialogCommand);
    addControl(mel, "shelfTabLayout", true,
               {{"selectTab", "st", {A::kString}, "CQE"},
                {"tabLabel", "tl", {A::kString, A::kString}, "CQEM"}});
    addControl(mel, "shelfLayout", true,
               {{"cellWidth", "cw", {A::kInt}, "CQE"},
                {"cellHeight", "ch", {A::kInt}, "CQE"},
                {"style", "st", {A::kString}, "CQE"},
                {"spacing", "spa", {A::kInt}, "CQE"},
                {"alignment", "aln", {A::kString}, "CQE"},
                {"horizontal", "hr", {A::kBool}, "CQE"},
                {"version", "version", {A::kString}, "CQE"}});
    addControl(mel, "shelfButton", false,
               {{"command", "c", {A::kString}, "CQE"},
                {"doubleClickCommand", "dcc", {A::kString}, "CQE"},
                {"sourceType", "stp", {A::kString}, "CQE"},
                {"label", "l", {A::kString}, "CQE"},
                {"image", "i", {A::kString}, "CQE"},
                {"image1", "i1", {A::kString}, "CQE"},
                {"imageOverlayLabel", "iol", {A::kString}, "CQE"},
                {"style", "st", {A::kString}, "CQE"},
                {"enableCommandRepeat", "ecr", {A::kBool}, "CQE"}});
}

}  // namespace mel
}  // namespace mayahost
