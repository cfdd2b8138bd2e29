// The command-line parser of the host: a command text is one or more
// procedure calls separated by ';', each a name followed by arguments.
// Arguments are numbers (integers or floats, possibly negative), strings in
// double quotes with the escapes \" \\ \n \t \r, or bare words (taken as
// strings). A closing quote ends an argument even when no blank follows.
#pragma once

#include <string>
#include <vector>

namespace mayahost {

struct MelArgument {
    enum class Kind { kInt, kFloat, kString };
    Kind kind;
    std::string text;  // the string's content, or the number as written
};

struct MelCall {
    std::string procedure;
    std::vector<MelArgument> arguments;
};

// False, with a message in *error, for a text that does not parse (no
// procedure name, an unterminated string). An empty text gives no calls.
bool parseMel(const std::string& text, std::vector<MelCall>& calls, std::string* error = nullptr);

}  // namespace mayahost
