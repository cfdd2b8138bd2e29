#include "tools/lib/bvhFile.h"

#include "tests/tools/toolsTestHelpers.h"

#include <gtest/gtest.h>

namespace ztools {
namespace {

TEST(BvhFile, ReadsTheBundledTake) {
    const BvhMotion& m = testing::bundledTake();
    ASSERT_EQ(m.skeleton.joints.size(), 31u);
    EXPECT_EQ(m.frameCount, 994);
    EXPECT_NEAR(m.frameTime, 1.0 / 120, 1e-6);
    EXPECT_EQ(m.skeleton.channelCount, 6 + 30 * 3);
    EXPECT_EQ(m.values.size(), 994u * 96u);
    EXPECT_EQ(m.skeleton.joints[0].name, "Hips");
    EXPECT_EQ(m.skeleton.joints[0].parent, -1);
    const int knee = m.skeleton.find("LeftKnee");
    ASSERT_GE(knee, 0);
    EXPECT_EQ(m.skeleton.joints[knee].parent, m.skeleton.find("LeftHip"));
    EXPECT_NEAR(m.skeleton.joints[knee].offset.y, -6.85026, 1e-12);
    // The arms list their rotations in another order than the legs.
    const BvhJoint& elbow = m.skeleton.joints[m.skeleton.find("LeftElbow")];
    ASSERT_EQ(elbow.channels.size(), 3u);
    EXPECT_EQ(elbow.channels[1], BvhChannel::kXrotation);
    EXPECT_TRUE(m.skeleton.joints[m.skeleton.find("Head")].hasEndSite);
    EXPECT_NEAR(m.frame(0)[1], 16.9002, 1e-12);  // hips height, first frame
}

TEST(BvhFile, WriteThenParseGivesTheSameTake) {
    for (const BvhMotion* source : {&testing::bundledTake()}) {
        BvhMotion back;
        std::string error;
        ASSERT_TRUE(parseBvh(writeBvh(*source), back, error)) << error;
        ASSERT_EQ(back.skeleton.joints.size(), source->skeleton.joints.size());
        for (std::size_t j = 0; j < back.skeleton.joints.size(); ++j) {
            const BvhJoint& a = source->skeleton.joints[j];
            const BvhJoint& b = back.skeleton.joints[j];
            EXPECT_EQ(a.name, b.name);
            EXPECT_EQ(a.parent, b.parent);
            EXPECT_EQ(a.channels, b.channels);
            EXPECT_EQ(a.firstChannel, b.firstChannel);
            EXPECT_EQ(a.hasEndSite, b.hasEndSite);
            EXPECT_EQ(length(a.offset - b.offset), 0.0);
            EXPECT_EQ(length(a.endSite - b.endSite), 0.0);
        }
        EXPECT_EQ(back.frameCount, source->frameCount);
        EXPECT_EQ(back.frameTime, source->frameTime);
        EXPECT_EQ(back.values, source->values);
    }
}

TEST(BvhFile, AcceptsColonsInNamesAndLooseSpacing) {
    std::string text = testing::smallBvh();
    text.replace(text.find("Spine"), 5, "rig:Spine");
    text.replace(text.find("Frames: 2"), 9, "Frames:\t2");
    BvhMotion m;
    std::string error;
    ASSERT_TRUE(parseBvh(text, m, error)) << error;
    EXPECT_EQ(m.skeleton.joints[1].name, "rig:Spine");
    EXPECT_EQ(m.frameCount, 2);
    EXPECT_EQ(m.frame(1)[11], -90.0);
}

TEST(BvhFile, RefusesMalformedFilesWithTheLine) {
    const std::string good = testing::smallBvh();
    struct Case {
        std::string from, to, message;
    };
    const Case cases[] = {
        {"Zrotation Yrotation Xrotation\n  JOINT", "Zrotation Yrotation Wrotation\n  JOINT",
         "unknown channel"},
        {"Frames: 2", "Frames: 3", "fewer channel values"},
        {"Frames: 2", "Frames: -1", "bad frame count"},
        {"Frame Time: 0.0083333", "Frame Time: 0", "frame time"},
        {"OFFSET 0 2 0", "OFFSET 0 x 0", "expected a number"},
        {"CHANNELS 6", "CHANNELS 7", "0 to 6 channels"},
        {"MOTION", "}\nMOTION", "expected MOTION"},
        {"HIERARCHY", "HIERARCHIE", "expected HIERARCHY"},
        {"30 60 -90\n", "30 60 -90 7\n", "after the last frame"},
        {"1 17 -3", "1 1e999 -3", "expected a number"},
    };
    for (const Case& c : cases) {
        std::string text = good;
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        text.replace(at, c.from.size(), c.to);
        BvhMotion m;
        std::string error;
        EXPECT_FALSE(parseBvh(text, m, error)) << c.to;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
        EXPECT_TRUE(m.skeleton.joints.empty());
    }
}

TEST(BvhFile, EveryTruncationFailsCleanly) {
    const std::string text = testing::smallBvh();
    int accepted = 0;
    for (std::size_t n = 0; n < text.size(); ++n) {
        BvhMotion m;
        std::string error;
        if (parseBvh(text.substr(0, n), m, error)) {
            // Only cuts inside the last number or its newline can still parse.
            ++accepted;
            EXPECT_GE(n, text.rfind(' ') + 1);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
    EXPECT_LE(accepted, 3);
}

TEST(BvhFile, MissingFileIsAnError) {
    BvhMotion m;
    std::string error;
    EXPECT_FALSE(readBvhFile("/nonexistent/take.bvh", m, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace ztools
