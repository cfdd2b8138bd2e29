// MEL's headsUpDisplay: create, query, edit, refresh and remove the viewport's
// heads-up displays. One display a block: a name or a block already taken is
// an error, as is removing, querying or editing a display that does not exist.
#include "mel/flags.h"
#include "mel/headsUpDisplays.h"

#include <algorithm>

namespace mayahost {
namespace mel {

namespace {

using A = Arg;

const std::vector<Flag>& hudFlags() {
    static const std::vector<Flag> flags = {
        {"section", "s", {A::kInt}, "CQE"},
        {"block", "b", {A::kInt}, "CQE"},
        {"label", "l", {A::kString}, "CQE"},
        {"command", "c", {A::kString}, "CQE"},
        {"visible", "vis", {A::kBool}, "CQE"},
        {"exists", "ex", {}, "C"},
        {"refresh", "r", {}, "C"},
        {"remove", "rem", {}, "C"},
        {"removeID", "rid", {A::kInt}, "C"},
        {"removePosition", "rp", {A::kInt, A::kInt}, "C"},
        {"nextFreeBlock", "nfb", {A::kInt}, "C"},
        {"lastOccupiedBlock", "lob", {A::kInt}, "C"},
        {"listHeadsUpDisplays", "lh", {}, "C"},
    };
    return flags;
}

// Flags the command page says stand alone.
const char* const kAlone[] = {"exists",
                              "refresh",
                              "remove",
                              "removeID",
                              "removePosition",
                              "nextFreeBlock",
                              "lastOccupiedBlock",
                              "listHeadsUpDisplays"};

const char* kCommand = "headsUpDisplay";

MelError hudError(const std::string& text) {
    return MelError(std::string(kCommand) + ": " + text);
}

HeadsUpDisplay* named(const std::string& name) {
    for (HeadsUpDisplay& d : headsUpDisplays()) {
        if (d.name == name) return &d;
    }
    return nullptr;
}

HeadsUpDisplay* at(int section, int block) {
    for (HeadsUpDisplay& d : headsUpDisplays()) {
        if (d.section == section && d.block == block) return &d;
    }
    return nullptr;
}

int checkedSection(int section) {
    if (section < 0 || section > 9) {
        throw hudError("section " + std::to_string(section) + " is not one of 0 to 9.");
    }
    return section;
}

// The position a create or an edit asks for; a block another display holds
// is refused.
void place(HeadsUpDisplay& display, const Flags& flags, const HeadsUpDisplay* self) {
    const int section =
        flags.has("section") ? checkedSection(flags.integer("section")) : display.section;
    const int block = flags.has("block") ? flags.integer("block") : display.block;
    if (block < 0) throw hudError("block " + std::to_string(block) + " is below 0.");
    const HeadsUpDisplay* holder = at(section, block);
    if (holder != nullptr && holder != self) {
        throw hudError("block " + std::to_string(block) + " of section " + std::to_string(section) +
                       " is taken by '" + holder->name + "'.");
    }
    display.section = section;
    display.block = block;
}

void applyText(HeadsUpDisplay& display, const Flags& flags) {
    if (flags.has("label")) display.label = flags.text("label");
    if (flags.has("command")) display.command = flags.text("command");
    if (flags.has("visible")) display.visible = flags.integer("visible") != 0;
}

// Runs the display's command and keeps what it returned, as a redraw shows
// it. A command that fails leaves its error line and shows nothing.
void draw(Interpreter& mel, const std::string& name) {
    HeadsUpDisplay* display = named(name);
    if (display == nullptr || display->command.empty()) return;
    const std::string command = display->command;  // the command may remove its display
    Value result;
    std::string data;
    if (mel.run(command, &result)) {
        if (isArray(result.type)) {
            for (const Value& item : result.items) {
                data += (data.empty() ? "" : " ") + item.asString();
            }
        } else {
            data = result.asString();
        }
    }
    display = named(name);
    if (display != nullptr) display->data = data;
}

HeadsUpDisplay& existing(const Flags& flags) {
    flags.needObjects(1);
    const std::string name = flags.objects[0].asString();
    HeadsUpDisplay* display = named(name);
    if (display == nullptr) throw hudError("no heads-up display named '" + name + "'.");
    return *display;
}

Value remove(const HeadsUpDisplay& display, Value result) {
    auto& all = headsUpDisplays();
    all.erase(std::find_if(all.begin(), all.end(),
                           [&](const HeadsUpDisplay& d) { return &d == &display; }));
    return result;
}

Value standAlone(Interpreter& mel, const Flags& flags, const char* flag) {
    const std::string name = flag;
    if (name == "listHeadsUpDisplays") {
        std::vector<std::string> names;
        for (const HeadsUpDisplay& d : headsUpDisplays()) names.push_back(d.name);
        return Value::ofStrings(names);
    }
    if (name == "nextFreeBlock" || name == "lastOccupiedBlock") {
        const int section = checkedSection(flags.integer(flag));
        int block = 0;
        if (name == "nextFreeBlock") {
            while (at(section, block) != nullptr) ++block;
            return Value::ofInt(block);
        }
        int last = -1;
        for (const HeadsUpDisplay& d : headsUpDisplays()) {
            if (d.section == section) last = std::max(last, d.block);
        }
        return Value::ofInt(last);
    }
    if (name == "removeID") {
        const int id = flags.integer(flag);
        for (const HeadsUpDisplay& d : headsUpDisplays()) {
            if (d.id == id) return remove(d, Value::ofInt(id));
        }
        throw hudError("no heads-up display has the ID " + std::to_string(id) + ".");
    }
    if (name == "removePosition") {
        const auto& args = flags.args(flag);
        const HeadsUpDisplay* display = at(args[0].asInt(), args[1].asInt());
        if (display == nullptr) {
            throw hudError("no heads-up display in block " + args[1].asString() + " of section " +
                           args[0].asString() + ".");
        }
        Value position = Value::emptyArray(Type::kIntArray);
        position.items = {args[0], args[1]};
        return remove(*display, position);
    }
    if (name == "exists") {
        flags.needObjects(1);
        return Value::ofInt(named(flags.objects[0].asString()) != nullptr ? 1 : 0);
    }
    HeadsUpDisplay& display = existing(flags);
    const std::string displayName = display.name;
    if (name == "remove") return remove(display, Value::ofString(displayName));
    draw(mel, displayName);  // refresh
    return Value();
}

Value query(const HeadsUpDisplay& display, const Flag& flag) {
    const std::string name = flag.name;
    if (name == "section") return Value::ofInt(display.section);
    if (name == "block") return Value::ofInt(display.block);
    if (name == "label") return Value::ofString(display.label);
    if (name == "command") return Value::ofString(display.command);
    return Value::ofInt(display.visible ? 1 : 0);
}

}  // namespace

std::vector<HeadsUpDisplay>& headsUpDisplays() {
    static std::vector<HeadsUpDisplay> displays;
    return displays;
}

void addHeadsUpDisplayCommand(Interpreter& mel) {
    mel.addCommand(kCommand, [&mel](const Invocation& call) {
        const Flags flags(call, hudFlags(), true);
        for (const char* alone : kAlone) {
            if (!flags.has(alone)) continue;
            if (flags.uses.size() != 1 || flags.query || flags.edit) {
                throw hudError(std::string("-") + alone + " cannot be combined with other flags.");
            }
            return standAlone(mel, flags, alone);
        }
        if (flags.query) return query(existing(flags), *flags.queried());
        if (flags.edit) {
            HeadsUpDisplay& display = existing(flags);
            place(display, flags, &display);
            applyText(display, flags);
            const std::string name = display.name;
            if (flags.has("command")) draw(mel, name);
            return Value();
        }
        flags.needObjects(1);
        HeadsUpDisplay display;
        display.name = flags.objects[0].asString();
        if (display.name.empty()) throw hudError("a heads-up display needs a name.");
        if (named(display.name) != nullptr) {
            throw hudError("a heads-up display named '" + display.name + "' exists already.");
        }
        if (!flags.has("section") || !flags.has("block")) {
            throw hudError("-section and -block are needed to create a heads-up display.");
        }
        place(display, flags, nullptr);
        applyText(display, flags);
        static int lastId = 0;
        display.id = ++lastId;
        headsUpDisplays().push_back(display);
        draw(mel, display.name);
        return Value::ofInt(display.id);
    });
}

}  // namespace mel
}  // namespace mayahost
