#include "mel/interpreter.h"

#include "hostState.h"
#include "mel/headsUpDisplays.h"
#include "mel/humanIk.h"
#include "mel/scene.h"
#include "mel/widgets.h"

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace mayahost {
namespace mel {

namespace {

// One bound for procedure calls, eval and source together: each level
// takes a few kilobytes of stack, and Windows gives a thread 1 MB.
constexpr int kMaxDepth = 100;
// Statements and expressions run by recursion, through every call, eval
// and source: one bound for all the levels in progress keeps the deepest
// script within that stack, however it nests.
constexpr int kMaxLevels = 600;

// One level of exec or eval.
class Level {
public:
    explicit Level(int& levels) : mLevels(levels) {
        if (mLevels >= kMaxLevels) {
            throw MelError("Stack overflow: statements and expressions nested more than " +
                           std::to_string(kMaxLevels) + " levels deep, calls included.");
        }
        ++mLevels;
    }
    ~Level() { --mLevels; }
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

private:
    int& mLevels;
};
Value defaultOf(Type type) {
    switch (type) {
        case Type::kInt:
            return Value::ofInt(0);
        case Type::kFloat:
            return Value::ofFloat(0.0);
        case Type::kString:
            return Value::ofString("");
        default:
            return isArray(type) ? Value::emptyArray(type) : Value();
    }
}

bool fileExists(const std::string& path) {
    std::ifstream file(path);
    return static_cast<bool>(file);
}

Value runPluginCommand(detail::CommandEntry& entry, const Invocation& call) {
    void* created = entry.creator != nullptr ? entry.creator() : nullptr;
    if (created == nullptr) throw MelError("Command " + call.name + " could not be created.");
    auto* object = static_cast<MPxCommand*>(created);
    MArgList args;
    for (const Value& a : call.args) detail::Access::args(args).push_back(a.asString());
    detail::setCommandResult("", 0.0);
    const MStatus status = object->doIt(args);
    delete object;
    if (!status) throw MelError("");  // the command has shown its own error
    if (const std::vector<std::string>* strings = detail::commandResultStrings()) {
        return Value::ofStrings(*strings);
    }
    return Value::ofString(detail::commandResultText());
}

}  // namespace

Interpreter::Interpreter() {
    addScriptCommands(*this);
    addSceneCommands(*this);
    addFileCommands(*this);
    addUnitCommands(*this);
    addUiCommands(*this);
    addResourceCommands(*this);
    addPreferenceCommands(*this);
    addHeadsUpDisplayCommand(*this);
    resetWidgets(*this);
}

Interpreter& interpreter() {
    static Interpreter* instance = new Interpreter;
    return *instance;
}

void Interpreter::clear() {
    mLimits = MelLimits();
    mProcedures.clear();
    mGlobals.clear();
    mUnits.clear();
    resetWidgets(*this);
    headsUpDisplays().clear();
    clearScene();
    clearHumanIk(*this);
}

void Interpreter::addCommand(const std::string& name, Command command) {
    mCommands[name] = std::move(command);
}

void Interpreter::removeCommand(const std::string& name) {
    mCommands.erase(name);
}

bool Interpreter::isCommand(const std::string& name) const {
    return mCommands.count(name) != 0;
}

bool Interpreter::isProcedure(const std::string& name) const {
    return findProcedure(name) != nullptr;
}

Variable& Interpreter::global(const std::string& name, Type type) {
    VariablePtr& slot = mGlobals[name];
    if (!slot) slot = std::make_shared<Variable>(Variable{type, defaultOf(type)});
    return *slot;
}

bool Interpreter::run(const std::string& text, Value* result) {
    try {
        Value value = evaluate(text);
        if (result != nullptr) *result = value;
        return true;
    } catch (const MelError& error) {
        if (error.what()[0] != '\0') detail::recordError(error.what());
        return false;
    }
}

Interpreter::Nesting::Nesting(int& depth, const char* what) : mDepth(depth) {
    if (mDepth >= kMaxDepth) {
        throw MelError(std::string("Stack overflow in ") + what + " (more than " +
                       std::to_string(kMaxDepth) + " levels of calls, eval and source).");
    }
    ++mDepth;
}

Interpreter::Nesting::~Nesting() {
    --mDepth;
}

namespace {

// Any failure inside the runner becomes a MEL error at the boundary of a
// run: a script can never take the host down with it.
template <typename Run>
auto asMelErrors(Run&& run) -> decltype(run()) {
    try {
        return run();
    } catch (const MelError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw MelError("Out of memory.");
    } catch (const std::exception& error) {
        throw MelError(std::string("Internal error: ") + error.what());
    }
}

}  // namespace

namespace {

MelError tooMuchScript(const std::string& what, std::size_t limit) {
    return MelError(what +
                    " is too large to run: eval and source in progress would hold more than " +
                    std::to_string(limit) + " bytes of script.");
}

}  // namespace

Interpreter::Held::Held(Interpreter& mel, std::size_t bytes, const std::string& what)
    : mMel(mel), mBytes(bytes) {
    const std::size_t limit = mel.mLimits.textBytes;
    if (mel.mTextHeld > limit || bytes > limit - mel.mTextHeld) throw tooMuchScript(what, limit);
    mel.mTextHeld += bytes;
}

Interpreter::Held::~Held() {
    mMel.mTextHeld -= mBytes;
    mMel.mNodesHeld -= mNodes;
}

std::shared_ptr<Unit> Interpreter::Held::parse(const std::string& text, const std::string& file) {
    const std::size_t limit = mMel.mLimits.syntaxItems;
    const std::size_t room = mMel.mNodesHeld < limit ? limit - mMel.mNodesHeld : 0;
    std::shared_ptr<Unit> unit = mel::parse(text, file, room);
    mNodes = unit->nodes;
    mMel.mNodesHeld += mNodes;
    return unit;
}

Value Interpreter::evaluate(const std::string& text, const std::string& file) {
    if (mDepth == 0) mSteps = 0;  // a run from the top
    const Nesting nesting(mDepth, "eval");
    Held held(*this, text.size(), file.empty() ? "The text" : "File \"" + file + "\"");
    return asMelErrors([&] { return runUnit(held.parse(text, file)); });
}

void Interpreter::sourcePath(const std::string& path) {
    if (mDepth == 0) mSteps = 0;
    const Nesting nesting(mDepth, "source");
    asMelErrors([&] {
        std::ifstream file(path, std::ios::binary);
        if (!file) throw MelError("Cannot open file \"" + path + "\" for source statement.");
        // Only what the file holds is allocated, and no more than the room
        // the texts in progress leave (a script that sources itself held
        // the whole limit once per level).
        const std::string what = "File \"" + path + "\"";
        const std::size_t room = mTextHeld < mLimits.textBytes ? mLimits.textBytes - mTextHeld : 0;
        std::string text;
        std::string chunk(std::size_t{1} << 16, '\0');
        while (file.read(&chunk[0], static_cast<std::streamsize>(chunk.size())) ||
               file.gcount() > 0) {
            const auto got = static_cast<std::size_t>(file.gcount());
            if (got > room - text.size()) throw tooMuchScript(what, mLimits.textBytes);
            text.append(chunk, 0, got);
        }
        Held held(*this, text.size(), what);
        std::shared_ptr<Unit> unit = held.parse(text, path);
        std::string().swap(text);  // the tree is what runs
        runUnit(unit);
    });
}

std::string Interpreter::findScript(const std::string& name) const {
    if (name.empty()) return "";
    std::string file = name;
    const std::size_t slash = file.find_last_of("/\\");
    if (file.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) file += ".mel";
    const bool path = slash != std::string::npos || (file.size() > 1 && file[1] == ':');
    if (path) return fileExists(file) ? file : "";
    for (const std::string& folder : detail::host().scriptPath) {
        const std::string candidate = folder.empty() ? file : folder + "/" + file;
        if (fileExists(candidate)) return candidate;
    }
    return "";
}

Value Interpreter::runUnit(const std::shared_ptr<Unit>& unit) {
    // Texts that define procedures stay for their bodies; the many command
    // texts that only call go when done.
    if (!unit->procedures.empty()) mUnits.push_back(unit);
    for (const ProcedurePtr& proc : unit->procedures) {
        proc->unit = unit.get();
        if (proc->global) mProcedures[proc->name] = proc;
    }
    Frame frame;
    frame.unit = unit.get();
    frame.scopes.emplace_back();
    mFrames.push_back(std::move(frame));
    struct Pop {
        std::deque<Frame>& frames;
        ~Pop() { frames.pop_back(); }
    } pop{mFrames};
    Value last;
    const Flow flow = execBlock(unit->statements, &last);
    if (flow == Flow::kReturn) last = mFrames.back().returned;
    return last;
}

const Procedure* Interpreter::findProcedure(const std::string& name) const {
    if (!mFrames.empty() && mFrames.back().unit != nullptr) {
        for (const ProcedurePtr& proc : mFrames.back().unit->procedures) {
            if (!proc->global && proc->name == name) return proc.get();
        }
    }
    auto it = mProcedures.find(name);
    return it == mProcedures.end() ? nullptr : it->second.get();
}

Value Interpreter::call(const std::string& name, std::vector<Value> args) {
    auto command = mCommands.find(name);
    if (command != mCommands.end()) return command->second(Invocation{name, std::move(args)});
    auto& plugins = detail::host().commands;
    auto plugin = plugins.find(name);
    if (plugin != plugins.end()) return runPluginCommand(plugin->second, Invocation{name, args});
    const Procedure* proc = findProcedure(name);
    if (proc == nullptr) {
        // Maya's lookup: a file named after the procedure, on the script path.
        const std::string script = findScript(name);
        if (!script.empty()) {
            sourcePath(script);
            proc = findProcedure(name);
        }
    }
    if (proc == nullptr) throw MelError("Cannot find procedure \"" + name + "\".");
    return callProcedure(*proc, std::move(args));
}

Value Interpreter::callProcedure(const Procedure& proc, std::vector<Value> args) {
    if (args.size() != proc.parameters.size()) {
        throw MelError("Wrong number of arguments on call to " + proc.name + ".");
    }
    if (mDepth >= kMaxDepth) throw MelError("Stack overflow in call to " + proc.name + ".");
    Frame frame;
    frame.procedure = &proc;
    frame.unit = proc.unit;
    frame.scopes.emplace_back();
    for (std::size_t k = 0; k < args.size(); ++k) {
        const Parameter& p = proc.parameters[k];
        Value value;
        try {
            value = convert(args[k], p.type);
        } catch (const MelError&) {
            throw MelError("Invalid argument " + std::to_string(k + 1) + " on call to " +
                           proc.name + ": expected " + typeName(p.type) + ", got " +
                           typeName(args[k].type) +
                           (args[k].type == Type::kString ? " \"" + args[k].s + "\"." : "."));
        }
        frame.scopes.back().variables[p.name] = std::make_shared<Variable>(Variable{p.type, value});
    }
    mFrames.push_back(std::move(frame));
    ++mDepth;
    struct Pop {
        std::deque<Frame>& frames;
        int& depth;
        ~Pop() {
            frames.pop_back();
            --depth;
        }
    } pop{mFrames, mDepth};
    const Flow flow = execBlock(proc.body->kids, nullptr);
    if (proc.returnType == Type::kNone) return Value();
    if (flow != Flow::kReturn) return defaultOf(proc.returnType);
    return convert(mFrames.back().returned, proc.returnType);
}

// --- statements ---

Interpreter::Flow Interpreter::execBlock(const std::vector<NodePtr>& statements, Value* last) {
    for (const NodePtr& statement : statements) {
        const Flow flow = exec(*statement, last);
        if (flow != Flow::kNormal) return flow;
    }
    return Flow::kNormal;
}

Interpreter::Flow Interpreter::exec(const Node& node, Value* last) {
    const Level level(mLevels);
    if (++mSteps > mLimits.statements) {
        throw MelError("Script stopped after " + std::to_string(mLimits.statements) +
                       " statements.");
    }
    using Kind = Node::Kind;
    Frame& frame = mFrames.back();
    switch (node.kind) {
        case Kind::kEmpty:
        case Kind::kProc:
            return Flow::kNormal;
        case Kind::kBlock: {
            frame.scopes.emplace_back();
            struct Pop {
                std::vector<Scope>& scopes;
                ~Pop() { scopes.pop_back(); }
            } pop{frame.scopes};
            return execBlock(node.kids, last);
        }
        case Kind::kDeclare:
            declare(node);
            return Flow::kNormal;
        case Kind::kIf:
            if (eval(*node.kids[0]).truth()) return exec(*node.kids[1], last);
            if (node.kids.size() > 2) return exec(*node.kids[2], last);
            return Flow::kNormal;
        case Kind::kWhile:
        case Kind::kDoWhile:
        case Kind::kFor: {
            const bool isDo = node.kind == Kind::kDoWhile;
            const bool isFor = node.kind == Kind::kFor;
            const Node* condition = isFor ? node.kids[1].get() : node.kids[isDo ? 1 : 0].get();
            const Node& body = *node.kids[isFor ? 3 : (isDo ? 0 : 1)];
            if (isFor && node.kids[0]) eval(*node.kids[0]);
            bool first = true;
            for (;;) {
                if (!(isDo && first) && condition != nullptr && !eval(*condition).truth()) break;
                first = false;
                const Flow flow = exec(body, last);
                if (flow == Flow::kBreak) break;
                if (flow == Flow::kReturn) return flow;
                if (isFor && node.kids[2]) eval(*node.kids[2]);
            }
            return Flow::kNormal;
        }
        case Kind::kForIn: {
            const Value array = eval(*node.kids[1]);
            if (!isArray(array.type)) throw MelError("for-in needs an array.");
            const Node& variable = *node.kids[0];
            if (!lookup(variable.text)) declareLocal(variable.text, elementType(array.type));
            for (const Value& item : array.items) {
                assign(variable, item);
                const Flow flow = exec(*node.kids[2], last);
                if (flow == Flow::kBreak) break;
                if (flow == Flow::kReturn) return flow;
            }
            return Flow::kNormal;
        }
        case Kind::kReturn: {
            const Procedure* proc = frame.procedure;
            if (!node.kids.empty()) {
                if (proc != nullptr && proc->returnType == Type::kNone) {
                    throw MelError("This procedure has no return value.");
                }
                frame.returned = eval(*node.kids[0]);
            } else if (proc != nullptr && proc->returnType != Type::kNone) {
                throw MelError("Procedure " + proc->name + " must return a value.");
            }
            return Flow::kReturn;
        }
        case Kind::kBreak:
            return Flow::kBreak;
        case Kind::kContinue:
            return Flow::kContinue;
        default: {
            Value value = eval(node);
            if (last != nullptr) *last = std::move(value);
            return Flow::kNormal;
        }
    }
}

VariablePtr& Interpreter::declareLocal(const std::string& name, Type type) {
    VariablePtr& slot = mFrames.back().scopes.back().variables[name];
    if (slot && slot->type != type) {
        throw MelError("Invalid redeclaration of variable \"$" + name + "\" as a different type.");
    }
    slot = std::make_shared<Variable>(Variable{type, defaultOf(type)});
    return slot;
}

void Interpreter::declare(const Node& node) {
    for (const NodePtr& declared : node.kids) {
        const Type type = declared->flag ? arrayOf(node.type) : node.type;
        if (node.flag) {
            VariablePtr& slot = mGlobals[declared->text];
            const bool fresh = !slot;
            if (fresh) slot = std::make_shared<Variable>(Variable{type, defaultOf(type)});
            if (slot->type != type) {
                throw MelError("Invalid redeclaration of variable \"$" + declared->text +
                               "\" as a different type.");
            }
            mFrames.back().scopes.back().variables[declared->text] = slot;
            if (fresh && !declared->kids.empty()) {
                slot->value = convert(eval(*declared->kids[0]), type);
            }
            continue;
        }
        Value initial = declared->kids.empty() ? defaultOf(type) : eval(*declared->kids[0]);
        if (declared->kids.empty() || initial.type != Type::kNone) initial = convert(initial, type);
        declareLocal(declared->text, type)->value = initial;
    }
}

VariablePtr Interpreter::lookup(const std::string& name) const {
    const Frame& frame = mFrames.back();
    for (auto scope = frame.scopes.rbegin(); scope != frame.scopes.rend(); ++scope) {
        auto it = scope->variables.find(name);
        if (it != scope->variables.end()) return it->second;
    }
    return nullptr;
}

// --- expressions ---

Value Interpreter::assign(const Node& target, const Value& value) {
    VariablePtr variable = lookup(target.text);
    if (target.kids.empty()) {
        if (!variable) {
            if (value.type == Type::kNone) throw MelError("Cannot assign a value of no type.");
            variable = declareLocal(target.text, value.type);
        }
        variable->value = convert(value, variable->type);
        return variable->value;
    }
    if (!variable) throw MelError("\"$" + target.text + "\" is an undeclared variable.");
    if (!isArray(variable->type)) throw MelError("\"$" + target.text + "\" is not an array.");
    const long long index = eval(*target.kids[0]).asInt();
    if (index < 0) throw MelError("Array index out of range: " + std::to_string(index) + ".");
    if (index >= mLimits.arrayItems) {
        throw MelError("Array index out of range: " + std::to_string(index) + " (an array holds " +
                       std::to_string(mLimits.arrayItems) + " items at most).");
    }
    std::vector<Value>& items = variable->value.items;
    const Type element = elementType(variable->type);
    if (static_cast<std::size_t>(index) >= items.size())
        items.resize(static_cast<std::size_t>(index) + 1, defaultOf(element));
    items[index] = convert(value, element);
    return items[index];
}

Value Interpreter::evalBinary(const std::string& op, const Value& a, const Value& b) {
    if (op == "&&") return Value::ofInt(a.truth() && b.truth());
    if (op == "||") return Value::ofInt(a.truth() || b.truth());
    if (isArray(a.type) || isArray(b.type) || a.type == Type::kNone || b.type == Type::kNone) {
        throw MelError("Illegal operation \"" + op + "\" on data of type " + typeName(a.type) +
                       " and " + typeName(b.type) + ".");
    }
    const bool text = a.type == Type::kString || b.type == Type::kString;
    if (op == "+" && text) {
        std::string joined = a.asString();
        const std::string tail = b.asString();
        if (joined.size() + tail.size() > mLimits.textBytes) {
            throw MelError("Text too long: more than " + std::to_string(mLimits.textBytes) +
                           " bytes.");
        }
        return Value::ofString(joined + tail);
    }
    if (op == "==" || op == "!=" || op == "<" || op == ">" || op == "<=" || op == ">=") {
        int order;
        if (text) {
            const int c = a.asString().compare(b.asString());
            order = c < 0 ? -1 : (c > 0 ? 1 : 0);
        } else {
            const double x = a.asFloat();
            const double y = b.asFloat();
            order = x < y ? -1 : (x > y ? 1 : 0);
        }
        if (op == "==") return Value::ofInt(order == 0);
        if (op == "!=") return Value::ofInt(order != 0);
        if (op == "<") return Value::ofInt(order < 0);
        if (op == ">") return Value::ofInt(order > 0);
        if (op == "<=") return Value::ofInt(order <= 0);
        return Value::ofInt(order >= 0);
    }
    if (text) throw MelError("Illegal operation \"" + op + "\" on a string.");
    if (a.type == Type::kInt && b.type == Type::kInt) {
        const long long x = a.i;
        const long long y = b.i;
        if ((op == "/" || op == "%") && y == 0) throw MelError("Division by zero.");
        if (op == "+") return Value::ofInt(static_cast<int>(x + y));
        if (op == "-") return Value::ofInt(static_cast<int>(x - y));
        if (op == "*") return Value::ofInt(static_cast<int>(x * y));
        if (op == "/") return Value::ofInt(static_cast<int>(x / y));
        return Value::ofInt(static_cast<int>(x % y));
    }
    const double x = a.asFloat();
    const double y = b.asFloat();
    if (op == "+") return Value::ofFloat(x + y);
    if (op == "-") return Value::ofFloat(x - y);
    if (op == "*") return Value::ofFloat(x * y);
    if (y == 0.0) throw MelError("Division by zero.");
    if (op == "/") return Value::ofFloat(x / y);
    return Value::ofFloat(std::fmod(x, y));
}

Value Interpreter::evalCommand(const Node& node) {
    // tokenize and clear write into their array argument.
    if ((node.text == "tokenize" && (node.kids.size() == 2 || node.kids.size() == 3)) ||
        (node.text == "clear" && node.kids.size() == 1)) {
        const Node& target = *node.kids.back();
        if (target.kind != Node::Kind::kVariable || !target.kids.empty()) {
            throw MelError(node.text + ": the last argument must be an array variable.");
        }
        VariablePtr variable = lookup(target.text);
        if (!variable || !isArray(variable->type)) {
            throw MelError(node.text + ": \"$" + target.text + "\" is not an array variable.");
        }
        if (node.text == "clear") {
            variable->value.items.clear();
            return Value::ofInt(0);
        }
        const std::string text = eval(*node.kids[0]).asString();
        const std::string separators =
            node.kids.size() == 3 ? eval(*node.kids[1]).asString() : std::string(" \t\n\r");
        Value tokens = Value::emptyArray(Type::kStringArray);
        std::string current;
        for (char c : text + separators.substr(0, 1)) {
            if (separators.find(c) == std::string::npos) {
                current.push_back(c);
            } else if (!current.empty()) {
                tokens.items.push_back(Value::ofString(current));
                current.clear();
            }
        }
        const int count = static_cast<int>(tokens.items.size());
        variable->value = convert(tokens, variable->type);
        return Value::ofInt(count);
    }
    std::vector<Value> args;
    for (const NodePtr& kid : node.kids) args.push_back(eval(*kid));
    return call(node.text, std::move(args));
}

Value Interpreter::eval(const Node& node) {
    const Level level(mLevels);
    using Kind = Node::Kind;
    switch (node.kind) {
        case Kind::kLiteral:
            return node.value;
        case Kind::kVariable: {
            VariablePtr variable = lookup(node.text);
            if (!variable) throw MelError("\"$" + node.text + "\" is an undeclared variable.");
            if (node.kids.empty()) return variable->value;
            if (!isArray(variable->type)) throw MelError("\"$" + node.text + "\" is not an array.");
            const int index = eval(*node.kids[0]).asInt();
            const auto& items = variable->value.items;
            if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
                return defaultOf(elementType(variable->type));
            }
            return items[index];
        }
        case Kind::kArray: {
            std::vector<Value> items;
            Type element = Type::kInt;
            for (const NodePtr& kid : node.kids) {
                items.push_back(eval(*kid));
                const Type t = items.back().type;
                if (isArray(t) || t == Type::kNone) throw MelError("Arrays cannot hold arrays.");
                if (t == Type::kString) {
                    element = Type::kString;
                } else if (t == Type::kFloat && element == Type::kInt) {
                    element = Type::kFloat;
                }
            }
            Value array = Value::emptyArray(arrayOf(element));
            for (const Value& item : items) array.items.push_back(convert(item, element));
            return array;
        }
        case Kind::kUnary: {
            const Value operand = eval(*node.kids[0]);
            if (node.text == "!") return Value::ofInt(!operand.truth());
            if (operand.type == Type::kInt) {
                // Negated in 64 bits: -2147483648 wraps to itself, as a 32-bit int does.
                const long long negated = -static_cast<long long>(operand.i);
                return Value::ofInt(node.text == "-" ? static_cast<int>(negated) : operand.i);
            }
            if (operand.type == Type::kFloat) {
                return Value::ofFloat(node.text == "-" ? -operand.f : operand.f);
            }
            throw MelError("Illegal operation \"" + node.text + "\" on data of type " +
                           typeName(operand.type) + ".");
        }
        case Kind::kBinary:
            if (node.text == "&&" || node.text == "||") {
                const bool left = eval(*node.kids[0]).truth();
                if (node.text == "&&" ? !left : left) return Value::ofInt(left);
                return Value::ofInt(eval(*node.kids[1]).truth());
            }
            return evalBinary(node.text, eval(*node.kids[0]), eval(*node.kids[1]));
        case Kind::kTernary:
            return eval(*node.kids[eval(*node.kids[0]).truth() ? 1 : 2]);
        case Kind::kAssign: {
            Value value = eval(*node.kids[1]);
            if (node.text != "=") {
                value = evalBinary(node.text.substr(0, 1), eval(*node.kids[0]), value);
            }
            return assign(*node.kids[0], value);
        }
        case Kind::kStep: {
            const Value before = eval(*node.kids[0]);
            const Value after = evalBinary(node.text == "++" ? "+" : "-", before, Value::ofInt(1));
            const Value stored = assign(*node.kids[0], after);
            return node.flag ? stored : before;
        }
        case Kind::kCast: {
            const Value operand = eval(*node.kids[0]);
            switch (node.type) {
                case Type::kInt:
                    return Value::ofInt(operand.asInt(false));
                case Type::kFloat:
                    return Value::ofFloat(operand.asFloat(false));
                default:
                    return convert(operand, node.type);
            }
        }
        case Kind::kCall:
        case Kind::kCommand:
            return evalCommand(node);
        case Kind::kCatch: {
            try {
                eval(*node.kids[0]);
                return Value::ofInt(0);
            } catch (const MelError& error) {
                if (!node.flag && error.what()[0] != '\0') detail::recordError(error.what());
                return Value::ofInt(1);
            }
        }
        default:
            throw MelError("Syntax error: a statement where a value is needed.");
    }
}

}  // namespace mel
}  // namespace mayahost
