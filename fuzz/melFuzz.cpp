// The embedded host's MEL runner on any text: scripts are user code, so no
// input may crash it, overflow, or leave an exception past the run. Each
// input runs in a fresh host.
#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Nothing on the script path: a call of an unknown name stays unknown.
    mayahost::setScriptPath({});
    // Limits far below the defaults, so that a loop that fills the scene,
    // an array or a text ends within the fuzzer's time per input; the
    // defaults' own bounds are the runner's tests' to check.
    mayahost::MelLimits limits;
    limits.statements = 20000;
    limits.arrayItems = 100000;
    limits.textBytes = 1u << 20;
    mayahost::setMelLimits(limits);
    const std::string text(reinterpret_cast<const char*>(data), size);
    mayahost::runMel(text);
    mayahost::takeRuleBreaches();
    mayahost::reset();
    return 0;
}
