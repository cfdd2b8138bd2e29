#include "mel/scene.h"

#include "mel/value.h"

#include <maya/MPlug.h>

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

std::shared_ptr<AttributeData> triple(const std::string& name, const std::string& shortName) {
    auto attribute = numeric(name, shortName, MFnNumericData::k3Float);
    int k = 0;
    for (const char* axis : {"X", "Y", "Z"}) {
        auto child =
            numeric(name + axis, shortName + static_cast<char>('x' + k), MFnNumericData::kFloat);
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
    type->attributes.push_back(triple("translate", "t"));
    type->attributes.push_back(triple("rotate", "r"));
    type->attributes.push_back(numeric("rotateOrder", "ro", MFnNumericData::kInt));
    if (joint) type->attributes.push_back(triple("jointOrient", "jo"));
    return type;
}

MObject objectOf(const std::shared_ptr<NodeData>& node) {
    return Access::object(node);
}
MObject objectOf(const AttributeData* attribute) {
    return Access::object(const_cast<AttributeData*>(attribute)->shared_from_this());
}

bool isTimeOutput(const PlugRef& plug) {
    return plug.node->type->name == "time" && plug.attribute->name == "outTime";
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
    if (plug.attribute->isTriple()) return {slot->f3[0], slot->f3[1], slot->f3[2]};
    if (plug.attribute->childIndex >= 0) return {slot->f3[plug.attribute->childIndex]};
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
void axisRotation(int axis, double degrees, double m[16]) {
    identity(m);
    const double a = degrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a);
    const double s = std::sin(a);
    const int i = (axis + 1) % 3;
    const int j = (axis + 2) % 3;
    m[i * 4 + i] = c;
    m[i * 4 + j] = -s;
    m[j * 4 + i] = s;
    m[j * 4 + j] = c;
}

// Euler rotation applied in `order` (xyz: x first), as Maya's rotateOrder.
void eulerRotation(const std::vector<double>& degrees, int order, double m[16]) {
    static const int kOrders[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1},
                                      {0, 2, 1}, {1, 0, 2}, {2, 1, 0}};
    const int* axes = kOrders[order >= 0 && order < 6 ? order : 0];
    identity(m);
    for (int k = 0; k < 3; ++k) {
        double r[16];
        axisRotation(axes[k], degrees[axes[k]], r);
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
    const std::string shortName = bar == std::string::npos ? name : name.substr(bar + 1);
    auto node = detail::findNodeByName(shortName);
    if (!node && shortName == "time1") {
        MStatus status;
        node = detail::createNodeOfType("time", &status);
        if (node) node->name = detail::uniqueName("time1", node.get());
    }
    return node;
}

PlugRef resolvePlug(const std::string& text) {
    const std::size_t dot = text.find('.');
    if (dot == std::string::npos) throw MelError("No attribute named in '" + text + "'.");
    PlugRef plug;
    plug.node = findNode(text.substr(0, dot));
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
        plug.index = std::stoi(digits);
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != '.') throw MelError("Invalid attribute name: " + text);
            child = rest.substr(close + 2);
        }
        rest = rest.substr(0, open);
    }
    plug.attribute = plug.node->type->find(rest);
    if (plug.attribute == nullptr) throw MelError("No object matches name: " + text);
    if (!child.empty()) {
        const AttributeData* c = plug.node->type->find(child);
        if (c == nullptr || c->root() != plug.attribute) {
            throw MelError("No object matches name: " + text);
        }
        plug.attribute = c;
    }
    const bool array = plug.attribute->root()->array;
    if (array != (plug.index >= 0)) {
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

void connect(const PlugRef& source, const PlugRef& destination, bool force) {
    if (source.attribute->isTriple() != destination.attribute->isTriple()) {
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
        auto& all = state().connections;
        for (auto it = all.begin(); it != all.end(); ++it) {
            if (it->destination() == existing.destination()) {
                all.erase(it);
                break;
            }
        }
    }
    state().connections.push_back({source.node, source.attribute, source.index, destination.node,
                                   destination.attribute, destination.index});
    if (isTimeOutput(source)) {
        // The host pushes the current time into time inputs on every change.
        destination.node->timeInputs.push_back(destination.attribute);
        writePlug(destination, readPlug(source));
    }
    // Other destinations pull their source when read, as Maya evaluates
    // lazily: connecting computes nothing.
}

std::vector<double> readPlug(const PlugRef& plug) {
    if (isTimeOutput(plug)) return {detail::host().currentTime};
    Connection c;
    if (incoming(plug, &c)) {
        std::vector<double> values = readPlug(c.source());
        // Reading one child of a connected triple.
        if (values.size() == 3 && !plug.attribute->isTriple() && plug.attribute->childIndex >= 0 &&
            c.destinationAttribute->isTriple()) {
            values = {values[plug.attribute->childIndex]};
        }
        writePlug(plug, values);
        return values;
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

void writePlug(const PlugRef& plug, const std::vector<double>& values) {
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

void clearScene() {
    state().connections.clear();
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
    time->attributes.push_back(numeric("outTime", "o", MFnNumericData::kDouble));
    host.types["time"] = time;
}

}  // namespace mel
}  // namespace mayahost
