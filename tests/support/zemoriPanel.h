// The module's UI scripts in the embedded host, for tests that watch what
// the plug-in shows: sourcing them from the source tree, opening a device's
// panel, and reading that panel's controls.
#pragma once

#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zemoritest {

// Puts the scripts on the script path and sources the three the plug-in
// sources; with `strings`, also runs ZemoriMayaInitStrings (which
// registerUIStrings otherwise runs).
inline void loadUiScripts(bool strings) {
    mayahost::setScriptPath({ZEMORI_UI_SCRIPTS});
    std::string text = "source SkeletonHelpers; source UIManagement; source UICallbacks;";
    if (strings) text += " ZemoriMayaInitStrings;";
    ASSERT_TRUE(mayahost::runMel(text)) << ::testing::PrintToString(mayahost::errorLines());
}

inline void openPanel(const std::string& nodeName) {
    ASSERT_TRUE(mayahost::runMel("zemoriOpenPanel " + nodeName))
        << ::testing::PrintToString(mayahost::errorLines());
}

// How many times the plug-in's `procedure` ran for this device id.
inline int posted(const std::string& procedure, int deviceId) {
    const std::string id = std::to_string(deviceId);
    int count = 0;
    for (const std::string& command : mayahost::commandLog()) {
        if (command.rfind(procedure + " ", 0) != 0) continue;
        // Texts end in `" <id>`; flags commands are `<procedure> <id> <flag>`.
        const std::size_t quote = command.rfind('"');
        const std::string tail = quote != std::string::npos
                                     ? command.substr(quote + 2)
                                     : command.substr(procedure.size() + 1, id.size());
        if (tail == id) ++count;
    }
    return count;
}

struct PanelState {
    bool exists = false;
    std::string status;
    std::string summary;
    bool bindButtonEnabled = false;
    bool liveChecked = false;
    std::string ipList;  // as the plug-in sent it: heading, then tab-separated addresses
    int statusUpdates = 0;
    int ipListUpdates = 0;
};

inline PanelState panelState(int deviceId) {
    const std::string id = std::to_string(deviceId);
    PanelState state;
    state.exists = mayahost::control("zemoriPanel" + id).exists;
    state.status = mayahost::control("zemoriStatus" + id).label;
    state.summary = mayahost::control("zemoriSummary" + id).label;
    state.bindButtonEnabled = mayahost::control("zemoriBind" + id).enabled;
    state.liveChecked = mayahost::control("zemoriLive" + id).value != 0;
    state.ipList = mayahost::control("zemoriIpHeading" + id).label;
    for (const std::string& address : mayahost::control("zemoriIps" + id).items) {
        state.ipList += "\t\t\t" + address;
    }
    state.statusUpdates = posted("displayMessage", deviceId);
    state.ipListUpdates = posted("displayAvailableIPs", deviceId);
    return state;
}

}  // namespace zemoritest
