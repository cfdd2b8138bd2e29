// Values of the MEL runner: int, float, string and arrays of each.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace mayahost {
namespace mel {

enum class Type { kNone, kInt, kFloat, kString, kIntArray, kFloatArray, kStringArray };

bool isArray(Type type);
Type elementType(Type arrayType);
Type arrayOf(Type elementType);
const char* typeName(Type type);

struct Value {
    Type type = Type::kNone;
    int i = 0;
    double f = 0.0;
    std::string s;
    std::vector<Value> items;  // arrays; every item has the element type

    static Value ofInt(int v);
    static Value ofFloat(double v);
    static Value ofString(std::string v);
    static Value emptyArray(Type arrayType);
    static Value ofStrings(const std::vector<std::string>& v);

    bool isNumber() const { return type == Type::kInt || type == Type::kFloat; }
    // Conversions as MEL does them on assignment; a string that does not
    // start with a number fails (MelError) where `strict` is set.
    int asInt(bool strict = true) const;
    double asFloat(bool strict = true) const;
    std::string asString() const;
    bool truth() const;
};

// A run-time or syntax error: becomes one error line and fails the command.
struct MelError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Converts to `target` as an assignment does; arrays only to arrays.
Value convert(const Value& value, Type target);
// Floats written as MEL prints them: no trailing zeros.
std::string formatFloat(double value);
// A whole text as a MEL number: [+-]digits[.digits][e[+-]digits]; true with
// the kind (kInt or kFloat) in *type.
bool numberText(const std::string& text, Type* type);

}  // namespace mel
}  // namespace mayahost
