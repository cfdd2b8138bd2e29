// The stage's record button as the trigger listener hands it over, while a
// sender streams in real time to live nodes on loopback: takes begin at the
// frame the start's Delay names, end at the stop, follow one another, keep
// what the stage said of them, and only the nodes that follow the stage
// record.
#include "node/nodeTestSupport.h"
#include "recording/stageTakes.h"

#include <maya/MAnimControl.h>
#include <maya/MTime.h>
#include <mayahost/host.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace nodetest {
namespace {

// Frame n goes out at 30 fps stamped 100 + n / 30 with the root n
// centimetres along X, so that a key's value names its frame.
class StreamingSender {
public:
    explicit StreamingSender(std::vector<std::uint16_t> ports)
        : mThread([this, ports] {
              auto due = std::chrono::steady_clock::now();
              for (int n = 1; !mStop.load(); ++n, std::this_thread::sleep_until(due)) {
                  const Datagram frame =
                      frameData(n, 100.0 + n / 30.0, static_cast<float>(n), 0.0f);
                  for (const std::uint16_t port : ports) {
                      if (n % 30 == 1) mSender.send(port, skeletonDefinition(0.0f));
                      mSender.send(port, frame);
                  }
                  due += std::chrono::microseconds(33333);
              }
          }) {}
    ~StreamingSender() {
        mStop.store(true);
        mThread.join();
    }

private:
    LoopbackSender mSender;
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

class StageTakesTest : public NodeTest {
protected:
    void SetUp() override {
        NodeTest::SetUp();
        MTime::setUIUnit(MTime::k30FPS);
    }
    void TearDown() override {
        MAnimControl::stop();
        NodeTest::TearDown();
    }

    DeviceNode device(int id) {
        DeviceNode made = createDeviceNode();
        mayahost::setInt(made.object, "deviceId", id);
        made.node->refreshDeviceId();
        mayahost::setBool(made.object, "keyEveryFrame", true);
        zemoritest::openPanel(made.name);  // its panel under its own id
        return made;
    }

    // A fresh journalled frame `back` frames before the newest: as the
    // listener hands a message over a little after it came with that frame.
    JournalFrame frameBeforeNewest(const DeviceNode& made, std::uint64_t back) {
        const CaptureJournal& journal = made.node->journal();
        const std::uint64_t from = journal.written();
        EXPECT_TRUE(waitUntil(
            [&] {
                // The node's outputs are pulled as a playing scene pulls them.
                mayahost::evaluate(made.object, "outputTranslate");
                mayahost::processIdleEvents();
                return journal.written() > from + back;
            },
            10000ms));
        JournalFrame frame{};
        EXPECT_TRUE(journal.read(journal.written() - 1 - back, frame));
        return frame;
    }

    // The message as the listener hands it over, with the frame it came with.
    static void stage(StageMessageKind kind, const std::string& name, std::int64_t delayMs,
                      const JournalFrame& cameWith, const std::string& result = "") {
        const StageMessage m{
            kind,   name,    "notes of " + name, "a \"quoted\" one\\", "D:/Captures/" + name,
            result, delayMs, std::nullopt};
        handleStageMessage(m, StageArrival{0x7f000001, 30, cameWith.arrivalNs});
    }

    static std::vector<double> rootKeys(const std::string& take) {
        std::string curve;
        EXPECT_TRUE(mayahost::runMel(
            "stringArrayToString(`listConnections -s 1 -d 0 " + take + ".curves[0]`, \"\")",
            &curve));
        std::vector<double> values;
        for (const auto& key : mayahost::animCurve(curve).keys) values.push_back(key.value);
        return values;
    }

    static std::string text(const std::string& take, const char* attribute) {
        std::string value;
        EXPECT_TRUE(mayahost::runMel("getAttr " + take + "." + attribute, &value)) << attribute;
        return value;
    }

    static bool said(const std::string& part) {
        for (const std::string& line : mayahost::infoLines()) {
            if (line.find(part) != std::string::npos) return true;
        }
        return false;
    }
};

// The root keys are frames `first` to `last`, each within 0.01 cm.
void expectFrames(const std::vector<double>& keys, int first, int last, const char* take) {
    SCOPED_TRACE(take);
    ASSERT_EQ(keys.size(), static_cast<std::size_t>(last - first + 1));
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_NEAR(keys[i], first + static_cast<double>(i), 0.01) << "key " << i;
    }
}

TEST_F(StageTakesTest, TakesFollowTheStageFromDelayToStop) {
    DeviceNode follows = device(0);
    DeviceNode ignores = device(1);
    DeviceNode notLive = device(2);
    mayahost::setBool(ignores.object, "stageTrigger", false);
    StreamingSender sender({goLive(follows), goLive(ignores)});
    // Bound once the definition came, as the bind button binds.
    for (const DeviceNode* bound : {&follows, &ignores}) {
        ASSERT_TRUE(waitUntil([&] { return !bound->node->isAwaitingSkeletonDefinition(); }));
        bound->node->setCharacterized(true);
    }

    // Start with Delay 33: the frame after the one it came with (1/30 s on).
    const JournalFrame startedWith = frameBeforeNewest(follows, 0);
    stage(StageMessageKind::kCaptureStart, "dance", 33, startedWith);
    EXPECT_TRUE(MAnimControl::isPlaying()) << "the stage starts playback";
    EXPECT_TRUE(mayahost::getBool(follows.object, "recording"));
    EXPECT_TRUE(follows.node->takeInProgress());
    EXPECT_FALSE(ignores.node->takeInProgress());
    EXPECT_TRUE(said(mayahost::nodeName(notLive.object) + " is not live"));

    // A start during the take, handled 4 frames late, with Delay 100: the
    // first take ends before the moment it names, the next begins there.
    const JournalFrame nextWith = frameBeforeNewest(follows, 4);
    stage(StageMessageKind::kCaptureStart, "dance2", 100, nextWith);
    EXPECT_TRUE(said("was recording a take"));
    EXPECT_TRUE(follows.node->stageTakeInProgress());

    // Stopped with another RESULT, handled 2 frames late: nothing after the
    // frame it came with; written all the same, and marked.
    const JournalFrame stoppedWith = frameBeforeNewest(follows, 2);
    stage(StageMessageKind::kCaptureStop, "dance2", 0, stoppedWith, "CANCELLED");
    EXPECT_FALSE(MAnimControl::isPlaying()) << "the stage started playback, so it stops it";
    EXPECT_FALSE(mayahost::getBool(follows.object, "recording"));
    EXPECT_FALSE(follows.node->takeInProgress());
    EXPECT_TRUE(said("ended with CANCELLED"));

    // A stop with no start is only said.
    stage(StageMessageKind::kCaptureStop, "other", 0, stoppedWith);
    EXPECT_TRUE(said("Stage stop \"other\": no take"));
    mayahost::processIdleEvents();

    // A take the user ended by hand: its stop still ends the stage's playback.
    stage(StageMessageKind::kCaptureStart, "dance3", 0, frameBeforeNewest(follows, 0));
    mayahost::setBool(follows.object, "recording", false);
    ASSERT_TRUE(MAnimControl::isPlaying());
    stage(StageMessageKind::kCaptureStop, "dance3", 0, frameBeforeNewest(follows, 0));
    EXPECT_FALSE(MAnimControl::isPlaying());
    EXPECT_TRUE(said("Stage stop \"dance3\": its take had already ended"));
    mayahost::processIdleEvents();

    const int start = startedWith.frameNumber;
    const int next = nextWith.frameNumber;
    const std::string take1 = "zemoriCharacter0_Skeleton_take1";
    const std::string take2 = "zemoriCharacter0_Skeleton_take2";
    expectFrames(rootKeys(take1), start + 1, next + 2, "take 1");
    expectFrames(rootKeys(take2), next + 3, stoppedWith.frameNumber, "take 2");
    EXPECT_EQ(text(take1, "takeName"), "dance");
    EXPECT_EQ(text(take1, "result"), "");
    EXPECT_EQ(text(take2, "takeName"), "dance2");
    EXPECT_EQ(text(take2, "notes"), "notes of dance2");
    EXPECT_EQ(text(take2, "databasePath"), "D:/Captures/dance2");
    EXPECT_EQ(text(take2, "result"), "CANCELLED");
    EXPECT_TRUE(mayahost::findNode("zemoriCharacter1_Skeleton_take1").isNull())
        << "a node that does not follow the stage records nothing";
    const std::vector<std::string> items = mayahost::control("zemoriTakes0").items;
    EXPECT_EQ(items, (std::vector<std::string>{"dance3 (Take 3)", "dance2 (Take 2, CANCELLED)",
                                               "dance (Take 1)"}));

    // Saved and opened again, the take keeps what the stage said.
    const std::string description = text(take2, "description");
    EXPECT_EQ(description, "a \"quoted\" one\\");
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("zemoriStageTakes" + std::to_string(startedWith.arrivalNs) + ".ma");
    ASSERT_TRUE(mayahost::runMel("file -rename \"" + file.generic_string() +
                                 "\"; file -save -type \"mayaAscii\"; file -force -open \"" +
                                 file.generic_string() + "\""))
        << ::testing::PrintToString(mayahost::errorLines());
    EXPECT_EQ(text(take2, "takeName"), "dance2");
    EXPECT_EQ(text(take2, "description"), description);
    EXPECT_EQ(text(take2, "result"), "CANCELLED");
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace nodetest
