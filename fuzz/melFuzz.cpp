// The embedded host's MEL runner on any text: scripts are user code, so no
// input may crash it, overflow, or leave an exception past the run. Each
// input runs in a fresh host.
#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        // Nothing on the script path: a call of an unknown name stays unknown.
        mayahost::setScriptPath({});
        return true;
    }();
    (void)quiet;
    const std::string text(reinterpret_cast<const char*>(data), size);
    mayahost::runMel(text);
    mayahost::takeRuleBreaches();
    mayahost::reset();
    return 0;
}
