// Parsing of command texts into procedure calls.
#include <mayahost/melParser.h>

#include <cctype>

namespace mayahost {

namespace {

bool isNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A number as the whole token: [+-]digits[.digits][e[+-]digits] or [+-].digits...
bool numberKind(const std::string& token, MelArgument::Kind& kind) {
    std::size_t i = 0;
    if (i < token.size() && (token[i] == '-' || token[i] == '+')) ++i;
    bool digits = false;
    bool isFloat = false;
    while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) {
        ++i;
        digits = true;
    }
    if (i < token.size() && token[i] == '.') {
        isFloat = true;
        ++i;
        while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) {
            ++i;
            digits = true;
        }
    }
    if (!digits) return false;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        isFloat = true;
        ++i;
        if (i < token.size() && (token[i] == '-' || token[i] == '+')) ++i;
        bool exponent = false;
        while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) {
            ++i;
            exponent = true;
        }
        if (!exponent) return false;
    }
    if (i != token.size()) return false;
    kind = isFloat ? MelArgument::Kind::kFloat : MelArgument::Kind::kInt;
    return true;
}

void fail(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
}

}  // namespace

bool parseMel(const std::string& text, std::vector<MelCall>& calls, std::string* error) {
    calls.clear();
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        while (i < n && (isSpace(text[i]) || text[i] == ';')) ++i;
        if (i >= n) break;
        if (!isNameStart(text[i])) {
            fail(error,
                 "Syntax error: expected a procedure name at \"" + text.substr(i, 20) + "\"");
            return false;
        }
        MelCall call;
        while (i < n && isNameChar(text[i])) call.procedure.push_back(text[i++]);
        for (;;) {
            while (i < n && isSpace(text[i])) ++i;
            if (i >= n || text[i] == ';') break;
            MelArgument argument{MelArgument::Kind::kString, std::string()};
            if (text[i] == '"') {
                ++i;
                bool closed = false;
                while (i < n) {
                    char c = text[i++];
                    if (c == '"') {
                        closed = true;
                        break;
                    }
                    if (c == '\\' && i < n) {
                        char e = text[i++];
                        switch (e) {
                            case 'n':
                                argument.text.push_back('\n');
                                break;
                            case 't':
                                argument.text.push_back('\t');
                                break;
                            case 'r':
                                argument.text.push_back('\r');
                                break;
                            case '"':
                                argument.text.push_back('"');
                                break;
                            case '\\':
                                argument.text.push_back('\\');
                                break;
                            default:
                                argument.text.push_back('\\');
                                argument.text.push_back(e);
                                break;
                        }
                    } else {
                        argument.text.push_back(c);
                    }
                }
                if (!closed) {
                    fail(error, "Syntax error: unterminated string in call to " + call.procedure);
                    return false;
                }
            } else {
                // A bare token ends at a blank, a ';' or an opening quote.
                while (i < n && !isSpace(text[i]) && text[i] != ';' && text[i] != '"') {
                    argument.text.push_back(text[i++]);
                }
                MelArgument::Kind kind;
                if (numberKind(argument.text, kind)) argument.kind = kind;
            }
            call.arguments.push_back(std::move(argument));
        }
        calls.push_back(std::move(call));
    }
    return true;
}

}  // namespace mayahost
