// The embedded host's MEL runner on any text: scripts are user code, so no
// input may crash it, overflow, or leave an exception past the run. Each
// input runs in a fresh host.
#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

// A folder of this process's own, holding the input as `self.mel`.
std::string selfFolder() {
    static const std::string folder = [] {
        const auto path = std::filesystem::temp_directory_path() /
                          ("zemori-fuzz-mel-" + std::to_string(std::random_device()()));
        std::filesystem::create_directories(path);
        return path.generic_string();
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The script path holds the input itself and nothing else: `source self`
    // and a call of `self` run it again, any other unknown name stays unknown.
    std::ofstream(selfFolder() + "/self.mel", std::ios::binary) << text;
    mayahost::setScriptPath({selfFolder()});
    // Limits far below the defaults, so that a loop that fills the scene,
    // an array or a text ends within the fuzzer's time per input; the
    // defaults' own bounds are the runner's tests' to check.
    mayahost::MelLimits limits;
    limits.statements = 20000;
    limits.arrayItems = 100000;
    limits.textBytes = 1u << 20;
    mayahost::setMelLimits(limits);
    mayahost::runMel(text);
    mayahost::takeRuleBreaches();
    mayahost::reset();
    return 0;
}
