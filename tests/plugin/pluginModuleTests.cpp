// The installed module, loaded and unloaded by the embedded host as the real
// host does it: registration order, failures and their reports, scene
// callbacks, the motion-format library's lifetime, and the exported symbols.
#include "platform/dynamicLibrary.h"
#include "platform/sockets.h"

#include <maya/MArgList.h>
// A test is no plug-in: the version data stay the module's own.
#define MNoVersionString
#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringResource.h>
#include <maya/MStringResourceId.h>
#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

const std::string kInstalled = ZEMORI_INSTALL_TEST_DIR;
const std::string kWithoutLibrary = kInstalled + "-nolib";
const std::string kScripts = kInstalled + "/ZemoriMayaPlugin/scripts";

std::string modulePath(const std::string& prefix) {
    return prefix + "/ZemoriMayaPlugin/plug-ins/" + ZEMORI_MODULE_FILE;
}

// Whether the process has the installed motion-format library mapped.
bool formatLibraryMapped() {
    const std::string path = kInstalled + "/" + ZEMORI_FORMAT_LIBRARY_RELATIVE;
#if defined(_WIN32)
    return GetModuleHandleA("ostrevo.dll") != nullptr;
#else
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);
    return handle != nullptr;
#endif
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        out.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

int occurrences(const std::vector<std::string>& log, const std::string& command) {
    return static_cast<int>(std::count(log.begin(), log.end(), command));
}

// A command of another plug-in that holds our command's name.
class OtherCommand : public MPxCommand {
public:
    MStatus doIt(const MArgList&) override { return MS::kSuccess; }
    static void* creator() { return new OtherCommand(); }
};

void takeCommandName() {
    MObject other = mayahost::createPluginObject("otherPlugin", ".");
    MFnPlugin plugin(other);
    ASSERT_EQ(plugin.registerCommand("ZemoriDidCharacterize", OtherCommand::creator), MS::kSuccess);
}

// Idle processing ends a deletion once the node's thread has returned;
// until then the node type cannot be deregistered.
void finishDeletions() {
    for (int attempt = 0; attempt < 500; ++attempt) {
        mayahost::processIdleEvents();
        if (mayahost::pendingDeletionCount() == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int zemoriShelves() {
    const std::vector<std::string> shelves = mayahost::shelves();
    return static_cast<int>(std::count(shelves.begin(), shelves.end(), "Zemori"));
}

class PluginModule : public ::testing::Test {
protected:
    void SetUp() override {
        mayahost::reset();
        mayahost::setScriptPath({kScripts});
    }
    void TearDown() override {
        testing::internal::CaptureStderr();
        mayahost::reset();
        testing::internal::GetCapturedStderr();
    }

    // Loads with standard error captured into `errors`.
    MStatus load(const std::string& prefix = kInstalled) {
        testing::internal::CaptureStderr();
        const MStatus status = mayahost::loadPlugin(modulePath(prefix));
        errors = testing::internal::GetCapturedStderr();
        return status;
    }
    MStatus unload(bool force = false) {
        testing::internal::CaptureStderr();
        const MStatus status = mayahost::unloadPlugin("ZemoriMayaPlugin", force);
        errors = testing::internal::GetCapturedStderr();
        return status;
    }
    static bool commandRegistered() {
        // With no argument the command itself answers with its usage error.
        const std::size_t before = mayahost::errorLines().size();
        MGlobal::executeCommand("ZemoriDidCharacterize");
        const std::vector<std::string> after = mayahost::errorLines();
        return after.size() > before &&
               after.back().find("expects exactly one argument") != std::string::npos;
    }
    static bool nodeTypeRegistered() {
        MStatus status;
        const MObject node = mayahost::createNode("ZemoriDeviceNode", nullptr, &status);
        const bool created = status && !node.isNull();
        if (created) {
            mayahost::deleteNode(node);
            finishDeletions();
        }
        return created;
    }

    std::string errors;
};

TEST_F(PluginModule, LoadsScriptsFirstThenRegistersAndQueuesTheShelf) {
    ASSERT_EQ(load(), MS::kSuccess);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(mayahost::isPluginLoaded("ZemoriMayaPlugin"));
    EXPECT_EQ(
        mayahost::sourcedScripts(),
        (std::vector<std::string>{kScripts + "/SkeletonHelpers.mel", kScripts + "/UIManagement.mel",
                                  kScripts + "/UICallbacks.mel"}));

    // The shelf comes only once the host is idle, after loading, and the
    // library reported nothing.
    EXPECT_EQ(zemoriShelves(), 0);
    EXPECT_EQ(occurrences(mayahost::commandLog(), "createZemoriShelf"), 0);
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoriShelves(), 1);
    // The load asked only whether the stage trigger was left on.
    EXPECT_EQ(mayahost::commandLog(),
              (std::vector<std::string>{"optionVar -exists \"ZemoriStageTriggerEnabled\"",
                                        "createZemoriShelf"}));
    EXPECT_TRUE(mayahost::errorLines().empty()) << ::testing::PrintToString(mayahost::errorLines());

    // The message table is the host's now.
    MStatus lookup;
    EXPECT_EQ(std::string(MStringResource::getString(
                              MStringResourceId("ZemoriMayaPlugin", "YOUR_IP", "other"), lookup)
                              .asChar()),
              "Your local IPs:");
    EXPECT_TRUE(commandRegistered());
    EXPECT_TRUE(nodeTypeRegistered());
    EXPECT_TRUE(formatLibraryMapped());
}

TEST_F(PluginModule, AFailedRegistrationFailsTheLoadOnceEveryOneIsTriedAndReported) {
    mayahost::failRegistration("ZemoriDidCharacterize");
    mayahost::failRegistration("ZemoriDeviceNode");
    EXPECT_EQ(load(), MS::kFailure) << "a plug-in without its node type is not loaded";
    const std::vector<std::string> reported = lines(errors);
    ASSERT_EQ(reported.size(), 2u) << errors;
    EXPECT_TRUE(startsWith(reported[0], "failed to register command ZemoriDidCharacterize"));
    EXPECT_TRUE(startsWith(reported[1], "failed to registerNode ZemoriDeviceNode"));
    EXPECT_FALSE(mayahost::isPluginLoaded("ZemoriMayaPlugin"));

    // Nothing of it is left: what did register went again, and nothing
    // after the registrations happened.
    EXPECT_FALSE(MGlobal::executeCommand("ZemoriRunIdleWork"));
    EXPECT_TRUE(mayahost::createNode("ZemoriTake").isNull());
    EXPECT_FALSE(formatLibraryMapped());
    mayahost::newScene();
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoriShelves(), 0);
    const std::vector<std::string> log = mayahost::commandLog();
    EXPECT_EQ(occurrences(log, "createZemoriShelf"), 0);
    EXPECT_EQ(occurrences(log, "cleanUpUI"), 0);

    // Once nothing fails, it loads.
    mayahost::reset();
    mayahost::setScriptPath({kScripts});
    ASSERT_EQ(load(), MS::kSuccess) << errors;
    EXPECT_TRUE(nodeTypeRegistered());
}

TEST_F(PluginModule, TakenCommandNameIsReportedAndFailsTheLoad) {
    takeCommandName();
    EXPECT_EQ(load(), MS::kFailure);
    const std::vector<std::string> reported = lines(errors);
    ASSERT_EQ(reported.size(), 1u) << errors;
    EXPECT_TRUE(startsWith(reported[0], "failed to register command ZemoriDidCharacterize: "))
        << errors;
    EXPECT_FALSE(nodeTypeRegistered());
    EXPECT_FALSE(formatLibraryMapped());
    // The other plug-in keeps its command.
    EXPECT_TRUE(MGlobal::executeCommand("ZemoriDidCharacterize"));
}

TEST_F(PluginModule, FailingStringRegistrationStopsTheLoad) {
    mayahost::failRegistration("ZemoriMayaInitStrings");
    EXPECT_EQ(load(), MS::kFailure);
    const std::vector<std::string> reported = lines(errors);
    ASSERT_EQ(reported.size(), 1u) << errors;
    EXPECT_TRUE(startsWith(reported[0], "failed to register localized UI strings"));
    EXPECT_FALSE(mayahost::isPluginLoaded("ZemoriMayaPlugin"));

    // The scripts were sourced before; nothing after the strings happened.
    EXPECT_EQ(mayahost::sourcedScripts().size(), 3u);
    EXPECT_FALSE(nodeTypeRegistered());
    EXPECT_FALSE(formatLibraryMapped());
    mayahost::newScene();
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoriShelves(), 0);
    const std::vector<std::string> log = mayahost::commandLog();
    EXPECT_EQ(occurrences(log, "createZemoriShelf"), 0);
    EXPECT_EQ(occurrences(log, "cleanUpUI"), 0);
}

TEST_F(PluginModule, NewSceneQueuesTheCleanUpOnceEachWhileLoaded) {
    ASSERT_EQ(load(), MS::kSuccess);
    mayahost::processIdleEvents();
    ASSERT_TRUE(mayahost::pressButton("zemoriCreateDeviceButton"));
    ASSERT_EQ(mayahost::windows(), std::vector<std::string>{"zemoriPanel0"});
    mayahost::newScene();
    EXPECT_EQ(occurrences(mayahost::commandLog(), "cleanUpUI"), 0);
    EXPECT_EQ(mayahost::windows().size(), 1u) << "queued, not run during File > New";
    mayahost::processIdleEvents();
    EXPECT_TRUE(mayahost::windows().empty());
    mayahost::newScene();
    mayahost::processIdleEvents();
    EXPECT_EQ(occurrences(mayahost::commandLog(), "cleanUpUI"), 2);

    ASSERT_EQ(unload(), MS::kSuccess);
    mayahost::newScene();
    mayahost::processIdleEvents();
    EXPECT_EQ(occurrences(mayahost::commandLog(), "cleanUpUI"), 2);
    EXPECT_TRUE(mayahost::errorLines().empty());
}

TEST_F(PluginModule, UnloadRemovesEverythingAndReleasesTheLibrary) {
    ASSERT_EQ(load(), MS::kSuccess);
    ASSERT_TRUE(formatLibraryMapped());
    EXPECT_EQ(unload(), MS::kSuccess);
    EXPECT_EQ(errors, "");
    EXPECT_FALSE(mayahost::isPluginLoaded("ZemoriMayaPlugin"));
    EXPECT_FALSE(formatLibraryMapped());
    EXPECT_FALSE(nodeTypeRegistered());
    EXPECT_FALSE(commandRegistered());

    // A new load starts afresh.
    ASSERT_EQ(load(), MS::kSuccess);
    EXPECT_TRUE(formatLibraryMapped());
    EXPECT_TRUE(nodeTypeRegistered());
}

TEST_F(PluginModule, MissingLibraryIsReportedAfterLoadingAndBeforeTheShelf) {
    testing::internal::CaptureStdout();
    ASSERT_EQ(load(kWithoutLibrary), MS::kSuccess);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(lines(out).size(), 1u) << out;
    EXPECT_TRUE(startsWith(out, "A dynamic linking error occurred: ")) << out;
    EXPECT_TRUE(nodeTypeRegistered()) << "the plug-in loads without the library";

    mayahost::processIdleEvents();
    const std::vector<std::string> log = mayahost::commandLog();
    const auto report =
        std::find(log.begin(), log.end(),
                  "error \"Failed to import Ostrevo library. Plug-in will not be functional.\"");
    const auto shelf = std::find(log.begin(), log.end(), "createZemoriShelf");
    ASSERT_NE(report, log.end());
    ASSERT_NE(shelf, log.end());
    EXPECT_LT(report, shelf);
}

TEST_F(PluginModule, FailedCommandDeregistrationIsReturnedAfterTheLibraryIsReleased) {
    ASSERT_EQ(load(), MS::kSuccess);
    ASSERT_TRUE(formatLibraryMapped());
    mayahost::failRegistration("ZemoriDidCharacterize");

    EXPECT_EQ(unload(), MS::kFailure);
    const std::vector<std::string> reported = lines(errors);
    ASSERT_FALSE(reported.empty());
    EXPECT_NE(errors.find("failed to deregister command ZemoriDidCharacterize"), std::string::npos)
        << errors;
    EXPECT_EQ(errors.find("failed to deregisterNode"), std::string::npos);
    EXPECT_FALSE(formatLibraryMapped());
    EXPECT_FALSE(nodeTypeRegistered());
}

// Last: the library it keeps stays mapped for the rest of the process.
TEST_F(PluginModule, NodesThatOutliveTheTypeKeepTheLibraryLoaded) {
    ASSERT_EQ(load(), MS::kSuccess);
    const MObject node = mayahost::createNode("ZemoriDeviceNode");
    ASSERT_FALSE(node.isNull());
    // As Maya, a plug-in whose node is in the scene stays loaded; forced
    // (unloadPlugin -force), it goes and the node stays.
    EXPECT_EQ(unload(), MS::kFailure);
    EXPECT_TRUE(commandRegistered());
    EXPECT_EQ(unload(true), MS::kSuccess) << "the command deregistered";
    const std::vector<std::string> reported = lines(errors);
    ASSERT_FALSE(reported.empty());
    EXPECT_TRUE(startsWith(reported[0], "failed to deregisterNode ZemoriDeviceNode")) << errors;
    EXPECT_EQ(errors.find("failed to deregister command"), std::string::npos);
    EXPECT_TRUE(formatLibraryMapped());
    EXPECT_FALSE(commandRegistered());

    // The module stays mapped for the node, and with it the library.
    ASSERT_EQ(mayahost::deleteNode(node), MS::kSuccess);
    mayahost::processIdleEvents();
    EXPECT_TRUE(formatLibraryMapped());
}

// Whether a socket of ours can bind the port now.
bool udpPortFree(std::uint16_t port) {
    platform::socketStartup();
    const platform::SocketHandle s = platform::openUdpSocket();
    const bool bound = platform::bindAnyAddress(s, port) == 0;
    const std::uint16_t got = platform::boundPort(s);
    platform::closeSocket(s);
    platform::socketCleanup();
    return bound && got == port;
}

TEST_F(PluginModule, StageTriggerLeftOnListensFromTheLoadAndUnloadFreesItsPort) {
    platform::socketStartup();
    const platform::SocketHandle probe = platform::openUdpSocket();
    platform::bindAnyAddress(probe, 0);
    const std::uint16_t port = platform::boundPort(probe);
    platform::closeSocket(probe);
    platform::socketCleanup();
    const std::string setPort = "optionVar -iv ZemoriStageTriggerPort " + std::to_string(port);
    ASSERT_TRUE(MGlobal::executeCommand(setPort.c_str()));
    ASSERT_TRUE(MGlobal::executeCommand("optionVar -iv ZemoriStageTriggerEnabled 1"));

    ASSERT_EQ(load(), MS::kSuccess) << errors;
    EXPECT_FALSE(udpPortFree(port));
    MString state;
    ASSERT_TRUE(MGlobal::executeCommand("ZemoriStageTrigger -query", state));
    EXPECT_EQ(std::string(state.asChar()).rfind("enabled=1 port=" + std::to_string(port), 0), 0u);

    ASSERT_EQ(unload(), MS::kSuccess) << errors;
    EXPECT_TRUE(udpPortFree(port));
    EXPECT_FALSE(MGlobal::executeCommand("ZemoriStageTrigger -query"));
}

TEST(PluginModuleLayout, InstallsAHostModuleWithTheLibraryTwoLevelsAbove) {
    std::ifstream mod(kInstalled + "/ZemoriMayaPlugin.mod");
    ASSERT_TRUE(mod.good());
    const std::string text((std::istreambuf_iterator<char>(mod)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "+ ZemoriMayaPlugin 1.0.1 ./ZemoriMayaPlugin\n");
    EXPECT_TRUE(std::filesystem::is_regular_file(modulePath(kInstalled)));
    EXPECT_TRUE(std::filesystem::is_directory(kInstalled + "/ZemoriMayaPlugin/scripts"));
    // Where the loader looks: the plug-in's folder, then ../../Ostrevo/...
    EXPECT_TRUE(std::filesystem::is_regular_file(kInstalled + "/ZemoriMayaPlugin/plug-ins/../../" +
                                                 ZEMORI_FORMAT_LIBRARY_RELATIVE));
}

TEST(PluginModuleExports, OnlyTheEntryPointsAndVersionDataAreVisible) {
    platform::LibraryHandle module = platform::loadLibrary(modulePath(kInstalled).c_str());
    ASSERT_NE(module, nullptr);
    const char* version = static_cast<const char*>(platform::findSymbol(module, "MApiVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_STREQ(version, "20230300");
    EXPECT_NE(platform::findSymbol(module, "ADSK_PLUGIN_SIGNATURE"), nullptr);
    EXPECT_EQ(platform::findSymbol(module, "gFormatLibrary"), nullptr);
    EXPECT_EQ(platform::findSymbol(module, "_Z22registerMessageStringsv"), nullptr);
    platform::freeLibrary(module);
}

}  // namespace
