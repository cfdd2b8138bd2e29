#include "mel/value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace mayahost {
namespace mel {

bool isArray(Type type) {
    return type == Type::kIntArray || type == Type::kFloatArray || type == Type::kStringArray;
}

Type elementType(Type arrayType) {
    switch (arrayType) {
        case Type::kIntArray:
            return Type::kInt;
        case Type::kFloatArray:
            return Type::kFloat;
        case Type::kStringArray:
            return Type::kString;
        default:
            return arrayType;
    }
}

Type arrayOf(Type element) {
    switch (element) {
        case Type::kInt:
            return Type::kIntArray;
        case Type::kFloat:
            return Type::kFloatArray;
        case Type::kString:
            return Type::kStringArray;
        default:
            return element;
    }
}

const char* typeName(Type type) {
    switch (type) {
        case Type::kInt:
            return "int";
        case Type::kFloat:
            return "float";
        case Type::kString:
            return "string";
        case Type::kIntArray:
            return "int[]";
        case Type::kFloatArray:
            return "float[]";
        case Type::kStringArray:
            return "string[]";
        default:
            return "nothing";
    }
}

Value Value::ofInt(int v) {
    Value r;
    r.type = Type::kInt;
    r.i = v;
    return r;
}

Value Value::ofFloat(double v) {
    Value r;
    r.type = Type::kFloat;
    r.f = v;
    return r;
}

Value Value::ofString(std::string v) {
    Value r;
    r.type = Type::kString;
    r.s = std::move(v);
    return r;
}

Value Value::emptyArray(Type arrayType) {
    Value r;
    r.type = arrayType;
    return r;
}

Value Value::ofStrings(const std::vector<std::string>& v) {
    Value r = emptyArray(Type::kStringArray);
    for (const std::string& s : v) r.items.push_back(ofString(s));
    return r;
}

bool numberText(const std::string& text, Type* type) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto digit = [&](std::size_t k) {
        return k < n && std::isdigit(static_cast<unsigned char>(text[k]));
    };
    if (i < n && (text[i] == '-' || text[i] == '+')) ++i;
    bool digits = false;
    bool isFloat = false;
    while (digit(i)) {
        ++i;
        digits = true;
    }
    if (i < n && text[i] == '.') {
        isFloat = true;
        ++i;
        while (digit(i)) {
            ++i;
            digits = true;
        }
    }
    if (!digits) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        isFloat = true;
        ++i;
        if (i < n && (text[i] == '-' || text[i] == '+')) ++i;
        if (!digit(i)) return false;
        while (digit(i)) ++i;
    }
    if (i != n) return false;
    if (type != nullptr) *type = isFloat ? Type::kFloat : Type::kInt;
    return true;
}

namespace {

double stringNumber(const std::string& s, const char* target, bool strict) {
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end == s.c_str() && strict) {
        throw MelError("Cannot convert data of type string to type " + std::string(target) +
                       ": \"" + s + "\".");
    }
    return end == s.c_str() ? 0.0 : v;
}

int truncate(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

}  // namespace

int Value::asInt(bool strict) const {
    switch (type) {
        case Type::kInt:
            return i;
        case Type::kFloat:
            return truncate(f);
        case Type::kString:
            return truncate(stringNumber(s, "int", strict));
        default:
            throw MelError(std::string("Cannot convert data of type ") + typeName(type) +
                           " to type int.");
    }
}

double Value::asFloat(bool strict) const {
    switch (type) {
        case Type::kInt:
            return i;
        case Type::kFloat:
            return f;
        case Type::kString:
            return stringNumber(s, "float", strict);
        default:
            throw MelError(std::string("Cannot convert data of type ") + typeName(type) +
                           " to type float.");
    }
}

std::string formatFloat(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

std::string Value::asString() const {
    switch (type) {
        case Type::kInt:
            return std::to_string(i);
        case Type::kFloat:
            return formatFloat(f);
        case Type::kString:
            return s;
        case Type::kNone:
            return "";
        default: {
            std::string out;
            for (std::size_t k = 0; k < items.size(); ++k) {
                if (k > 0) out += ' ';
                out += items[k].asString();
            }
            return out;
        }
    }
}

bool Value::truth() const {
    switch (type) {
        case Type::kInt:
            return i != 0;
        case Type::kFloat:
            return f != 0.0;
        case Type::kString:
            return !s.empty();
        case Type::kNone:
            return false;
        default:
            return !items.empty();
    }
}

Value convert(const Value& value, Type target) {
    if (value.type == target) return value;
    switch (target) {
        case Type::kInt:
            return Value::ofInt(value.asInt());
        case Type::kFloat:
            return Value::ofFloat(value.asFloat());
        case Type::kString:
            if (isArray(value.type) || value.type == Type::kNone) break;
            return Value::ofString(value.asString());
        case Type::kIntArray:
        case Type::kFloatArray:
        case Type::kStringArray: {
            if (!isArray(value.type)) break;
            Value r = Value::emptyArray(target);
            for (const Value& item : value.items)
                r.items.push_back(convert(item, elementType(target)));
            return r;
        }
        default:
            break;
    }
    throw MelError(std::string("Cannot convert data of type ") + typeName(value.type) +
                   " to type " + typeName(target) + ".");
}

}  // namespace mel
}  // namespace mayahost
