// Writes the scene as Maya ASCII, in the order Maya writes it: header,
// requires, units, file info, nodes (parents first), the time node, then the
// connections, so that running the text rebuilds the scene.
#include "mel/interpreter.h"
#include "mel/scene.h"
#include "mel/sceneFile.h"

#include <maya/MFnAnimCurve.h>
#include <maya/MTime.h>

#include <cstdio>
#include <cstdlib>
#include <set>

namespace mayahost {
namespace mel {

using detail::AttributeData;
using detail::NodeData;

namespace {

// The value an attribute starts with, as its slot holds it.
double defaultNumber(const AttributeData& attribute) {
    const double v = attribute.root()->defaultValue;
    switch (attribute.numericType) {
        case MFnNumericData::kBoolean:
            return v != 0.0 ? 1.0 : 0.0;
        case MFnNumericData::kByte:
        case MFnNumericData::kChar:
        case MFnNumericData::kShort:
        case MFnNumericData::kInt:
            return static_cast<int>(v);
        case MFnNumericData::kFloat:
        case MFnNumericData::k3Float:
            return static_cast<float>(v);
        default:
            return v;
    }
}

std::string valueText(const AttributeData& attribute, double internal) {
    switch (attribute.numericType) {
        case MFnNumericData::kBoolean:
            return internal != 0.0 ? "yes" : "no";
        case MFnNumericData::kByte:
        case MFnNumericData::kChar:
        case MFnNumericData::kShort:
        case MFnNumericData::kInt:
            return std::to_string(static_cast<int>(internal));
        default:
            return exactNumber(detail::toUi(attribute.root()->unit, internal));
    }
}

// One setAttr line for a plug whose values differ from the default. A
// connected plug gets its value from the connection, so it is not written;
// a triple with some children connected is written child by child.
void writeValue(const PlugRef& plug, std::string& out) {
    if (incoming(plug, nullptr)) {
        if (!plug.attribute->isTriple()) return;
        for (const auto& child : plug.attribute->children) {
            const PlugRef childPlug{plug.node, child.get(), plug.index};
            if (!incoming(childPlug, nullptr)) writeValue(childPlug, out);
        }
        return;
    }
    const AttributeData& attribute = *plug.attribute;
    const std::vector<double> values = storedValues(plug);
    const double fallback =
        defaultNumber(attribute.isTriple() ? *attribute.children[0] : attribute);
    bool differs = false;
    for (double v : values) differs = differs || v != fallback;
    if (!differs) return;
    const AttributeData& root = *attribute.root();
    std::string name = "." + attribute.name;
    if (plug.index >= 0) {
        name = "." + root.name + "[" + std::to_string(plug.index) + "]";
        if (&root != &attribute) name += "." + attribute.name;
    }
    out += "\tsetAttr " + quoted(name);
    if (attribute.isTriple()) {
        out += attribute.numericType == MFnNumericData::k3Double ? " -type \"double3\""
                                                                 : " -type \"float3\"";
    }
    const AttributeData& element = attribute.isTriple() ? *attribute.children[0] : attribute;
    for (double v : values) out += " " + valueText(element, v);
    out += ";\n";
}

bool written(const AttributeData& attribute) {
    // A message attribute holds no value: its connections are what is kept.
    return attribute.storable && attribute.writable && !attribute.generic && !attribute.message;
}

void writeAttributes(const std::shared_ptr<NodeData>& node, std::string& out) {
    std::vector<const AttributeData*> all;
    for (const auto& a : node->type->attributes) all.push_back(a.get());
    for (const auto& a : node->dynamic) all.push_back(a.get());
    for (const AttributeData* attribute : all) {
        if (!written(*attribute)) continue;
        if (attribute->text) {
            std::string text;
            {
                std::lock_guard<std::mutex> lock(node->mutex);
                auto it = node->strings.find(attribute);
                if (it != node->strings.end()) text = it->second;
            }
            if (!text.empty()) {
                out += "\tsetAttr " + quoted("." + attribute->name) + " -type \"string\" " +
                       quoted(text) + ";\n";
            }
            continue;
        }
        if (!attribute->array) {
            writeValue({node, attribute, -1}, out);
            continue;
        }
        std::vector<int> indices;
        {
            std::lock_guard<std::mutex> lock(node->mutex);
            for (const auto& element : node->arrays[attribute]) {
                indices.push_back(static_cast<int>(element.first));
            }
        }
        for (int index : indices) writeValue({node, attribute, index}, out);
    }
}

const char* attributeTypeName(const AttributeData& attribute) {
    switch (attribute.numericType) {
        case MFnNumericData::kBoolean:
            return "bool";
        case MFnNumericData::kByte:
            return "byte";
        case MFnNumericData::kChar:
            return "char";
        case MFnNumericData::kShort:
            return "short";
        case MFnNumericData::kInt:
            return "long";
        case MFnNumericData::kFloat:
            return "float";
        default:
            if (attribute.unit == detail::UnitKind::kLinear) return "doubleLinear";
            if (attribute.unit == detail::UnitKind::kAngular) return "doubleAngle";
            return "double";
    }
}

void writeDynamicAttributes(const NodeData& node, std::string& out) {
    for (const auto& attribute : node.dynamic) {
        out += "\taddAttr -ci true -sn " + quoted(attribute->shortName) + " -ln " +
               quoted(attribute->name);
        if (attribute->text) {
            out += " -dt \"string\";\n";
            continue;
        }
        out += std::string(" -at \"") + attributeTypeName(*attribute) + "\"";
        if (attribute->defaultValue != 0.0) {
            out += " -dv " + valueText(*attribute, attribute->defaultValue);
        }
        out += ";\n";
    }
}

// Keys as Maya writes them: time and value pairs in the UI units.
void writeKeys(const NodeData& node, std::string& out) {
    if (node.keys.empty()) return;
    static const detail::UnitKind kValueUnit[] = {detail::UnitKind::kAngular,
                                                  detail::UnitKind::kLinear};
    const int type = node.type->curveType;
    const detail::UnitKind unit =
        type == MFnAnimCurve::kAnimCurveTA || type == MFnAnimCurve::kAnimCurveTL
            ? kValueUnit[type]
            : detail::UnitKind::kUnitless;
    const std::size_t n = node.keys.size();
    out += "\tsetAttr -s " + std::to_string(n) + " \".ktv[0:" + std::to_string(n - 1) + "]\"";
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 4 == 0) out += "\n\t\t";
        const double time = MTime(node.keys[i].time, node.keyUnit).as(MTime::uiUnit());
        out += " " + exactNumber(time) + " " + exactNumber(detail::toUi(unit, node.keys[i].value));
    }
    out += ";\n";
}

bool skipped(const NodeData& node) {
    return node.type->name == "time" || madeByConnection(node);
}

class Writer {
public:
    std::string nodes;
    std::set<const NodeData*> done;

    void write(const std::shared_ptr<NodeData>& node) {
        if (done.count(node.get()) != 0 || skipped(*node)) return;
        auto parent = parentOf(*node);
        if (parent) write(parent);
        done.insert(node.get());
        nodes += "createNode " + node->type->name + " -n " + quoted(node->name);
        if (parent) nodes += " -p " + quoted(parent->name);
        nodes += ";\n";
        writeDynamicAttributes(*node, nodes);
        writeAttributes(node, nodes);
        if (node->type->curveType >= 0) writeKeys(*node, nodes);
    }
};

std::string requiresLines(const std::set<const NodeData*>& nodes) {
    std::string out;
    for (const auto& plugin : detail::host().plugins) {
        std::set<std::string> types;
        for (const NodeData* node : nodes) {
            if (node->type->plugin == plugin.get()) types.insert(node->type->name);
        }
        if (types.empty()) continue;
        out += "requires";
        for (const std::string& type : types) out += " -nodeType " + quoted(type);
        out += " " + quoted(plugin->name) + " " + quoted(plugin->version) + ";\n";
    }
    for (const NodeData* node : nodes) {
        if (node->type->name == "HIKCharacterNode") {
            out += "requires -nodeType \"HIKCharacterNode\" \"mayaHIK\" \"1.0\";\n";
            break;
        }
    }
    return out;
}

std::string plugText(const PlugRef& plug) {
    return quoted((plug.node->type->name == "time" ? ":" : "") + plug.text());
}

std::string connectionLines(const std::set<const NodeData*>& nodes) {
    std::string out;
    for (const Connection& c : connections()) {
        const PlugRef source = c.source();
        const PlugRef destination = c.destination();
        if (madeByConnection(*source.node)) continue;  // written from its input's side
        std::vector<PlugRef> targets{destination};
        if (madeByConnection(*destination.node)) {
            targets = lookThrough({destination.node, destination.node->findAttribute("output"), -1},
                                  false);
        }
        for (const PlugRef& target : targets) {
            const bool sourceKept =
                nodes.count(source.node.get()) != 0 || source.node->type->name == "time";
            if (!sourceKept || nodes.count(target.node.get()) == 0) continue;
            out += "connectAttr " + plugText(source) + " " + plugText(target) + ";\n";
        }
    }
    return out;
}

}  // namespace

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

std::string exactNumber(double value) {
    char text[40];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

std::string writeSceneText(const std::string& fileName) {
    Writer writer;
    for (const auto& node : detail::host().nodes) writer.write(node);
    Interpreter& mel = interpreter();
    const std::string linear = mel.evaluate("currentUnit -query -linear -fullName").asString();
    const std::string angle = mel.evaluate("currentUnit -query -angle -fullName").asString();
    const std::string time = mel.evaluate("currentUnit -query -time").asString();
    std::string out = "//Maya ASCII 2023 scene\n//Name: " + fileName + "\n//Codeset: UTF-8\n";
    out += "requires maya \"2023\";\n";
    out += requiresLines(writer.done);
    out += "currentUnit -l " + linear + " -a " + angle + " -t " + time + ";\n";
    out += "fileInfo \"application\" \"maya\";\nfileInfo \"product\" \"Maya 2023\";\n";
    out += "fileInfo \"version\" \"2023\";\n";
    out += writer.nodes;
    out +=
        "select -ne :time1;\n\tsetAttr \".o\" " + exactNumber(detail::host().currentTime) + ";\n";
    out += connectionLines(writer.done);
    out += "// End of " + fileName + "\n";
    return out;
}

}  // namespace mel
}  // namespace mayahost
