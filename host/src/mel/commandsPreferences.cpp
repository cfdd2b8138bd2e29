// optionVar: the preferences that outlive a scene and a plug-in's unload.
// Modelled on Maya's documented command ("optionVar", Maya Commands
// reference): -intValue/-floatValue/-stringValue create or overwrite a
// variable whatever its type, -exists answers 0 or 1, -remove deletes,
// -list gives the names, -query of a name gives its value, and removals run
// before settings. What -query answers for a name that does not exist is not
// documented (commonly 0): the host, being strict, refuses it, so callers
// ask -exists first. Arrays (-*Append) are not modelled.
#include "mel/flags.h"
#include "mel/interpreter.h"

#include <map>
#include <mutex>

namespace mayahost {
namespace mel {

namespace {

std::mutex gMutex;
std::map<std::string, Value>& variables() {
    static std::map<std::string, Value>* store = new std::map<std::string, Value>;
    return *store;
}

Value optionVarCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {
        {"intValue", "iv", {Arg::kString, Arg::kInt}, "CM"},
        {"floatValue", "fv", {Arg::kString, Arg::kFloat}, "CM"},
        {"stringValue", "sv", {Arg::kString, Arg::kString}, "CM"},
        {"exists", "ex", {Arg::kString}, "C"},
        {"remove", "rm", {Arg::kString}, "CM"},
        {"list", "l", {}, "C"}};
    Flags flags(call, kFlags, true);
    std::lock_guard<std::mutex> lock(gMutex);
    auto& store = variables();
    if (flags.query) {
        flags.needObjects(1);
        const auto found = store.find(flags.objects[0].asString());
        if (found == store.end()) {
            throw MelError("optionVar: no preference named \"" + flags.objects[0].asString() +
                           "\"; ask -exists first.");
        }
        return found->second;
    }
    flags.needObjects(0);
    // "All other flags will be ignored if this is used."
    if (flags.has("exists")) return Value::ofInt(store.count(flags.text("exists")) != 0 ? 1 : 0);
    if (flags.has("list")) {
        std::vector<std::string> names;
        for (const auto& entry : store) names.push_back(entry.first);
        return Value::ofStrings(names);
    }
    for (const FlagUse* use : flags.all("remove")) store.erase(use->args.at(0).asString());
    for (const FlagUse& use : flags.uses) {
        const std::string name = use.args.at(0).asString();
        const std::string flag = use.flag->name;
        if (flag == "intValue") store[name] = Value::ofInt(use.args.at(1).asInt());
        if (flag == "floatValue") store[name] = Value::ofFloat(use.args.at(1).asFloat());
        if (flag == "stringValue") store[name] = Value::ofString(use.args.at(1).asString());
    }
    return Value();
}

}  // namespace

void addPreferenceCommands(Interpreter& mel) {
    mel.addCommand("optionVar", optionVarCommand);
}

void clearPreferences() {
    std::lock_guard<std::mutex> lock(gMutex);
    variables().clear();
}

}  // namespace mel
}  // namespace mayahost
