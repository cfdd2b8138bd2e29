// Allow-lists and addresses as users type them: every bad entry is refused
// by name and leaves the list in force; good lists take exactly whom they say.
#include "intake/ipv4Address.h"
#include "intake/senderAllowList.h"
#include "intake/senderTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SenderAllowList, BadEntriesAreRefusedByNameAndLeaveTheListInForce) {
    SenderAllowList list;
    std::string bad;
    ASSERT_TRUE(list.parse(" 10.0.0.7,192.168.1.0/24\t127.0.0.2 ", bad));
    EXPECT_EQ(list.size(), 3);
    const struct {
        const char* text;
        const char* entry;
    } refusals[] = {
        {"10.0.0.7, 10.0.0.300", "10.0.0.300"},
        {"10.0.0", "10.0.0"},
        {"10.0.0.7.1", "10.0.0.7.1"},
        {"010.0.0.7", "010.0.0.7"},
        {"10.0.0.7/24", "10.0.0.7/24"},
        {"10.0.0.0/33", "10.0.0.0/33"},
        {"10.0.0.0/", "10.0.0.0/"},
        {"10.0.0.0/08", "10.0.0.0/08"},
        {"-1.0.0.0", "-1.0.0.0"},
        {"a.b.c.d", "a.b.c.d"},
        {"10.0.0.7;10.0.0.8", "10.0.0.7;10.0.0.8"},
        {"1.2.3.4 99999999999.1.1.1", "99999999999.1.1.1"},
    };
    for (const auto& r : refusals) {
        bad.clear();
        EXPECT_FALSE(list.parse(r.text, bad)) << r.text;
        EXPECT_EQ(bad, r.entry) << r.text;
        EXPECT_EQ(list.size(), 3) << "the list in force stays: " << r.text;
    }
    std::string many;
    for (int k = 0; k <= SenderAllowList::kMaxEntries; ++k)
        many += "10.0.0." + std::to_string(k) + " ";
    EXPECT_FALSE(list.parse(many, bad));
    EXPECT_EQ(bad, "10.0.0.64");

    EXPECT_TRUE(list.allows(0x0A000007));   // 10.0.0.7
    EXPECT_FALSE(list.allows(0x0A000008));  // 10.0.0.8
    EXPECT_TRUE(list.allows(0xC0A801FE));   // 192.168.1.254
    EXPECT_FALSE(list.allows(0xC0A80201));  // 192.168.2.1
    ASSERT_TRUE(list.parse(" , ", bad));
    EXPECT_TRUE(list.acceptsAll());
    ASSERT_TRUE(list.parse("0.0.0.0/0", bad));
    EXPECT_TRUE(list.allows(0xFFFFFFFF));
}

TEST(SenderAllowList, GroupsOutsideTheMulticastBlockOrInItsLocalPartAreKnown) {
    std::uint32_t a = 0;
    ASSERT_TRUE(parseIPv4Address("239.255.12.51", a));
    EXPECT_EQ(formatIPv4Address(a), "239.255.12.51");
    EXPECT_TRUE(isMulticastAddress(a) && !isLinkLocalMulticast(a));
    ASSERT_TRUE(parseIPv4Address("224.0.0.251", a));
    EXPECT_TRUE(isLinkLocalMulticast(a));
    ASSERT_TRUE(parseIPv4Address("240.0.0.1", a));
    EXPECT_FALSE(isMulticastAddress(a));
    for (const char* bad : {"", " 1.2.3.4", "1.2.3.4 ", "1..2.3", "256.1.1.1", "1.2.3.4."}) {
        EXPECT_FALSE(parseIPv4Address(bad, a)) << bad;
    }
}

// A full table makes room from the longest-silent sender, never the one followed.
TEST(SenderTable, AFullTableKeepsTheFollowedSender) {
    SenderTable table;
    SenderAllowList any;
    char header[28] = {'O', 'S', 'V', 'D', 2, 0, 1, 0};
    bool announce = false;
    header[12] = 1;
    ASSERT_EQ(table.check(0x7F000001, 1, header, 28, 1, 1000, any, announce),
              SenderTable::Verdict::kAccept);
    table.adoptLastChecked();
    for (int k = 2; k <= SenderTable::kMaxSenders + 4; ++k) {
        header[12] = static_cast<char>(k);
        EXPECT_EQ(table.check(0x7F000001, 1, header, 28, k, 1000, any, announce),
                  SenderTable::Verdict::kIgnore);
    }
    const auto senders = table.snapshot();
    EXPECT_EQ(senders.size(), static_cast<std::size_t>(SenderTable::kMaxSenders));
    EXPECT_TRUE(senders.front().followed);
    EXPECT_EQ(senders.front().senderId, 1u);
    // Unreadable bytes name no sender: refused, but passed on as before.
    EXPECT_EQ(table.check(0x7F000001, 1, "xx", 2, 50, 1000, any, announce),
              SenderTable::Verdict::kUnidentified);
}

}  // namespace
