// Localized texts from the host's string resource, from lookup to console
// and panel.
#include "hostTest.h"
#include "tests/support/zemoriPanel.h"
#include "plugin/messageTable.h"
#include "plugin/threadTexts.h"
#include "plugin/uiBridge.h"
#include "recording/unfilledGaps.h"

#define MNoVersionString
#include <maya/MFnPlugin.h>
#include <mayahost/host.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
    EXPECT_EQ(str(threadText(msg::kYourIp)), "Your local IPs:") << "no node made yet";
    createDeviceNode(3);
    EXPECT_EQ(mayahost::control("zemoriLive3").label, "En direct");
    // Making a node looked up the texts its threads and compute show.
    EXPECT_EQ(str(threadText(msg::kYourIp)), "Vos adresses IP :");

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

TEST_F(LocalizedMessages, AFormatWhoseConversionsDifferIsReplacedByTheDefault) {
    const auto resource = [](const char* key, const char* text) {
        return std::string("setPluginResource(\"ZemoriMayaPlugin\", \"") + key + "\", \"" + text +
               "\");\n";
    };
    localize(resource("INIT_SOCKET", "Ouverture du port %s\\n") +
             resource("BIND_SOCKET_ERROR", "Liaison refusée (%u), port pris à 100%%\\n") +
             resource("SOCKET_FUNCTION_ERROR", "erreur %u : %s\\n") +
             resource("OSV_LINK_ERROR", "erreur de liaison\\n") +
             resource("CLOSING_SOCKET", "Fermeture %n\\n") +
             resource("GAPS_NOT_FILLED",
                      "Enregistrement : %d images non remplies (trous de plus de %d)") +
             resource("AWAITING_SKEL_DEF", "En attente : 100 %d'un squelette"));

    testing::internal::CaptureStdout();
    printToConsole(lookupMessage(msg::kInitSocket).asChar(), 12351);
    printToConsole(lookupMessage(msg::kBindSocketError).asChar(), 10048u);
    printToConsole(lookupMessage(msg::kClosingSocket).asChar());
    printWideToConsole(lookupMessage(msg::kSocketFunctionError).asWChar(), 10093u);
    printWideToConsole(lookupMessage(msg::kOsvLinkError).asWChar(), L"introuvable");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Initializing Socket 12351\n"
              "Liaison refusée (10048), port pris à 100%\n"
              "Closing socket \n"
              "socket function failed with error : 10093\n"
              "A dynamic linking error occurred: introuvable\n");

    warnOfUnfilledFrames(4988);
    EXPECT_EQ(mayahost::infoLines(),
              (std::vector<std::string>{
                  "Warning: Enregistrement : 4988 images non remplies (trous de plus de 600)"}));
    // A text shown as it is, not used as a format, is not checked.
    EXPECT_EQ(str(lookupMessage(msg::kAwaitingSkelDef)), "En attente : 100 %d'un squelette");
}

TEST(FormatConversions, MatchOnlyTheSameSpecificationsInTheSameOrder) {
    const wchar_t* const same[][2] = {
        {L"Initializing Socket% d\n", L"Port % d"},
        {L"%-+5.2f", L"%+-5.2f"},
        {L"%lu then %s", L"%lu, %s."},
        {L"100%% of %d", L"%d %%"},
        {L"no conversion", L"%%"},
        {L"%lld %I64u %zu", L"%lld%I64u%zu"},
    };
    for (const auto& pair : same) {
        EXPECT_TRUE(sameConversions(pair[0], pair[1])) << pair[0] << " / " << pair[1];
    }
    const wchar_t* const different[][2] = {
        {L"% d", L"%d"},   {L"%d", L"%ld"}, {L"%5d", L"%d"}, {L"%.2f", L"%f"},
        {L"%*d", L"%d"},   {L"%0d", L"%d"}, {L"%s", L"%ls"}, {L"%d %s", L"%s %d"},
        {L"%d", L"%d %d"}, {L"%u", L""},    {L"%d", L"%i"},
    };
    for (const auto& pair : different) {
        EXPECT_FALSE(sameConversions(pair[0], pair[1])) << pair[0] << " / " << pair[1];
        EXPECT_FALSE(sameConversions(pair[1], pair[0])) << pair[1] << " / " << pair[0];
    }
    // Conversions no caller passes arguments for match nothing, not even
    // themselves.
    for (const wchar_t* broken : {L"%n", L"%1$d", L"50%", L"%y", L"%5", L"%ll"}) {
        EXPECT_FALSE(sameConversions(broken, broken)) << broken;
    }
}

}  // namespace
