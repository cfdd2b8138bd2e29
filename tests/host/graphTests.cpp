// The dependency graph: attributes, dirty propagation, compute on demand,
// array outputs, plugs, names, lookup and deletion.
#include "hostFixture.h"

#include <maya/MArrayDataBuilder.h>
#include <maya/MArrayDataHandle.h>
#include <maya/MDGModifier.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MObjectArray.h>
#include <maya/MPxNode.h>
#include <maya/MSelectionList.h>

#include <functional>
#include <vector>

namespace {

// out = in * 2 + count; chain = out + 1 (reads out through a plug); points
// has `count` elements (i, in, -i); mirror follows in without compute.
class SumNode : public MPxNode {
public:
    static MTypeId id;
    static MObject aIn, aCount, aFlag, aOut, aChain, aPoints;
    static std::vector<std::string> computed;

    static void* creator() { return new SumNode; }
    static MStatus initialize() {
        MFnNumericAttribute fn;
        aIn = fn.create("input", "in", MFnNumericData::kDouble, 1.5);
        aCount = fn.create("count", "cnt", MFnNumericData::kInt, 3);
        aFlag = fn.create("flag", "fl", MFnNumericData::kBoolean, 0);
        aOut = fn.create("output", "out", MFnNumericData::kDouble);
        fn.setWritable(false);
        aChain = fn.create("chain", "ch", MFnNumericData::kDouble);
        aPoints = fn.create("points", "pts", MFnNumericData::k3Float);
        fn.setArray(true);
        fn.setUsesArrayDataBuilder(true);
        for (MObject* a : {&aIn, &aCount, &aFlag, &aOut, &aChain, &aPoints}) {
            MStatus s = addAttribute(*a);
            if (!s) return s;
        }
        attributeAffects(aIn, aOut);
        attributeAffects(aCount, aOut);
        attributeAffects(aOut, aChain);
        attributeAffects(aIn, aPoints);
        attributeAffects(aCount, aPoints);
        return MS::kSuccess;
    }

    MStatus compute(const MPlug& plug, MDataBlock& block) override {
        MObject self = thisMObject();
        if (plug == aOut) {
            computed.push_back("output");
            double in = MPlug(self, aIn).asDouble();
            int count = MPlug(self, aCount).asInt();
            block.outputValue(aOut).set(in * 2.0 + count);
            block.setClean(plug);
            return MS::kSuccess;
        }
        if (plug == aChain) {
            computed.push_back("chain");
            double out = MPlug(self, aOut).asDouble();
            block.outputValue(aChain).set(out + 1.0);
            block.setClean(plug);
            return MS::kSuccess;
        }
        if (plug == aPoints || plug.parent() == aPoints || plug.array() == aPoints) {
            computed.push_back("points");
            double in = MPlug(self, aIn).asDouble();
            int count = MPlug(self, aCount).asInt();
            MStatus status;
            MArrayDataHandle handle = block.outputArrayValue(aPoints, &status);
            if (!status) return status;
            MArrayDataBuilder builder(&block, aPoints, 0, &status);
            for (int i = 0; i < count; ++i) {
                float3& value = builder.addElement(static_cast<unsigned>(i)).asFloat3();
                value[0] = static_cast<float>(i);
                value[1] = static_cast<float>(in);
                value[2] = static_cast<float>(-i);
            }
            status = handle.set(builder);
            block.setClean(aPoints);
            return status;
        }
        return MS::kUnknownParameter;
    }
};

MTypeId SumNode::id(0x7F001);
MObject SumNode::aIn, SumNode::aCount, SumNode::aFlag, SumNode::aOut, SumNode::aChain,
    SumNode::aPoints;
std::vector<std::string> SumNode::computed;

class GraphTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        SumNode::computed.clear();
        MObject plugin = testPlugin();
        MFnPlugin fn(plugin);
        ASSERT_TRUE(fn.registerNode("sumNode", SumNode::id, SumNode::creator, SumNode::initialize));
    }
};

TEST_F(GraphTest, OutputsComputeOnDemandAndOnlyWhenDirty) {
    MObject node = mayahost::createNode("sumNode");
    ASSERT_FALSE(node.isNull());
    EXPECT_TRUE(mayahost::isDirty(node, "output"));
    EXPECT_DOUBLE_EQ(mayahost::getDouble(node, "output"), 1.5 * 2.0 + 3);
    EXPECT_FALSE(mayahost::isDirty(node, "output"));
    int computes = mayahost::computeCount(node);
    // Reading a clean output does not compute again.
    EXPECT_DOUBLE_EQ(mayahost::getDouble(node, "out"), 6.0);
    EXPECT_EQ(mayahost::computeCount(node), computes);

    ASSERT_TRUE(mayahost::setDouble(node, "input", 4.0));
    EXPECT_TRUE(mayahost::isDirty(node, "output"));
    EXPECT_DOUBLE_EQ(mayahost::getDouble(node, "output"), 11.0);
    // An input that affects nothing leaves the outputs clean.
    ASSERT_TRUE(mayahost::setBool(node, "flag", true));
    EXPECT_FALSE(mayahost::isDirty(node, "output"));
    EXPECT_TRUE(mayahost::getBool(node, "flag"));
}

TEST_F(GraphTest, DirtinessPropagatesTransitively) {
    MObject node = mayahost::createNode("sumNode");
    EXPECT_DOUBLE_EQ(mayahost::getDouble(node, "chain"), 7.0);
    EXPECT_FALSE(mayahost::isDirty(node, "chain"));
    EXPECT_FALSE(mayahost::isDirty(node, "output"));
    // count affects output, output affects chain.
    ASSERT_TRUE(mayahost::setInt(node, "count", 10));
    EXPECT_TRUE(mayahost::isDirty(node, "output"));
    EXPECT_TRUE(mayahost::isDirty(node, "chain"));
    SumNode::computed.clear();
    EXPECT_DOUBLE_EQ(mayahost::getDouble(node, "chain"), 14.0);
    // chain's compute pulled output through a plug read.
    EXPECT_EQ(SumNode::computed, (std::vector<std::string>{"chain", "output"}));
}

TEST_F(GraphTest, ValuesConvertBetweenPlugTypes) {
    MObject node = mayahost::createNode("sumNode");
    MPlug input = mayahost::findPlug(node, "input");
    ASSERT_TRUE(input.setValue(3));  // an int into a double attribute
    EXPECT_DOUBLE_EQ(input.asDouble(), 3.0);
    MPlug count = mayahost::findPlug(node, "cnt");
    ASSERT_TRUE(count.setValue(2.9));
    EXPECT_EQ(count.asInt(), 2);
    MStatus status;
    bool flag = true;
    EXPECT_TRUE(mayahost::findPlug(node, "flag").getValue(flag));
    EXPECT_FALSE(flag);
    EXPECT_EQ(mayahost::findPlug(node, "count").asInt(&status), 2);
    EXPECT_TRUE(status);
    // Unknown attributes and null plugs fail instead of reading garbage.
    mayahost::findPlug(node, "nothing", &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    MPlug none;
    none.asDouble(&status);
    EXPECT_FALSE(status);
}

TEST_F(GraphTest, ArrayOutputsAreBuiltThroughBuilders) {
    MObject node = mayahost::createNode("sumNode");
    ASSERT_TRUE(mayahost::evaluate(node, "points"));
    ASSERT_EQ(mayahost::elementCount(node, "points"), 3u);
    float value[3];
    ASSERT_TRUE(mayahost::getFloat3Element(node, "points", 2, value));
    EXPECT_FLOAT_EQ(value[0], 2.0f);
    EXPECT_FLOAT_EQ(value[1], 1.5f);
    EXPECT_FLOAT_EQ(value[2], -2.0f);
    EXPECT_EQ(mayahost::getFloat3Element(node, "points", 3, value), MS::kNotFound);

    ASSERT_TRUE(mayahost::setInt(node, "count", 5));
    ASSERT_TRUE(mayahost::setDouble(node, "input", -1.0));
    // Reading a child of an element computes the whole array.
    MPlug element = mayahost::findPlug(node, "points").elementByLogicalIndex(4);
    MPlug child = element.child(1);
    EXPECT_FLOAT_EQ(child.asFloat(), -1.0f);
    EXPECT_EQ(mayahost::elementCount(node, "points"), 5u);
}

// Runs a function inside compute, with the node's data block.
class BlockProbe : public MPxNode {
public:
    static MObject aValue, aList, aOther;
    static std::function<void(BlockProbe&, MDataBlock&)> probe;
    static MPlug asked;  // the plug of the compute in progress
    static void* creator() { return new BlockProbe; }
    static MStatus initialize() {
        MFnNumericAttribute fn;
        aValue = fn.create("value", "v", MFnNumericData::kDouble);
        aList = fn.create("list", "l", MFnNumericData::k3Float);
        fn.setArray(true);
        fn.setUsesArrayDataBuilder(true);
        aOther = fn.create("other", "o", MFnNumericData::k3Float);
        fn.setArray(true);
        addAttribute(aValue);
        addAttribute(aList);
        addAttribute(aOther);
        attributeAffects(aValue, aList);
        return attributeAffects(aValue, aOther);
    }
    MStatus compute(const MPlug& plug, MDataBlock& block) override {
        asked = plug;
        probe(*this, block);
        return MS::kSuccess;
    }
};
MObject BlockProbe::aValue, BlockProbe::aList, BlockProbe::aOther;
std::function<void(BlockProbe&, MDataBlock&)> BlockProbe::probe;
MPlug BlockProbe::asked;

TEST_F(GraphTest, DataBlockRefusesWhatIsNotTheNodes) {
    MObject plugin = testPlugin();
    MFnPlugin fn(plugin);
    ASSERT_TRUE(fn.registerNode("blockProbe", MTypeId(0x7F004), BlockProbe::creator,
                                BlockProbe::initialize));
    bool ran = false;
    BlockProbe::probe = [&](BlockProbe&, MDataBlock& block) {
        ran = true;
        MStatus status;
        // An attribute of another type, a scalar as an array, an array as a scalar.
        block.outputArrayValue(SumNode::aPoints, &status);
        EXPECT_EQ(status, MS::kInvalidParameter);
        block.outputArrayValue(BlockProbe::aValue, &status);
        EXPECT_EQ(status, MS::kInvalidParameter);
        block.outputValue(SumNode::aOut, &status);
        EXPECT_EQ(status, MS::kInvalidParameter);
        EXPECT_EQ(block.setClean(SumNode::aOut), MS::kInvalidParameter);
        // A builder of one array cannot be stored into another.
        MArrayDataHandle list = block.outputArrayValue(BlockProbe::aList, &status);
        ASSERT_TRUE(status);
        MArrayDataHandle other = block.outputArrayValue(BlockProbe::aOther, &status);
        ASSERT_TRUE(status);
        MArrayDataBuilder builder = list.builder(&status);
        ASSERT_TRUE(status);
        builder.addElement(4).set3Float(1.0f, 2.0f, 3.0f);
        EXPECT_EQ(other.set(builder), MS::kInvalidParameter);
        // Copies of a builder share its elements.
        MArrayDataBuilder copy(builder);
        copy.addElement(9);
        EXPECT_EQ(builder.elementCount(), 2u);
        // Nothing is visible until set.
        EXPECT_EQ(list.elementCount(), 0u);
        ASSERT_TRUE(list.set(builder));
        EXPECT_EQ(list.elementCount(), 2u);
        // A fresh builder from the handle starts from the stored elements.
        MArrayDataBuilder again = list.builder();
        EXPECT_EQ(again.elementCount(), 2u);
        EXPECT_FLOAT_EQ(again.addElement(4).asFloat3()[1], 2.0f);
        // A scalar handle's references point into the block.
        block.outputValue(BlockProbe::aValue).asDouble() = 8.5;
    };
    MObject node = mayahost::createNode("blockProbe");
    ASSERT_TRUE(mayahost::evaluate(node, "list"));
    EXPECT_TRUE(ran);
    EXPECT_DOUBLE_EQ(mayahost::getDouble(node, "value"), 8.5);
    float value[3];
    ASSERT_TRUE(mayahost::getFloat3Element(node, "list", 4, value));
    EXPECT_FLOAT_EQ(value[2], 3.0f);
    EXPECT_EQ(mayahost::elementCount(node, "other"), 0u);
    // compute did not mark the array clean, so it stays dirty.
    EXPECT_TRUE(mayahost::isDirty(node, "list"));
    BlockProbe::probe = nullptr;
}

// A compute that cleans only the element it was asked for: that element
// stays clean until an input changes, the others stay dirty and are computed
// when read, and the array counts as dirty while any element is.
TEST_F(GraphTest, CleaningOneElementLeavesTheOthersDirty) {
    MObject plugin = testPlugin();
    MFnPlugin fn(plugin);
    ASSERT_TRUE(fn.registerNode("blockProbe", MTypeId(0x7F004), BlockProbe::creator,
                                BlockProbe::initialize));
    std::vector<unsigned> computed;
    BlockProbe::probe = [&](BlockProbe&, MDataBlock& block) {
        const MPlug& plug = BlockProbe::asked;
        computed.push_back((plug.isChild() ? plug.parent() : plug).logicalIndex());
        EXPECT_TRUE(block.setClean(plug));
    };
    MObject node = mayahost::createNode("blockProbe");
    const MPlug list = mayahost::findPlug(node, "list");
    const auto read = [&](unsigned element) {
        list.elementByLogicalIndex(element).child(0).asFloat();
    };
    read(1);
    read(1);
    read(2);
    read(1);
    EXPECT_EQ(computed, (std::vector<unsigned>{1, 2})) << "a clean element is not computed again";
    EXPECT_TRUE(mayahost::isDirty(node, "list")) << "element 0 was never cleaned";
    ASSERT_TRUE(mayahost::setDouble(node, "value", 2.0));
    read(2);
    read(2);
    EXPECT_EQ(computed, (std::vector<unsigned>{1, 2, 2}))
        << "an input change dirties every element";
    BlockProbe::probe = nullptr;
}

TEST_F(GraphTest, ElementAndChildPlugsKnowTheirParents) {
    MObject node = mayahost::createNode("sumNode");
    MPlug array = mayahost::findPlug(node, "points");
    EXPECT_TRUE(array.isArray());
    EXPECT_FALSE(array.isElement());
    MStatus status;
    array.parent(&status);
    EXPECT_EQ(status, MS::kInvalidParameter);

    MPlug element = array.elementByLogicalIndex(7);
    EXPECT_TRUE(element.isElement());
    EXPECT_FALSE(element.isChild());
    EXPECT_EQ(element.logicalIndex(), 7u);
    EXPECT_TRUE(element == SumNode::aPoints);
    EXPECT_TRUE(element.array() == array);

    MPlug child = element.child(0);
    EXPECT_TRUE(child.isChild());
    EXPECT_FALSE(child.isElement());
    EXPECT_FALSE(child == SumNode::aPoints);
    MPlug parent = child.parent(&status);
    EXPECT_TRUE(status);
    EXPECT_TRUE(parent == SumNode::aPoints);
    EXPECT_TRUE(parent == element);
    EXPECT_TRUE(parent.isElement());
}

TEST_F(GraphTest, NamesFollowTypeAndClashesAreRenamed) {
    std::string first, second;
    MObject a = mayahost::createNode("sumNode", &first);
    MObject b = mayahost::createNode("sumNode", &second);
    EXPECT_EQ(first, "sumNode1");
    EXPECT_EQ(second, "sumNode2");

    MFnDependencyNode fn(b);
    EXPECT_EQ(std::string(fn.setName("hip").asChar()), "hip");
    MFnDependencyNode other(a);
    // Taken: trailing digits are counted up, or 1 is appended.
    EXPECT_EQ(std::string(other.setName("hip").asChar()), "hip1");
    MObject c = mayahost::createNode("sumNode");
    MFnDependencyNode third(c);
    EXPECT_EQ(std::string(third.setName("hip1").asChar()), "hip2");
    // Renaming a node to its own name keeps it.
    EXPECT_EQ(std::string(third.setName("hip2").asChar()), "hip2");
    MStatus status;
    third.setName("bad name", false, &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    EXPECT_EQ(mayahost::nodeName(c), "hip2");
}

TEST_F(GraphTest, NodesAreFoundByExactName) {
    MObject node = mayahost::createNode("sumNode");
    MObject transform = mayahost::createNode("transform");
    MSelectionList list;
    ASSERT_TRUE(list.add("sumNode1", false));
    EXPECT_FALSE(list.add("sumNode", false));
    MObject found;
    ASSERT_TRUE(list.getDependNode(0, found));
    EXPECT_TRUE(found == node);
    EXPECT_FALSE(list.getDependNode(1, found));

    MSelectionList byName;
    EXPECT_TRUE(MGlobal::getSelectionListByName("transform1", byName));
    EXPECT_EQ(MGlobal::getSelectionListByName("missing", byName), MS::kNotFound);
    ASSERT_EQ(byName.length(), 1u);

    MFnDependencyNode user(node);
    SumNode* sum = dynamic_cast<SumNode*>(user.userNode());
    ASSERT_NE(sum, nullptr);
    EXPECT_TRUE(sum->thisMObject() == node);
    EXPECT_EQ(std::string(sum->name().asChar()), "sumNode1");
    EXPECT_EQ(sum->typeId(), SumNode::id);
    MFnDependencyNode builtIn(transform);
    MStatus status;
    EXPECT_EQ(builtIn.userNode(&status), nullptr);
}

TEST_F(GraphTest, DeletedNodesLeaveTheSceneAndTheirHandlesGoNull) {
    MObject node = mayahost::createNode("sumNode");
    MObject kept = mayahost::createNode("sumNode");
    MDGModifier modifier;
    ASSERT_TRUE(modifier.deleteNode(node));
    // Nothing happens before doIt.
    EXPECT_FALSE(node.isNull());
    ASSERT_TRUE(modifier.doIt());
    EXPECT_TRUE(node.isNull());
    EXPECT_TRUE(mayahost::findNode("sumNode1").isNull());
    EXPECT_FALSE(kept.isNull());
    MStatus status;
    mayahost::findPlug(node, "input", &status);
    EXPECT_FALSE(status);
    MDGModifier again;
    EXPECT_EQ(again.deleteNode(node), MS::kInvalidParameter);
    // The freed name is given again.
    std::string name;
    mayahost::createNode("sumNode", &name);
    EXPECT_EQ(name, "sumNode1");
}

TEST_F(GraphTest, AttributesAreAddedOnlyDuringInitialize) {
    MFnNumericAttribute fn;
    MObject late = fn.create("late", "lt", MFnNumericData::kInt);
    EXPECT_EQ(MPxNode::addAttribute(late), MS::kFailure);
    EXPECT_EQ(MPxNode::attributeAffects(late, SumNode::aOut), MS::kFailure);
    MStatus status;
    fn.create("", "e", MFnNumericData::kInt, 0, &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    // A type whose initialize fails is not registered.
    MObject plugin = testPlugin();
    MFnPlugin pluginFn(plugin);
    EXPECT_FALSE(pluginFn.registerNode("brokenNode", MTypeId(0x7F002), SumNode::creator,
                                       [] { return MStatus(MS::kFailure); }));
    EXPECT_TRUE(mayahost::createNode("brokenNode", nullptr, &status).isNull());
    EXPECT_EQ(status, MS::kInvalidParameter);
    // Name and id are taken.
    EXPECT_FALSE(
        pluginFn.registerNode("sumNode", MTypeId(0x7F003), SumNode::creator, SumNode::initialize));
    EXPECT_FALSE(
        pluginFn.registerNode("otherNode", SumNode::id, SumNode::creator, SumNode::initialize));
}

TEST_F(GraphTest, DeregisteringATypeFailsWhileNodesExist) {
    MObject plugin = testPlugin();
    MFnPlugin fn(plugin);
    MObject node = mayahost::createNode("sumNode");
    EXPECT_EQ(fn.deregisterNode(SumNode::id), MS::kFailure);
    ASSERT_TRUE(mayahost::deleteNode(node));
    EXPECT_TRUE(fn.deregisterNode(SumNode::id));
    EXPECT_TRUE(mayahost::createNode("sumNode").isNull());
}

}  // namespace

namespace {

TEST(ObjectArrays, GrowAndAnswerNullOutOfRange) {
    MObject node = mayahost::createNode("transform");
    MObjectArray array(2u);
    EXPECT_EQ(array.length(), 2u);
    EXPECT_TRUE(array[0].isNull());
    ASSERT_TRUE(array.append(node));
    EXPECT_EQ(array.length(), 3u);
    EXPECT_TRUE(array[2] == node);
    const MObjectArray& constant = array;
    EXPECT_TRUE(constant[3].isNull());
    EXPECT_TRUE(array[99].isNull());
    int nonNull = 0;
    for (const MObject& item : array) nonNull += item.isNull() ? 0 : 1;
    EXPECT_EQ(nonNull, 1);
    mayahost::reset();
}

}  // namespace
