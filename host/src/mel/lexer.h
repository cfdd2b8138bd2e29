// Tokens of MEL source text.
#pragma once

#include <string>
#include <vector>

namespace mayahost {
namespace mel {

struct Token {
    enum class Kind { kName, kVariable, kInt, kFloat, kString, kPunct, kEnd };
    Kind kind = Kind::kEnd;
    std::string text;  // names without '$', strings unescaped, punctuation as written
    int line = 1;
    bool spaceBefore = false;  // command arguments are split at blanks
};

// Throws MelError ("Syntax error") for an unterminated string or comment, a
// character MEL does not know, or more than `maxTokens` tokens; `file` only
// names the source in the error.
std::vector<Token> tokenize(const std::string& text, const std::string& file,
                            std::size_t maxTokens);

}  // namespace mel
}  // namespace mayahost
