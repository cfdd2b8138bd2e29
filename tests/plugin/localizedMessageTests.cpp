// Localized texts from the host's string resource, from lookup to console
// and panel.
#include "hostTest.h"
#include "tests/support/zemoriPanel.h"
#include "plugin/messageTable.h"
#include "plugin/uiBridge.h"

#define MNoVersionString
#include <maya/MFnPlugin.h>
#include <mayahost/host.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

class LocalizedMessages : public HostTest {
protected:
    // Writes the localized resource file (MEL) into a language folder on the
    // resource path and registers the table again, as a localized session
    // loading the plug-in does.
    void localize(const std::string& resource) {
        const std::filesystem::path folder =
            std::filesystem::path(ZEMORI_TEST_SCRATCH) / "localized" / "fr_FR";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "ZemoriMayaPlugin.pres.mel", std::ios::binary) << resource;
        mayahost::setResourcePath({folder.generic_string()});
        MObject pluginObject = mayahost::createPluginObject("localized", ".");
        MFnPlugin plugin(pluginObject);
        ASSERT_TRUE(plugin.registerUIStrings(registerMessageStrings, "ZemoriMayaInitStrings"))
            << ::testing::PrintToString(mayahost::errorLines());
    }
};

TEST_F(LocalizedMessages, ResourceTextsTakePrecedenceOverEveryDefault) {
    localize(
        "// French\n"
        "setPluginResource(\"ZemoriMayaPlugin\", \"YOUR_IP\", \"Vos adresses IP :\");\n"
        "setPluginResource(\"ZemoriMayaPlugin\", \"INIT_SOCKET\", \"Ouverture du port% d\\n\");\n"
        "setPluginResource(\"ZemoriMayaPlugin\", \"kLiveLabel\", \"En direct\");\n"
        "catchQuiet(setPluginResource(\"ZemoriMayaPlugin\", \"REG_STRINGS_ERROR\", \"non\"));\n");

    EXPECT_EQ(str(lookupMessage(msg::kYourIp)), "Vos adresses IP :");
    EXPECT_EQ(str(lookupMessage("YOUR_IP", "given")), "Vos adresses IP :");
    EXPECT_EQ(str(lookupMessage(msg::kRegStringsError)), "failed to register localized UI strings")
        << "a key never registered cannot be localized";
    EXPECT_EQ(str(lookupMessage(msg::kAwaitingSkelDef)), "Awaiting Skeleton Definition");
    // The scripts' own texts come from the same table.
    createDeviceNode(3);
    EXPECT_EQ(mayahost::control("zemoriLive3").label, "En direct");

    testing::internal::CaptureStdout();
    const MString format = lookupMessage(msg::kInitSocket);
    printToConsole(format.asChar(), 12351);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Ouverture du port 12351\n");
}

TEST_F(LocalizedMessages, LocalizedTextsWithQuotesReachThePanelIntact) {
    localize(
        "setPluginResource(\"ZemoriMayaPlugin\", \"AWAITING_SKEL_DEF\",\n"
        "                  \"En attente d'une \\\"définition\\\" \\\\ squelette\");\n");
    const std::string expected = "En attente d'une \"définition\" \\ squelette";
    ASSERT_EQ(str(lookupMessage(msg::kAwaitingSkelDef)), expected);

    ZemoriDeviceNode& node = createDeviceNode(7);
    postDisplayMessage(node, lookupMessage(msg::kAwaitingSkelDef));
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoritest::panelState(7).status, expected);
    EXPECT_TRUE(mayahost::errorLines().empty());
}

}  // namespace
