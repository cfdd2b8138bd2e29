// Localized texts from the host's string resource, from lookup to console
// and panel.
#include "hostTest.h"
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
    // Writes ZemoriMayaInitStrings.res into a folder of its own and registers
    // the table again as a plug-in loaded from that folder.
    void localize(const std::string& resource) {
        const std::filesystem::path folder =
            std::filesystem::path(ZEMORI_TEST_SCRATCH) / "localized";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "ZemoriMayaInitStrings.res", std::ios::binary) << resource;
        MObject pluginObject = mayahost::createPluginObject("localized", folder.string());
        MFnPlugin plugin(pluginObject);
        ASSERT_TRUE(plugin.registerUIStrings(registerMessageStrings, "ZemoriMayaInitStrings"));
    }
};

TEST_F(LocalizedMessages, ResourceTextsTakePrecedenceOverEveryDefault) {
    localize(
        "# French\n"
        "@module\tZemoriMayaPlugin\n"
        "YOUR_IP\tVos adresses IP :\n"
        "INIT_SOCKET\tOuverture du port% d\\n\n"
        "REG_STRINGS_ERROR\tchaînes non enregistrées\n"
        "@module\tSomeOtherPlugin\n"
        "AWAITING_SKEL_DEF\tpas pour nous\n");

    EXPECT_EQ(str(lookupMessage(msg::kYourIp)), "Vos adresses IP :");
    EXPECT_EQ(str(lookupMessage("YOUR_IP", "given")), "Vos adresses IP :");
    EXPECT_EQ(str(lookupMessage(msg::kRegStringsError)), "chaînes non enregistrées")
        << "a localized text serves also a key that is never registered";
    EXPECT_EQ(str(lookupMessage(msg::kAwaitingSkelDef)), "Awaiting Skeleton Definition")
        << "another module's text does not apply";

    testing::internal::CaptureStdout();
    const MString format = lookupMessage(msg::kInitSocket);
    printToConsole(format.asChar(), 12351);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Ouverture du port 12351\n");
}

TEST_F(LocalizedMessages, LocalizedTextsWithQuotesReachThePanelIntact) {
    localize(
        "@module\tZemoriMayaPlugin\nAWAITING_SKEL_DEF\tEn attente d'une \"définition\" \\\\ "
        "squelette\n");
    const std::string expected = "En attente d'une \"définition\" \\ squelette";
    ASSERT_EQ(str(lookupMessage(msg::kAwaitingSkelDef)), expected);

    ZemoriDeviceNode& node = createDeviceNode(7);
    postDisplayMessage(node, lookupMessage(msg::kAwaitingSkelDef));
    mayahost::processIdleEvents();
    EXPECT_EQ(mayahost::panelState(7).status, expected);
    EXPECT_TRUE(mayahost::errorLines().empty());
}

}  // namespace
