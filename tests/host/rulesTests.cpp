// The host's rules: every graph edit from inside a compute is refused and
// reported, a plug used off the main thread is reported, and both print one
// "host rule broken:" line. The lines are captured here so that a breach
// anywhere else stands out in the logs.
#include "hostFixture.h"

#include <maya/MAnimControl.h>
#include <maya/MDGModifier.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MPxNode.h>
#include <maya/MSelectionList.h>
#include <maya/MStringResource.h>
#include <maya/MStringResourceId.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>

namespace {

// A node whose compute runs the edit a test hands it and keeps its status.
class EditingNode : public MPxNode {
public:
    static MObject aIn, aOut;
    static std::function<MStatus(EditingNode&)> edit;
    static MStatus editStatus;

    static void* creator() { return new EditingNode; }
    static MStatus initialize() {
        MFnNumericAttribute fn;
        aIn = fn.create("input", "in", MFnNumericData::kDouble, 0.0);
        aOut = fn.create("output", "out", MFnNumericData::kDouble, 0.0);
        addAttribute(aIn);
        addAttribute(aOut);
        return attributeAffects(aIn, aOut);
    }
    MStatus compute(const MPlug& plug, MDataBlock& block) override {
        if (plug != aOut) return MS::kUnknownParameter;
        editStatus = edit(*this);
        block.outputValue(aOut).set(1.0);
        block.setClean(plug);
        return MS::kSuccess;
    }
};
MObject EditingNode::aIn, EditingNode::aOut;

class NoOpCommand : public MPxCommand {
public:
    static void* creator() { return new NoOpCommand; }
    MStatus doIt(const MArgList&) override { return MS::kSuccess; }
};
std::function<MStatus(EditingNode&)> EditingNode::edit;
MStatus EditingNode::editStatus;

class HostRules : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        MObject plugin = testPlugin();
        ASSERT_TRUE(MFnPlugin(plugin).registerNode("editingNode", MTypeId(0x7F040),
                                                   EditingNode::creator, EditingNode::initialize));
        ASSERT_TRUE(MFnPlugin(plugin).registerCommand("noOp", NoOpCommand::creator));
        mNode = mayahost::createNode("editingNode", &mName);
        mOther = mayahost::createNode("transform", &mOtherName);
    }

    // Evaluates the node with `edit` in its compute; the breaches it caused.
    std::vector<mayahost::RuleBreach> breachesOf(std::function<MStatus(EditingNode&)> edit,
                                                 std::string* printed) {
        EditingNode::edit = std::move(edit);
        mayahost::setDouble(mNode, "input", ++mInput);
        testing::internal::CaptureStderr();
        mayahost::evaluate(mNode, "output");
        *printed = testing::internal::GetCapturedStderr();
        return mayahost::takeRuleBreaches();
    }

    MObject mNode, mOther;
    std::string mName, mOtherName;
    double mInput = 0.0;
};

TEST_F(HostRules, EveryGraphEditInsideComputeIsRefusedAndReported) {
    const std::string otherName = mOtherName;
    const std::vector<std::pair<const char*, std::function<MStatus(EditingNode&)>>> edits = {
        {"MPlug write",
         [](EditingNode& node) {
             return MPlug(node.thisMObject(), EditingNode::aIn).setValue(2.0);
         }},
        {"MPlug write",
         [&](EditingNode&) { return mayahost::findPlug(mOther, "tx").setValue(1.0); }},
        {"create node",
         [](EditingNode&) {
             MStatus status;
             MFnAnimCurve().create(MFnAnimCurve::kAnimCurveTL, nullptr, &status);
             return status;
         }},
        {"MDGModifier::doIt",
         [&](EditingNode&) {
             MDGModifier modifier;
             modifier.deleteNode(mOther);
             return modifier.doIt();
         }},
        {"MFnDependencyNode::setName",
         [&](EditingNode&) {
             MStatus status;
             MFnDependencyNode(mOther).setName("renamed", false, &status);
             return status;
         }},
        {"MGlobal::executeCommand", [](EditingNode&) { return MGlobal::executeCommand("noOp"); }},
        {"MGlobal::sourceFile", [](EditingNode&) { return MGlobal::sourceFile("any.mel"); }},
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.first);
        std::string printed;
        const auto breaches = breachesOf(edit.second, &printed);
        EXPECT_EQ(EditingNode::editStatus, MS::kFailure);
        ASSERT_EQ(breaches.size(), 1u);
        EXPECT_EQ(breaches[0].rule, "graph is read-only during compute");
        EXPECT_EQ(breaches[0].operation, edit.first);
        EXPECT_EQ(printed.rfind("host rule broken: graph is read-only during compute: ", 0), 0u)
            << printed;
        EXPECT_NE(printed.find("(computing " + mName + ")"), std::string::npos) << printed;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
    }
    // Nothing was changed behind the refusals.
    EXPECT_EQ(mayahost::nodeName(mOther), otherName);
    EXPECT_DOUBLE_EQ(mayahost::getDouble(mOther, "tx"), 0.0);
    EXPECT_TRUE(mayahost::animCurves().empty());

    // Reading is allowed, and outside compute the same edits are too.
    std::string printed;
    EXPECT_TRUE(breachesOf(
                    [](EditingNode& node) {
                        return MPlug(node.thisMObject(), EditingNode::aIn).asDouble() > 0.0
                                   ? MStatus(MS::kSuccess)
                                   : MStatus(MS::kFailure);
                    },
                    &printed)
                    .empty());
    EXPECT_EQ(EditingNode::editStatus, MS::kSuccess);
    EXPECT_TRUE(mayahost::findPlug(mOther, "tx").setValue(1.0));
    EXPECT_TRUE(MGlobal::executeCommandOnIdle("noOp"));
    EXPECT_TRUE(mayahost::takeRuleBreaches().empty());
}

TEST_F(HostRules, BulkKeysInsideComputeAreRefusedAndAddNothing) {
    MFnAnimCurve curve;
    curve.create(MFnAnimCurve::kAnimCurveTL);
    MTimeArray times(2u, MTime(1.0));
    times.set(MTime(2.0), 1);
    MDoubleArray values(2u, 3.0);
    std::string printed;
    const auto breaches =
        breachesOf([&](EditingNode&) { return curve.addKeys(&times, &values); }, &printed);
    EXPECT_EQ(EditingNode::editStatus, MS::kFailure);
    ASSERT_EQ(breaches.size(), 1u);
    EXPECT_EQ(breaches[0].rule, "graph is read-only during compute");
    EXPECT_EQ(breaches[0].operation, "MFnAnimCurve::addKeys");
    EXPECT_NE(printed.find("MFnAnimCurve::addKeys on animCurveTL1"), std::string::npos) << printed;
    EXPECT_EQ(curve.numKeys(), 0u);
    EXPECT_TRUE(curve.addKeys(&times, &values));
    EXPECT_EQ(curve.numKeys(), 2u);
}

TEST_F(HostRules, PlugsUsedOffTheMainThreadWorkButAreReported) {
    double read = 0.0;
    MStatus written;
    testing::internal::CaptureStderr();
    std::thread other([&] {
        written = mayahost::findPlug(mOther, "ty").setValue(4.0);
        read = mayahost::findPlug(mOther, "ty").asDouble();
    });
    other.join();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(written);
    EXPECT_DOUBLE_EQ(read, 4.0);
    const auto breaches = mayahost::takeRuleBreaches();
    ASSERT_EQ(breaches.size(), 2u);
    for (const auto& breach : breaches) {
        EXPECT_EQ(breach.rule, "plugs belong to the main thread");
        EXPECT_EQ(breach.node, mOtherName + ".translateY");
    }
    EXPECT_EQ(printed.rfind("host rule broken: plugs belong to the main thread: ", 0), 0u);
}

// Off the main thread Maya's threading note allows executeCommandOnIdle and
// displayInfo/displayError (and a device node's queue, pool and loop calls):
// the other calls the host watches are reported.
TEST_F(HostRules, OtherApiCallsOffTheMainThreadAreReported) {
    testing::internal::CaptureStderr();
    std::thread other([] {
        MStatus status;
        MStringResource::getString(MStringResourceId("ZemoriTest", "kKey", "text"), status);
        MGlobal::displayInfo("from a thread");  // thread-safe by the note
        MGlobal::executeCommand("print \"now\"");
        MGlobal::executeCommandOnIdle("print \"queued\"");
        MSelectionList list;
        list.add("time1");
        MAnimControl::setCurrentTime(MTime(3.0, MTime::kFilm));
    });
    other.join();
    testing::internal::GetCapturedStderr();
    const auto breaches = mayahost::takeRuleBreaches();
    ASSERT_EQ(breaches.size(), 4u);
    EXPECT_EQ(breaches[0].operation, "MStringResource::getString");
    EXPECT_EQ(breaches[0].node, "ZemoriTest:kKey");
    EXPECT_EQ(breaches[1].operation, "MGlobal::executeCommand");
    EXPECT_EQ(breaches[2].operation, "MSelectionList::add");
    EXPECT_EQ(breaches[3].operation, "MAnimControl::setCurrentTime");
    EXPECT_EQ(breaches[0].rule,
              "off the main thread only executeCommandOnIdle and the device node's own calls");
}

}  // namespace
