// A small reader of Maya ASCII scenes for the tests: the header lines, the
// time unit and the animation curve nodes with their keys. It reads statements
// as the host writes them (split at ';' outside quotes) and fails loudly on
// what it does not understand inside a curve.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace ztools::testing {

struct MaCurve {
    std::string type;
    std::string name;
    std::map<std::string, std::string> attributes;  // ".tan" -> "18"
    int declaredKeys = -1;                          // the -s count
    std::vector<std::pair<double, double>> keys;
};

struct MaScene {
    std::string firstLine;
    std::string requires;
    std::string timeUnit, linearUnit, angularUnit;
    std::vector<MaCurve> curves;
    std::string error;  // empty when the scene was read
};

inline std::vector<std::string> splitWords(const std::string& s) {
    std::vector<std::string> words;
    std::string w;
    bool quoted = false;
    for (char c : s) {
        if (c == '"') {
            quoted = !quoted;
            w += c;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (!w.empty()) words.push_back(w);
            w.clear();
        } else {
            w += c;
        }
    }
    if (!w.empty()) words.push_back(w);
    return words;
}

inline std::string unquote(const std::string& s) {
    return s.size() >= 2 && s.front() == '"' && s.back() == '"' ? s.substr(1, s.size() - 2) : s;
}

inline MaScene readMayaAscii(const std::string& text) {
    MaScene scene;
    scene.firstLine = text.substr(0, text.find('\n'));
    // Drop comment lines, then split into statements.
    std::string body;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("//", 0) != 0) body += line + "\n";
    std::vector<std::string> statements;
    std::string current;
    bool quoted = false;
    for (char c : body) {
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) {
            statements.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (splitWords(current).size()) scene.error = "text after the last statement";
    for (const std::string& st : statements) {
        const std::vector<std::string> w = splitWords(st);
        if (w.empty()) continue;
        if (w[0] == "requires" && w.size() == 3 && w[1] == "maya") {
            scene.requires = unquote(w[2]);
        } else if (w[0] == "currentUnit") {
            for (std::size_t i = 1; i + 1 < w.size(); i += 2) {
                if (w[i] == "-l") scene.linearUnit = w[i + 1];
                if (w[i] == "-a") scene.angularUnit = w[i + 1];
                if (w[i] == "-t") scene.timeUnit = w[i + 1];
            }
        } else if (w[0] == "createNode") {
            if (w.size() != 4 || w[2] != "-n") {
                scene.error = "unexpected createNode: " + st;
                return scene;
            }
            scene.curves.push_back({w[1], unquote(w[3]), {}, -1, {}});
        } else if (w[0] == "setAttr") {
            if (scene.curves.empty()) {
                scene.error = "setAttr before any node";
                return scene;
            }
            MaCurve& c = scene.curves.back();
            if (w.size() == 3) {
                c.attributes[unquote(w[1])] = w[2];
            } else if (w.size() >= 4 && w[1] == "-s") {
                c.declaredKeys = std::stoi(w[2]);
                const std::string range = unquote(w[3]);
                const std::string expected = ".ktv[0:" + std::to_string(c.declaredKeys - 1) + "]";
                if (range != expected || (w.size() - 4) % 2 != 0) {
                    scene.error = "bad key list on " + c.name;
                    return scene;
                }
                for (std::size_t i = 4; i + 1 < w.size(); i += 2)
                    c.keys.emplace_back(std::stod(w[i]), std::stod(w[i + 1]));
            } else {
                scene.error = "unexpected setAttr: " + st;
                return scene;
            }
        } else if (w[0] != "fileInfo") {
            scene.error = "unexpected statement: " + w[0];
            return scene;
        }
    }
    return scene;
}

}  // namespace ztools::testing
