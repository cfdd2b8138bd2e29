#include "tools/lib/bvhFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ztools {

namespace {

constexpr int kMaxJoints = 4096;
constexpr int kMaxDepth = 256;

struct Token {
    std::string text;
    int line;
};

std::vector<Token> tokenize(const std::string& text) {
    std::vector<Token> tokens;
    int line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '{' || c == '}') {
            tokens.push_back({std::string(1, c), line});
            ++i;
        } else {
            std::size_t j = i;
            while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != '\r' &&
                   text[j] != '\n' && text[j] != '{' && text[j] != '}')
                ++j;
            std::string word = text.substr(i, j - i);
            // "Frames:" and "Frame Time:" read as plain words; joint names
            // may hold colons of their own.
            if (word == "Frames:" || word == "Time:") word.pop_back();
            if (word != ":") tokens.push_back({word, line});
            i = j;
        }
    }
    return tokens;
}

bool toNumber(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && errno != ERANGE && std::isfinite(out);
}

bool channelFromName(const std::string& name, BvhChannel& out) {
    static const char* const kNames[] = {"Xposition", "Yposition", "Zposition",
                                         "Xrotation", "Yrotation", "Zrotation"};
    for (int i = 0; i < 6; ++i)
        if (name == kNames[i]) {
            out = static_cast<BvhChannel>(i);
            return true;
        }
    return false;
}

const char* channelName(BvhChannel c) {
    static const char* const kNames[] = {"Xposition", "Yposition", "Zposition",
                                         "Xrotation", "Yrotation", "Zrotation"};
    return kNames[static_cast<int>(c)];
}

class Parser {
public:
    Parser(std::vector<Token> tokens, BvhMotion& out) : mTokens(std::move(tokens)), mOut(out) {}

    bool run(std::string& error) {
        if (!expectWord("HIERARCHY") || !expectWord("ROOT")) return fail(error);
        if (!joint(-1, 0)) return fail(error);
        if (!expectWord("MOTION") || !expectWord("Frames")) return fail(error);
        double frames = 0.0;
        if (!number(frames) || frames < 0 || frames != std::floor(frames) || frames > 1e7) {
            mMessage = "bad frame count";
            return fail(error);
        }
        if (!expectWord("Frame") || !expectWord("Time")) return fail(error);
        if (!number(mOut.frameTime) || !(mOut.frameTime > 0.0)) {
            mMessage = "frame time must be a positive number";
            return fail(error);
        }
        mOut.frameCount = static_cast<int>(frames);
        const std::size_t needed = std::size_t(mOut.frameCount) * mOut.skeleton.channelCount;
        if (mTokens.size() - mPos < needed) {
            mMessage = "the file declares " + std::to_string(mOut.frameCount) +
                       " frames but holds fewer channel values";
            return fail(error);
        }
        mOut.values.resize(needed);
        for (std::size_t i = 0; i < needed; ++i)
            if (!number(mOut.values[i])) return fail(error);
        if (mPos != mTokens.size()) {
            mMessage = "unexpected text after the last frame";
            return fail(error);
        }
        return true;
    }

private:
    bool fail(std::string& error) {
        const int line = mPos < mTokens.size() ? mTokens[mPos].line
                                               : (mTokens.empty() ? 1 : mTokens.back().line);
        error = "line " + std::to_string(line) + ": " + mMessage;
        return false;
    }
    bool more() {
        if (mPos < mTokens.size()) return true;
        mMessage = "unexpected end of file";
        return false;
    }
    bool expectWord(const char* word) {
        if (!more()) return false;
        if (mTokens[mPos].text != word) {
            mMessage = std::string("expected ") + word + ", found '" + mTokens[mPos].text + "'";
            return false;
        }
        ++mPos;
        return true;
    }
    bool number(double& out) {
        if (!more()) return false;
        if (!toNumber(mTokens[mPos].text, out)) {
            mMessage = "expected a number, found '" + mTokens[mPos].text + "'";
            return false;
        }
        ++mPos;
        return true;
    }
    bool vec(Vec3& v) { return number(v.x) && number(v.y) && number(v.z); }

    bool joint(int parent, int depth) {
        if (depth > kMaxDepth) {
            mMessage = "hierarchy nested too deeply";
            return false;
        }
        if (!more()) return false;
        BvhJoint j;
        j.name = mTokens[mPos++].text;
        j.parent = parent;
        if (!expectWord("{") || !expectWord("OFFSET") || !vec(j.offset)) return false;
        if (!expectWord("CHANNELS")) return false;
        double count = 0;
        if (!number(count) || count < 0 || count > 6 || count != std::floor(count)) {
            mMessage = "a joint has 0 to 6 channels";
            return false;
        }
        for (int c = 0; c < int(count); ++c) {
            if (!more()) return false;
            BvhChannel ch;
            if (!channelFromName(mTokens[mPos].text, ch)) {
                mMessage = "unknown channel '" + mTokens[mPos].text + "'";
                return false;
            }
            j.channels.push_back(ch);
            ++mPos;
        }
        if (int(mOut.skeleton.joints.size()) >= kMaxJoints) {
            mMessage = "more than 4096 joints";
            return false;
        }
        j.firstChannel = mOut.skeleton.channelCount;
        mOut.skeleton.channelCount += int(j.channels.size());
        const int index = int(mOut.skeleton.joints.size());
        mOut.skeleton.joints.push_back(j);
        for (;;) {
            if (!more()) return false;
            const std::string& t = mTokens[mPos].text;
            if (t == "}") {
                ++mPos;
                return true;
            }
            if (t == "JOINT") {
                ++mPos;
                if (!joint(index, depth + 1)) return false;
            } else if (t == "End") {
                ++mPos;
                Vec3 site;
                if (!expectWord("Site") || !expectWord("{") || !expectWord("OFFSET") ||
                    !vec(site) || !expectWord("}"))
                    return false;
                mOut.skeleton.joints[index].hasEndSite = true;
                mOut.skeleton.joints[index].endSite = site;
            } else {
                mMessage = "expected JOINT, End Site or }, found '" + t + "'";
                return false;
            }
        }
    }

    std::vector<Token> mTokens;
    std::size_t mPos = 0;
    BvhMotion& mOut;
    std::string mMessage;
};

std::string formatNumber(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

void writeJoint(const BvhMotion& m, int index, int depth, std::string& out) {
    const BvhJoint& j = m.skeleton.joints[index];
    const std::string indent(depth, '\t');
    out += indent + (j.parent < 0 ? "ROOT " : "JOINT ") + j.name + "\n" + indent + "{\n";
    out += indent + "\tOFFSET " + formatNumber(j.offset.x) + " " + formatNumber(j.offset.y) + " " +
           formatNumber(j.offset.z) + "\n";
    out += indent + "\tCHANNELS " + std::to_string(j.channels.size());
    for (BvhChannel c : j.channels) out += std::string(" ") + channelName(c);
    out += "\n";
    for (std::size_t c = 0; c < m.skeleton.joints.size(); ++c)
        if (m.skeleton.joints[c].parent == index) writeJoint(m, int(c), depth + 1, out);
    if (j.hasEndSite) {
        out += indent + "\tEnd Site\n" + indent + "\t{\n" + indent + "\t\tOFFSET " +
               formatNumber(j.endSite.x) + " " + formatNumber(j.endSite.y) + " " +
               formatNumber(j.endSite.z) + "\n" + indent + "\t}\n";
    }
    out += indent + "}\n";
}

}  // namespace

int BvhSkeleton::find(const std::string& name) const {
    for (std::size_t i = 0; i < joints.size(); ++i)
        if (joints[i].name == name) return int(i);
    return -1;
}

bool parseBvh(const std::string& text, BvhMotion& out, std::string& error) {
    out = BvhMotion{};
    Parser parser(tokenize(text), out);
    if (parser.run(error)) return true;
    out = BvhMotion{};
    return false;
}

bool readBvhFile(const std::string& path, BvhMotion& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!parseBvh(text.str(), out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::string writeBvh(const BvhMotion& m) {
    std::string out = "HIERARCHY\n";
    if (!m.skeleton.joints.empty()) writeJoint(m, 0, 0, out);
    out += "MOTION\nFrames: " + std::to_string(m.frameCount) +
           "\nFrame Time: " + formatNumber(m.frameTime) + "\n";
    const int n = m.skeleton.channelCount;
    for (int f = 0; f < m.frameCount; ++f) {
        const double* row = m.frame(f);
        for (int c = 0; c < n; ++c) {
            if (c) out += ' ';
            out += formatNumber(row[c]);
        }
        out += '\n';
    }
    return out;
}

bool writeBvhFile(const std::string& path, const BvhMotion& motion, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    out << writeBvh(motion);
    out.flush();
    if (!out) {
        error = "error while writing " + path;
        return false;
    }
    return true;
}

}  // namespace ztools
