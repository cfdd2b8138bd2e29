// The record-button parser over the variants senders use and the inputs it
// must refuse, and the duplicate filter behind it.
#include "intake/stageDuplicates.h"
#include "intake/stageMessageParser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
    "<CaptureStart>\n  <Name VALUE=\"dance\"/>\n  <Notes VALUE=\"...\"/>\n"
    "  <Description VALUE=\"...\"/>\n  <DatabasePath VALUE=\"D:/Captures/Take\"/>\n"
    "  <Delay VALUE=\"33\"/>\n  <PacketID VALUE=\"33360\"/>\n</CaptureStart>";

StageParseResult parse(const std::string& text) {
    return parseStageMessage(text.data(), text.size());
}

TEST(StageMessageParser, AcceptsTheVariantsSendersUse) {
    const StageParseResult start = parse(kStart);
    ASSERT_TRUE(start.message) << start.refusal;
    EXPECT_EQ(start.message->kind, StageMessageKind::kCaptureStart);
    EXPECT_EQ(start.message->name, "dance");
    EXPECT_EQ(start.message->notes, "...");
    EXPECT_EQ(start.message->databasePath, "D:/Captures/Take");
    EXPECT_EQ(start.message->delayMs, 33);
    EXPECT_EQ(start.message->packetId, 33360u);

    struct Case {
        std::string text;
        std::string name, path, result;
        std::optional<std::uint64_t> packetId;
    };
    const Case cases[] = {
        {kStart + std::string(2, '\0'), "dance", "D:/Captures/Take", "", 33360},
        {"<CaptureStop RESULT=\"SUCCESS\"><Name VALUE=\"a\"/><Database Path VALUE=\"p\"/>"
         "<PacketID VALUE=\"7\"/></CaptureStop>",
         "a", "p", "SUCCESS", 7},
        {"<capturestop result='CANCELLED'><NAME value='x'/><DATABASEPATH VALUE='q'/>"
         "</capturestop>",
         "x", "q", "CANCELLED", std::nullopt},
        {"<Capture Start><Name VALUE=\"a&lt;&gt;&amp;&quot;&apos;&#65;&#x42;&#xe9;\"/>"
         "<Unknown VALUE=\"9\"><Deeper/></Unknown><!-- note --></Capture Start>",
         "a<>&\"'AB\xC3\xA9", "", "", std::nullopt},
        {"\xEF\xBB\xBF<CaptureStart/>", "", "", "", std::nullopt},
        {"<CaptureStart><Name VALUE=\"caf\xC3\xA9\"/><Delay VALUE=\"\"/></CaptureStart>",
         "caf\xC3\xA9", "", "", std::nullopt},
    };
    for (const Case& c : cases) {
        const StageParseResult r = parse(c.text);
        ASSERT_TRUE(r.message) << c.text << ": " << r.refusal;
        EXPECT_EQ(r.message->name, c.name) << c.text;
        EXPECT_EQ(r.message->databasePath, c.path) << c.text;
        EXPECT_EQ(r.message->result, c.result) << c.text;
        EXPECT_EQ(r.message->packetId, c.packetId) << c.text;
    }
}

TEST(StageMessageParser, RefusesEverythingElse) {
    const std::string refused[] = {
        "",
        "hello",
        "<CaptureStart>",                                          // unclosed
        "<CaptureStart></CaptureStop>",                            // mismatched
        "<CaptureStart/><CaptureStop/>",                           // two roots
        "<Other/>",                                                // not a record-button message
        "<CaptureStart><Name VALUE=\"a\"></CaptureStart>",         // child unclosed
        "<CaptureStart><a><b><c><d/></c></b></a></CaptureStart>",  // too deep
        "<!DOCTYPE x [<!ENTITY e \"boom\">]><CaptureStart><Name VALUE=\"&e;\"/></CaptureStart>",
        "<CaptureStart><Name VALUE=\"&e;\"/></CaptureStart>",         // unknown entity
        "<CaptureStart><Name VALUE=\"&#0;\"/></CaptureStart>",        // forbidden character
        "<CaptureStart><Name VALUE=\"&#xD800;\"/></CaptureStart>",    // surrogate
        "<CaptureStart><Name VALUE=\"&#x110000;\"/></CaptureStart>",  // past Unicode
        "<CaptureStart><Name VALUE=\"&#x7F;\"/></CaptureStart>",      // DEL, a control
        "<CaptureStart><Name VALUE=\"&#99999999999;\"/></CaptureStart>",
        "<CaptureStart><Name VALUE=\"&amp\"/></CaptureStart>",          // no ';'
        "<CaptureStart><Name VALUE=\"\xC0\xAF\"/></CaptureStart>",      // overlong '/'
        "<CaptureStart><Name VALUE=\"\xED\xA0\x80\"/></CaptureStart>",  // UTF-8 surrogate
        "<CaptureStart><Name VALUE=\"\xF4\x90\x80\x80\"/></CaptureStart>",
        "<CaptureStart><Name VALUE=\"\xE2\x82\"/></CaptureStart>",  // cut short
        std::string("<CaptureStart>\0</CaptureStart>", 30),         // NUL inside
        "<CaptureStart><Name VALUE=\"a\x01\"/></CaptureStart>",     // control character
        "<CaptureStart><Delay VALUE=\"60001\"/></CaptureStart>",
        "<CaptureStart><Delay VALUE=\"-1\"/></CaptureStart>",
        "<CaptureStart><Delay VALUE=\"3x\"/></CaptureStart>",
        "<CaptureStart><PacketID VALUE=\"4294967296\"/></CaptureStart>",
        "<CaptureStart><PacketID VALUE=\"99999999999999999999999\"/></CaptureStart>",
        "<CaptureStart><Name VALUE=\"a<b\"/></CaptureStart>",
        "<CaptureStart><Name VALUE=unquoted/></CaptureStart>",
        "<CaptureStart><![CDATA[x]]></CaptureStart>",
        "<?xml version=\"1.0\"?><?other?><CaptureStart/>",
        "<?xml version=\"1.0\"<CaptureStart/>",
        "<CaptureStart><!-- a -- b --></CaptureStart>",
        "<CaptureStart>" + std::string(kStageMessageMaxBytes, ' ') + "</CaptureStart>",
    };
    for (const std::string& text : refused) {
        const StageParseResult r = parse(text);
        EXPECT_FALSE(r.message) << text;
        EXPECT_NE(r.refusal, nullptr) << text;
    }
    EXPECT_FALSE(parseStageMessage(nullptr, 5).message);
}

TEST(StageDuplicates, DropsRepeatsWithinTheirWindowsOnly) {
    StageDuplicates filter;
    StageMessage start;
    start.name = "dance";
    start.packetId = 10;
    StageMessage stop = start;
    stop.kind = StageMessageKind::kCaptureStop;
    const StageArrival a{0x7F000001, 5000, 1'000'000'000};
    StageArrival later = a;
    later.arrivalNs += 4'000'000'000;
    StageArrival other = a;
    other.senderAddress = 0x7F000002;

    EXPECT_TRUE(filter.admit(start, a));
    EXPECT_FALSE(filter.admit(start, later));  // same sender, id, kind
    EXPECT_TRUE(filter.admit(stop, later));    // another kind
    EXPECT_TRUE(filter.admit(start, other));   // another sender
    StageArrival expired = a;
    expired.arrivalNs += kStagePacketIdWindowNs + 1;
    EXPECT_TRUE(filter.admit(start, expired));

    StageMessage unnumbered;
    unnumbered.name = "walk";
    StageArrival t{1, 1, 100'000'000'000};
    EXPECT_TRUE(filter.admit(unnumbered, t));
    t.senderAddress = 2;  // without a PacketID the sender does not count
    t.arrivalNs += kStageNameWindowNs / 2;
    EXPECT_FALSE(filter.admit(unnumbered, t));
    t.arrivalNs += kStageNameWindowNs;
    EXPECT_TRUE(filter.admit(unnumbered, t));

    for (std::uint64_t id = 0; id < 10 * kStageRememberedMessages; ++id) {
        start.packetId = 1000 + id;
        filter.admit(start, t);
    }
    EXPECT_EQ(filter.remembered(), kStageRememberedMessages);
}

}  // namespace
