#include "intake/formatLibraryLoader.h"

#include "hostTest.h"
#include "intake/formatLibrary.h"
#include "platform/dynamicLibrary.h"

#include <mayahost/host.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Test trees built next to this test: <variant>/Ostrevo/<system>/x64/<file>
// with an empty <variant>/module/plug-ins folder to load from.
std::string loadPathOf(const char* variant) {
    return std::string(ZEMORI_LOADER_FIXTURES) + "/" + variant + "/module/plug-ins";
}

bool tableIsEmpty() {
    return gFormatLibrary.module == nullptr && gFormatLibrary.isOsvBytes == nullptr &&
           gFormatLibrary.isSkeletonDefinitionBytes == nullptr &&
           gFormatLibrary.isFrameDataBytes == nullptr &&
           gFormatLibrary.convertBytesToSkeletonDefinition == nullptr &&
           gFormatLibrary.convertBytesToFrameData == nullptr &&
           gFormatLibrary.convertBytesToFrameTimecode == nullptr;
}

class FormatLibraryLoader : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        unloadFormatLibrary();
        mayahost::processIdleEvents();
        logStart = mayahost::commandLog().size();
    }
    void TearDown() override {
        unloadFormatLibrary();
        HostTest::TearDown();
    }

    // Loads with stdout captured; returns what was printed.
    std::string load(const std::string& loadPath) {
        testing::internal::CaptureStdout();
        loadFormatLibrary(loadPath.c_str());
        return testing::internal::GetCapturedStdout();
    }

    // The commands the loader queued, once the host has been idle.
    std::vector<std::string> reports() {
        mayahost::processIdleEvents();
        const std::vector<std::string> log = mayahost::commandLog();
        return std::vector<std::string>(log.begin() + static_cast<long>(logStart), log.end());
    }

    std::size_t logStart = 0;
};

const std::string kFunctionReport = "error \"Failed to import Ostrevo function\"";

TEST(FormatLibraryPath, LooksTwoLevelsAboveTheLoadPath) {
#if defined(_WIN32)
    EXPECT_EQ(formatLibraryPath("C:/x/plug-ins"),
              "C:/x/plug-ins/../../Ostrevo/windows/x64/ostrevo.dll");
#else
    EXPECT_EQ(formatLibraryPath("C:/x/plug-ins"),
              "C:/x/plug-ins/../../Ostrevo/linux/x64/libostrevo.so");
#endif
    // Joined as given: no normalisation of separators or dots.
    EXPECT_EQ(formatLibraryPath("a\\b/"), std::string("a\\b//../../Ostrevo/") +
                                              platform::systemFolderName() + "/x64/" +
                                              platform::formatLibraryFileName());
}

TEST_F(FormatLibraryLoader, RealLibraryLoadsSilentlyWithAllFiveFunctions) {
    const std::string path = loadPathOf("real");
    EXPECT_EQ(load(path), "");
    EXPECT_TRUE(reports().empty());
    EXPECT_EQ(pluginLoadPath(), path);
    ASSERT_NE(gFormatLibrary.module, nullptr);
    ASSERT_NE(gFormatLibrary.isOsvBytes, nullptr);
    EXPECT_NE(gFormatLibrary.isSkeletonDefinitionBytes, nullptr);
    EXPECT_NE(gFormatLibrary.isFrameDataBytes, nullptr);
    EXPECT_NE(gFormatLibrary.convertBytesToSkeletonDefinition, nullptr);
    EXPECT_NE(gFormatLibrary.convertBytesToFrameData, nullptr);
    EXPECT_NE(gFormatLibrary.convertBytesToFrameTimecode, nullptr) << "the timecode export";
    const char notADatagram[8] = {};
    EXPECT_FALSE(gFormatLibrary.isOsvBytes(sizeof notADatagram, notADatagram));

    // A second load while one is held changes nothing, not even the path.
    const FormatLibraryEntryPoints before = gFormatLibrary;
    EXPECT_EQ(load(loadPathOf("none")), "");
    EXPECT_EQ(gFormatLibrary.module, before.module);
    EXPECT_EQ(gFormatLibrary.convertBytesToFrameData, before.convertBytesToFrameData);
    EXPECT_EQ(pluginLoadPath(), path);
    EXPECT_TRUE(reports().empty());

    unloadFormatLibrary();
    EXPECT_TRUE(tableIsEmpty());
}

TEST_F(FormatLibraryLoader, MissingFilePrintsOneLinkErrorAndReportsOnce) {
    const std::string out = load(loadPathOf("none"));
    const std::string prefix = "A dynamic linking error occurred: ";
    ASSERT_EQ(out.compare(0, prefix.size(), prefix), 0) << out;
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line: " << out;
    EXPECT_EQ(out.find('\r'), std::string::npos) << out;
    EXPECT_GT(out.size(), prefix.size() + 1) << "with the system's reason";
    EXPECT_TRUE(tableIsEmpty());
    EXPECT_EQ(reports(), std::vector<std::string>{
                             "error \"Failed to import Ostrevo library. Plug-in will not be "
                             "functional.\""});
    ASSERT_FALSE(mayahost::errorLines().empty());

    // Nothing is held, so unloading does nothing, and a new load tries again.
    unloadFormatLibrary();
    EXPECT_TRUE(tableIsEmpty());
    EXPECT_EQ(reports().size(), 1u);
    EXPECT_EQ(load(loadPathOf("real")), "");
    EXPECT_NE(gFormatLibrary.module, nullptr);
}

TEST_F(FormatLibraryLoader, MissingFunctionIsReportedForItAndEveryLaterName) {
    EXPECT_EQ(load(loadPathOf("noFrameTest")), "") << "no console line for a missing function";
    EXPECT_TRUE(tableIsEmpty());
    EXPECT_EQ(reports(), std::vector<std::string>(3, kFunctionReport));
}

TEST_F(FormatLibraryLoader, MissingLastFunctionIsReportedOnce) {
    EXPECT_EQ(load(loadPathOf("noFrameDecode")), "");
    EXPECT_TRUE(tableIsEmpty());
    EXPECT_EQ(reports(), std::vector<std::string>(1, kFunctionReport));
    unloadFormatLibrary();
    EXPECT_TRUE(tableIsEmpty());
    EXPECT_EQ(reports().size(), 1u) << "unload after a failed load reports nothing";
}

TEST_F(FormatLibraryLoader, CompleteTestLibraryLoadsToo) {
    EXPECT_EQ(load(loadPathOf("complete")), "");
    EXPECT_TRUE(reports().empty());
    EXPECT_NE(gFormatLibrary.isFrameDataBytes, nullptr);
    EXPECT_NE(gFormatLibrary.convertBytesToFrameData, nullptr);
    // Built before timecode: it loads without a report, and without the export.
    EXPECT_EQ(gFormatLibrary.convertBytesToFrameTimecode, nullptr);
}

}  // namespace
