// Scene commands: nodes, attributes, connections, joints and the DAG.
#include "mel/flags.h"
#include "mel/interpreter.h"
#include "mel/scene.h"
#include "mel/sceneFile.h"

#include <mayahost/host.h>

#include <maya/MAnimControl.h>

#include <algorithm>
#include <cctype>

namespace mayahost {
namespace mel {

using detail::NodeData;

namespace {

using A = Arg;

std::shared_ptr<NodeData> existingNode(const std::string& command, const Value& name) {
    auto node = findNode(name.asString());
    if (!node) throw MelError(command + ": no object matches name: " + name.asString());
    return node;
}

std::shared_ptr<NodeData> existingDagNode(const std::string& command, const Value& name) {
    auto node = existingNode(command, name);
    if (!isDag(*node))
        throw MelError(command + ": " + node->name + " is not a transform or joint.");
    return node;
}

// Maya's name pattern: '*' matches any run of characters.
bool matches(const std::string& pattern, const std::string& name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string::npos;
    std::size_t mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// Values in UI units, as getAttr gives them.
Value valueOf(const PlugRef& plug, const std::vector<double>& values) {
    const detail::UnitKind unit = unitOf(plug);
    if (values.size() == 3) {
        Value array = Value::emptyArray(Type::kFloatArray);
        for (double v : values) array.items.push_back(Value::ofFloat(detail::toUi(unit, v)));
        return array;
    }
    const auto type = plug.attribute->numericType;
    if (type == MFnNumericData::kFloat || type == MFnNumericData::kDouble) {
        return Value::ofFloat(detail::toUi(unit, values[0]));
    }
    return Value::ofInt(static_cast<int>(values[0]));
}

int rotationOrder(const std::string& name) {
    static const char* const kOrders[] = {"xyz", "yzx", "zxy", "xzy", "yxz", "zyx"};
    for (int k = 0; k < 6; ++k) {
        if (name == kOrders[k]) return k;
    }
    throw MelError("Invalid rotation order: " + name);
}

std::shared_ptr<NodeData> firstSelectedDag() {
    for (const auto& weak : selection()) {
        auto node = weak.lock();
        if (node && node->alive.load() && isDag(*node)) return node;
    }
    return nullptr;
}

void select(const std::shared_ptr<NodeData>& node) {
    selection().assign(1, node);
}

Value createNodeCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"name", "n", {A::kString}, "C"},
                                             {"parent", "p", {A::kString}, "C"},
                                             {"shared", "s", {}, "C"},
                                             {"skipSelect", "ss", {}, "C"}};
    Flags flags(call, kFlags, false);
    flags.needObjects(1);
    const std::string type = flags.objects[0].asString();
    if (flags.has("shared") && flags.has("name")) {
        if (auto node = detail::findNodeByName(flags.text("name")))
            return Value::ofString(node->name);
    }
    std::shared_ptr<NodeData> parent;
    if (flags.has("parent")) parent = existingDagNode(call.name, flags.args("parent")[0]);
    MStatus status;
    auto node = detail::createNodeOfType(type, &status);
    if (!node) {
        throw MelError(status == MStatus::kInvalidParameter
                           ? "Unknown object type: " + type
                           : "createNode: could not create " + type);
    }
    if (flags.has("name")) node->name = detail::uniqueName(flags.text("name"), node.get());
    if (parent) {
        if (!isDag(*node)) throw MelError("createNode: " + type + " cannot have a parent.");
        setParent(*node, parent);
    }
    if (!flags.has("skipSelect")) select(node);
    return Value::ofString(node->name);
}

Value setAttrCommand(const Invocation& call) {
    // -size is the count a scene file gives before a range of elements.
    static const std::vector<Flag> kFlags = {{"type", "typ", {A::kString}, "C"},
                                             {"size", "s", {A::kInt}, "C"}};
    Flags flags(call, kFlags, false);
    if (flags.objects.size() < 2) throw MelError("setAttr: a plug and a value are needed.");
    const std::string plugText = flags.objects[0].asString();
    const std::vector<Value> given(flags.objects.begin() + 1, flags.objects.end());
    if (setCurveKeys(plugText, given)) return Value();
    const PlugRef plug = resolvePlug(plugText);
    if (plug.attribute->message) {
        throw MelError("setAttr: '" + plug.text() + "' is a message attribute: it holds no value.");
    }
    if (incoming(plug, nullptr) || !plug.attribute->root()->writable) {
        throw MelError("setAttr: The attribute '" + plug.text() +
                       "' is locked or connected and cannot be modified.");
    }
    const bool stringType = flags.has("type") && flags.text("type") == "string";
    if (plug.attribute->text || stringType) {
        if (!plug.attribute->text || !stringType || given.size() != 1) {
            throw MelError("setAttr: '" + plug.text() +
                           (plug.attribute->text ? "' takes one value of -type \"string\"."
                                                 : "' does not hold a string."));
        }
        // Through the plug, so that the node hears of the change as in Maya.
        writeString(plug, given[0].asString());
        return Value();
    }
    std::vector<double> values;
    for (std::size_t k = 1; k < flags.objects.size(); ++k) {
        const Value& v = flags.objects[k];
        bool ok = v.isNumber();
        double number = ok ? v.asFloat() : 0.0;
        if (!ok && v.type == Type::kString) number = boolOf(v, &ok) ? 1.0 : 0.0;
        if (!ok) throw MelError("setAttr: '" + v.asString() + "' is not a number.");
        values.push_back(detail::toInternal(unitOf(plug), number));
    }
    const std::size_t wanted = plug.attribute->isTriple() ? 3 : 1;
    if (values.size() != wanted) {
        throw MelError("setAttr: '" + plug.text() + "' takes " + std::to_string(wanted) +
                       (wanted == 1 ? " value." : " values."));
    }
    writePlug(plug, values);
    return Value();
}

Value connectAttrCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"force", "f", {}, "C"}};
    Flags flags(call, kFlags, false);
    flags.needObjects(2);
    const PlugRef source = resolvePlug(flags.objects[0].asString());
    const PlugRef destination = resolvePlug(flags.objects[1].asString());
    connect(source, destination, flags.has("force"));
    return Value::ofString("Connected " + source.text() + " to " + destination.text() + ".");
}

Value disconnectAttrCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags;
    Flags flags(call, kFlags, false);
    flags.needObjects(2);
    const PlugRef source = resolvePlug(flags.objects[0].asString());
    const PlugRef destination = resolvePlug(flags.objects[1].asString());
    if (!disconnect(source, destination)) {
        throw MelError("There is no connection from '" + source.text() + "' to '" +
                       destination.text() + "' to disconnect.");
    }
    return Value::ofString("Disconnected " + source.text() + " from " + destination.text() + ".");
}

Value isConnectedCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"ignoreUnitConversion", "iuc", {}, "C"}};
    Flags flags(call, kFlags, false);
    flags.needObjects(2);
    const PlugRef source = resolvePlug(flags.objects[0].asString());
    const PlugRef destination = resolvePlug(flags.objects[1].asString());
    return Value::ofInt(connected(source, destination, flags.has("ignoreUnitConversion")) ? 1 : 0);
}

Value deleteCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags;
    Flags flags(call, kFlags, false);
    std::vector<std::shared_ptr<NodeData>> doomed;
    for (const Value& object : flags.objects) doomed.push_back(existingNode(call.name, object));
    if (flags.objects.empty()) {
        for (const auto& weak : selection()) {
            auto node = weak.lock();
            if (node && node->alive.load()) doomed.push_back(node);
        }
    }
    if (doomed.empty()) throw MelError("delete: no objects given or selected.");
    // A transform or joint goes with everything below it.
    for (const auto& candidate : detail::host().nodes) {
        for (auto p = parentOf(*candidate); p; p = parentOf(*p)) {
            if (std::find(doomed.begin(), doomed.end(), p) != doomed.end()) {
                doomed.push_back(candidate);
                break;
            }
        }
    }
    // Kept in the undo queue: undo brings them back, flushUndo destroys them.
    if (!detail::deleteNodesUndoably(doomed)) {
        throw MelError("delete: the nodes could not be deleted.");
    }
    return Value();
}

Value listConnectionsCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {
        {"source", "s", {A::kBool}, "C"}, {"destination", "d", {A::kBool}, "C"},
        {"plugs", "p", {A::kBool}, "C"},  {"connections", "c", {A::kBool}, "C"},
        {"type", "t", {A::kString}, "C"}, {"skipConversionNodes", "scn", {A::kBool}, "C"}};
    Flags flags(call, kFlags, false);
    flags.needObjects(1);
    const std::string object = flags.objects[0].asString();
    std::shared_ptr<NodeData> node;
    PlugRef plug;
    if (object.find('.') != std::string::npos) {
        plug = resolvePlug(object, true);
    } else {
        node = existingNode(call.name, flags.objects[0]);
    }
    auto flag = [&](const char* name, bool fallback) {
        return flags.has(name) ? flags.integer(name) != 0 : fallback;
    };
    const bool sources = flag("source", true);
    const bool destinations = flag("destination", true);
    const bool plugs = flag("plugs", false);
    const bool pairs = flag("connections", false);
    const bool skipConversions = flag("skipConversionNodes", false);
    std::vector<std::string> out;
    auto mine = [&](const PlugRef& p) {
        if (node) return p.node == node;
        // An array attribute without an index names every element.
        const bool anyElement = plug.index < 0 && plug.attribute->array;
        return p.node == plug.node && (anyElement || p.index == plug.index) &&
               (p.attribute == plug.attribute || p.attribute->root() == plug.attribute);
    };
    for (const Connection& c : connections()) {
        const PlugRef s = c.source();
        const PlugRef d = c.destination();
        for (int side = 0; side < 2; ++side) {
            const PlugRef& own = side == 0 ? d : s;
            const PlugRef& other = side == 0 ? s : d;
            if (!(side == 0 ? sources : destinations) || !mine(own)) continue;
            const std::vector<PlugRef> beyond =
                skipConversions ? lookThrough(other, side == 0) : std::vector<PlugRef>{other};
            for (const PlugRef& far : beyond) {
                if (flags.has("type") && far.node->type->name != flags.text("type")) continue;
                if (pairs) out.push_back(own.text());
                out.push_back(plugs ? far.text() : far.node->name);
            }
        }
    }
    return Value::ofStrings(out);
}

Value lsCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"type", "typ", {A::kString}, "CM"},
                                             {"selection", "sl", {}, "C"}};
    Flags flags(call, kFlags, false);
    std::vector<std::shared_ptr<NodeData>> candidates;
    if (flags.has("selection")) {
        for (const auto& weak : selection()) {
            if (auto n = weak.lock()) {
                if (n->alive.load()) candidates.push_back(n);
            }
        }
    } else {
        candidates = detail::host().nodes;
    }
    std::vector<std::string> out;
    for (const auto& n : candidates) {
        bool typeOk = !flags.has("type");
        for (const FlagUse* use : flags.all("type"))
            typeOk = typeOk || n->type->name == use->args[0].s;
        bool nameOk = flags.objects.empty();
        for (const Value& pattern : flags.objects)
            nameOk = nameOk || matches(pattern.asString(), n->name);
        if (typeOk && nameOk) out.push_back(n->name);
    }
    return Value::ofStrings(out);
}

Value jointCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {
        {"position", "p", {A::kFloat, A::kFloat, A::kFloat}, "CQE"},
        {"name", "n", {A::kString}, "CQE"},
        {"orientation", "o", {A::kFloat, A::kFloat, A::kFloat}, "CQE"},
        {"radius", "rad", {A::kFloat}, "CQE"},
        {"absolute", "a", {}, "CQE"},
        {"relative", "r", {}, "CQE"},
        {"rotationOrder", "roo", {A::kString}, "CQE"},
        {"exists", "ex", {}, "Q"}};
    Flags flags(call, kFlags, true);
    std::shared_ptr<NodeData> joint;
    std::shared_ptr<NodeData> parent;
    if (flags.query) {
        flags.needObjects(1);
        const std::string name = flags.queried()->name;
        if (name == "exists") {
            auto node = findNode(flags.objects[0].asString());
            return Value::ofInt(node && node->type->name == "joint" ? 1 : 0);
        }
        joint = existingNode(call.name, flags.objects[0]);
        if (name == "name") return Value::ofString(joint->name);
        if (name != "position") throw MelError("joint: querying -" + name + " is not supported.");
        const auto p = worldPosition(joint);
        Value array = Value::emptyArray(Type::kFloatArray);
        for (double v : p) {
            array.items.push_back(Value::ofFloat(detail::toUi(detail::UnitKind::kLinear, v)));
        }
        return array;
    }
    if (flags.edit) {
        flags.needObjects(1);
        joint = existingNode(call.name, flags.objects[0]);
        if (joint->type->name != "joint")
            throw MelError("joint: " + joint->name + " is not a joint.");
        parent = parentOf(*joint);
        if (flags.has("name")) joint->name = detail::uniqueName(flags.text("name"), joint.get());
    } else {
        flags.needObjects(0);
        parent = firstSelectedDag();
        MStatus status;
        joint = detail::createNodeOfType("joint", &status);
        if (!joint) throw MelError("joint: could not create a joint.");
        joint->name =
            detail::uniqueName(flags.has("name") ? flags.text("name") : "joint1", joint.get());
        if (parent) setParent(*joint, parent);
        select(joint);
    }
    // A flag's three values in internal units.
    auto triple = [&](const char* flag, detail::UnitKind unit) {
        const auto& a = flags.args(flag);
        return std::vector<double>{detail::toInternal(unit, a[0].asFloat()),
                                   detail::toInternal(unit, a[1].asFloat()),
                                   detail::toInternal(unit, a[2].asFloat())};
    };
    const auto& type = *joint->type;
    if (flags.has("position")) {
        std::vector<double> p = triple("position", detail::UnitKind::kLinear);
        if (!flags.has("relative") && parent) {
            const auto local = toLocal(parent, {p[0], p[1], p[2]});
            p.assign(local.begin(), local.end());
        }
        writePlug({joint, type.find("translate"), -1}, p);
    }
    if (flags.has("orientation"))
        writePlug({joint, type.find("jointOrient"), -1},
                  triple("orientation", detail::UnitKind::kAngular));
    if (flags.has("rotationOrder")) {
        writePlug({joint, type.find("rotateOrder"), -1},
                  {static_cast<double>(rotationOrder(flags.text("rotationOrder")))});
    }
    return Value::ofString(joint->name);
}

Value parentCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {
        {"world", "w", {}, "C"}, {"relative", "r", {}, "C"}, {"absolute", "a", {}, "C"}};
    Flags flags(call, kFlags, false);
    const bool world = flags.has("world");
    if (flags.objects.size() < (world ? 1u : 2u)) throw MelError("parent: too few objects.");
    if (!world && !flags.has("relative")) {
        // Keeping world transforms would need the inverse of the parent's
        // matrix; the scripts parent fresh joints, where -relative is exact.
        throw MelError("parent: only -relative and -world are modelled by this host.");
    }
    std::shared_ptr<NodeData> parent;
    std::size_t children = flags.objects.size();
    if (!world) parent = existingDagNode(call.name, flags.objects[--children]);
    std::vector<std::string> names;
    for (std::size_t k = 0; k < children; ++k) {
        auto child = existingDagNode(call.name, flags.objects[k]);
        setParent(*child, parent);
        names.push_back(child->name);
    }
    return Value::ofStrings(names);
}

Value renameCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags;
    Flags flags(call, kFlags, false);
    flags.needObjects(2);
    auto node = existingNode(call.name, flags.objects[0]);
    const std::string wanted = flags.objects[1].asString();
    if (wanted.empty() ||
        !(std::isalpha(static_cast<unsigned char>(wanted[0])) || wanted[0] == '_')) {
        throw MelError("rename: '" + wanted + "' is not a valid name.");
    }
    node->name = detail::uniqueName(wanted, node.get());
    return Value::ofString(node->name);
}

// Times in the UI unit, as the time slider shows them.
Value playbackOptionsCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"minTime", "min", {A::kFloat}, "CQE"},
                                             {"maxTime", "max", {A::kFloat}, "CQE"},
                                             {"animationStartTime", "ast", {A::kFloat}, "CQE"},
                                             {"animationEndTime", "aet", {A::kFloat}, "CQE"}};
    Flags flags(call, kFlags, true);
    flags.needObjects(0);
    PlaybackRange range = playbackRange();
    if (flags.query) {
        const std::string name = flags.queried()->name;
        if (name == "minTime") return Value::ofFloat(range.minTime);
        if (name == "maxTime") return Value::ofFloat(range.maxTime);
        if (name == "animationStartTime") return Value::ofFloat(range.animationStart);
        return Value::ofFloat(range.animationEnd);
    }
    if (flags.has("minTime")) range.minTime = flags.number("minTime");
    if (flags.has("maxTime")) range.maxTime = flags.number("maxTime");
    if (flags.has("animationStartTime")) range.animationStart = flags.number("animationStartTime");
    if (flags.has("animationEndTime")) range.animationEnd = flags.number("animationEndTime");
    // A playback range set beyond the animation range widens it; an animation
    // range set inside the playback range narrows that.
    if (flags.has("minTime") || flags.has("maxTime")) {
        range.animationStart = std::min(range.animationStart, range.minTime);
        range.animationEnd = std::max(range.animationEnd, range.maxTime);
    } else {
        range.minTime = std::max(range.minTime, range.animationStart);
        range.maxTime = std::min(range.maxTime, range.animationEnd);
    }
    if (!setPlaybackRange(range)) {
        throw MelError("playbackOptions: the start time lies after the end time.");
    }
    return Value();
}

Value currentTimeCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"update", "u", {A::kBool}, "CE"}};
    Flags flags(call, kFlags, true);
    if (flags.query) {
        flags.needObjects(0);
        if (!flags.uses.empty()) throw MelError("currentTime: -query takes no other flag.");
        return Value::ofFloat(MAnimControl::currentTime().as(MTime::uiUnit()));
    }
    flags.needObjects(1);
    const Value& time = flags.objects[0];
    if (!time.isNumber()) throw MelError("currentTime: '" + time.asString() + "' is not a time.");
    MAnimControl::setCurrentTime(MTime(time.asFloat(), MTime::uiUnit()));
    return Value::ofFloat(time.asFloat());
}

Value attributeQueryCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"node", "n", {A::kString}, "C"},
                                             {"exists", "ex", {}, "C"}};
    Flags flags(call, kFlags, false);
    flags.needObjects(1);
    if (!flags.has("node")) throw MelError("attributeQuery: -node is needed.");
    if (!flags.has("exists")) throw MelError("attributeQuery: no query flag given.");
    auto node = existingNode(call.name, flags.args("node")[0]);
    return Value::ofInt(node->findAttribute(flags.objects[0].asString()) != nullptr ? 1 : 0);
}

Value objectTypeCommand(const Invocation& call) {
    static const std::vector<Flag> kFlags = {{"isType", "i", {A::kString}, "C"}};
    Flags flags(call, kFlags, false);
    flags.needObjects(1);
    const std::string type = existingNode(call.name, flags.objects[0])->type->name;
    if (flags.has("isType")) return Value::ofInt(type == flags.text("isType") ? 1 : 0);
    return Value::ofString(type);
}

}  // namespace

void addSceneCommands(Interpreter& mel) {
    mel.addCommand("playbackOptions", playbackOptionsCommand);
    mel.addCommand("currentTime", currentTimeCommand);
    mel.addCommand("attributeQuery", attributeQueryCommand);
    mel.addCommand("objectType", objectTypeCommand);
    mel.addCommand("createNode", createNodeCommand);
    mel.addCommand("objExists", [](const Invocation& call) {
        if (call.args.size() != 1) throw MelError("objExists: wrong number of arguments.");
        const std::string name = call.args[0].asString();
        if (name.find('.') == std::string::npos) return Value::ofInt(findNode(name) ? 1 : 0);
        try {
            resolvePlug(name);
            return Value::ofInt(1);
        } catch (const MelError&) {
            return Value::ofInt(0);
        }
    });
    mel.addCommand("setAttr", setAttrCommand);
    mel.addCommand("getAttr", [](const Invocation& call) {
        static const std::vector<Flag> kFlags;
        Flags flags(call, kFlags, false);
        flags.needObjects(1);
        const PlugRef plug = resolvePlug(flags.objects[0].asString());
        if (plug.attribute->message) {
            throw MelError("getAttr: '" + plug.text() +
                           "' is a message attribute: it holds no value.");
        }
        if (plug.attribute->text) {
            std::lock_guard<std::mutex> lock(plug.node->mutex);
            return Value::ofString(plug.node->strings[plug.attribute]);
        }
        return valueOf(plug, readPlug(plug));
    });
    mel.addCommand("connectAttr", connectAttrCommand);
    mel.addCommand("disconnectAttr", disconnectAttrCommand);
    mel.addCommand("isConnected", isConnectedCommand);
    mel.addCommand("delete", deleteCommand);
    mel.addCommand("undo", [](const Invocation& call) {
        static const std::vector<Flag> kFlags;
        Flags flags(call, kFlags, false);
        flags.needObjects(0);
        if (!detail::undoLastDeletion()) {
            detail::recordInfo("Warning: There are no more commands to undo.");
        }
        return Value();
    });
    mel.addCommand("flushUndo", [](const Invocation& call) {
        static const std::vector<Flag> kFlags;
        Flags flags(call, kFlags, false);
        flags.needObjects(0);
        detail::flushUndoQueue();
        return Value();
    });
    mel.addCommand("listConnections", listConnectionsCommand);
    mel.addCommand("ls", lsCommand);
    mel.addCommand("joint", jointCommand);
    mel.addCommand("parent", parentCommand);
    mel.addCommand("rename", renameCommand);
    mel.addCommand("nodeType", [](const Invocation& call) {
        static const std::vector<Flag> kFlags;
        Flags flags(call, kFlags, false);
        flags.needObjects(1);
        return Value::ofString(existingNode(call.name, flags.objects[0])->type->name);
    });
    mel.addCommand("select", [](const Invocation& call) {
        // -noExpand: a scene file selects the node its next lines set.
        static const std::vector<Flag> kFlags = {{"clear", "cl", {}, "C"},
                                                 {"replace", "r", {}, "C"},
                                                 {"add", "add", {}, "C"},
                                                 {"noExpand", "ne", {}, "C"}};
        Flags flags(call, kFlags, false);
        if (!flags.has("add")) selection().clear();
        for (const Value& object : flags.objects) {
            selection().push_back(existingNode(call.name, object));
        }
        return Value();
    });
}

}  // namespace mel
}  // namespace mayahost
