// The syntax tree of a MEL text, and the procedures it defines.
#pragma once

#include "mel/value.h"

#include <memory>
#include <string>
#include <vector>

namespace mayahost {
namespace mel {

struct Node;
struct Unit;
using NodePtr = std::shared_ptr<Node>;

struct Node {
    enum class Kind {
        // expressions
        kLiteral,   // value
        kVariable,  // text = name; kids[0] = index, if any
        kArray,     // kids = items
        kUnary,     // text = op; kids[0]
        kBinary,    // text = op; kids[0], kids[1]
        kTernary,   // kids = condition, then, else
        kAssign,    // text = op ("=", "+=", ...); kids = target, value
        kStep,      // text = "++"/"--"; prefix; kids[0] = target
        kCast,      // type; kids[0]
        kCall,      // text = name; kids = arguments (function syntax)
        kCommand,   // text = name; kids = arguments (command syntax)
        kCatch,     // quiet; kids[0]
        // statements
        kBlock,     // kids
        kDeclare,   // type, global; kids = kDeclared
        kDeclared,  // text = name; array; kids[0] = initializer, if any
        kIf,        // kids = condition, then[, else]
        kWhile,     // kids = condition, body
        kDoWhile,   // kids = body, condition
        kFor,       // kids = init, condition, step, body (each may be null)
        kForIn,     // kids = variable, array, body
        kReturn,    // kids[0] = value, if any
        kBreak,
        kContinue,
        kProc,  // procedure definition (see Procedure)
        kEmpty,
    };
    Kind kind;
    int line = 0;
    std::string text;
    Value value;
    Type type = Type::kNone;
    bool flag = false;  // global / array / prefix / quiet, by kind
    int height = 1;     // levels of the tree from this node down
    std::vector<NodePtr> kids;
};

struct Parameter {
    std::string name;
    Type type;
};

struct Procedure {
    std::string name;
    bool global = true;
    Type returnType = Type::kNone;
    std::vector<Parameter> parameters;
    NodePtr body;
    std::string file;
    const Unit* unit = nullptr;  // the text that defines it (its local procs)
};
using ProcedurePtr = std::shared_ptr<Procedure>;

// A parsed text: its statements and the procedures it defines, in order.
struct Unit {
    std::string file;
    std::vector<NodePtr> statements;
    std::vector<ProcedurePtr> procedures;
    std::size_t nodes = 0;  // in the statements and procedures
};

// Throws MelError naming the file (when given) and line of a syntax error,
// or of a text of more than `maxItems` tokens or nodes.
std::shared_ptr<Unit> parse(const std::string& text, const std::string& file, std::size_t maxItems);

}  // namespace mel
}  // namespace mayahost
