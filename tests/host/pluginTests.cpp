// Loading and unloading a plug-in module as the host does.
#include "hostFixture.h"

#include <platform/dynamicLibrary.h>

#include <maya/MGlobal.h>
#include <mayahost/ui.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

class PluginTest : public HostTest {
protected:
    const std::string mPath = HOST_TEST_PLUGIN_PATH;
    // One folder per test: CTest runs tests of this program side by side.
    const std::string mScripts = ::testing::TempDir() + "hostPluginScripts-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name();

    // The plug-in's strings procedure, and cleanUpUI in a file of its own
    // name, found as Maya finds procedures.
    void SetUp() override {
        HostTest::SetUp();
        std::filesystem::create_directories(mScripts);
        std::ofstream(mScripts + "/HostTestPluginStrings.mel")
            << "global proc HostTestPluginStrings() {\n"
               "    loadPluginLanguageResources(\"HostTestPlugin\", \"HostTestPlugin.pres.mel\");\n"
               "}\n";
        std::ofstream(mScripts + "/cleanUpUI.mel")
            << "global int $gCleanUps = 0;\n"
               "global proc cleanUpUI() { global int $gCleanUps; $gCleanUps++; }\n";
        mayahost::setScriptPath({mScripts});
    }
    static int cleanUps() {
        std::string count = "0";
        mayahost::runMel("global int $gCleanUps; $gCleanUps", &count);
        return std::stoi(count);
    }

    // The module's folder as an absolute path with forward slashes.
    std::string folder() const {
        return std::filesystem::absolute(mPath).parent_path().generic_string();
    }
};

TEST_F(PluginTest, LoadCallsInitializeAndKeepsTheLoadPath) {
    ASSERT_TRUE(mayahost::loadPlugin(mPath));
    EXPECT_TRUE(mayahost::isPluginLoaded(mPath));
    EXPECT_TRUE(mayahost::isPluginLoaded("hostTestPlugin"));
    // Loading the same module twice is refused.
    EXPECT_FALSE(mayahost::loadPlugin(mPath));
    MString result;
    ASSERT_TRUE(MGlobal::executeCommand("hostTestLoadPath", result));
    EXPECT_EQ(std::string(result.asChar()), folder() + "|Hello");
    EXPECT_FALSE(mayahost::createNode("hostTestDevice").isNull());
}

TEST_F(PluginTest, UIStringsProcedureRunsAfterTheFunctionAndMayLocalize) {
    // A localized session: the resource path holds the language's files.
    const std::string resources = mScripts + "/de_DE";
    std::filesystem::create_directories(resources);
    std::ofstream(resources + "/HostTestPlugin.pres.mel")
        << "setPluginResource(\"HostTestPlugin\", \"GREETING\", \"Servus\");\n";
    mayahost::setResourcePath({resources});
    ASSERT_TRUE(mayahost::loadPlugin(mPath));
    MString result;
    ASSERT_TRUE(MGlobal::executeCommand("hostTestLoadPath", result));
    EXPECT_EQ(std::string(result.asChar()), folder() + "|Servus");
}

TEST_F(PluginTest, MissingUIStringsProcedureFailsTheLoad) {
    std::filesystem::remove(mScripts + "/HostTestPluginStrings.mel");
    EXPECT_FALSE(mayahost::loadPlugin(mPath));
    ASSERT_FALSE(mayahost::errorLines().empty());
    EXPECT_EQ(mayahost::errorLines().front(), "Cannot find procedure \"HostTestPluginStrings\".");
}

TEST_F(PluginTest, UnloadRemovesRegistrationsAndFailsWhileNodesExist) {
    ASSERT_TRUE(mayahost::loadPlugin(mPath));
    MObject node = mayahost::createNode("hostTestDevice");
    // As Maya: refused before uninitializePlugin runs, so all it
    // registered stays.
    EXPECT_FALSE(mayahost::unloadPlugin("hostTestPlugin"));
    EXPECT_EQ(mayahost::errorLines().back(),
              "Plug-in, \"hostTestPlugin\", cannot be unloaded because it is still in use.");
    EXPECT_TRUE(mayahost::isPluginLoaded(mPath));
    EXPECT_TRUE(MGlobal::executeCommand("hostTestLoadPath"));
    ASSERT_TRUE(mayahost::deleteNode(node));
    ASSERT_TRUE(mayahost::unloadPlugin("hostTestPlugin"));
    EXPECT_FALSE(mayahost::isPluginLoaded(mPath));
    EXPECT_FALSE(MGlobal::executeCommand("hostTestLoadPath"));
    EXPECT_TRUE(mayahost::createNode("hostTestDevice").isNull());
    EXPECT_EQ(mayahost::unloadPlugin("hostTestPlugin"), MS::kNotFound);
    // It loads again after an unload.
    EXPECT_TRUE(mayahost::loadPlugin(mPath));
}

TEST_F(PluginTest, AFailingRegistrationFailsTheLoadAndRollsBack) {
    mayahost::failRegistration("hostTestDevice");
    EXPECT_FALSE(mayahost::loadPlugin(mPath));
    EXPECT_FALSE(mayahost::isPluginLoaded(mPath));
    // The command registered before the failure is gone with the plug-in.
    EXPECT_FALSE(MGlobal::executeCommand("hostTestLoadPath"));
    EXPECT_FALSE(mayahost::errorLines().empty());
    mayahost::reset();
    mayahost::failRegistration("hostTestLoadPath");
    EXPECT_FALSE(mayahost::loadPlugin(mPath));
}

TEST_F(PluginTest, NewSceneFiresTheBeforeNewCallback) {
    ASSERT_TRUE(mayahost::loadPlugin(mPath));
    mayahost::createNode("hostTestDevice");
    mayahost::newScene();
    EXPECT_EQ(cleanUps(), 1);
    EXPECT_TRUE(mayahost::nodeNames().empty());
    ASSERT_TRUE(mayahost::unloadPlugin(mPath));
    // Unloading removed the callback.
    mayahost::newScene();
    EXPECT_EQ(cleanUps(), 1);
}

TEST_F(PluginTest, MissingModulesAndEntryPointsFail) {
    EXPECT_FALSE(mayahost::loadPlugin(folder() + "/noSuchPlugin.so"));
    ASSERT_EQ(mayahost::errorLines().size(), 1u);
    // A module without the entry points (the host library itself).
    EXPECT_FALSE(mayahost::loadPlugin(HOST_LIBRARY_PATH));
    EXPECT_EQ(mayahost::errorLines().size(), 2u);
}

TEST(PluginExports, VersionAndSignatureAreExported) {
    platform::LibraryHandle module = platform::loadLibrary(HOST_TEST_PLUGIN_PATH);
    ASSERT_NE(module, nullptr);
    const char* version = static_cast<const char*>(platform::findSymbol(module, "MApiVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_STREQ(version, "20230300");
    EXPECT_NE(platform::findSymbol(module, "ADSK_PLUGIN_SIGNATURE"), nullptr);
    platform::freeLibrary(module);
    // The host library has none of its own: the version belongs to each plug-in.
    platform::LibraryHandle host = platform::loadLibrary(HOST_LIBRARY_PATH);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(platform::findSymbol(host, "MApiVersion"), nullptr);
    platform::freeLibrary(host);
}

}  // namespace
