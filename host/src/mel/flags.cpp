#include "mel/flags.h"

#include <cstring>

namespace mayahost {
namespace mel {

namespace {

const char* argName(Arg arg) {
    switch (arg) {
        case Arg::kInt:
            return "an int";
        case Arg::kFloat:
            return "a float";
        case Arg::kBool:
            return "a boolean";
        default:
            return "a string";
    }
}

Value flagArgument(const Value& given, Arg arg, const std::string& flag) {
    bool ok = true;
    Value result;
    switch (arg) {
        case Arg::kInt:
            ok = given.type == Type::kInt;
            result = given;
            break;
        case Arg::kFloat:
            ok = given.isNumber();
            if (ok) result = Value::ofFloat(given.asFloat());
            break;
        case Arg::kBool: {
            const bool value = boolOf(given, &ok);
            result = Value::ofInt(value ? 1 : 0);
            break;
        }
        case Arg::kString:
            ok = given.type == Type::kString || given.isNumber();
            if (ok) result = Value::ofString(given.asString());
            break;
    }
    if (!ok) {
        throw MelError("Flag '" + flag + "' must be passed " + argName(arg) + " argument, not " +
                       typeName(given.type) + " \"" + given.asString() + "\".");
    }
    return result;
}

}  // namespace

bool boolOf(const Value& value, bool* ok) {
    *ok = true;
    if (value.isNumber()) return value.asFloat() != 0.0;
    if (value.type == Type::kString) {
        const std::string& s = value.s;
        if (s == "true" || s == "on" || s == "yes" || s == "1") return true;
        if (s == "false" || s == "off" || s == "no" || s == "0") return false;
    }
    *ok = false;
    return false;
}

Flags::Flags(const Invocation& call, const std::vector<Flag>& known, bool queryEdit)
    : mCommand(call.name) {
    std::size_t k = 0;
    const auto& a = call.args;
    while (k < a.size()) {
        const Value& word = a[k];
        const bool flagWord = word.type == Type::kString && word.s.size() > 1 && word.s[0] == '-' &&
                              !(word.s[1] >= '0' && word.s[1] <= '9') && word.s[1] != '.';
        // Flags may also follow the objects, as in "createNode joint -n hip".
        if (!flagWord) {
            // A string array stands for its items, as MEL passes `delete $nodes`.
            if (word.type == Type::kStringArray) {
                objects.insert(objects.end(), word.items.begin(), word.items.end());
            } else {
                objects.push_back(word);
            }
            ++k;
            continue;
        }
        const std::string name = word.s.substr(1);
        ++k;
        if (queryEdit && (name == "q" || name == "query")) {
            query = true;
            continue;
        }
        if (queryEdit && (name == "e" || name == "edit")) {
            edit = true;
            continue;
        }
        const Flag* flag = nullptr;
        for (const Flag& f : known) {
            if (name == f.name || name == f.shortName) flag = &f;
        }
        if (flag == nullptr) throw MelError("Invalid flag '" + word.s + "' for " + mCommand + ".");
        if (!std::strchr(flag->modes, 'M') && has(flag->name)) {
            throw MelError(mCommand + ": flag '" + word.s + "' can only be used once.");
        }
        FlagUse use{flag, {}};
        if (!query) {
            for (Arg arg : flag->args) {
                if (k >= a.size()) {
                    throw MelError(mCommand + ": flag '" + word.s + "' needs " + argName(arg) +
                                   " argument.");
                }
                use.args.push_back(flagArgument(a[k++], arg, word.s));
            }
        }
        uses.push_back(use);
    }
    if (query && edit) throw MelError(mCommand + ": query and edit cannot be combined.");
    const char mode = query ? 'Q' : (edit ? 'E' : 'C');
    for (const FlagUse& use : uses) {
        if (!std::strchr(use.flag->modes, mode)) {
            const char* modeName = query ? "query" : (edit ? "edit" : "create");
            throw MelError(mCommand + ": flag '-" + std::string(use.flag->name) +
                           "' cannot be used in " + modeName + " mode.");
        }
    }
}

bool Flags::has(const char* name) const {
    for (const FlagUse& use : uses) {
        if (std::strcmp(use.flag->name, name) == 0) return true;
    }
    return false;
}

const std::vector<Value>& Flags::args(const char* name) const {
    for (const FlagUse& use : uses) {
        if (std::strcmp(use.flag->name, name) == 0) return use.args;
    }
    throw MelError(mCommand + ": flag -" + std::string(name) + " is missing.");
}

std::vector<const FlagUse*> Flags::all(const char* name) const {
    std::vector<const FlagUse*> found;
    for (const FlagUse& use : uses) {
        if (std::strcmp(use.flag->name, name) == 0) found.push_back(&use);
    }
    return found;
}

const Flag* Flags::queried() const {
    if (uses.size() != 1) throw MelError(mCommand + ": a query needs exactly one flag.");
    return uses[0].flag;
}

void Flags::needObjects(std::size_t count) const {
    if (objects.size() != count) {
        throw MelError(mCommand + ": wrong number of objects (" + std::to_string(objects.size()) +
                       ", expected " + std::to_string(count) + ").");
    }
}

}  // namespace mel
}  // namespace mayahost
