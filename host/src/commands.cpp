// Running commands through the MEL runner; the idle queue; MGlobal,
// MPxCommand and MArgList.
#include "hostState.h"
#include "mel/interpreter.h"

#include <maya/MArgList.h>
#include <maya/MGlobal.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>

#include <cstdlib>
#include <iostream>

using mayahost::detail::Access;
using mayahost::mel::Value;

namespace mayahost {
namespace detail {

namespace {

struct CommandResult {
    std::string text;
    double number = 0.0;
    bool isArray = false;  // appendToResult made it a string array
    std::vector<std::string> strings;
};
CommandResult& lastResult() {
    static CommandResult result;
    return result;
}

}  // namespace

bool isBuiltInProcedure(const std::string& name) {
    return mel::interpreter().isCommand(name);
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

MStatus runCommand(const std::string& text, Value* result) {
    {
        Records& r = host().records;
        std::lock_guard<std::mutex> lock(r.mutex);
        r.commands.push_back(text);
    }
    return mel::interpreter().run(text, result) ? MStatus::kSuccess : MStatus::kFailure;
}

MStatus runCommand(const std::string& text) {
    return runCommand(text, nullptr);
}

void setCommandResult(const std::string& text, double number) {
    lastResult().text = text;
    lastResult().number = number;
    lastResult().isArray = false;
    lastResult().strings.clear();
}

void appendCommandResult(const std::string& text) {
    CommandResult& result = lastResult();
    if (!result.isArray) {
        // Maya appends to a single result as to an array of one.
        result.strings.clear();
        if (!result.text.empty()) result.strings.push_back(result.text);
        result.isArray = true;
    }
    result.strings.push_back(text);
}

const std::vector<std::string>* commandResultStrings() {
    return lastResult().isArray ? &lastResult().strings : nullptr;
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
bool mayRunNow(const std::string& text) {
    return !mayahost::detail::insideCompute() ||
           mayahost::detail::graphEditAllowed("MGlobal::executeCommand", "\"" + text + "\"");
}

MStatus runImmediately(const MString& command) {
    const std::string& text = Access::text(command);
    if (!mayRunNow(text)) return MStatus::kFailure;
    return mayahost::detail::runCommand(text);
}

std::string numberText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

// Runs the text; the value of its last statement goes to `out` converted.
template <class T, class Convert>
MStatus runWithResult(const MString& command, T& out, Convert convert) {
    const std::string& text = Access::text(command);
    if (!mayRunNow(text)) return MStatus::kFailure;
    Value value;
    MStatus status = mayahost::detail::runCommand(text, &value);
    if (status) {
        try {
            out = convert(value);
        } catch (const mayahost::mel::MelError&) {
            return MStatus::kInvalidParameter;
        }
    }
    return status;
}

}  // namespace

MAYAHOST_NS_OPEN

MStatus MGlobal::getSelectionListByName(const MString& name, MSelectionList& list) {
    mayahost::detail::noteApiCall("MGlobal::getSelectionListByName", Access::text(name));
    MStatus status = list.add(name);
    return status ? status : MStatus(MStatus::kNotFound);
}

MStatus MGlobal::sourceFile(const MString& fileName) {
    auto& h = mayahost::detail::host();
    const std::string& name = Access::text(fileName);
    mayahost::detail::noteApiCall("MGlobal::sourceFile", name);
    if (!mayahost::detail::graphEditAllowed("MGlobal::sourceFile", name)) return MStatus::kFailure;
    if (name.empty()) return MStatus::kInvalidParameter;
    auto& mel = mayahost::mel::interpreter();
    const std::string path = mel.findScript(name);
    if (path.empty()) {
        mayahost::detail::recordError("Cannot find file \"" + name + "\" for source statement.");
        return MStatus::kNotFound;
    }
    {
        std::lock_guard<std::mutex> lock(h.records.mutex);
        h.records.sourced.push_back(path);
    }
    try {
        mel.sourcePath(path);
    } catch (const mayahost::mel::MelError& error) {
        if (error.what()[0] != '\0') mayahost::detail::recordError(error.what());
        return MStatus::kFailure;
    }
    return MStatus::kSuccess;
}

MStatus MGlobal::executeCommandOnIdle(const MString& command, bool) {
    mayahost::detail::IdleTask task;
    task.command = Access::text(command);
    mayahost::detail::queueIdleTask(std::move(task));
    return MStatus::kSuccess;
}

MStatus MGlobal::executeCommand(const MString& command, bool, bool) {
    mayahost::detail::noteApiCall("MGlobal::executeCommand", Access::text(command));
    return runImmediately(command);
}

MStatus MGlobal::executeCommand(const MString& command, int& result, bool, bool) {
    mayahost::detail::noteApiCall("MGlobal::executeCommand", Access::text(command));
    return runWithResult(command, result, [](const Value& v) { return v.asInt(); });
}

MStatus MGlobal::executeCommand(const MString& command, double& result, bool, bool) {
    mayahost::detail::noteApiCall("MGlobal::executeCommand", Access::text(command));
    return runWithResult(command, result, [](const Value& v) { return v.asFloat(); });
}

MStatus MGlobal::executeCommand(const MString& command, MString& result, bool, bool) {
    mayahost::detail::noteApiCall("MGlobal::executeCommand", Access::text(command));
    return runWithResult(command, result,
                         [](const Value& v) { return MString(v.asString().c_str()); });
}

MGlobal::MMayaState MGlobal::mayaState(MStatus* ReturnStatus) {
    if (ReturnStatus != nullptr) *ReturnStatus = MStatus::kSuccess;
    return mayahost::detail::host().batchMode ? kBatch : kInteractive;
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
void MPxCommand::appendToResult(const MString& val) {
    mayahost::detail::appendCommandResult(Access::text(val));
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
    mayahost::mel::Type kind = mayahost::mel::Type::kString;
    const bool number = index < mArgs.size() && mayahost::mel::numberText(mArgs[index], &kind) &&
                        kind == mayahost::mel::Type::kInt;
    if (ReturnStatus != nullptr) {
        *ReturnStatus = number ? MStatus::kSuccess : MStatus::kInvalidParameter;
    }
    return number ? static_cast<int>(std::strtol(mArgs[index].c_str(), nullptr, 10)) : 0;
}

double MArgList::asDouble(unsigned int index, MStatus* ReturnStatus) const {
    const bool number = index < mArgs.size() && mayahost::mel::numberText(mArgs[index], nullptr);
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
