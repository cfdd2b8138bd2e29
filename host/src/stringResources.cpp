// Localizable texts: registered defaults and localized replacements read
// from resource files.
//
// A resource file <name>.res is UTF-8 text. Each line is KEY<TAB>text; the
// text may use the escapes \n, \t and \\. A line "@module<TAB>NAME" makes the
// following keys belong to that module only; before it, keys apply to any
// module. Empty lines and lines starting with # are ignored.
#include "hostState.h"

#include <maya/MStringResource.h>
#include <maya/MStringResourceId.h>

#include <fstream>

using mayahost::detail::Access;

namespace mayahost {
namespace detail {

const MString& Access::resourceModule(const MStringResourceId& id) {
    return id.mModule;
}
const MString& Access::resourceKey(const MStringResourceId& id) {
    return id.mKey;
}
const MString& Access::resourceDefault(const MStringResourceId& id) {
    return id.mDefault;
}

namespace {

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char e = text[++i];
            if (e == 'n') {
                out.push_back('\n');
            } else if (e == 't') {
                out.push_back('\t');
            } else if (e == '\\') {
                out.push_back('\\');
            } else {
                out.push_back('\\');
                out.push_back(e);
            }
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

bool readResource(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    Host& h = host();
    std::string module;
    std::string line;
    std::lock_guard<std::mutex> lock(h.stringsMutex);
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) continue;
        std::string key = line.substr(0, tab);
        std::string text = line.substr(tab + 1);
        if (key == "@module") {
            module = text;
            continue;
        }
        h.localizedStrings[{module, key}] = unescape(text);
    }
    return true;
}

}  // namespace

void loadResourceFile(const std::string& name, const std::string& pluginFolder) {
    if (name.empty()) return;
    std::vector<std::string> folders;
    if (!pluginFolder.empty()) folders.push_back(pluginFolder);
    folders.insert(folders.end(), host().resourcePath.begin(), host().resourcePath.end());
    for (const std::string& folder : folders) {
        if (readResource(folder + "/" + name + ".res")) return;
    }
}

}  // namespace detail
}  // namespace mayahost

MAYAHOST_NS_OPEN

MStringResourceId::MStringResourceId() = default;
MStringResourceId::MStringResourceId(const char* pluginId, const char* keyString,
                                     const MString& defaultValue)
    : mModule(pluginId), mKey(keyString), mDefault(defaultValue) {}
MStringResourceId::MStringResourceId(const MStringResourceId& other) = default;
MStringResourceId& MStringResourceId::operator=(const MStringResourceId& other) = default;
bool MStringResourceId::operator==(const MStringResourceId& other) const {
    return mModule == other.mModule && mKey == other.mKey;
}
MStringResourceId::~MStringResourceId() = default;

MStringResource::MStringResource() = default;
MStringResource::~MStringResource() = default;

const MString MStringResource::getString(const MStringResourceId& id, MStatus& status) {
    auto& h = mayahost::detail::host();
    const std::string& module = Access::text(Access::resourceModule(id));
    const std::string& key = Access::text(Access::resourceKey(id));
    std::lock_guard<std::mutex> lock(h.stringsMutex);
    for (const auto& candidate :
         {std::make_pair(module, key), std::make_pair(std::string(), key)}) {
        auto localized = h.localizedStrings.find(candidate);
        if (localized != h.localizedStrings.end()) {
            status = MStatus::kSuccess;
            return MString(localized->second.c_str());
        }
    }
    auto registered = h.registeredStrings.find({module, key});
    if (registered != h.registeredStrings.end()) {
        status = MStatus::kSuccess;
        return MString(registered->second.c_str());
    }
    status = MStatus::kNotFound;
    return Access::resourceDefault(id);
}

MStatus MStringResource::registerString(const MStringResourceId& id) {
    auto& h = mayahost::detail::host();
    const std::string& key = Access::text(Access::resourceKey(id));
    if (key.empty()) return MStatus::kInvalidParameter;
    std::lock_guard<std::mutex> lock(h.stringsMutex);
    h.registeredStrings[{Access::text(Access::resourceModule(id)), key}] =
        Access::text(Access::resourceDefault(id));
    return MStatus::kSuccess;
}

MAYAHOST_NS_CLOSE
