// Plug-in resources: the MEL side of the host's string table, shared with
// MStringResource (same plug-in name and key, same localized override).
#include "mel/interpreter.h"

#include "hostState.h"

namespace mayahost {
namespace mel {

namespace {

std::vector<std::string> strings(const Invocation& call, std::size_t count) {
    if (call.args.size() != count) {
        throw MelError(call.name + ": wrong number of arguments (" +
                       std::to_string(call.args.size()) + ", expected " + std::to_string(count) +
                       ").");
    }
    std::vector<std::string> out;
    for (const Value& a : call.args) {
        if (a.type != Type::kString) {
            throw MelError(call.name + ": arguments must be strings, not " + typeName(a.type) +
                           ".");
        }
        out.push_back(a.s);
    }
    return out;
}

std::string notRegistered(const std::string& plugin, const std::string& key) {
    return "Plug-in resource lookup failed, resource (\"" + plugin + "\",\"" + key +
           "\") is not registered";
}

}  // namespace

void addResourceCommands(Interpreter& mel) {
    mel.addCommand("registerPluginResource", [](const Invocation& call) {
        const auto a = strings(call, 3);
        auto& h = detail::host();
        std::lock_guard<std::mutex> lock(h.stringsMutex);
        h.registeredStrings[{a[0], a[1]}] = a[2];
        return Value();
    });
    mel.addCommand("setPluginResource", [](const Invocation& call) {
        const auto a = strings(call, 3);
        auto& h = detail::host();
        std::lock_guard<std::mutex> lock(h.stringsMutex);
        if (h.registeredStrings.count({a[0], a[1]}) == 0) throw MelError(notRegistered(a[0], a[1]));
        h.localizedStrings[{a[0], a[1]}] = a[2];
        return Value();
    });
    mel.addCommand("getPluginResource", [](const Invocation& call) {
        const auto a = strings(call, 2);
        auto& h = detail::host();
        std::lock_guard<std::mutex> lock(h.stringsMutex);
        auto localized = h.localizedStrings.find({a[0], a[1]});
        if (localized != h.localizedStrings.end()) return Value::ofString(localized->second);
        auto registered = h.registeredStrings.find({a[0], a[1]});
        if (registered == h.registeredStrings.end()) throw MelError(notRegistered(a[0], a[1]));
        return Value::ofString(registered->second);
    });
    // The host's resource path stands for MAYA_PLUG_IN_RESOURCE_PATH of a
    // localized session; empty, the session runs in English and nothing is
    // loaded, as in Maya.
    mel.addCommand("loadPluginLanguageResources", [&mel](const Invocation& call) {
        const auto a = strings(call, 2);
        for (const std::string& folder : detail::host().resourcePath) {
            const std::string path = mel.findScript(folder + "/" + a[1]);
            if (!path.empty()) {
                mel.sourcePath(path);
                break;
            }
        }
        return Value();
    });
}

}  // namespace mel
}  // namespace mayahost
