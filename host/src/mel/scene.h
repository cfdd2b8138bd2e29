// What the scene commands add to the graph: connections between plugs,
// DAG parents of transforms and joints, the time node, world positions.
#pragma once

#include "hostState.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace mayahost {
namespace mel {

struct PlugRef {
    std::shared_ptr<detail::NodeData> node;
    const detail::AttributeData* attribute = nullptr;
    int index = -1;  // element of an array attribute

    std::string text() const;
    bool operator==(const PlugRef& other) const;
};

// "node.attr", "node.attr[3]" or "node.attr[3].child"; throws MelError.
// With `wholeArray`, an array attribute without an index names all its
// elements (index -1).
PlugRef resolvePlug(const std::string& text, bool wholeArray = false);
// The node of that name (the last part of a path); nullptr when none. The
// time node "time1" is made on first use.
std::shared_ptr<detail::NodeData> findNode(const std::string& name);

struct Connection {
    std::weak_ptr<detail::NodeData> sourceNode;
    const detail::AttributeData* sourceAttribute;
    int sourceIndex;
    std::weak_ptr<detail::NodeData> destinationNode;
    const detail::AttributeData* destinationAttribute;
    int destinationIndex;

    PlugRef source() const;
    PlugRef destination() const;
};

// Connections whose nodes both still exist.
std::vector<Connection> connections();
// A connection between plugs of different unit kinds goes through a new
// unitConversion node when the current UI units need a factor other than 1.
void connect(const PlugRef& source, const PlugRef& destination, bool force);
// Breaks the connection, also one through a conversion node (which goes);
// false when the plugs are not connected.
bool disconnect(const PlugRef& source, const PlugRef& destination);
// Whether the source drives exactly this destination, directly or, when
// `throughConversion`, through a conversion node.
bool connected(const PlugRef& source, const PlugRef& destination, bool throughConversion);
bool isConversionNode(const detail::NodeData& node);
// A conversion node that connectAttr put in, which goes with its connection.
bool madeByConnection(const detail::NodeData& node);
// The plug itself, or for a conversion node's plug the plugs beyond it,
// upstream or downstream.
std::vector<PlugRef> lookThrough(const PlugRef& plug, bool upstream);
// A conversion node's input and output measure what they connect.
detail::UnitKind unitOf(const PlugRef& plug);
// The connection into this plug (or into its parent triple), if any.
bool incoming(const PlugRef& destination, Connection* found);

// Values in internal units, after pulling connected inputs: one number, or
// three for a triple.
std::vector<double> readPlug(const PlugRef& plug);
void writePlug(const PlugRef& plug, const std::vector<double>& values);
// Sets a string attribute as MPlug::setString does (the node hears of it).
void writeString(const PlugRef& plug, const std::string& text);
// The values held, in internal units, without pulling or computing.
std::vector<double> storedValues(const PlugRef& plug);
// Whether the plug is time1's output, which is the scene time.
bool isTimeOutput(const PlugRef& plug);

// DAG parents of transforms and joints.
void setParent(detail::NodeData& child, const std::shared_ptr<detail::NodeData>& parent);
std::shared_ptr<detail::NodeData> parentOf(const detail::NodeData& child);
bool isDag(const detail::NodeData& node);

// In centimetres, whatever the UI unit.
std::array<double, 3> worldPosition(const std::shared_ptr<detail::NodeData>& node);
// A world position in the local space of the node (its parent's space plus
// its own transform): where a child at that position sits.
std::array<double, 3> toLocal(const std::shared_ptr<detail::NodeData>& node,
                              const std::array<double, 3>& world);

// Selection, for joint chains.
std::vector<std::weak_ptr<detail::NodeData>>& selection();

// What the scene held of nodes taken out of the graph for undo: the
// connections and parent links that touched them, and which of them were
// conversion nodes that connections made.
struct DetachedLinks {
    std::vector<Connection> connections;
    std::vector<std::pair<std::weak_ptr<detail::NodeData>, std::weak_ptr<detail::NodeData>>>
        parents;
    std::vector<std::weak_ptr<detail::NodeData>> conversions;
};
// Takes the links that touch any of the nodes out of the scene (also when
// the nodes have already left the graph).
DetachedLinks detachLinks(const std::vector<std::shared_ptr<detail::NodeData>>& nodes);
// Puts them back, each where both its ends are in the graph again; a
// connection whose destination has got another source meanwhile stays out.
void restoreLinks(const DetachedLinks& links);
// The conversion nodes connections made that have lost their input or
// output, no longer counted as made (the caller takes them out).
std::vector<std::shared_ptr<detail::NodeData>> takeOrphanConversions();

// Forgets connections, parents and the selection.
void clearScene();
// The transform, joint, time and unitConversion node types.
void registerDagTypes(detail::Host& host);

}  // namespace mel
}  // namespace mayahost
