// Command texts through MGlobal: plug-in commands, the idle queue, results
// and script sourcing. The language itself is tested in melTests.cpp.
#include "hostFixture.h"

#include <mayahost/ui.h>

#include <maya/MArgList.h>
#include <maya/MGlobal.h>
#include <maya/MPxCommand.h>

#include <cstdio>
#include <fstream>
#include <thread>

namespace {

class CommandTest : public HostTest {
protected:
    // A procedure that notes its calls, per id, in a global array.
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(mayahost::runMel(
            "global string $gNoted[];"
            "global proc note(string $text, int $id) {"
            "  global string $gNoted[]; $gNoted[$id] = $gNoted[$id] + $text + \";\"; }"));
    }
    static std::string noted(int id) {
        std::string out;
        EXPECT_TRUE(mayahost::runMel(
            "global string $gNoted[]; $gNoted[" + std::to_string(id) + "];", &out));
        return out;
    }
};

TEST_F(CommandTest, ResultsAndErrorsOfCommandTexts) {
    int count = 0;
    ASSERT_TRUE(MGlobal::executeCommand("size({\"a\", \"b\", \"c\"})", count));
    EXPECT_EQ(count, 3);
    double half = 0.0;
    ASSERT_TRUE(MGlobal::executeCommand("1.0 / 2", half));
    EXPECT_EQ(half, 0.5);
    MString text;
    ASSERT_TRUE(MGlobal::executeCommand("note \"x\" 2; \"zemori\" + 7", text));
    EXPECT_EQ(std::string(text.asChar()), "zemori7");
    EXPECT_EQ(noted(2), "x;");
    // A quoted text, a blank, a number; glued together they are refused.
    ASSERT_TRUE(MGlobal::executeCommand("note \"Awaiting\" 0"));
    EXPECT_EQ(noted(0), "Awaiting;");
    EXPECT_FALSE(MGlobal::executeCommand("note \"Awaiting\"0"));

    EXPECT_FALSE(MGlobal::executeCommand("error \"Port in Use.\""));
    MGlobal::displayError("shown error");
    MPxCommand::displayError("command error", false);
    EXPECT_FALSE(MGlobal::executeCommand("noSuchProcedure 1"));
    EXPECT_FALSE(MGlobal::executeCommand("note \"text\""));
    EXPECT_FALSE(MGlobal::executeCommand("note \"text\" \"two\""));
    EXPECT_FALSE(MGlobal::executeCommand("note \"unterminated"));
    auto errors = mayahost::errorLines();
    ASSERT_EQ(errors.size(), 8u);
    EXPECT_NE(errors[0].find("Syntax error: a quoted string must be followed by a blank"),
              std::string::npos);
    errors.erase(errors.begin());
    EXPECT_EQ(errors[0], "Port in Use.");
    EXPECT_EQ(errors[1], "shown error");
    EXPECT_EQ(errors[2], "command error");
    EXPECT_EQ(errors[3], "Cannot find procedure \"noSuchProcedure\".");
    EXPECT_EQ(errors[4], "Wrong number of arguments on call to note.");
    EXPECT_NE(errors[5].find("Invalid argument 2 on call to note"), std::string::npos);
    EXPECT_NE(errors[6].find("Syntax error"), std::string::npos);
}

TEST_F(CommandTest, IdleCommandsRunInOrderOnlyWhenIdleProcessingRuns) {
    ASSERT_TRUE(MGlobal::executeCommandOnIdle("note \"first\" 1"));
    ASSERT_TRUE(MGlobal::executeCommandOnIdle("note \"second\" 1"));
    ASSERT_TRUE(MGlobal::executeCommandOnIdle("error \"third\""));
    EXPECT_EQ(noted(1), "");
    EXPECT_TRUE(mayahost::commandLog().empty());
    EXPECT_EQ(mayahost::idleQueueLength(), 3u);
    // An immediate command runs before the queued ones.
    ASSERT_TRUE(MGlobal::executeCommand("note \"now\" 1"));
    EXPECT_EQ(mayahost::processIdleEvents(), 3);
    EXPECT_EQ(mayahost::commandLog(),
              (std::vector<std::string>{"note \"now\" 1", "note \"first\" 1", "note \"second\" 1",
                                        "error \"third\""}));
    EXPECT_EQ(noted(1), "now;first;second;");
    EXPECT_EQ(mayahost::errorLines(), std::vector<std::string>{"third"});
    EXPECT_EQ(mayahost::processIdleEvents(), 0);
}

TEST_F(CommandTest, IdleCommandsMayBeQueuedFromOtherThreads) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                MGlobal::executeCommandOnIdle(MString("note \"") + i + "\" " + t);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mayahost::processIdleEvents(), 200);
    for (int t = 0; t < 4; ++t) {
        // Each thread's commands kept their order.
        std::string expected;
        for (int i = 0; i < 50; ++i) expected += std::to_string(i) + ";";
        EXPECT_EQ(noted(t), expected);
    }
}

class EchoCommand : public MPxCommand {
public:
    static std::vector<std::string> strings;
    static std::vector<int> ints;
    static int instances;
    EchoCommand() { ++instances; }
    ~EchoCommand() override { --instances; }
    static void* creator() { return new EchoCommand; }
    MStatus doIt(const MArgList& args) override {
        strings.clear();
        ints.clear();
        for (unsigned i = 0; i < args.length(); ++i) {
            strings.push_back(args.asString(i).asChar());
            MStatus status;
            int value = args.asInt(i, &status);
            ints.push_back(status ? value : -999);
        }
        MStatus outOfRange;
        args.asString(args.length(), &outOfRange);
        if (outOfRange) return MS::kFailure;
        setResult(static_cast<int>(args.length()));
        return args.length() == 0 ? MStatus(MS::kInvalidParameter) : MStatus(MS::kSuccess);
    }
};
std::vector<std::string> EchoCommand::strings;
std::vector<int> EchoCommand::ints;
int EchoCommand::instances = 0;

TEST_F(CommandTest, PluginCommandsGetTheirArgumentsAndAFreshObject) {
    MObject plugin = testPlugin();
    MFnPlugin fn(plugin);
    ASSERT_TRUE(fn.registerCommand("echoArgs", EchoCommand::creator));
    EXPECT_FALSE(fn.registerCommand("echoArgs", EchoCommand::creator));
    EXPECT_FALSE(fn.registerCommand("connectAttr", EchoCommand::creator)) << "a built-in";
    int count = 0;
    ASSERT_TRUE(MGlobal::executeCommand("echoArgs \"zemoriDevice1\" -12 3.5 \"a\\\"b\" 7", count));
    EXPECT_EQ(count, 5);
    EXPECT_EQ(EchoCommand::strings,
              (std::vector<std::string>{"zemoriDevice1", "-12", "3.5", "a\"b", "7"}));
    EXPECT_EQ(EchoCommand::ints, (std::vector<int>{-999, -12, -999, -999, 7}));
    EXPECT_EQ(EchoCommand::instances, 0);
    // As in Maya, a failed command is kFailure whatever doIt returned.
    EXPECT_EQ(MGlobal::executeCommand("echoArgs"), MS::kFailure);
    ASSERT_TRUE(fn.deregisterCommand("echoArgs"));
    EXPECT_FALSE(fn.deregisterCommand("echoArgs"));
    EXPECT_FALSE(MGlobal::executeCommand("echoArgs 1"));
}

TEST_F(CommandTest, ScriptsAreFoundByBareNameOnTheSearchPath) {
    std::string folder = ::testing::TempDir();
    std::string path = folder + "/HostTestHelpers.mel";
    { std::ofstream(path) << "global proc int hostTestHelper() { return 41 + 1; }\n"; }
    EXPECT_EQ(MGlobal::sourceFile("HostTestHelpers.mel"), MS::kNotFound);
    mayahost::setScriptPath({"/nonexistent-folder", folder});
    EXPECT_TRUE(MGlobal::sourceFile("HostTestHelpers.mel"));
    EXPECT_EQ(MGlobal::sourceFile("Missing.mel"), MS::kNotFound);
    auto sourced = mayahost::sourcedScripts();
    ASSERT_EQ(sourced.size(), 1u);
    EXPECT_EQ(sourced[0], folder + "/HostTestHelpers.mel");
    EXPECT_EQ(mayahost::errorLines().size(), 2u);
    // The file was interpreted.
    std::string answer;
    ASSERT_TRUE(mayahost::runMel("hostTestHelper()", &answer));
    EXPECT_EQ(answer, "42");
    // A script that does not run fails the call.
    { std::ofstream(path) << "global proc broken() {}\nerror \"stop here\";\n"; }
    EXPECT_EQ(MGlobal::sourceFile("HostTestHelpers.mel"), MS::kFailure);
    EXPECT_EQ(mayahost::errorLines().back(), "stop here");
    std::remove(path.c_str());
}

}  // namespace
