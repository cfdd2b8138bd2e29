// Running commands: plug-in commands, the built-in UI procedures and MEL's
// error; the idle queue; MGlobal, MPxCommand and MArgList.
#include "hostState.h"

#include <mayahost/melParser.h>

#include <maya/MArgList.h>
#include <maya/MGlobal.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>

#include <cstdlib>
#include <fstream>
#include <iostream>

using mayahost::MelArgument;
using mayahost::MelCall;
using mayahost::detail::Access;

namespace mayahost {
namespace detail {

namespace {

struct CommandResult {
    std::string text;
    double number = 0.0;
};
CommandResult& lastResult() {
    static CommandResult result;
    return result;
}

enum class Param { kInt, kString };

struct BuiltIn {
    const char* name;
    std::vector<Param> params;
};

const std::vector<BuiltIn>& builtIns() {
    static const std::vector<BuiltIn> table = {
        {"displayMessage", {Param::kString, Param::kInt}},
        {"enableBindButton", {Param::kInt, Param::kInt}},
        {"updateLiveCheckbox", {Param::kInt, Param::kInt}},
        {"displayAvailableIPs", {Param::kString, Param::kInt}},
        {"cleanUpUI", {}},
        {"createZemoriShelf", {}},
        {"error", {Param::kString}},
    };
    return table;
}

int intOf(const MelArgument& a) {
    return static_cast<int>(std::strtod(a.text.c_str(), nullptr));
}

MStatus runBuiltIn(const BuiltIn& proc, const MelCall& call) {
    if (call.arguments.size() != proc.params.size()) {
        recordError("Wrong number of arguments on call to " + call.procedure + ".");
        return MStatus::kFailure;
    }
    for (std::size_t k = 0; k < proc.params.size(); ++k) {
        if (proc.params[k] == Param::kInt && call.arguments[k].kind == MelArgument::Kind::kString) {
            recordError("Invalid argument " + std::to_string(k + 1) + " on call to " +
                        call.procedure + ": \"" + call.arguments[k].text + "\" is not a number.");
            return MStatus::kFailure;
        }
    }
    const auto& a = call.arguments;
    const std::string name = call.procedure;
    if (name == "error") {
        recordError(a[0].text);
        return MStatus::kFailure;
    }
    Records& r = host().records;
    std::lock_guard<std::mutex> lock(r.mutex);
    if (name == "displayMessage") {
        auto& panel = r.panels[intOf(a[1])];
        panel.exists = true;
        panel.status = a[0].text;
        ++panel.statusUpdates;
    } else if (name == "enableBindButton") {
        auto& panel = r.panels[intOf(a[0])];
        panel.exists = true;
        panel.bind = intOf(a[1]) != 0;
    } else if (name == "updateLiveCheckbox") {
        auto& panel = r.panels[intOf(a[0])];
        panel.exists = true;
        panel.live = intOf(a[1]) != 0;
    } else if (name == "displayAvailableIPs") {
        auto& panel = r.panels[intOf(a[1])];
        panel.exists = true;
        panel.ipList = a[0].text;
        ++panel.ipUpdates;
    } else if (name == "cleanUpUI") {
        ++r.cleanUps;
    } else if (name == "createZemoriShelf") {
        ++r.shelves;
    }
    return MStatus::kSuccess;
}

MStatus runCall(const MelCall& call) {
    Host& h = host();
    auto command = h.commands.find(call.procedure);
    if (command != h.commands.end()) {
        void* created = command->second.creator != nullptr ? command->second.creator() : nullptr;
        if (created == nullptr) return MStatus::kFailure;
        auto* object = static_cast<MPxCommand*>(created);
        MArgList args;
        for (const MelArgument& a : call.arguments) Access::args(args).push_back(a.text);
        MStatus status = object->doIt(args);
        delete object;
        return status;
    }
    for (const BuiltIn& proc : builtIns()) {
        if (call.procedure == proc.name) return runBuiltIn(proc, call);
    }
    recordError("Cannot find procedure \"" + call.procedure + "\".");
    return MStatus::kFailure;
}

}  // namespace

bool isBuiltInProcedure(const std::string& name) {
    for (const BuiltIn& proc : builtIns()) {
        if (name == proc.name) return true;
    }
    return false;
}

void recordError(const std::string& line) {
    Records& r = host().records;
    std::lock_guard<std::mutex> lock(r.mutex);
    r.errors.push_back(line);
    if (r.echo) std::cerr << "// Error: " << line << std::endl;
}

void recordInfo(const std::string& line) {
    Records& r = host().records;
    std::lock_guard<std::mutex> lock(r.mutex);
    r.infos.push_back(line);
    if (r.echo) std::cout << line << std::endl;
}

MStatus runCommand(const std::string& text) {
    {
        Records& r = host().records;
        std::lock_guard<std::mutex> lock(r.mutex);
        r.commands.push_back(text);
    }
    std::vector<MelCall> calls;
    std::string error;
    if (!parseMel(text, calls, &error)) {
        recordError(error);
        return MStatus::kFailure;
    }
    lastResult() = CommandResult();
    for (const MelCall& call : calls) {
        MStatus status = runCall(call);
        if (!status) return status;
    }
    return MStatus::kSuccess;
}

void setCommandResult(const std::string& text, double number) {
    lastResult().text = text;
    lastResult().number = number;
}

const std::string& commandResultText() {
    return lastResult().text;
}
double commandResultNumber() {
    return lastResult().number;
}

}  // namespace detail
}  // namespace mayahost

namespace {

// MEL run at once may edit anything, so it is refused during a compute.
MStatus runImmediately(const MString& command) {
    const std::string& text = Access::text(command);
    if (!mayahost::detail::graphEditAllowed("MGlobal::executeCommand", "\"" + text + "\"")) {
        return MStatus::kFailure;
    }
    return mayahost::detail::runCommand(text);
}

std::string numberText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

}  // namespace

MAYAHOST_NS_OPEN

MStatus MGlobal::getSelectionListByName(const MString& name, MSelectionList& list) {
    MStatus status = list.add(name);
    return status ? status : MStatus(MStatus::kNotFound);
}

MStatus MGlobal::sourceFile(const MString& fileName) {
    auto& h = mayahost::detail::host();
    const std::string& name = Access::text(fileName);
    if (!mayahost::detail::graphEditAllowed("MGlobal::sourceFile", name)) return MStatus::kFailure;
    if (name.empty()) return MStatus::kInvalidParameter;
    for (const std::string& folder : h.scriptPath) {
        std::string path = folder.empty() ? name : folder + "/" + name;
        std::ifstream file(path);
        if (!file) continue;
        std::lock_guard<std::mutex> lock(h.records.mutex);
        h.records.sourced.push_back(path);
        return MStatus::kSuccess;
    }
    mayahost::detail::recordError("Cannot find file \"" + name + "\" for source statement.");
    return MStatus::kNotFound;
}

MStatus MGlobal::executeCommandOnIdle(const MString& command, bool) {
    mayahost::detail::IdleTask task;
    task.command = Access::text(command);
    mayahost::detail::queueIdleTask(std::move(task));
    return MStatus::kSuccess;
}

MStatus MGlobal::executeCommand(const MString& command, bool, bool) {
    return runImmediately(command);
}

MStatus MGlobal::executeCommand(const MString& command, int& result, bool, bool) {
    MStatus status = runImmediately(command);
    if (status) result = static_cast<int>(mayahost::detail::commandResultNumber());
    return status;
}

MStatus MGlobal::executeCommand(const MString& command, double& result, bool, bool) {
    MStatus status = runImmediately(command);
    if (status) result = mayahost::detail::commandResultNumber();
    return status;
}

MStatus MGlobal::executeCommand(const MString& command, MString& result, bool, bool) {
    MStatus status = runImmediately(command);
    if (status) result = mayahost::detail::commandResultText().c_str();
    return status;
}

void MGlobal::displayInfo(const MString& theMessage) {
    mayahost::detail::recordInfo(Access::text(theMessage));
}

void MGlobal::displayWarning(const MString& theWarning) {
    mayahost::detail::recordInfo("Warning: " + Access::text(theWarning));
}

void MGlobal::displayError(const MString& theError) {
    mayahost::detail::recordError(Access::text(theError));
}

MPxCommand::MPxCommand() = default;
MPxCommand::~MPxCommand() = default;
MStatus MPxCommand::doIt(const MArgList&) {
    return MStatus::kSuccess;
}
MStatus MPxCommand::undoIt() {
    return MStatus::kSuccess;
}
MStatus MPxCommand::redoIt() {
    return MStatus::kSuccess;
}
bool MPxCommand::isUndoable() const {
    return false;
}
bool MPxCommand::hasSyntax() const {
    return false;
}
void MPxCommand::displayError(const MString& error, bool) {
    mayahost::detail::recordError(Access::text(error));
}
void MPxCommand::displayInfo(const MString& info) {
    mayahost::detail::recordInfo(Access::text(info));
}
void MPxCommand::setResult(unsigned int val) {
    mayahost::detail::setCommandResult(std::to_string(val), val);
}
void MPxCommand::setResult(int val) {
    mayahost::detail::setCommandResult(std::to_string(val), val);
}
void MPxCommand::setResult(double val) {
    mayahost::detail::setCommandResult(numberText(val), val);
}
void MPxCommand::setResult(bool val) {
    mayahost::detail::setCommandResult(val ? "1" : "0", val);
}
void MPxCommand::setResult(const char* val) {
    mayahost::detail::setCommandResult(val != nullptr ? val : "", 0.0);
}
void MPxCommand::setResult(const MString& val) {
    mayahost::detail::setCommandResult(Access::text(val), 0.0);
}

MArgList::MArgList() = default;
MArgList::MArgList(const MArgList& other) = default;
MArgList::~MArgList() = default;
MArgList& MArgList::operator=(const MArgList& other) = default;

unsigned int MArgList::length(MStatus* ReturnStatus) const {
    if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kSuccess;
    return static_cast<unsigned int>(mArgs.size());
}

int MArgList::asInt(unsigned int index, MStatus* ReturnStatus) const {
    MelArgument::Kind kind = MelArgument::Kind::kString;
    std::vector<MelCall> calls;
    bool number = index < mArgs.size() && mayahost::parseMel("x " + mArgs[index], calls) &&
                  calls.size() == 1 && calls[0].arguments.size() == 1 &&
                  (kind = calls[0].arguments[0].kind) == MelArgument::Kind::kInt;
    if (ReturnStatus != nullptr) {
        *ReturnStatus = number ? MStatus::kSuccess : MStatus::kInvalidParameter;
    }
    return number ? static_cast<int>(std::strtol(mArgs[index].c_str(), nullptr, 10)) : 0;
}

double MArgList::asDouble(unsigned int index, MStatus* ReturnStatus) const {
    std::vector<MelCall> calls;
    bool number = index < mArgs.size() && mayahost::parseMel("x " + mArgs[index], calls) &&
                  calls.size() == 1 && calls[0].arguments.size() == 1 &&
                  calls[0].arguments[0].kind != MelArgument::Kind::kString;
    if (ReturnStatus != nullptr) {
        *ReturnStatus = number ? MStatus::kSuccess : MStatus::kInvalidParameter;
    }
    return number ? std::strtod(mArgs[index].c_str(), nullptr) : 0.0;
}

bool MArgList::asBool(unsigned int index, MStatus* ReturnStatus) const {
    if (index < mArgs.size()) {
        const std::string& a = mArgs[index];
        if (a == "true" || a == "on" || a == "yes") {
            if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kSuccess;
            return true;
        }
        if (a == "false" || a == "off" || a == "no") {
            if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kSuccess;
            return false;
        }
    }
    return asDouble(index, ReturnStatus) != 0.0;
}

MString MArgList::asString(unsigned int index, MStatus* ReturnStatus) const {
    if (index >= mArgs.size()) {
        if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kInvalidParameter;
        return MString();
    }
    if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kSuccess;
    return MString(mArgs[index].c_str());
}

MAYAHOST_NS_CLOSE
