#include "tools/lib/recorderOptions.h"

#include <gtest/gtest.h>

namespace ztools {
namespace {

TEST(RecorderOptions, DefaultsWriteBothFilesFromTheBuildInstall) {
    RecorderOptions o;
    std::string error;
    ASSERT_EQ(parseRecorderOptions({}, "/b/install", o, error), RecorderParse::kRun);
    EXPECT_EQ(o.modulePrefix, "/b/install");
    EXPECT_EQ(o.port, 12351);
    EXPECT_EQ(o.deviceId, 0);
    EXPECT_EQ(o.maPath, "take.ma");
    EXPECT_EQ(o.bvhPath, "take.bvh");
    EXPECT_TRUE(o.comparePath.empty());
    EXPECT_EQ(o.durationSeconds, 0.0);
    EXPECT_NE(
        pluginPath("/b/install").find("/b/install/ZemoriMayaPlugin/plug-ins/ZemoriMayaPlugin."),
        std::string::npos);
}

TEST(RecorderOptions, ReadsEveryOption) {
    RecorderOptions o;
    std::string error;
    ASSERT_EQ(parseRecorderOptions(
                  {"--module", "/opt/z", "--port", "4000", "--device-id", "3", "--duration", "2.5",
                   "--ma", "a.ma", "--compare", "s.bvh", "--unit-cm", "2.54", "--quiet"},
                  "/b", o, error),
              RecorderParse::kRun)
        << error;
    EXPECT_EQ(o.modulePrefix, "/opt/z");
    EXPECT_EQ(o.port, 4000);
    EXPECT_EQ(o.deviceId, 3);
    EXPECT_DOUBLE_EQ(o.durationSeconds, 2.5);
    EXPECT_EQ(o.maPath, "a.ma");
    EXPECT_TRUE(o.bvhPath.empty());  // only the file asked for
    EXPECT_EQ(o.comparePath, "s.bvh");
    EXPECT_DOUBLE_EQ(o.unitCm, 2.54);
    EXPECT_FALSE(o.progress);
    EXPECT_FALSE(o.ui);
    ASSERT_EQ(parseRecorderOptions({"--ui", "--port", "4001"}, "/b", o, error),
              RecorderParse::kRun);
    EXPECT_TRUE(o.ui);
    EXPECT_EQ(o.port, 4001);
    EXPECT_EQ(parseRecorderOptions({"--help"}, "/b", o, error), RecorderParse::kHelp);
}

TEST(RecorderOptions, RefusesBadValues) {
    const std::vector<std::vector<std::string>> bad = {{"--port", "0"},
                                                       {"--port", "65536"},
                                                       {"--port"},
                                                       {"--device-id", "-1"},
                                                       {"--duration", "0"},
                                                       {"--duration", "x"},
                                                       {"--unit-cm", "-2"},
                                                       {"--ma", ""},
                                                       {"--record-forever"},
                                                       {"take.bvh"},
                                                       {"--ui", "--device-id", "2"}};
    for (const auto& args : bad) {
        RecorderOptions o;
        std::string error;
        EXPECT_EQ(parseRecorderOptions(args, "/b", o, error), RecorderParse::kError) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(RecorderOptions, TheStageNamesTheTakesItStarts) {
    RecorderOptions o;
    std::string error;
    ASSERT_EQ(parseRecorderOptions({"--trigger-port", "1512", "--out", "takes", "--takes", "2"},
                                   "/b", o, error),
              RecorderParse::kRun)
        << error;
    EXPECT_EQ(o.triggerPort, 1512);
    EXPECT_EQ(o.outDir, "takes");
    EXPECT_EQ(o.takes, 2);
    EXPECT_TRUE(o.maPath.empty() && o.bvhPath.empty());  // the stage's names instead
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--takes", "2"},
                                                {"--out", "d"},
                                                {"--trigger-port", "1512", "--ma", "a.ma"},
                                                {"--trigger-port", "1512", "--ui"},
                                                {"--trigger-port", "1512", "--duration", "3"},
                                                {"--trigger-port", "12351"},
                                                {"--trigger-port", "0"},
                                                {"--trigger-port", "1512", "--takes", "0"}}) {
        EXPECT_EQ(parseRecorderOptions(bad, "/b", o, error), RecorderParse::kError) << bad[0];
    }
}

}  // namespace
}  // namespace ztools
