// The MEL runner: procedures, variables, commands, the script path.
#pragma once

#include "mel/ast.h"
#include "mel/value.h"

#include <mayahost/ui.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace mayahost {
namespace mel {

struct Invocation {
    std::string name;
    std::vector<Value> args;
};
using Command = std::function<Value(const Invocation&)>;

struct Variable {
    Type type;
    Value value;
};
using VariablePtr = std::shared_ptr<Variable>;

class Interpreter {
public:
    Interpreter();

    // Runs a text at global scope; a failure records one error line. The
    // value of the last statement goes to *result.
    bool run(const std::string& text, Value* result = nullptr);
    // As run, but throws MelError instead of recording it.
    Value evaluate(const std::string& text, const std::string& file = std::string());
    // Interprets a file by path (throws).
    void sourcePath(const std::string& path);
    // <name> (".mel" added when it has no suffix) along the script path, or
    // as given when it is a path that exists; "" when not found.
    std::string findScript(const std::string& name) const;

    void addCommand(const std::string& name, Command command);
    void removeCommand(const std::string& name);
    bool isCommand(const std::string& name) const;
    bool isProcedure(const std::string& name) const;
    // A command, plug-in command or procedure, sourcing <name>.mel first
    // when nothing of that name is known.
    Value call(const std::string& name, std::vector<Value> args);

    // The global of that name, declared with `type` when new.
    Variable& global(const std::string& name, Type type);

    // Forgets procedures, globals, widgets, connections and parents, and
    // restores the default limits (the host's reset).
    void clear();
    void setLimits(const MelLimits& limits) { mLimits = limits; }

private:
    struct Scope {
        std::map<std::string, VariablePtr> variables;
    };
    struct Frame {
        std::vector<Scope> scopes;
        const Unit* unit = nullptr;
        const Procedure* procedure = nullptr;
        Value returned;
    };
    enum class Flow { kNormal, kBreak, kContinue, kReturn };

    std::map<std::string, Command> mCommands;
    std::map<std::string, ProcedurePtr> mProcedures;
    std::map<std::string, VariablePtr> mGlobals;
    std::deque<Frame> mFrames;                  // references to a frame outlive calls
    std::vector<std::shared_ptr<Unit>> mUnits;  // texts defining procedures
    int mDepth = 0;                             // procedure calls, eval and source in progress
    int mLevels = 0;                            // exec and eval in progress, all calls included
    std::size_t mTextHeld = 0;                  // bytes of the texts eval and source run now
    std::size_t mNodesHeld = 0;                 // nodes of their trees
    long long mSteps = 0;                       // statements executed by the run from the top
    MelLimits mLimits;

    // One level of mDepth for a run of eval or source; past the bound, a
    // MEL error instead of a stack overflow.
    struct Nesting {
        Nesting(int& depth, const char* what);
        ~Nesting();
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        int& mDepth;
    };

    // What a text eval or source runs holds while it runs: its bytes and
    // its tree's nodes, each with one limit for all the texts in progress.
    struct Held {
        // Past the text limit, a MEL error naming `what`.
        Held(Interpreter& mel, std::size_t bytes, const std::string& what);
        ~Held();
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;
        // The text's tree, within the nodes the texts in progress leave.
        std::shared_ptr<Unit> parse(const std::string& text, const std::string& file);
        Interpreter& mMel;
        std::size_t mBytes;
        std::size_t mNodes = 0;
    };

    Value runUnit(const std::shared_ptr<Unit>& unit);
    Value callProcedure(const Procedure& proc, std::vector<Value> args);
    const Procedure* findProcedure(const std::string& name) const;

    Flow exec(const Node& node, Value* last = nullptr);
    Flow execBlock(const std::vector<NodePtr>& statements, Value* last);
    void declare(const Node& node);
    Value eval(const Node& node);
    Value evalCommand(const Node& node);
    Value evalBinary(const std::string& op, const Value& a, const Value& b);
    Value assign(const Node& target, const Value& value);
    VariablePtr lookup(const std::string& name) const;
    VariablePtr& declareLocal(const std::string& name, Type type);
};

// The one runner of the host, created with every built-in command.
Interpreter& interpreter();

// Built-in commands by theme.
void addScriptCommands(Interpreter& mel);
void addSceneCommands(Interpreter& mel);
void addFileCommands(Interpreter& mel);
void addUnitCommands(Interpreter& mel);
void addUiCommands(Interpreter& mel);
void addResourceCommands(Interpreter& mel);
void addPreferenceCommands(Interpreter& mel);
// Forgets every optionVar: reset() starts from a user without preferences.
void clearPreferences();

}  // namespace mel
}  // namespace mayahost
