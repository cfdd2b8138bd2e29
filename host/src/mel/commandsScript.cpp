// Scripting commands: source, print, warning, error, exists, eval, size,
// tokenize, clear, stringArrayToString.
#include "mel/flags.h"
#include "mel/interpreter.h"

#include "hostState.h"

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

}  // namespace

void addScriptCommands(Interpreter& mel) {
    mel.addCommand("source", [&mel](const Invocation& call) {
        const std::string name = single(call);
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
