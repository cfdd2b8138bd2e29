#include "tools/lib/takeFileNames.h"

#include <cctype>
#include <filesystem>

namespace ztools {

namespace {

constexpr std::size_t kMaxNameLength = 100;

bool reservedOnWindows(const std::string& name) {
    // The part before the first dot names the device: "nul.ma" is NUL too.
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string safeTakeName(const std::string& name, int takeNumber) {
    std::string safe;
    for (const char c : name) {
        if (safe.size() == kMaxNameLength) break;
        const unsigned char u = static_cast<unsigned char>(c);
        const bool kept = (u < 0x80 && std::isalnum(u)) || c == '-' || c == '_' || c == '.';
        safe += kept ? c : '_';
    }
    if (safe.find_first_not_of('.') == std::string::npos) {
        return "take" + std::to_string(takeNumber);
    }
    if (safe.back() == '.') safe.back() = '_';
    if (reservedOnWindows(safe)) safe.insert(safe.begin(), '_');
    return safe;
}

std::string unusedTakePath(const std::string& folder, const std::string& base,
                           const std::vector<std::string>& extensions) {
    const std::filesystem::path dir(folder.empty() ? "." : folder);
    for (int n = 1;; ++n) {
        const std::string stem = n == 1 ? base : base + "_" + std::to_string(n);
        bool taken = false;
        for (const std::string& extension : extensions) {
            std::error_code ignored;
            taken = taken || std::filesystem::exists(dir / (stem + extension), ignored);
        }
        if (!taken) return folder.empty() ? stem : (dir / stem).string();
    }
}

}  // namespace ztools
