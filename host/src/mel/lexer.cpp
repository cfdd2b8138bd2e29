#include "mel/lexer.h"

#include "mel/value.h"

#include <cctype>

namespace mayahost {
namespace mel {

namespace {

bool nameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool nameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Longest first, so that "<=" is not read as "<" "=".
const char* const kPunctuation[] = {
    "++", "--", "+=", "-=", "*=", "/=", "==", "!=", "<=", ">=", "&&", "||", "<<", ">>",
    "+",  "-",  "*",  "/",  "%",  "<",  ">",  "=",  "!",  "(",  ")",  "[",  "]",  "{",
    "}",  ";",  ",",  "?",  ":",  "`",  ".",  "|",  "^",  "#",  "@",  "&"};

}  // namespace

std::vector<Token> tokenize(const std::string& text, const std::string& file,
                            std::size_t maxTokens) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    const std::size_t n = text.size();
    int line = 1;
    bool space = true;
    auto fail = [&](const std::string& what) {
        throw MelError((file.empty() ? "" : "file: " + file + " ") + "line " +
                       std::to_string(line) + ": Syntax error: " + what);
    };
    while (i < n) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
            space = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++i;
            space = true;
            continue;
        }
        if (c == '/' && i + 1 < n && text[i + 1] == '/') {
            while (i < n && text[i] != '\n') ++i;
            space = true;
            continue;
        }
        if (c == '/' && i + 1 < n && text[i + 1] == '*') {
            const std::size_t end = text.find("*/", i + 2);
            if (end == std::string::npos) fail("unterminated comment");
            for (std::size_t k = i; k < end; ++k) line += text[k] == '\n' ? 1 : 0;
            i = end + 2;
            space = true;
            continue;
        }
        Token token;
        token.line = line;
        token.spaceBefore = space;
        space = false;
        if (c == '"') {
            token.kind = Token::Kind::kString;
            ++i;
            bool closed = false;
            while (i < n) {
                const char d = text[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\n') fail("unterminated string");
                if (d != '\\' || i >= n) {
                    token.text.push_back(d);
                    continue;
                }
                const char e = text[i++];
                switch (e) {
                    case 'n':
                        token.text.push_back('\n');
                        break;
                    case 't':
                        token.text.push_back('\t');
                        break;
                    case 'r':
                        token.text.push_back('\r');
                        break;
                    case '"':
                    case '\\':
                        token.text.push_back(e);
                        break;
                    case '\n':
                        ++line;  // a continued line
                        break;
                    default:
                        token.text.push_back('\\');
                        token.text.push_back(e);
                        break;
                }
            }
            if (!closed) fail("unterminated string");
            // Whether Maya splits "text"0 into two arguments is documented
            // nowhere: a script must not rely on it either way.
            if (i < n && (nameChar(text[i]) || text[i] == '$' || text[i] == '"')) {
                fail("a quoted string must be followed by a blank or an operator, not '" +
                     std::string(1, text[i]) + "'");
            }
        } else if (c == '$') {
            ++i;
            if (i >= n || !nameStart(text[i])) fail("'$' without a variable name");
            token.kind = Token::Kind::kVariable;
            while (i < n && nameChar(text[i])) token.text.push_back(text[i++]);
        } else if (nameStart(c)) {
            token.kind = Token::Kind::kName;
            while (i < n && nameChar(text[i])) token.text.push_back(text[i++]);
        } else if (digit(c) || (c == '.' && i + 1 < n && digit(text[i + 1]))) {
            bool isFloat = false;
            while (i < n && digit(text[i])) token.text.push_back(text[i++]);
            if (i < n && text[i] == '.' && !(i + 1 < n && text[i + 1] == '.')) {
                isFloat = true;
                token.text.push_back(text[i++]);
                while (i < n && digit(text[i])) token.text.push_back(text[i++]);
            }
            if (i < n && (text[i] == 'e' || text[i] == 'E')) {
                std::size_t k = i + 1;
                if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
                if (k < n && digit(text[k])) {
                    isFloat = true;
                    while (i < k) token.text.push_back(text[i++]);
                    while (i < n && digit(text[i])) token.text.push_back(text[i++]);
                }
            }
            token.kind = isFloat ? Token::Kind::kFloat : Token::Kind::kInt;
        } else {
            for (const char* p : kPunctuation) {
                const std::string op(p);
                if (text.compare(i, op.size(), op) == 0) {
                    token.kind = Token::Kind::kPunct;
                    token.text = op;
                    break;
                }
            }
            if (token.kind != Token::Kind::kPunct) fail(std::string("unexpected '") + c + "'");
            i += token.text.size();
        }
        if (tokens.size() >= maxTokens) {
            fail("the script is too large (more than " + std::to_string(maxTokens) +
                 " tokens left for it)");
        }
        tokens.push_back(token);
    }
    Token end;
    end.line = line;
    end.spaceBefore = true;
    tokens.push_back(end);
    return tokens;
}

}  // namespace mel
}  // namespace mayahost
