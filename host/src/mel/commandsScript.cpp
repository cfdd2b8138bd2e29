// Scripting and system commands: source, print, warning, error, exists,
// eval, size, tokenize, clear, stringArrayToString, about, loadPlugin,
// pluginInfo.
#include "mel/flags.h"
#include "mel/humanIk.h"
#include "mel/interpreter.h"

#include "hostState.h"

#include <mayahost/host.h>

#include <fstream>

namespace mayahost {
namespace mel {

namespace {

std::string single(const Invocation& call) {
    if (call.args.size() != 1) {
        throw MelError(call.name + ": wrong number of arguments (" +
                       std::to_string(call.args.size()) + ", expected 1).");
    }
    if (isArray(call.args[0].type) || call.args[0].type == Type::kNone) {
        throw MelError(call.name + ": the argument must be a string, not " +
                       typeName(call.args[0].type) + ".");
    }
    return call.args[0].asString();
}

// HumanIK ships with Maya as the plug-in mayaHIK; the rest are plug-in
// modules given by path.
bool isHumanIkName(const std::string& name) {
    return name == "mayaHIK" || name == "mayaHIK.so" || name == "mayaHIK.mll" ||
           name == "mayaHIK.bundle";
}

Value loadPluginCommand(Interpreter& mel, const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"quiet", "qt", {}, "C"}};
    Flags flags(call, kFlags, false);
    if (flags.objects.empty()) throw MelError("loadPlugin: no plug-in given.");
    std::vector<std::string> loaded;
    for (const Value& object : flags.objects) {
        const std::string name = object.asString();
        const bool humanIk = isHumanIkName(name);
        if (humanIk ? humanIkLoaded() : isPluginLoaded(name)) {
            if (!flags.has("quiet")) {
                detail::recordInfo("Warning: Plug-in \"" + name + "\" is already loaded.");
            }
            continue;
        }
        if (humanIk) {
            std::string error;
            if (!loadHumanIk(mel, &error)) throw MelError(error);
            loaded.push_back("mayaHIK");
            continue;
        }
        if (!std::ifstream(name)) {
            throw MelError("Plug-in, \"" + name + "\", was not found on MAYA_PLUG_IN_PATH.");
        }
        if (!loadPlugin(name)) {
            throw MelError("initializePlugin function failed (" + name + ")");
        }
        std::string internal = name.substr(name.find_last_of("/\\") + 1);
        loaded.push_back(internal.substr(0, internal.find('.')));
    }
    return Value::ofStrings(loaded);
}

Value pluginInfoCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"loaded", "l", {}, "Q"},
                                             {"registered", "r", {}, "Q"}};
    Flags flags(call, kFlags, true);
    if (!flags.query) throw MelError("pluginInfo: use -query with -loaded or -registered.");
    flags.needObjects(1);
    flags.queried();
    const std::string name = flags.objects[0].asString();
    return Value::ofInt((isHumanIkName(name) ? humanIkLoaded() : isPluginLoaded(name)) ? 1 : 0);
}

Value aboutCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {
        {"batch", "b", {}, "C"},        {"version", "v", {}, "C"},
        {"apiVersion", "api", {}, "C"}, {"operatingSystem", "os", {}, "C"},
        {"linux", "li", {}, "C"},       {"windows", "win", {}, "C"},
        {"macOS", "mac", {}, "C"},      {"is64", "x64", {}, "C"}};
    Flags flags(call, kFlags, false);
    flags.needObjects(0);
    if (flags.uses.empty()) {
        detail::recordInfo("Maya 2023 (embedded host)");
        return Value();
    }
    const std::string name = flags.queried()->name;
    if (name == "batch") return Value::ofInt(detail::host().batchMode ? 1 : 0);
    if (name == "version") return Value::ofString("2023");
    if (name == "apiVersion") return Value::ofInt(20230300);
#if defined(_WIN32)
    const std::string os = "win64";
#elif defined(__APPLE__)
    const std::string os = "mac";
#else
    const std::string os = "linux64";
#endif
    if (name == "operatingSystem") return Value::ofString(os);
    if (name == "linux") return Value::ofInt(os == "linux64" ? 1 : 0);
    if (name == "windows") return Value::ofInt(os == "win64" ? 1 : 0);
    if (name == "macOS") return Value::ofInt(os == "mac" ? 1 : 0);
    return Value::ofInt(1);
}

}  // namespace

void addScriptCommands(Interpreter& mel) {
    mel.addCommand("source", [&mel](const Invocation& call) {
        const std::string name = single(call);
        if (sourceHumanIkScript(mel, name)) return Value();
        const std::string path = mel.findScript(name);
        if (path.empty()) throw MelError("Cannot find file \"" + name + "\" for source statement.");
        {
            auto& records = detail::host().records;
            std::lock_guard<std::mutex> lock(records.mutex);
            records.sourced.push_back(path);
        }
        mel.sourcePath(path);
        return Value();
    });
    mel.addCommand("print", [](const Invocation& call) {
        if (call.args.size() != 1) throw MelError("print: wrong number of arguments.");
        const Value& v = call.args[0];
        std::string text;
        if (isArray(v.type)) {
            for (const Value& item : v.items) text += item.asString() + "\n";
        } else {
            text = v.asString();
        }
        if (!text.empty() && text.back() == '\n') text.pop_back();
        detail::recordInfo(text);
        return Value();
    });
    static const std::vector<Flag> kMessageFlags = {{"noContext", "n", {}, "C"},
                                                    {"showLineNumber", "sl", {Arg::kBool}, "C"}};
    mel.addCommand("warning", [](const Invocation& call) {
        Flags flags(call, kMessageFlags, false);
        flags.needObjects(1);
        detail::recordInfo("Warning: " + flags.objects[0].asString());
        return Value();
    });
    mel.addCommand("error", [](const Invocation& call) -> Value {
        Flags flags(call, kMessageFlags, false);
        flags.needObjects(1);
        throw MelError(flags.objects[0].asString());
    });
    mel.addCommand("exists", [&mel](const Invocation& call) {
        const std::string name = single(call);
        const bool found = mel.isCommand(name) || detail::host().commands.count(name) != 0 ||
                           mel.isProcedure(name) || !mel.findScript(name).empty();
        return Value::ofInt(found ? 1 : 0);
    });
    mel.addCommand("eval", [&mel](const Invocation& call) {
        std::string text;
        for (const Value& part : call.args) text += (text.empty() ? "" : " ") + part.asString();
        return mel.evaluate(text);
    });
    mel.addCommand("size", [](const Invocation& call) {
        if (call.args.size() != 1) throw MelError("size: wrong number of arguments.");
        const Value& v = call.args[0];
        if (isArray(v.type)) return Value::ofInt(static_cast<int>(v.items.size()));
        if (v.type == Type::kString) return Value::ofInt(static_cast<int>(v.s.size()));
        throw MelError("size: the argument must be an array or a string.");
    });
    mel.addCommand("stringArrayToString", [](const Invocation& call) {
        // Its parameter is string[]: other arrays convert as for any procedure.
        if (call.args.size() != 2 || !isArray(call.args[0].type)) {
            throw MelError("stringArrayToString: a string array and a separator are needed.");
        }
        const Value strings = convert(call.args[0], Type::kStringArray);
        std::string out;
        for (std::size_t k = 0; k < strings.items.size(); ++k) {
            out += (k > 0 ? call.args[1].asString() : "") + strings.items[k].s;
        }
        return Value::ofString(out);
    });
    mel.addCommand("loadPlugin",
                   [&mel](const Invocation& call) { return loadPluginCommand(mel, call); });
    mel.addCommand("pluginInfo", pluginInfoCommand);
    mel.addCommand("about", aboutCommand);
    // Both write into their array argument, which the interpreter handles;
    // reaching these means that argument was not an array variable.
    for (const char* name : {"tokenize", "clear"}) {
        mel.addCommand(name, [](const Invocation& call) -> Value {
            throw MelError(call.name + ": wrong arguments; the last must be an array variable.");
        });
    }
}

}  // namespace mel
}  // namespace mayahost
