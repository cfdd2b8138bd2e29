#include "tools/lib/mayaAsciiWriter.h"

#include <cstdio>
#include <fstream>

namespace ztools {

namespace {

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

bool isRotationCurve(const std::string& name) {
    const std::size_t n = name.size();
    return n >= 3 && name.compare(n - 3, 2, "_r") == 0 &&
           (name[n - 1] == 'x' || name[n - 1] == 'y' || name[n - 1] == 'z');
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string mayaTimeUnit(int fps) {
    switch (fps) {
        case 15:
            return "game";
        case 24:
            return "film";
        case 25:
            return "pal";
        case 30:
            return "ntsc";
        case 48:
            return "show";
        case 50:
            return "palf";
        case 60:
            return "ntscf";
        default:
            return std::to_string(fps) + "fps";
    }
}

std::string writeMayaAscii(const std::vector<TakeCurve>& curves, int fps,
                           const std::string& fileName) {
    std::string out;
    out += "//Maya ASCII 2023 scene\n";
    out += "//Name: " + fileName + "\n";
    out += "//Codeset: UTF-8\n";
    out += "requires maya \"2023\";\n";
    out += "currentUnit -l centimeter -a degree -t " + mayaTimeUnit(fps) + ";\n";
    out += "fileInfo \"application\" \"maya\";\n";
    out += "fileInfo \"product\" \"Maya 2023\";\n";
    out += "fileInfo \"version\" \"2023\";\n";
    for (const TakeCurve& c : curves) {
        const char* type = isRotationCurve(c.name) ? "animCurveTA" : "animCurveTL";
        out += std::string("createNode ") + type + " -n \"" + c.name + "\";\n";
        out += "\tsetAttr \".tan\" 18;\n";
        out += "\tsetAttr \".wgt\" no;\n";
        if (c.keys.empty()) continue;
        const std::size_t n = c.keys.size();
        out += "\tsetAttr -s " + std::to_string(n) + " \".ktv[0:" + std::to_string(n - 1) + "]\" ";
        // Wrapped as the host wraps long value lists: a few pairs per line.
        for (std::size_t i = 0; i < n; ++i) {
            if (i % 4 == 0 && i) out += "\n\t\t";
            out += " " + number(c.keys[i].first) + " " + number(c.keys[i].second);
        }
        out += ";\n";
    }
    out += "// End of " + fileName + "\n";
    return out;
}

bool writeMayaAsciiFile(const std::string& path, const std::vector<TakeCurve>& curves, int fps,
                        std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    out << writeMayaAscii(curves, fps, baseName(path));
    out.flush();
    if (!out) {
        error = "error while writing " + path;
        return false;
    }
    return true;
}

}  // namespace ztools
