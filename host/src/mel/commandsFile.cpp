// Scene files: file (-rename, -save, -open, -newFile, -query -sceneName) and
// what a Maya ASCII file runs besides the scene commands: requires,
// fileInfo, addAttr.
#include "mel/flags.h"
#include "mel/humanIk.h"
#include "mel/interpreter.h"
#include "mel/scene.h"
#include "mel/sceneFile.h"

#include <mayahost/host.h>

#include <maya/MFnAnimCurve.h>
#include <maya/MSceneMessage.h>
#include <maya/MTime.h>

#include <cctype>
#include <fstream>

namespace mayahost {
namespace mel {

using detail::Access;
using detail::AttributeData;
using detail::NodeData;

namespace {

using A = Arg;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Maya ASCII is the one type modelled: named by -type, or by a ".ma" name.
void checkType(const Flags& flags, const std::string& path) {
    if (flags.has("type")) {
        if (flags.text("type") != "mayaAscii") {
            throw MelError("file: the type '" + flags.text("type") +
                           "' is not modelled by this host; use \"mayaAscii\".");
        }
    } else if (!endsWith(path, ".ma")) {
        throw MelError("file: '" + path + "' is not a Maya ASCII name; give -type \"mayaAscii\".");
    }
}

Value save(const Flags& flags) {
    const std::string path = detail::host().sceneName;
    if (path.empty()) throw MelError("file: the scene is untitled; name it with file -rename.");
    checkType(flags, path);
    const std::string text = writeSceneText(baseName(path));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) throw MelError("file: could not write \"" + path + "\".");
    return Value::ofString(path);
}

Value open(Interpreter& mel, const Flags& flags) {
    flags.needObjects(1);
    const std::string path = flags.objects[0].asString();
    checkType(flags, path);
    if (!std::ifstream(path, std::ios::binary)) {
        throw MelError("file: File not found: \"" + path + "\".");
    }
    detail::sendSceneMessage(MSceneMessage::kBeforeOpen);
    detail::deleteAllNodes();
    selection().clear();
    detail::host().sceneName = detail::absolutePath(path);
    // A scene file is a MEL script: the runner's bounds apply, and its first
    // error ends the reading.
    mel.sourcePath(path);
    detail::sendSceneMessage(MSceneMessage::kAfterOpen);
    return Value::ofString(detail::host().sceneName);
}

Value fileCommand(Interpreter& mel, const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"rename", "rn", {A::kString}, "C"},
                                             {"save", "s", {}, "C"},
                                             {"open", "o", {}, "C"},
                                             {"newFile", "new", {}, "C"},
                                             {"force", "f", {}, "C"},
                                             {"type", "typ", {A::kString}, "C"},
                                             {"options", "op", {A::kString}, "C"},
                                             {"ignoreVersion", "iv", {}, "C"},
                                             {"sceneName", "sn", {}, "Q"}};
    Flags flags(call, kFlags, true);
    if (flags.query) {
        flags.needObjects(0);
        flags.queried();
        return Value::ofString(detail::host().sceneName);
    }
    int actions = 0;
    for (const char* action : {"rename", "save", "open", "newFile"}) actions += flags.has(action);
    if (actions != 1) {
        throw MelError("file: give one of -rename, -save, -open and -newFile (the ones modelled).");
    }
    if (flags.has("rename")) {
        flags.needObjects(0);
        const std::string path = flags.text("rename");
        if (path.empty()) throw MelError("file: -rename needs a file name.");
        detail::host().sceneName = detail::absolutePath(path);
        return Value::ofString(detail::host().sceneName);
    }
    if (flags.has("save")) {
        flags.needObjects(0);
        return save(flags);
    }
    // The host does not track unsaved changes, so it never asks: it refuses.
    if (!flags.has("force")) {
        throw MelError(
            "file: -open and -newFile need -force here (unsaved changes are not tracked).");
    }
    if (flags.has("open")) return open(mel, flags);
    flags.needObjects(0);
    newScene();
    selection().clear();
    detail::host().sceneName.clear();
    detail::sendSceneMessage(MSceneMessage::kAfterNew);
    return Value::ofString("untitled");
}

bool isHumanIkName(const std::string& name) {
    return name == "mayaHIK" || name == "mayaHIK.so" || name == "mayaHIK.mll";
}

// The plug-in's module along MAYA_PLUG_IN_PATH; "" when none.
std::string findPluginModule(const std::string& name) {
#if defined(_WIN32)
    const char* const extension = ".mll";
#elif defined(__APPLE__)
    const char* const extension = ".bundle";
#else
    const char* const extension = ".so";
#endif
    const std::string file = name.find('.') == std::string::npos ? name + extension : name;
    for (const std::string& folder : detail::host().pluginPath) {
        const std::string candidate = folder + "/" + file;
        if (std::ifstream(candidate, std::ios::binary)) return candidate;
    }
    return "";
}

Value requiresCommand(Interpreter& mel, const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"nodeType", "nt", {A::kString}, "CM"},
                                             {"dataType", "dt", {A::kString}, "CM"}};
    Flags flags(call, kFlags, false);
    flags.needObjects(2);
    const std::string product = flags.objects[0].asString();
    if (product == "maya") return Value();
    if (isHumanIkName(product)) {
        std::string error;
        if (!humanIkLoaded() && !loadHumanIk(mel, &error)) throw MelError(error);
        return Value();
    }
    if (isPluginLoaded(product)) return Value();
    const std::string module = findPluginModule(product);
    if (module.empty() || !loadPlugin(module)) {
        throw MelError("Plug-in, \"" + product + "\", was not found on MAYA_PLUG_IN_PATH.");
    }
    return Value();
}

bool validName(const std::string& name) {
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
        return false;
    for (const char c : name) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    }
    return true;
}

struct AttributeKind {
    const char* name;
    MFnNumericData::Type type;
    detail::UnitKind unit;
};

const AttributeKind kAttributeKinds[] = {
    {"bool", MFnNumericData::kBoolean, detail::UnitKind::kUnitless},
    {"byte", MFnNumericData::kByte, detail::UnitKind::kUnitless},
    {"char", MFnNumericData::kChar, detail::UnitKind::kUnitless},
    {"short", MFnNumericData::kShort, detail::UnitKind::kUnitless},
    {"long", MFnNumericData::kInt, detail::UnitKind::kUnitless},
    {"float", MFnNumericData::kFloat, detail::UnitKind::kUnitless},
    {"double", MFnNumericData::kDouble, detail::UnitKind::kUnitless},
    {"doubleLinear", MFnNumericData::kDouble, detail::UnitKind::kLinear},
    {"doubleAngle", MFnNumericData::kDouble, detail::UnitKind::kAngular}};

// A dynamic attribute of one node: numeric scalars and strings.
Value addAttrCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {
        {"longName", "ln", {A::kString}, "C"},      {"shortName", "sn", {A::kString}, "C"},
        {"attributeType", "at", {A::kString}, "C"}, {"dataType", "dt", {A::kString}, "C"},
        {"defaultValue", "dv", {A::kFloat}, "C"},   {"cachedInternally", "ci", {A::kBool}, "C"},
        {"keyable", "k", {A::kBool}, "C"}};
    Flags flags(call, kFlags, false);
    std::shared_ptr<NodeData> node;
    if (flags.objects.size() > 1) throw MelError("addAttr: one node at a time.");
    if (flags.objects.size() == 1) {
        node = findNode(flags.objects[0].asString());
        if (!node)
            throw MelError("addAttr: no object matches name: " + flags.objects[0].asString());
    } else {
        for (const auto& weak : selection()) {
            node = weak.lock();
            if (node && node->alive.load()) break;
            node.reset();
        }
        if (!node) throw MelError("addAttr: no object given or selected.");
    }
    if (!flags.has("longName")) throw MelError("addAttr: -longName is needed.");
    const std::string longName = flags.text("longName");
    const std::string shortName = flags.has("shortName") ? flags.text("shortName") : longName;
    if (!validName(longName) || !validName(shortName)) {
        throw MelError("addAttr: '" + longName + "' is not a valid attribute name.");
    }
    if (node->findAttribute(longName) != nullptr || node->findAttribute(shortName) != nullptr) {
        throw MelError("addAttr: " + node->name + " already has an attribute named '" + longName +
                       "'.");
    }
    if (node->dynamic.size() >= 1000) throw MelError("addAttr: too many attributes on a node.");
    auto attribute = std::make_shared<AttributeData>();
    attribute->name = longName;
    attribute->shortName = shortName;
    attribute->added = true;
    attribute->dynamic = true;
    attribute->keyable = flags.has("keyable") && flags.integer("keyable") != 0;
    if (flags.has("dataType") == flags.has("attributeType")) {
        throw MelError("addAttr: give one of -attributeType and -dataType.");
    }
    if (flags.has("dataType")) {
        if (flags.text("dataType") != "string") {
            throw MelError("addAttr: the data type '" + flags.text("dataType") +
                           "' is not modelled by this host.");
        }
        attribute->text = true;
    } else {
        const AttributeKind* kind = nullptr;
        for (const AttributeKind& k : kAttributeKinds) {
            if (flags.text("attributeType") == k.name) kind = &k;
        }
        if (kind == nullptr) {
            throw MelError("addAttr: the attribute type '" + flags.text("attributeType") +
                           "' is not modelled by this host.");
        }
        attribute->numericType = kind->type;
        attribute->unit = kind->unit;
        if (flags.has("defaultValue")) {
            attribute->defaultValue = detail::toInternal(kind->unit, flags.number("defaultValue"));
        }
    }
    std::lock_guard<std::mutex> lock(node->mutex);
    node->dynamic.push_back(attribute);
    if (attribute->text) {
        node->strings[attribute.get()];
    } else {
        attribute->initialize(node->values[attribute.get()]);
    }
    return Value();
}

// An element index of at most nine digits.
int indexOf(const std::string& digits, const std::string& plug) {
    Type kind;
    if (digits.empty() || digits.size() > 9 || !numberText(digits, &kind) || kind != Type::kInt ||
        digits[0] == '-' || digits[0] == '+') {
        throw MelError("setAttr: invalid element range in '" + plug + "'.");
    }
    return std::stoi(digits);
}

std::shared_ptr<NodeData> nodeOfPlug(const std::string& name, const std::string& plug) {
    if (!name.empty()) {
        auto node = findNode(name);
        if (!node) throw MelError("No object matches name: " + plug);
        return node;
    }
    for (const auto& weak : selection()) {
        auto node = weak.lock();
        if (node && node->alive.load()) return node;
    }
    throw MelError("No object is selected for '" + plug + "'.");
}

}  // namespace

bool setCurveKeys(const std::string& plug, const std::vector<Value>& values) {
    const std::size_t dot = plug.find('.');
    const std::size_t open = plug.find('[', dot == std::string::npos ? 0 : dot);
    if (dot == std::string::npos || open == std::string::npos) return false;
    const std::string attribute = plug.substr(dot + 1, open - dot - 1);
    if (attribute != "ktv" && attribute != "keyTimeValue") return false;
    auto node = nodeOfPlug(plug.substr(0, dot), plug);
    const int type = node->type->curveType;
    if (type < MFnAnimCurve::kAnimCurveTA || type > MFnAnimCurve::kAnimCurveTU) {
        throw MelError("setAttr: '" + plug + "' is not the keys of a time-driven curve.");
    }
    const std::size_t close = plug.find(']', open);
    if (close == std::string::npos || close + 1 != plug.size()) {
        throw MelError("setAttr: invalid element range in '" + plug + "'.");
    }
    const std::string range = plug.substr(open + 1, close - open - 1);
    const std::size_t colon = range.find(':');
    const int first = indexOf(range.substr(0, colon), plug);
    const int last = colon == std::string::npos ? first : indexOf(range.substr(colon + 1), plug);
    if (last < first || values.size() != 2 * (static_cast<std::size_t>(last - first) + 1)) {
        throw MelError("setAttr: '" + plug + "' needs a time and a value for each key.");
    }
    static const detail::UnitKind kUnit[] = {detail::UnitKind::kAngular, detail::UnitKind::kLinear,
                                             detail::UnitKind::kUnitless,
                                             detail::UnitKind::kUnitless};
    for (const Value& v : values) {
        if (!v.isNumber()) throw MelError("setAttr: '" + v.asString() + "' is not a number.");
    }
    MFnAnimCurve curve(Access::object(node));
    for (std::size_t k = 0; k < values.size(); k += 2) {
        const MTime time(values[k].asFloat(), MTime::uiUnit());
        if (!curve.addKeyframe(time, detail::toInternal(kUnit[type], values[k + 1].asFloat()))) {
            throw MelError("setAttr: the key at " + values[k].asString() + " of '" + plug +
                           "' could not be set.");
        }
    }
    return true;
}

void addFileCommands(Interpreter& mel) {
    mel.addCommand("file", [&mel](const Invocation& call) { return fileCommand(mel, call); });
    mel.addCommand("requires",
                   [&mel](const Invocation& call) { return requiresCommand(mel, call); });
    mel.addCommand("fileInfo", [](const Invocation& call) {
        // What the file says of itself; nothing in the host reads it.
        static const std::vector<Flag> kFlags;
        Flags flags(call, kFlags, false);
        flags.needObjects(2);
        return Value();
    });
    mel.addCommand("addAttr", addAttrCommand);
}

}  // namespace mel
}  // namespace mayahost
