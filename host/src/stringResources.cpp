// Localizable texts: registered defaults, and the localized replacements
// that MEL's setPluginResource sets (a localized session's .pres.mel file).
#include "hostState.h"

#include <maya/MStringResource.h>
#include <maya/MStringResourceId.h>

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
    mayahost::detail::noteApiCall("MStringResource::getString", module + ":" + key);
    std::lock_guard<std::mutex> lock(h.stringsMutex);
    auto localized = h.localizedStrings.find({module, key});
    if (localized != h.localizedStrings.end()) {
        status = MStatus::kSuccess;
        return MString(localized->second.c_str());
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
