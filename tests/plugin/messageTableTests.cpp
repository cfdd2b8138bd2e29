#include "plugin/messageTable.h"

#include <maya/MString.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct Row {
    const char* key;
    const char* text;
};

// The table as the user sees it, byte for byte, in registration order.
const Row kExpected[22] = {
    {"YOUR_IP", "Your local IPs:"},
    {"WSA_START_ERROR", "Error at WSAStartup()\n"},
    {"CLOSING_SOCKET", "Closing socket \n"},
    {"INIT_SOCKET", "Initializing Socket% d\n"},
    {"BIND_SOCKET_ERROR", "Bind failed with error %u\n"},
    {"BIND_SOCKET_ERROR_APPLE", "Bind failed [%s]\n"},
    {"PORT_IN_USE_ERROR", "Port in Use. Socket Initialization failed. Try using a different port."},
    {"GETTING_IP_ERROR", "An error occurred while trying to find your IP address"},
    {"SOCKET_FUNCTION_ERROR", "socket function failed with error : %u\n"},
    {"SOCKET_FUNCTION_ERROR_APPLE", "socket function failed [%s]\n"},
    {"CREATE_CURVES_ERROR", "Error creating animation curves"},
    {"SKEL_DEF_RECEIVED", "Data received. Press Bind to Character button"},
    {"AWAITING_SKEL_DEF", "Awaiting Skeleton Definition"},
    {"OSV_IMPORT_ERROR", "Failed to import Ostrevo library. Plug-in will not be functional."},
    {"OSV_FUNCTION_IMPORT_ERROR", "Failed to import Ostrevo function"},
    {"OSV_LINK_ERROR", "A dynamic linking error occurred: %s\n"},
    {"REG_COMMAND_ERROR", "failed to register command ZemoriDidCharacterize"},
    {"DEREG_COMMAND_ERROR", "failed to deregister command ZemoriDidCharacterize"},
    {"REG_NODE_ERROR", "failed to registerNode ZemoriDeviceNode"},
    {"DEREG_NODE_ERROR", "failed to deregisterNode ZemoriDeviceNode"},
    {"TIME_UNIT_WATCH_ERROR",
     "failed to watch the scene's time unit: after a change of it, bind each device again"},
    {"GAPS_NOT_FILLED",
     "Recording: %d skipped frames left unfilled; a gap of more than %d frames is keyed at its "
     "ends only"},
};

TEST(MessageTable, HoldsItsRowsInRegistrationOrder) {
    std::set<std::string> keys;
    for (int i = 0; i < 22; ++i) {
        SCOPED_TRACE(kExpected[i].key);
        EXPECT_STREQ(kMessageTable[i].key, kExpected[i].key);
        EXPECT_STREQ(kMessageTable[i].defaultText, kExpected[i].text);
        keys.insert(kMessageTable[i].key);
    }
    EXPECT_EQ(keys.size(), 22u) << "keys are unique within the module";
    EXPECT_STREQ(kMessageModule, "ZemoriMayaPlugin");
}

TEST(MessageTable, RegistrationFailureKeyIsLookedUpButNeverRegistered) {
    EXPECT_STREQ(msg::kRegStringsError.key, "REG_STRINGS_ERROR");
    EXPECT_STREQ(msg::kRegStringsError.defaultText, "failed to register localized UI strings");
    for (const MessageKey& row : kMessageTable) EXPECT_STRNE(row.key, "REG_STRINGS_ERROR");
    // Resolves through the default given with the lookup, registered or not.
    EXPECT_EQ(std::string(lookupMessage(msg::kRegStringsError).asChar()),
              "failed to register localized UI strings");
}

TEST(MessageTable, LookupPrefersTheRegisteredDefaultOverTheGivenOne) {
    ASSERT_EQ(registerMessageStrings(), MS::kSuccess);
    // Registering twice is harmless and still reports success.
    ASSERT_EQ(registerMessageStrings(), MS::kSuccess);
    for (const Row& row : kExpected) {
        SCOPED_TRACE(row.key);
        EXPECT_EQ(std::string(lookupMessage(row.key, row.text).asChar()), row.text);
        EXPECT_EQ(std::string(lookupMessage(row.key, "a different default").asChar()), row.text);
    }
}

TEST(MessageTable, UnregisteredKeyYieldsTheGivenDefault) {
    ASSERT_EQ(registerMessageStrings(), MS::kSuccess);
    EXPECT_EQ(std::string(lookupMessage("NO_SUCH_KEY", "given default").asChar()), "given default");
    EXPECT_EQ(std::string(lookupMessage("NO_SUCH_KEY", "").asChar()), "");
}

}  // namespace
