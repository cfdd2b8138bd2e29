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

// A timecode's text holds digits, ':' and ';'; anything else (a node whose
// attribute was edited by hand) is left out rather than break the JSON.
std::string jsonSafe(const std::string& text) {
    std::string safe;
    for (char c : text) {
        if (safe.size() < 16 && ((c >= '0' && c <= '9') || c == ':' || c == ';')) safe += c;
    }
    return safe;
}

// A JSON string literal: quotes, backslashes and control characters
// escaped; the text is the stage's, taken as UTF-8.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

bool parseTakeReportLine(const std::string& line, TakeFigures& out) {
    long long v[5] = {};
    int consumed = -1;
    if (std::sscanf(line.c_str(), kReportFormat, &v[0], &v[1], &v[2], &v[3], &v[4], &consumed) !=
            5 ||
        consumed != int(line.size()))
        return false;
    out.framesRecorded = v[0];
    out.gapsFilled = v[1];
    out.longestGapFilled = v[2];
    out.gapsUnfilled = v[3];
    out.framesLost = v[4];
    return true;
}

std::string takeFiguresJson(const TakeFigures& f) {
    char text[400];
    std::snprintf(text, sizeof text,
                  "{\n  \"framesRecorded\": %lld,\n  \"gapsFilled\": %lld,\n"
                  "  \"longestGapFilled\": %lld,\n  \"gapsUnfilled\": %lld,\n"
                  "  \"framesLost\": %lld,\n  \"startTimecode\": \"%s\",\n"
                  "  \"endTimecode\": \"%s\"",
                  static_cast<long long>(f.framesRecorded), static_cast<long long>(f.gapsFilled),
                  static_cast<long long>(f.longestGapFilled),
                  static_cast<long long>(f.gapsUnfilled), static_cast<long long>(f.framesLost),
                  jsonSafe(f.startTimecode).c_str(), jsonSafe(f.endTimecode).c_str());
    std::string json = text;
    if (f.fromStage) {
        json += ",\n  \"name\": " + jsonString(f.stage.name) +
                ",\n  \"notes\": " + jsonString(f.stage.notes) +
                ",\n  \"description\": " + jsonString(f.stage.description) +
                ",\n  \"databasePath\": " + jsonString(f.stage.databasePath) +
                ",\n  \"result\": " + jsonString(f.stage.result);
    }
    return json + "\n}\n";
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
