// Command texts: parsing, plug-in commands, the UI procedures, the idle
// queue and script sourcing.
#include "hostFixture.h"

#include <mayahost/melParser.h>

#include <maya/MArgList.h>
#include <maya/MGlobal.h>
#include <maya/MPxCommand.h>

#include <cstdio>
#include <fstream>
#include <thread>

namespace {

using mayahost::MelArgument;
using mayahost::MelCall;
using Kind = MelArgument::Kind;

std::vector<MelCall> parse(const std::string& text) {
    std::vector<MelCall> calls;
    std::string error;
    EXPECT_TRUE(mayahost::parseMel(text, calls, &error)) << error;
    return calls;
}

TEST(MelParser, QuotedTextFollowedDirectlyByANumberIsTwoArguments) {
    auto calls = parse("displayMessage \"Awaiting Skeleton Definition\"0");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].procedure, "displayMessage");
    ASSERT_EQ(calls[0].arguments.size(), 2u);
    EXPECT_EQ(calls[0].arguments[0].kind, Kind::kString);
    EXPECT_EQ(calls[0].arguments[0].text, "Awaiting Skeleton Definition");
    EXPECT_EQ(calls[0].arguments[1].kind, Kind::kInt);
    EXPECT_EQ(calls[0].arguments[1].text, "0");
}

TEST(MelParser, NumbersIntsFloatsAndNegatives) {
    auto calls = parse("enableBindButton -1 1; p 2.5 -0.25 1e3 .5 -7 +3 1.5.2 -x");
    ASSERT_EQ(calls.size(), 2u);
    ASSERT_EQ(calls[0].arguments.size(), 2u);
    EXPECT_EQ(calls[0].arguments[0].kind, Kind::kInt);
    EXPECT_EQ(calls[0].arguments[0].text, "-1");
    const auto& a = calls[1].arguments;
    ASSERT_EQ(a.size(), 8u);
    Kind kinds[] = {Kind::kFloat, Kind::kFloat, Kind::kFloat,  Kind::kFloat,
                    Kind::kInt,   Kind::kInt,   Kind::kString, Kind::kString};
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i].kind, kinds[i]) << a[i].text;
    EXPECT_EQ(a[3].text, ".5");
    EXPECT_EQ(a[7].text, "-x");
}

TEST(MelParser, StringEscapes) {
    auto calls = parse(R"(error "say \"hi\"\n\tpath C:\\dir \q")");
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(calls[0].arguments.size(), 1u);
    EXPECT_EQ(calls[0].arguments[0].text, "say \"hi\"\n\tpath C:\\dir \\q");
    // Tabs and a semicolon inside quotes belong to the text.
    calls = parse("displayAvailableIPs \"Your local IPs:\t\t\t10.0.0.5;x\"12");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments[0].text, "Your local IPs:\t\t\t10.0.0.5;x");
    EXPECT_EQ(calls[0].arguments[1].text, "12");
}

TEST(MelParser, BareNamesEmptyTextsAndErrors) {
    auto calls = parse("  createZemoriShelf  ");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].arguments.empty());
    EXPECT_TRUE(parse("").empty());
    EXPECT_TRUE(parse(" ; ;").empty());
    auto two = parse("cleanUpUI;createZemoriShelf");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].procedure, "createZemoriShelf");
    std::vector<MelCall> out;
    std::string error;
    EXPECT_FALSE(mayahost::parseMel("error \"unterminated", out, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(mayahost::parseMel("\"text\" 1", out, &error));
    EXPECT_FALSE(mayahost::parseMel("9lives", out));
}

class CommandTest : public HostTest {};

TEST_F(CommandTest, UiProceduresRecordThePanelState) {
    ASSERT_TRUE(MGlobal::executeCommand("displayMessage \"Data received\"2"));
    ASSERT_TRUE(MGlobal::executeCommand("enableBindButton 2 1"));
    ASSERT_TRUE(MGlobal::executeCommand("updateLiveCheckbox 2 1"));
    ASSERT_TRUE(MGlobal::executeCommand("displayAvailableIPs \"Your local IPs:\t\t\t10.0.0.5\"2"));
    ASSERT_TRUE(MGlobal::executeCommand("updateLiveCheckbox -1 0"));
    mayahost::PanelState panel = mayahost::panelState(2);
    EXPECT_TRUE(panel.exists);
    EXPECT_EQ(panel.status, "Data received");
    EXPECT_TRUE(panel.bindButtonEnabled);
    EXPECT_TRUE(panel.liveChecked);
    EXPECT_EQ(panel.ipList, "Your local IPs:\t\t\t10.0.0.5");
    EXPECT_EQ(panel.statusUpdates, 1);
    EXPECT_TRUE(mayahost::panelState(-1).exists);
    EXPECT_FALSE(mayahost::panelState(-1).liveChecked);
    EXPECT_FALSE(mayahost::panelState(7).exists);
    ASSERT_TRUE(MGlobal::executeCommand("createZemoriShelf"));
    ASSERT_TRUE(MGlobal::executeCommand("cleanUpUI"));
    EXPECT_EQ(mayahost::shelfCreations(), 1);
    EXPECT_EQ(mayahost::uiCleanUps(), 1);
    EXPECT_EQ(mayahost::commandLog().size(), 7u);
    EXPECT_TRUE(mayahost::errorLines().empty());
}

TEST_F(CommandTest, ErrorsAreRecordedAndFail) {
    EXPECT_FALSE(MGlobal::executeCommand("error \"Port in Use.\""));
    MGlobal::displayError("shown error");
    MPxCommand::displayError("command error", false);
    EXPECT_FALSE(MGlobal::executeCommand("noSuchProcedure 1"));
    EXPECT_FALSE(MGlobal::executeCommand("displayMessage \"text\""));        // too few
    EXPECT_FALSE(MGlobal::executeCommand("enableBindButton \"two\" 1"));     // not a number
    EXPECT_FALSE(MGlobal::executeCommand("displayMessage \"unterminated"));  // no parse
    auto errors = mayahost::errorLines();
    ASSERT_EQ(errors.size(), 7u);
    EXPECT_EQ(errors[0], "Port in Use.");
    EXPECT_EQ(errors[1], "shown error");
    EXPECT_EQ(errors[2], "command error");
    EXPECT_NE(errors[3].find("noSuchProcedure"), std::string::npos);
    EXPECT_FALSE(mayahost::panelState(0).exists);
}

TEST_F(CommandTest, IdleCommandsRunInOrderOnlyWhenIdleProcessingRuns) {
    ASSERT_TRUE(MGlobal::executeCommandOnIdle("displayMessage \"first\"1"));
    ASSERT_TRUE(MGlobal::executeCommandOnIdle("displayMessage \"second\"1"));
    ASSERT_TRUE(MGlobal::executeCommandOnIdle("error \"third\""));
    EXPECT_FALSE(mayahost::panelState(1).exists);
    EXPECT_TRUE(mayahost::commandLog().empty());
    EXPECT_EQ(mayahost::idleQueueLength(), 3u);
    // An immediate command runs before the queued ones.
    ASSERT_TRUE(MGlobal::executeCommand("updateLiveCheckbox 1 1"));
    EXPECT_EQ(mayahost::processIdleEvents(), 3);
    EXPECT_EQ(mayahost::commandLog(),
              (std::vector<std::string>{"updateLiveCheckbox 1 1", "displayMessage \"first\"1",
                                        "displayMessage \"second\"1", "error \"third\""}));
    EXPECT_EQ(mayahost::panelState(1).status, "second");
    EXPECT_EQ(mayahost::panelState(1).statusUpdates, 2);
    EXPECT_EQ(mayahost::processIdleEvents(), 0);
}

TEST_F(CommandTest, IdleCommandsMayBeQueuedFromOtherThreads) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                MGlobal::executeCommandOnIdle(MString("displayMessage \"") + i + "\"" + t);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mayahost::processIdleEvents(), 200);
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(mayahost::panelState(t).statusUpdates, 50);
        // Each thread's commands kept their order.
        EXPECT_EQ(mayahost::panelState(t).status, "49");
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
    EXPECT_FALSE(fn.registerCommand("displayMessage", EchoCommand::creator));
    int count = 0;
    ASSERT_TRUE(MGlobal::executeCommand("echoArgs \"zemoriDevice1\" -12 3.5 \"a\\\"b\"7", count));
    EXPECT_EQ(count, 5);
    EXPECT_EQ(EchoCommand::strings,
              (std::vector<std::string>{"zemoriDevice1", "-12", "3.5", "a\"b", "7"}));
    EXPECT_EQ(EchoCommand::ints, (std::vector<int>{-999, -12, -999, -999, 7}));
    EXPECT_EQ(EchoCommand::instances, 0);
    EXPECT_EQ(MGlobal::executeCommand("echoArgs"), MS::kInvalidParameter);
    ASSERT_TRUE(fn.deregisterCommand("echoArgs"));
    EXPECT_FALSE(fn.deregisterCommand("echoArgs"));
    EXPECT_FALSE(MGlobal::executeCommand("echoArgs 1"));
}

TEST_F(CommandTest, ScriptsAreFoundByBareNameOnTheSearchPath) {
    std::string folder = ::testing::TempDir();
    std::string path = folder + "/HostTestHelpers.mel";
    { std::ofstream(path) << "global proc hostTestHelper() {}\n"; }
    EXPECT_EQ(MGlobal::sourceFile("HostTestHelpers.mel"), MS::kNotFound);
    mayahost::setScriptPath({"/nonexistent-folder", folder});
    EXPECT_TRUE(MGlobal::sourceFile("HostTestHelpers.mel"));
    EXPECT_EQ(MGlobal::sourceFile("Missing.mel"), MS::kNotFound);
    auto sourced = mayahost::sourcedScripts();
    ASSERT_EQ(sourced.size(), 1u);
    EXPECT_EQ(sourced[0], folder + "/HostTestHelpers.mel");
    EXPECT_EQ(mayahost::errorLines().size(), 2u);
    std::remove(path.c_str());
}

}  // namespace
