// Loading and unloading a plug-in module as the host does.
#include "hostFixture.h"

#include <platform/dynamicLibrary.h>

#include <maya/MGlobal.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

class PluginTest : public HostTest {
protected:
    const std::string mPath = HOST_TEST_PLUGIN_PATH;

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

TEST_F(PluginTest, UIStringsComeFromTheResourceNextToThePlugin) {
    std::string resource = folder() + "/HostTestPluginStrings.res";
    { std::ofstream(resource, std::ios::binary) << "GREETING\tServus\n"; }
    ASSERT_TRUE(mayahost::loadPlugin(mPath));
    std::remove(resource.c_str());
    MString result;
    ASSERT_TRUE(MGlobal::executeCommand("hostTestLoadPath", result));
    EXPECT_EQ(std::string(result.asChar()), folder() + "|Servus");
}

TEST_F(PluginTest, UnloadRemovesRegistrationsAndFailsWhileNodesExist) {
    ASSERT_TRUE(mayahost::loadPlugin(mPath));
    MObject node = mayahost::createNode("hostTestDevice");
    // uninitializePlugin cannot deregister the type: the plug-in stays.
    EXPECT_FALSE(mayahost::unloadPlugin("hostTestPlugin"));
    EXPECT_TRUE(mayahost::isPluginLoaded(mPath));
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
    EXPECT_EQ(mayahost::uiCleanUps(), 1);
    EXPECT_TRUE(mayahost::nodeNames().empty());
    ASSERT_TRUE(mayahost::unloadPlugin(mPath));
    // Unloading removed the callback.
    mayahost::newScene();
    EXPECT_EQ(mayahost::uiCleanUps(), 1);
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
