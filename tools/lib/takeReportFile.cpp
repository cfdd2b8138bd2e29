#include "tools/lib/takeReportFile.h"

#include <cstdio>
#include <fstream>

namespace ztools {

namespace {

// The plug-in's default text of the report; the host of the tools has no
// translations.
const char* const kReportFormat =
    "Take written: %lld frames recorded, %lld gaps filled (longest %lld frames), %lld gaps left "
    "unfilled, %lld frames lost in the stream%n";

}  // namespace

bool parseTakeReportLine(const std::string& line, TakeFigures& out) {
    long long v[5] = {};
    int consumed = -1;
    if (std::sscanf(line.c_str(), kReportFormat, &v[0], &v[1], &v[2], &v[3], &v[4], &consumed) !=
            5 ||
        consumed != int(line.size()))
        return false;
    out = TakeFigures{v[0], v[1], v[2], v[3], v[4]};
    return true;
}

std::string takeFiguresJson(const TakeFigures& f) {
    char text[400];
    std::snprintf(text, sizeof text,
                  "{\n  \"framesRecorded\": %lld,\n  \"gapsFilled\": %lld,\n"
                  "  \"longestGapFilled\": %lld,\n  \"gapsUnfilled\": %lld,\n"
                  "  \"framesLost\": %lld\n}\n",
                  static_cast<long long>(f.framesRecorded), static_cast<long long>(f.gapsFilled),
                  static_cast<long long>(f.longestGapFilled),
                  static_cast<long long>(f.gapsUnfilled), static_cast<long long>(f.framesLost));
    return text;
}

bool writeTakeJson(const std::string& path, const TakeFigures& figures, std::string& error) {
    std::ofstream file(path, std::ios::binary);
    file << takeFiguresJson(figures);
    if (!file.flush()) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::string takeJsonPathBeside(const std::string& takePath) {
    const std::size_t slash = takePath.find_last_of("/\\");
    return slash == std::string::npos ? "take.json" : takePath.substr(0, slash + 1) + "take.json";
}

}  // namespace ztools
