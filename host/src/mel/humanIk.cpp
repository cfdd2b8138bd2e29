#include "mel/humanIk.h"

#include "hostState.h"
#include "mel/scene.h"

#include <mayahost/host.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <list>

namespace mayahost {
namespace mel {

using detail::NodeData;

namespace {

const char* const kCharacterType = "HIKCharacterNode";
const char* const kLock = "InputCharacterizationLock";

// Slot names by number; slots 21 and 22 are not modelled and have none.
const char* const kSlots[] = {"Reference",
                              "Hips",
                              "LeftUpLeg",
                              "LeftLeg",
                              "LeftFoot",
                              "RightUpLeg",
                              "RightLeg",
                              "RightFoot",
                              "Spine",
                              "LeftArm",
                              "LeftForeArm",
                              "LeftHand",
                              "RightArm",
                              "RightForeArm",
                              "RightHand",
                              "Head",
                              "LeftToeBase",
                              "RightToeBase",
                              "LeftShoulder",
                              "RightShoulder",
                              "Neck",
                              "",
                              "",
                              "Spine1",
                              "Spine2",
                              "Spine3",
                              "Spine4",
                              "Spine5",
                              "Spine6",
                              "Spine7",
                              "Spine8",
                              "Spine9",
                              "Neck1",
                              "Neck2",
                              "Neck3",
                              "Neck4",
                              "Neck5",
                              "Neck6",
                              "Neck7",
                              "Neck8",
                              "Neck9"};
constexpr int kSlotCount = static_cast<int>(sizeof(kSlots) / sizeof(kSlots[0]));
// What a definition needs before it can be locked.
const int kRequired[] = {1, 8, 15, 2, 3, 4, 9, 10, 11, 5, 6, 7, 12, 13, 14};
// Chains that may not skip a link: Spine, Spine1..9 and Neck, Neck1..9.
const int kSpineChain[] = {8, 23, 24, 25, 26, 27, 28, 29, 30, 31};
const int kNeckChain[] = {20, 32, 33, 34, 35, 36, 37, 38, 39, 40};

struct Character {
    std::weak_ptr<NodeData> node;
    std::map<int, std::weak_ptr<NodeData>> mapping;
    std::map<int, HikStanceJoint> stance;
    std::weak_ptr<NodeData> source;
};

struct State {
    bool loaded = false;
    bool scriptsAvailable = true;
    bool proceduresDefined = false;  // HumanIK's scripts sourced
    bool toolBuilt = false;
    std::list<Character> characters;  // references stay valid while others come and go
    std::weak_ptr<NodeData> current;
};

State& state() {
    static State* instance = new State;
    return *instance;
}

std::shared_ptr<NodeData> alive(const std::weak_ptr<NodeData>& weak) {
    auto node = weak.lock();
    return node && node->alive.load() ? node : nullptr;
}

// Characters whose node still exists; deleted ones go with their mapping.
std::list<Character>& characters() {
    auto& all = state().characters;
    all.remove_if([](const Character& c) { return !alive(c.node); });
    return all;
}

// The record of a character node; one made by createNode gets it here.
Character* characterOf(const std::shared_ptr<NodeData>& node) {
    if (!node || node->type->name != kCharacterType) return nullptr;
    for (Character& c : characters()) {
        if (c.node.lock() == node) return &c;
    }
    Character c;
    c.node = node;
    characters().push_back(c);
    return &characters().back();
}

Character& character(const std::string& command, const std::string& name) {
    auto node = findNode(name);
    Character* found = characterOf(node);
    if (found == nullptr) throw MelError(command + ": '" + name + "' is not a HumanIK character.");
    return *found;
}

PlugRef lockPlug(const Character& c) {
    auto node = alive(c.node);
    return {node, node->type->find(kLock), -1};
}

bool locked(const Character& c) {
    return readPlug(lockPlug(c))[0] != 0.0;
}

std::string nameOf(const std::weak_ptr<NodeData>& weak) {
    auto node = alive(weak);
    return node ? node->name : std::string();
}

std::shared_ptr<NodeData> mapped(const Character& c, int slot) {
    auto it = c.mapping.find(slot);
    return it == c.mapping.end() ? nullptr : alive(it->second);
}

// Arguments checked and converted as a MEL procedure's parameters are.
std::vector<Value> parameters(const Invocation& call, std::initializer_list<Type> types) {
    if (call.args.size() != types.size()) {
        throw MelError("Wrong number of arguments on call to " + call.name + ".");
    }
    std::vector<Value> out;
    std::size_t k = 0;
    for (Type type : types) {
        const Value& given = call.args[k++];
        try {
            out.push_back(convert(given, type));
        } catch (const MelError&) {
            throw MelError("Invalid argument " + std::to_string(k) + " on call to " + call.name +
                           ": expected " + typeName(type) + ", got " + typeName(given.type) +
                           (given.type == Type::kString ? " \"" + given.s + "\"." : "."));
        }
    }
    return out;
}

// The procedures that live in the Character Controls' scripts need the
// tool built first.
void needTool(const std::string& command) {
    if (!state().toolBuilt) {
        throw MelError(command +
                       ": the HumanIK Character Controls have not been built "
                       "(run HIKCharacterControlsTool first).");
    }
}

int slotNumber(const std::string& command, int slot) {
    if (slot < 0 || slot >= kSlotCount || kSlots[slot][0] == '\0') {
        throw MelError(command + ": " + std::to_string(slot) + " is not a HumanIK node id.");
    }
    return slot;
}

// What keeps a definition from being locked; empty when it is valid.
std::vector<std::string> definitionProblems(const Character& c) {
    std::vector<std::string> problems;
    for (int slot : kRequired) {
        if (!mapped(c, slot)) problems.push_back(std::string("missing ") + kSlots[slot]);
    }
    for (const auto* chain : {kSpineChain, kNeckChain}) {
        for (int k = 9; k > 0; --k) {
            if (!mapped(c, chain[k])) continue;
            for (int below = 0; below < k; ++below) {
                if (!mapped(c, chain[below])) {
                    problems.push_back(std::string(kSlots[chain[k]]) + " is mapped without " +
                                       kSlots[chain[below]]);
                }
            }
            break;
        }
    }
    return problems;
}

// The T-stance, +Y up and facing +Z: the spine up, the left arm along +X,
// the right along -X, the legs down, the toes forward. Limbs may stray by a
// tolerance this host chooses.
bool inStance(const Character& c) {
    const double kCosTolerance = std::cos(30.0 * 3.14159265358979323846 / 180.0);
    auto along = [&](int from, int to, const double axis[3], bool horizontal) {
        auto a = mapped(c, from);
        auto b = mapped(c, to);
        if (!a || !b) return true;
        const auto p = worldPosition(a);
        const auto q = worldPosition(b);
        double d[3] = {q[0] - p[0], horizontal ? 0.0 : q[1] - p[1], q[2] - p[2]};
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length == 0.0) return false;
        return (d[0] * axis[0] + d[1] * axis[1] + d[2] * axis[2]) / length >= kCosTolerance;
    };
    const double up[3] = {0, 1, 0}, down[3] = {0, -1, 0}, left[3] = {1, 0, 0},
                 right[3] = {-1, 0, 0}, forward[3] = {0, 0, 1};
    return along(1, 15, up, false) && along(9, 11, left, false) && along(12, 14, right, false) &&
           along(2, 4, down, false) && along(5, 7, down, false) && along(4, 16, forward, true) &&
           along(7, 17, forward, true);
}

std::vector<double> localValues(const std::shared_ptr<NodeData>& joint, const char* attribute) {
    const detail::AttributeData* a = joint->type->find(attribute);
    if (a == nullptr) return {0.0, 0.0, 0.0};
    return readPlug({joint, a, -1});
}

// A source relation needs both definitions locked: unlocking ends the
// relations the character takes part in.
void dropSourcesOf(const std::shared_ptr<NodeData>& node) {
    for (Character& c : characters()) {
        if (c.node.lock() == node || alive(c.source) == node) c.source.reset();
    }
}

void registerCharacterType() {
    auto type = std::make_shared<detail::NodeType>();
    type->name = kCharacterType;
    type->builtIn = true;
    type->fnType = MFn::kDependencyNode;
    auto lock = std::make_shared<detail::AttributeData>();
    lock->name = kLock;
    lock->shortName = kLock;
    lock->numericType = MFnNumericData::kBoolean;
    lock->added = true;
    type->attributes.push_back(lock);
    detail::host().types[kCharacterType] = type;
}

Value createCharacter(const Invocation& call) {
    const std::string wanted = parameters(call, {Type::kString})[0].s;
    if (wanted.empty() ||
        !(std::isalpha(static_cast<unsigned char>(wanted[0])) || wanted[0] == '_')) {
        throw MelError(call.name + ": '" + wanted + "' is not a valid name.");
    }
    MStatus status;
    auto node = detail::createNodeOfType(kCharacterType, &status);
    if (!node) throw MelError(call.name + ": could not create a " + kCharacterType + ".");
    node->name = detail::uniqueName(wanted, node.get());
    characterOf(node);
    return Value::ofString(node->name);
}

Value setCharacterObject(const Invocation& call) {
    const auto p = parameters(call, {Type::kString, Type::kString, Type::kInt, Type::kInt});
    auto joint = findNode(p[0].s);
    if (!joint) throw MelError(call.name + ": no object matches name: " + p[0].s);
    Character& c = character(call.name, p[1].s);
    const int slot = slotNumber(call.name, p[2].i);
    // The reference may be a group or locator above the root; the rest are joints.
    if (joint->type->name != "joint" && !(slot == 0 && isDag(*joint))) {
        throw MelError(call.name + ": '" + joint->name + "' is not a joint.");
    }
    if (locked(c)) {
        throw MelError(call.name + ": the definition of '" + nameOf(c.node) +
                       "' is locked; unlock it to change the mapping.");
    }
    if (p[3].i != 0) {
        if (mapped(c, slot) != joint) {
            throw MelError(call.name + ": '" + joint->name + "' is not mapped to " + kSlots[slot] +
                           " of '" + nameOf(c.node) + "'.");
        }
        c.mapping.erase(slot);
        return Value();
    }
    for (const auto& entry : c.mapping) {
        if (entry.first != slot && alive(entry.second) == joint) {
            throw MelError(call.name + ": '" + joint->name + "' is already mapped to " +
                           kSlots[entry.first] + " of '" + nameOf(c.node) + "'.");
        }
    }
    c.mapping[slot] = joint;
    return Value();
}

Value validateSkeleton(const Invocation& call) {
    Character& c = character(call.name, parameters(call, {Type::kString})[0].s);
    const std::vector<std::string> problems = definitionProblems(c);
    if (problems.empty()) return Value::ofInt(1);
    std::string text;
    for (const std::string& problem : problems) text += (text.empty() ? "" : ", ") + problem;
    detail::recordInfo("Warning: The skeleton definition of '" + nameOf(c.node) +
                       "' is not valid: " + text + ".");
    return Value::ofInt(0);
}

Value toggleLock(const Invocation& call) {
    parameters(call, {});
    needTool(call.name);
    auto node = alive(state().current);
    if (!node) throw MelError(call.name + ": there is no current character.");
    Character& c = *characterOf(node);
    if (locked(c)) {
        writePlug(lockPlug(c), {0.0});
        c.stance.clear();
        dropSourcesOf(node);
        return Value();
    }
    // An invalid definition, or joints out of the T-stance, do not lock, and
    // say nothing: callers read the attribute again.
    if (!definitionProblems(c).empty() || !inStance(c)) return Value();
    c.stance.clear();
    for (const auto& entry : c.mapping) {
        auto joint = alive(entry.second);
        if (!joint) continue;
        HikStanceJoint& s = c.stance[entry.first];
        s.joint = joint->name;
        const auto t = localValues(joint, "translate");
        const auto r = localValues(joint, "rotate");
        const auto o = localValues(joint, "jointOrient");
        for (int k = 0; k < 3; ++k) {
            s.translate[k] = t[k];
            s.rotate[k] = r[k];
            s.jointOrient[k] = o[k];
        }
    }
    writePlug(lockPlug(c), {1.0});
    return Value();
}

// The older mayaHIKsetCharacterInput lets an empty source disconnect; that
// hikSetCharacterInput does is not shown anywhere, so here "" names no
// character and fails.
Value setCharacterInput(const Invocation& call, bool emptyDisconnects) {
    const auto p = parameters(call, {Type::kString, Type::kString});
    needTool(call.name);
    Character& target = character(call.name, p[0].s);
    if (p[1].s.empty() && emptyDisconnects) {
        target.source.reset();
        return Value();
    }
    Character& source = character(call.name, p[1].s);
    auto sourceNode = alive(source.node);
    auto targetNode = alive(target.node);
    if (sourceNode == targetNode) {
        throw MelError(call.name + ": '" + p[1].s + "' cannot drive itself.");
    }
    if (!locked(source)) {
        throw MelError(call.name + ": the definition of '" + sourceNode->name +
                       "' is not locked; it cannot be a source.");
    }
    if (!locked(target)) {
        throw MelError(call.name + ": the definition of '" + targetNode->name +
                       "' is not locked; it cannot be driven.");
    }
    for (auto up = alive(source.source); up; up = alive(characterOf(up)->source)) {
        if (up == targetNode) {
            throw MelError(call.name + ": '" + sourceNode->name + "' is driven by '" +
                           targetNode->name + "'.");
        }
    }
    target.source = sourceNode;
    return Value();
}

const char* const kScripts[] = {"hikGlobalUtils", "hikCharacterControlsUI",
                                "hikDefinitionOperations"};

// The procedures of HumanIK's scripts, defined when one of them is sourced
// (the host does not tell which file holds which).
void addHumanIkProcedures(Interpreter& mel) {
    state().proceduresDefined = true;
    mel.addCommand("hikCreateCharacter", createCharacter);
    mel.addCommand("setCharacterObject", setCharacterObject);
    mel.addCommand("hikUpdateDefinitionUI", [](const Invocation& call) {
        parameters(call, {});
        needTool(call.name);
        return Value();
    });
    mel.addCommand("hikGetSkNode", [](const Invocation& call) {
        const auto p = parameters(call, {Type::kString, Type::kInt});
        const Character& c = character(call.name, p[0].s);
        if (p[1].i < 0 || p[1].i >= kSlotCount) {
            throw MelError(call.name + ": " + std::to_string(p[1].i) +
                           " is not a HumanIK node id.");
        }
        auto joint = mapped(c, p[1].i);
        return Value::ofString(joint ? joint->name : "");
    });
    mel.addCommand("hikValidateSkeleton", validateSkeleton);
    mel.addCommand("hikSetCurrentCharacter", [](const Invocation& call) {
        const std::string name = parameters(call, {Type::kString})[0].s;
        needTool(call.name);
        state().current = name.empty() ? nullptr : character(call.name, name).node.lock();
        return Value();
    });
    mel.addCommand("hikGetCurrentCharacter", [](const Invocation& call) {
        parameters(call, {});
        needTool(call.name);
        return Value::ofString(nameOf(state().current));
    });
    mel.addCommand("hikToggleLockDefinition", toggleLock);
    mel.addCommand("hikSetCharacterInput",
                   [](const Invocation& call) { return setCharacterInput(call, false); });
    mel.addCommand("mayaHIKsetCharacterInput",
                   [](const Invocation& call) { return setCharacterInput(call, true); });
    // 1 enables the character; 0 and 2 disable it, which disconnects its
    // retargeter: Maya's Source menu does only that for "None".
    mel.addCommand("hikEnableCharacter", [](const Invocation& call) {
        const auto p = parameters(call, {Type::kString, Type::kInt});
        needTool(call.name);
        Character& c = character(call.name, p[0].s);
        if (p[1].i < 0 || p[1].i > 2) {
            throw MelError(call.name + ": " + std::to_string(p[1].i) + " is not 0, 1 or 2.");
        }
        if (p[1].i != 1) c.source.reset();
        return Value();
    });
    mel.addCommand("hikUpdateSourceList", [](const Invocation& call) {
        parameters(call, {});
        needTool(call.name);
        return Value();
    });
}

// Where Maya's scripts are missing, sourcing fails as for any file.
void sourceScripts(Interpreter& mel, const std::string& file) {
    if (!detail::host().humanIkAvailable || !state().scriptsAvailable) {
        throw MelError("Cannot find file \"" + file + "\" for source statement.");
    }
    if (!state().proceduresDefined) addHumanIkProcedures(mel);
}

// The mayaHIK plug-in's own commands, which exist once it is loaded.
void addHumanIkCommands(Interpreter& mel) {
    // Building the Character Controls sources their scripts.
    mel.addCommand("HIKCharacterControlsTool", [&mel](const Invocation& call) {
        parameters(call, {});
        if (detail::host().batchMode) {
            throw MelError(call.name + ": the Character Controls need the interactive UI.");
        }
        sourceScripts(mel, "hikCharacterControlsUI.mel");
        state().toolBuilt = true;
        return Value();
    });
    mel.addCommand("hikGetNodeCount", [](const Invocation& call) {
        parameters(call, {});
        return Value::ofInt(kSlotCount);
    });
    mel.addCommand("GetHIKNodeName", [](const Invocation& call) {
        const int slot = parameters(call, {Type::kInt})[0].i;
        if (slot < 0 || slot >= kSlotCount) {
            throw MelError(call.name + ": " + std::to_string(slot) + " is not a HumanIK node id.");
        }
        return Value::ofString(kSlots[slot]);
    });
    mel.addCommand("hikGetNodeIdFromName", [](const Invocation& call) {
        const std::string name = parameters(call, {Type::kString})[0].s;
        for (int k = 0; k < kSlotCount; ++k) {
            if (!name.empty() && name == kSlots[k]) return Value::ofInt(k);
        }
        throw MelError(call.name + ": '" + name + "' is not a HumanIK node name.");
    });
}

const char* const kProcedures[] = {"HIKCharacterControlsTool", "hikCreateCharacter",
                                   "setCharacterObject",       "hikUpdateDefinitionUI",
                                   "hikGetNodeCount",          "GetHIKNodeName",
                                   "hikGetNodeIdFromName",     "hikGetSkNode",
                                   "hikValidateSkeleton",      "hikSetCurrentCharacter",
                                   "hikGetCurrentCharacter",   "hikToggleLockDefinition",
                                   "hikSetCharacterInput",     "mayaHIKsetCharacterInput",
                                   "hikEnableCharacter",       "hikUpdateSourceList"};

}  // namespace

bool loadHumanIk(Interpreter& mel, std::string* error) {
    if (!detail::host().humanIkAvailable) {
        *error = "Plug-in, \"mayaHIK\", was not found on MAYA_PLUG_IN_PATH.";
        return false;
    }
    if (state().loaded) return true;
    registerCharacterType();
    addHumanIkCommands(mel);
    state().loaded = true;
    return true;
}

bool humanIkLoaded() {
    return state().loaded;
}

bool sourceHumanIkScript(Interpreter& mel, const std::string& name) {
    const std::size_t slash = name.find_last_of("/\\");
    std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    const std::string suffix = ".mel";
    if (file.size() > suffix.size() &&
        file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0) {
        file.resize(file.size() - suffix.size());
    }
    for (const char* script : kScripts) {
        if (file == script) {
            sourceScripts(mel, name);
            return true;
        }
    }
    return false;
}

void clearHumanIk(Interpreter& mel) {
    for (const char* name : kProcedures) mel.removeCommand(name);
    state() = State();
}

}  // namespace mel

void setHumanIkAvailable(bool available) {
    detail::host().humanIkAvailable = available;
}

void setHumanIkScriptsAvailable(bool available) {
    mel::state().scriptsAvailable = available;
}

bool isHumanIkLoaded() {
    return mel::humanIkLoaded();
}

void setBatchMode(bool batch) {
    detail::host().batchMode = batch;
}

bool batchMode() {
    return detail::host().batchMode;
}

HikCharacter hikCharacter(const std::string& name) {
    HikCharacter out;
    auto node = mel::findNode(name);
    const mel::Character* c = mel::characterOf(node);
    if (c == nullptr) return out;
    out.exists = true;
    for (const auto& entry : c->mapping) {
        if (auto joint = mel::alive(entry.second)) out.mapping[entry.first] = joint->name;
    }
    out.locked = mel::locked(*c);
    out.stance = c->stance;
    out.source = mel::nameOf(c->source);
    return out;
}

std::vector<std::string> hikCharacters() {
    std::vector<std::string> names;
    for (const auto& c : mel::characters()) names.push_back(mel::nameOf(c.node));
    return names;
}

}  // namespace mayahost
