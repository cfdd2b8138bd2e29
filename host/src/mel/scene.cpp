#include "mel/scene.h"

#include "mel/value.h"

#include <maya/MAnimControl.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>

#include <algorithm>
#include <cmath>

namespace mayahost {
namespace mel {

using detail::Access;
using detail::AttributeData;
using detail::NodeData;
using detail::NodeType;

namespace {

struct SceneState {
    std::vector<Connection> connections;
    // Conversion nodes that connections made: they go with their connection.
    std::vector<std::weak_ptr<NodeData>> conversions;
    std::vector<std::pair<std::weak_ptr<NodeData>, std::weak_ptr<NodeData>>> parents;
    std::vector<std::weak_ptr<NodeData>> selection;
};

SceneState& state() {
    static SceneState* instance = new SceneState;
    return *instance;
}

std::shared_ptr<AttributeData> numeric(const std::string& name, const std::string& shortName,
                                       MFnNumericData::Type type) {
    auto attribute = std::make_shared<AttributeData>();
    attribute->name = name;
    attribute->shortName = shortName;
    attribute->numericType = type;
    attribute->keyable = true;
    attribute->added = true;
    return attribute;
}

// A double triple, as the transform attributes are, so that values converted
// to internal units and back read as they were set.
std::shared_ptr<AttributeData> triple(const std::string& name, const std::string& shortName,
                                      detail::UnitKind unit) {
    auto attribute = numeric(name, shortName, MFnNumericData::k3Double);
    attribute->unit = unit;
    int k = 0;
    for (const char* axis : {"X", "Y", "Z"}) {
        auto child =
            numeric(name + axis, shortName + static_cast<char>('x' + k), MFnNumericData::kDouble);
        child->unit = unit;
        child->parent = attribute;
        child->childIndex = k++;
        attribute->children.push_back(child);
    }
    return attribute;
}

std::shared_ptr<NodeType> dagType(const std::string& name, MFn::Type fn, bool joint) {
    auto type = std::make_shared<NodeType>();
    type->name = name;
    type->builtIn = true;
    type->fnType = fn;
    type->kind = MPxNode::kTransformNode;
    type->attributes.push_back(triple("translate", "t", detail::UnitKind::kLinear));
    type->attributes.push_back(triple("rotate", "r", detail::UnitKind::kAngular));
    type->attributes.push_back(numeric("rotateOrder", "ro", MFnNumericData::kInt));
    if (joint) type->attributes.push_back(triple("jointOrient", "jo", detail::UnitKind::kAngular));
    return type;
}

MObject objectOf(const std::shared_ptr<NodeData>& node) {
    return Access::object(node);
}
MObject objectOf(const AttributeData* attribute) {
    return Access::object(const_cast<AttributeData*>(attribute)->shared_from_this());
}

}  // namespace

bool isTimeOutput(const PlugRef& plug) {
    return plug.node->type->name == "time" && plug.attribute->name == "outTime";
}

namespace {

bool isConversionPlug(const PlugRef& plug) {
    return isConversionNode(*plug.node) && plug.attribute->generic;
}

PlugRef conversionPlug(const std::shared_ptr<NodeData>& node, const char* attribute) {
    return {node, node->type->find(attribute), -1};
}

bool live(const Connection& c) {
    auto s = c.sourceNode.lock();
    auto d = c.destinationNode.lock();
    return s && d && s->alive.load() && d->alive.load();
}

// The connection into exactly this plug, if any. Reads ask this for every
// attribute of every joint: it walks the connections without copying them.
bool incomingExact(const PlugRef& destination, Connection* found) {
    for (const Connection& c : state().connections) {
        if (c.destinationAttribute == destination.attribute &&
            c.destinationIndex == destination.index && live(c) &&
            c.destinationNode.lock() == destination.node) {
            if (found != nullptr) *found = c;
            return true;
        }
    }
    return false;
}

std::vector<PlugRef> outgoing(const PlugRef& source) {
    std::vector<PlugRef> out;
    for (const Connection& c : state().connections) {
        if (live(c) && c.source() == source) out.push_back(c.destination());
    }
    return out;
}

void eraseConnection(const PlugRef& source, const PlugRef& destination) {
    auto& all = state().connections;
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (it->source() == source && it->destination() == destination) {
            all.erase(it);
            break;
        }
    }
    // Whatever fed it, the scene time no longer drives the destination.
    auto& inputs = destination.node->timeInputs;
    inputs.erase(std::remove_if(inputs.begin(), inputs.end(),
                                [&](const NodeData::TimeInput& input) {
                                    return input.attribute == destination.attribute;
                                }),
                 inputs.end());
}

bool isTimeConversion(const NodeData& node) {
    return node.type->name == "timeToUnitConversion";
}

// Frames per second of the current UI time unit.
double uiFramesPerSecond() {
    return MTime(1.0, MTime::kSeconds).as(MTime::uiUnit());
}

// Seconds of a time in UI frames, exact for whole frames at whole rates.
double ticksOf(double uiFrames) {
    return MTime(uiFrames, MTime::uiUnit()).as(MTime::kSeconds) * detail::kTicksPerSecond;
}

// The stored values, without computing.
std::vector<double> stored(const PlugRef& plug) {
    const AttributeData* root = plug.attribute->root();
    std::lock_guard<std::mutex> lock(plug.node->mutex);
    detail::Slot fresh;
    root->initialize(fresh);
    const detail::Slot* slot = &fresh;
    if (root->array) {
        auto& elements = plug.node->arrays[root];
        auto it = elements.find(static_cast<unsigned int>(plug.index));
        if (it != elements.end()) slot = &it->second;
    } else if (const detail::Slot* own = plug.node->slot(root)) {
        slot = own;
    }
    if (plug.attribute->numericType == MFnNumericData::k3Double)
        return {slot->d3[0], slot->d3[1], slot->d3[2]};
    if (plug.attribute->isTriple()) return {slot->f3[0], slot->f3[1], slot->f3[2]};
    if (plug.attribute->childIndex >= 0) {
        const int k = plug.attribute->childIndex;
        if (plug.attribute->numericType == MFnNumericData::kDouble) return {slot->d3[k]};
        return {slot->f3[k]};
    }
    switch (plug.attribute->numericType) {
        case MFnNumericData::kBoolean:
            return {slot->b ? 1.0 : 0.0};
        case MFnNumericData::kByte:
        case MFnNumericData::kChar:
        case MFnNumericData::kShort:
        case MFnNumericData::kInt:
            return {static_cast<double>(slot->i)};
        case MFnNumericData::kFloat:
            return {slot->f};
        default:
            return {slot->d};
    }
}

void multiply(const double a[16], const double b[16], double out[16]) {
    double r[16];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r[i * 4 + j] = 0.0;
            for (int k = 0; k < 4; ++k) r[i * 4 + j] += a[i * 4 + k] * b[k * 4 + j];
        }
    }
    for (int k = 0; k < 16; ++k) out[k] = r[k];
}

void identity(double m[16]) {
    for (int k = 0; k < 16; ++k) m[k] = (k % 5 == 0) ? 1.0 : 0.0;
}

// Rotation about one axis (0 x, 1 y, 2 z), column-vector convention.
void axisRotation(int axis, double radians, double m[16]) {
    identity(m);
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const int i = (axis + 1) % 3;
    const int j = (axis + 2) % 3;
    m[i * 4 + i] = c;
    m[i * 4 + j] = -s;
    m[j * 4 + i] = s;
    m[j * 4 + j] = c;
}

// Euler rotation applied in `order` (xyz: x first), as Maya's rotateOrder.
void eulerRotation(const std::vector<double>& radians, int order, double m[16]) {
    static const int kOrders[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1},
                                      {0, 2, 1}, {1, 0, 2}, {2, 1, 0}};
    const int* axes = kOrders[order >= 0 && order < 6 ? order : 0];
    identity(m);
    for (int k = 0; k < 3; ++k) {
        double r[16];
        axisRotation(axes[k], radians[axes[k]], r);
        multiply(r, m, m);
    }
}

void worldMatrix(const std::shared_ptr<NodeData>& node, double m[16], int depth) {
    if (depth > 1000) throw MelError("DAG cycle at " + node->name + ".");
    double local[16];
    identity(local);
    const NodeType& type = *node->type;
    const std::vector<double> t = readPlug({node, type.find("translate"), -1});
    local[3] = t[0];
    local[7] = t[1];
    local[11] = t[2];
    if (const AttributeData* orient = type.find("jointOrient")) {
        double o[16];
        eulerRotation(readPlug({node, orient, -1}), 0, o);
        multiply(local, o, local);
    }
    double r[16];
    const int order = static_cast<int>(readPlug({node, type.find("rotateOrder"), -1})[0]);
    eulerRotation(readPlug({node, type.find("rotate"), -1}), order, r);
    multiply(local, r, local);
    auto parent = parentOf(*node);
    if (parent) {
        double p[16];
        worldMatrix(parent, p, depth + 1);
        multiply(p, local, m);
    } else {
        for (int k = 0; k < 16; ++k) m[k] = local[k];
    }
}

}  // namespace

std::string PlugRef::text() const {
    const AttributeData* root = attribute->root();
    if (index < 0) return node->name + "." + attribute->name;
    std::string out = node->name + "." + root->name + "[" + std::to_string(index) + "]";
    return root == attribute ? out : out + "." + attribute->name;
}

bool PlugRef::operator==(const PlugRef& other) const {
    return node == other.node && attribute == other.attribute && index == other.index;
}

std::shared_ptr<NodeData> findNode(const std::string& name) {
    const std::size_t bar = name.find_last_of('|');
    std::string shortName = bar == std::string::npos ? name : name.substr(bar + 1);
    // ":time1" names the node in the root namespace, as scene files write it.
    if (!shortName.empty() && shortName[0] == ':') shortName.erase(0, 1);
    auto node = detail::findNodeByName(shortName);
    if (!node && shortName == "time1") {
        MStatus status;
        node = detail::createNodeOfType("time", &status);
        if (node) node->name = detail::uniqueName("time1", node.get());
    }
    return node;
}

PlugRef resolvePlug(const std::string& text, bool wholeArray) {
    const std::size_t dot = text.find('.');
    if (dot == std::string::npos) throw MelError("No attribute named in '" + text + "'.");
    PlugRef plug;
    if (dot == 0) {
        // ".attr" is on the selected node, as a scene file sets the node it just created.
        for (const auto& weak : selection()) {
            auto node = weak.lock();
            if (node && node->alive.load()) {
                plug.node = node;
                break;
            }
        }
        if (!plug.node) throw MelError("No object is selected for '" + text + "'.");
    } else {
        plug.node = findNode(text.substr(0, dot));
    }
    if (!plug.node) throw MelError("No object matches name: " + text);
    std::string rest = text.substr(dot + 1);
    std::string child;
    const std::size_t open = rest.find('[');
    if (open != std::string::npos) {
        const std::size_t close = rest.find(']', open);
        if (close == std::string::npos) throw MelError("Invalid attribute name: " + text);
        const std::string digits = rest.substr(open + 1, close - open - 1);
        Type kind;
        if (!numberText(digits, &kind) || kind != Type::kInt || digits[0] == '-') {
            throw MelError("Invalid attribute index: " + text);
        }
        if (digits.size() > 9) throw MelError("Invalid attribute index: " + text);  // above 2^31
        plug.index = std::stoi(digits);
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != '.') throw MelError("Invalid attribute name: " + text);
            child = rest.substr(close + 2);
        }
        rest = rest.substr(0, open);
    }
    plug.attribute = plug.node->findAttribute(rest);
    if (plug.attribute == nullptr) throw MelError("No object matches name: " + text);
    if (!child.empty()) {
        const AttributeData* c = plug.node->findAttribute(child);
        if (c == nullptr || c->root() != plug.attribute) {
            throw MelError("No object matches name: " + text);
        }
        plug.attribute = c;
    }
    const bool array = plug.attribute->root()->array;
    if (array != (plug.index >= 0) && !(wholeArray && array && child.empty())) {
        throw MelError(array ? "An element index is needed: " + text
                             : "The attribute is not an array: " + text);
    }
    return plug;
}

PlugRef Connection::source() const {
    return {sourceNode.lock(), sourceAttribute, sourceIndex};
}
PlugRef Connection::destination() const {
    return {destinationNode.lock(), destinationAttribute, destinationIndex};
}

std::vector<Connection> connections() {
    auto& all = state().connections;
    std::vector<Connection> live;
    for (const Connection& c : all) {
        auto s = c.sourceNode.lock();
        auto d = c.destinationNode.lock();
        if (s && d && s->alive.load() && d->alive.load()) live.push_back(c);
    }
    all = live;
    return live;
}

bool incoming(const PlugRef& destination, Connection* found) {
    for (const Connection& c : connections()) {
        const PlugRef d = c.destination();
        if (d.node != destination.node || d.index != destination.index) continue;
        if (d.attribute == destination.attribute || d.attribute == destination.attribute->root() ||
            d.attribute->root() == destination.attribute) {
            if (found != nullptr) *found = c;
            return true;
        }
    }
    return false;
}

bool madeByConnection(const NodeData& node) {
    for (const auto& weak : state().conversions) {
        if (weak.lock().get() == &node) return true;
    }
    return false;
}

bool isConversionNode(const NodeData& node) {
    return node.type->name == "unitConversion" || isTimeConversion(node);
}

detail::UnitKind unitOf(const PlugRef& plug) {
    if (!isConversionPlug(plug)) return plug.attribute->unit;
    // A conversion node's input measures what its source does, its output
    // what its destination does.
    if (plug.attribute->name == "input") {
        Connection c;
        return incomingExact(plug, &c) ? unitOf(c.source()) : detail::UnitKind::kUnitless;
    }
    for (const PlugRef& destination : outgoing(plug)) return unitOf(destination);
    return detail::UnitKind::kUnitless;
}

void connect(const PlugRef& source, const PlugRef& destination, bool force) {
    // A message attribute connects only to another: no data flows.
    if (source.attribute->message != destination.attribute->message) {
        throw MelError("The attributes '" + source.text() + "' and '" + destination.text() +
                       "' are not compatible.");
    }
    if (!source.attribute->generic && !destination.attribute->generic &&
        source.attribute->isTriple() != destination.attribute->isTriple()) {
        throw MelError("The attributes '" + source.text() + "' and '" + destination.text() +
                       "' are not compatible.");
    }
    if (!destination.attribute->root()->writable) {
        throw MelError("The attribute '" + destination.text() + "' is not writable.");
    }
    Connection existing;
    if (incoming(destination, &existing)) {
        if (!force) {
            throw MelError("'" + destination.text() +
                           "' already has an incoming connection from '" +
                           existing.source().text() + "'.");
        }
        eraseConnection(existing.source(), existing.destination());
    }
    // A time into a number goes through a timeToUnitConversion node that
    // turns ticks into frames of the UI unit of this moment.
    const bool timeIntoNumber =
        unitOf(source) == detail::UnitKind::kTime && unitOf(destination) != detail::UnitKind::kTime;
    const double factor = timeIntoNumber
                              ? uiFramesPerSecond() / detail::kTicksPerSecond
                              : detail::conversionFactor(unitOf(source), unitOf(destination));
    if (timeIntoNumber || factor != 1.0) {
        // The factor is fixed now: later changes of the UI units leave it.
        const char* type = timeIntoNumber ? "timeToUnitConversion" : "unitConversion";
        MStatus status;
        auto conversion = detail::createNodeOfType(type, &status);
        if (!conversion)
            throw MelError(std::string("connectAttr: could not create a ") + type + ".");
        writePlug(conversionPlug(conversion, "conversionFactor"), {factor});
        state().conversions.push_back(conversion);
        const PlugRef input = conversionPlug(conversion, "input");
        const PlugRef output = conversionPlug(conversion, "output");
        state().connections.push_back(
            {source.node, source.attribute, source.index, conversion, input.attribute, -1});
        state().connections.push_back({conversion, output.attribute, -1, destination.node,
                                       destination.attribute, destination.index});
        if (isTimeOutput(source)) {
            destination.node->timeInputs.push_back({destination.attribute, true, conversion});
            writePlug(destination, readPlug(output));
        }
    } else {
        state().connections.push_back({source.node, source.attribute, source.index,
                                       destination.node, destination.attribute, destination.index});
        if (isTimeOutput(source)) {
            // The host pushes the current time into time inputs on every change.
            destination.node->timeInputs.push_back({destination.attribute, false, {}});
            writePlug(destination, readPlug(source));
        }
    }
    detail::dropOrphanConversions();
    // Other destinations pull their source when read, as Maya evaluates
    // lazily: connecting computes nothing.
}

bool disconnect(const PlugRef& source, const PlugRef& destination) {
    if (connected(source, destination, false)) {
        eraseConnection(source, destination);
    } else if (connected(source, destination, true)) {
        Connection c;
        incomingExact(destination, &c);
        const PlugRef output = c.source();
        eraseConnection(output, destination);
        eraseConnection(source, conversionPlug(output.node, "input"));
    } else {
        return false;
    }
    detail::dropOrphanConversions();
    return true;
}

bool connected(const PlugRef& source, const PlugRef& destination, bool throughConversion) {
    Connection c;
    if (!incomingExact(destination, &c)) return false;
    const PlugRef from = c.source();
    if (from == source) return true;
    if (!throughConversion || !isConversionPlug(from)) return false;
    Connection in;
    return incomingExact(conversionPlug(from.node, "input"), &in) && in.source() == source;
}

std::vector<PlugRef> lookThrough(const PlugRef& plug, bool upstream) {
    if (!isConversionPlug(plug)) return {plug};
    if (upstream) {
        Connection c;
        if (!incomingExact(conversionPlug(plug.node, "input"), &c)) return {};
        return lookThrough(c.source(), true);
    }
    std::vector<PlugRef> out;
    for (const PlugRef& destination : outgoing(conversionPlug(plug.node, "output"))) {
        for (const PlugRef& beyond : lookThrough(destination, false)) out.push_back(beyond);
    }
    return out;
}

namespace {

// A conversion node's output: what its input receives times its factor.
std::vector<double> readConversion(const PlugRef& plug) {
    const PlugRef input = conversionPlug(plug.node, "input");
    std::vector<double> values;
    Connection c;
    if (incomingExact(input, &c)) {
        values = readPlug(c.source());
        // A time input takes ticks; the host keeps times in UI frames.
        if (isTimeConversion(*plug.node) && isTimeOutput(c.source())) values = {ticksOf(values[0])};
    } else {
        values = stored(input);
    }
    if (plug.attribute->name == "output") {
        const double factor = stored(conversionPlug(plug.node, "conversionFactor"))[0];
        for (double& v : values) v *= factor;
    }
    return values;
}

}  // namespace

std::vector<double> readPlug(const PlugRef& plug) {
    if (isTimeOutput(plug)) return {detail::host().currentTime};
    double curveValue = 0.0;
    if (plug.node->type->curveType >= 0 &&
        detail::curveOutput(*plug.node, *plug.attribute, &curveValue)) {
        return {curveValue};
    }
    if (isConversionPlug(plug)) return readConversion(plug);
    Connection c;
    const bool child = plug.attribute->childIndex >= 0;
    const PlugRef parent = child ? PlugRef{plug.node, plug.attribute->root(), plug.index} : plug;
    if (incomingExact(plug, &c) || (child && incomingExact(parent, &c))) {
        std::vector<double> values = readPlug(c.source());
        // Reading one child of a connected triple.
        if (values.size() == 3 && child) values = {values[plug.attribute->childIndex]};
        writePlug(plug, values);
        return values;
    }
    if (plug.attribute->isTriple()) {
        // Children connected one by one.
        for (const auto& each : plug.attribute->children) {
            const PlugRef childPlug{plug.node, each.get(), plug.index};
            if (incomingExact(childPlug, nullptr)) readPlug(childPlug);
        }
    }
    bool dirty;
    {
        std::lock_guard<std::mutex> lock(plug.node->mutex);
        dirty = plug.node->dirty.count(plug.attribute->root()) != 0;
    }
    if (dirty) {
        // One evaluation per read, whatever its outcome: the stored values
        // are what a failed compute leaves.
        detail::evaluatePlug(
            Access::plug(objectOf(plug.node), objectOf(plug.attribute->root()), plug.index));
    }
    return stored(plug);
}

std::vector<double> storedValues(const PlugRef& plug) {
    return stored(plug);
}

void writePlug(const PlugRef& plug, const std::vector<double>& values) {
    if (isTimeOutput(plug) && values.size() == 1) {
        // Setting time1's output moves the scene time, as a scene file does.
        MAnimControl::setCurrentTime(MTime(values[0], MTime::uiUnit()));
        return;
    }
    const MObject node = objectOf(plug.node);
    if (plug.attribute->isTriple()) {
        if (values.size() != 3) throw MelError("'" + plug.text() + "' needs three values.");
        for (int k = 0; k < 3; ++k) {
            MPlug child =
                Access::plug(node, objectOf(plug.attribute->children[k].get()), plug.index);
            child.setValue(values[k]);
        }
        return;
    }
    if (values.size() != 1) throw MelError("'" + plug.text() + "' needs one value.");
    MPlug target = Access::plug(node, objectOf(plug.attribute), plug.index);
    target.setValue(values[0]);
}

void writeString(const PlugRef& plug, const std::string& text) {
    MPlug target = Access::plug(objectOf(plug.node), objectOf(plug.attribute), plug.index);
    if (!target.setString(MString(text.c_str()))) {
        throw MelError("setAttr: '" + plug.text() + "' cannot be set now.");
    }
}

void setParent(NodeData& child, const std::shared_ptr<NodeData>& parent) {
    auto& parents = state().parents;
    for (auto it = parents.begin(); it != parents.end(); ++it) {
        if (it->first.lock().get() == &child) {
            parents.erase(it);
            break;
        }
    }
    for (auto p = parent; p; p = parentOf(*p)) {
        if (p.get() == &child) throw MelError("Cannot parent " + child.name + " under itself.");
    }
    if (parent) {
        parents.emplace_back(std::static_pointer_cast<NodeData>(child.shared_from_this()), parent);
    }
}

std::shared_ptr<NodeData> parentOf(const NodeData& child) {
    for (const auto& entry : state().parents) {
        if (entry.first.lock().get() != &child) continue;
        auto parent = entry.second.lock();
        return parent && parent->alive.load() ? parent : nullptr;
    }
    return nullptr;
}

bool isDag(const NodeData& node) {
    return node.type->kind == MPxNode::kTransformNode && node.type->find("translate") != nullptr;
}

std::array<double, 3> worldPosition(const std::shared_ptr<NodeData>& node) {
    if (!isDag(*node)) throw MelError(node->name + " is not a transform or joint.");
    double m[16];
    worldMatrix(node, m, 0);
    return {m[3], m[7], m[11]};
}

std::array<double, 3> toLocal(const std::shared_ptr<NodeData>& node,
                              const std::array<double, 3>& world) {
    double m[16];
    worldMatrix(node, m, 0);
    // Rigid: the inverse is the transposed rotation after the translation.
    const double d[3] = {world[0] - m[3], world[1] - m[7], world[2] - m[11]};
    std::array<double, 3> local{};
    for (int i = 0; i < 3; ++i) local[i] = m[i] * d[0] + m[4 + i] * d[1] + m[8 + i] * d[2];
    return local;
}

std::vector<std::weak_ptr<NodeData>>& selection() {
    return state().selection;
}

DetachedLinks detachLinks(const std::vector<std::shared_ptr<NodeData>>& nodes) {
    auto among = [&](const std::weak_ptr<NodeData>& weak) {
        return std::find(nodes.begin(), nodes.end(), weak.lock()) != nodes.end();
    };
    // All of them, not only live ones: the nodes have just left the graph.
    DetachedLinks links;
    for (const Connection& c : state().connections) {
        if ((among(c.sourceNode) || among(c.destinationNode)) && c.sourceNode.lock() &&
            c.destinationNode.lock()) {
            links.connections.push_back(c);
        }
    }
    for (const Connection& c : links.connections) eraseConnection(c.source(), c.destination());
    auto& parents = state().parents;
    for (auto it = parents.begin(); it != parents.end();) {
        if (among(it->first) || among(it->second)) {
            links.parents.push_back(*it);
            it = parents.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& weak : state().conversions) {
        if (among(weak)) links.conversions.push_back(weak);
    }
    return links;
}

void restoreLinks(const DetachedLinks& links) {
    auto inGraph = [](const std::weak_ptr<NodeData>& weak) {
        auto node = weak.lock();
        return node && node->alive.load();
    };
    for (const auto& weak : links.conversions) {
        if (inGraph(weak)) state().conversions.push_back(weak);
    }
    for (const auto& entry : links.parents) {
        if (inGraph(entry.first) && inGraph(entry.second)) state().parents.push_back(entry);
    }
    for (const Connection& c : links.connections) {
        if (!inGraph(c.sourceNode) || !inGraph(c.destinationNode)) continue;
        const PlugRef destination = c.destination();
        if (incoming(destination, nullptr)) continue;
        state().connections.push_back(c);
        const PlugRef source = c.source();
        if (isTimeOutput(source)) {
            destination.node->timeInputs.push_back({destination.attribute, false, {}});
            writePlug(destination, readPlug(source));
        } else if (isTimeConversion(*source.node)) {
            destination.node->timeInputs.push_back({destination.attribute, true, c.sourceNode});
            writePlug(destination, readPlug(source));
        }
    }
}

std::vector<std::shared_ptr<NodeData>> takeOrphanConversions() {
    auto& made = state().conversions;
    if (made.empty()) return {};
    const std::vector<Connection> live = connections();
    std::vector<std::weak_ptr<NodeData>> kept;
    std::vector<std::shared_ptr<NodeData>> orphans;
    for (const auto& weak : made) {
        auto node = weak.lock();
        if (!node || !node->alive.load()) continue;
        bool fed = false;
        bool feeds = false;
        for (const Connection& c : live) {
            fed = fed || c.destinationNode.lock() == node;
            feeds = feeds || c.sourceNode.lock() == node;
        }
        if (fed && feeds) {
            kept.push_back(node);
        } else {
            orphans.push_back(node);
        }
    }
    made = kept;
    return orphans;
}

void clearScene() {
    state().connections.clear();
    state().conversions.clear();
    state().parents.clear();
    state().selection.clear();
}

void registerDagTypes(detail::Host& host) {
    host.types["transform"] = dagType("transform", MFn::kTransform, false);
    host.types["joint"] = dagType("joint", MFn::kTransform, true);
    auto time = std::make_shared<NodeType>();
    time->name = "time";
    time->builtIn = true;
    time->fnType = MFn::kDependencyNode;
    auto outTime = numeric("outTime", "o", MFnNumericData::kDouble);
    outTime->unit = detail::UnitKind::kTime;
    time->attributes.push_back(outTime);
    host.types["time"] = time;
    // What connectAttr puts between plugs of different unit kinds. Input
    // and output take one value or a triple, as what they connect. Between
    // a time and a number, the input takes ticks and the output is the time
    // in frames of the UI unit at connection.
    for (const char* name : {"unitConversion", "timeToUnitConversion"}) {
        auto conversion = std::make_shared<NodeType>();
        conversion->name = name;
        conversion->builtIn = true;
        conversion->fnType = MFn::kDependencyNode;
        auto input = numeric("input", "i", MFnNumericData::kDouble);
        input->generic = true;
        input->keyable = false;
        auto output = numeric("output", "o", MFnNumericData::kDouble);
        output->generic = true;
        output->keyable = false;
        output->writable = false;
        auto factor = numeric("conversionFactor", "cf", MFnNumericData::kDouble);
        factor->defaultValue = 1.0;
        factor->keyable = false;
        conversion->attributes = {input, output, factor};
        host.types[name] = conversion;
    }
}

}  // namespace mel

namespace detail {

bool convertedTime(const std::weak_ptr<NodeData>& conversion, double* value) {
    auto node = conversion.lock();
    if (!node || !node->alive.load()) return false;
    const double factor = mel::stored(mel::conversionPlug(node, "conversionFactor"))[0];
    *value = mel::ticksOf(host().currentTime) * factor;
    return true;
}

void dropOrphanConversions() {
    const std::vector<std::shared_ptr<NodeData>> orphans = mel::takeOrphanConversions();
    if (!orphans.empty()) deleteNodes(orphans);
}

}  // namespace detail
}  // namespace mayahost
