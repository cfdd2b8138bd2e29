// Flags of built-in commands: -longName/-shortName with typed arguments,
// valid in create (C), query (Q) and edit (E) mode, repeatable (M).
#pragma once

#include "mel/interpreter.h"

#include <string>
#include <vector>

namespace mayahost {
namespace mel {

enum class Arg { kInt, kFloat, kString, kBool };

struct Flag {
    const char* name;
    const char* shortName;
    std::vector<Arg> args;
    const char* modes;
};

struct FlagUse {
    const Flag* flag;
    std::vector<Value> args;
};

class Flags {
public:
    // Splits the arguments into flags and the objects that follow them.
    // Throws MelError for an unknown flag, a missing or mistyped argument, or
    // a flag used in a mode it does not support. -q/-query and -e/-edit are
    // known when `queryEdit` is set.
    Flags(const Invocation& call, const std::vector<Flag>& known, bool queryEdit);

    bool query = false;
    bool edit = false;
    std::vector<FlagUse> uses;
    std::vector<Value> objects;

    bool has(const char* name) const;
    const std::vector<Value>& args(const char* name) const;  // first use
    std::vector<const FlagUse*> all(const char* name) const;
    std::string text(const char* name) const { return args(name).at(0).asString(); }
    int integer(const char* name) const { return args(name).at(0).asInt(); }
    double number(const char* name) const { return args(name).at(0).asFloat(); }
    // The one flag of a query.
    const Flag* queried() const;
    // Exactly `count` objects, or "<command>: wrong number of objects".
    void needObjects(std::size_t count) const;

private:
    std::string mCommand;
};

// A MEL word as a boolean: numbers, true/false, on/off, yes/no.
bool boolOf(const Value& value, bool* ok);

}  // namespace mel
}  // namespace mayahost
