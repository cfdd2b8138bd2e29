// Loading the small test library at run time, finding its function, and the
// failures: a missing symbol and a missing file.
#include "platform/dynamicLibrary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using AnswerFn = int (*)(int);

TEST(DynamicLibrary, LoadsFindsAndCallsAnExportedFunction) {
    platform::LibraryHandle library = platform::loadLibrary(ZEMORI_TEST_LIBRARY_PATH);
    ASSERT_NE(library, nullptr) << std::string(ZEMORI_TEST_LIBRARY_PATH);
    void* symbol = platform::findSymbol(library, "zemoriTestAnswer");
    ASSERT_NE(symbol, nullptr);
    auto answer = reinterpret_cast<AnswerFn>(symbol);
    EXPECT_EQ(answer(20), 41);
    EXPECT_EQ(answer(-3), -5);
    // Names are exact: no decoration, no case folding, no prefix match.
    EXPECT_EQ(platform::findSymbol(library, "zemoriTestAnswerMissing"), nullptr);
    EXPECT_EQ(platform::findSymbol(library, "ZemoriTestAnswer"), nullptr);
    EXPECT_EQ(platform::findSymbol(library, "zemoriTest"), nullptr);
    EXPECT_EQ(platform::findSymbol(library, nullptr), nullptr);
    platform::freeLibrary(library);
}

TEST(DynamicLibrary, MissingFileFailsWithTheSystemsText) {
    const std::string missing = std::string(ZEMORI_TEST_LIBRARY_PATH) + ".missing";
    EXPECT_EQ(platform::loadLibrary(missing.c_str()), nullptr);
    const std::wstring text = platform::lastLoadErrorText();
    EXPECT_FALSE(text.empty());
    // The text is the last failure's, and stays when asked again.
    EXPECT_EQ(platform::lastLoadErrorText(), text);
    EXPECT_EQ(platform::loadLibrary(nullptr), nullptr);
    EXPECT_FALSE(platform::lastLoadErrorText().empty());
}

TEST(DynamicLibrary, NullHandlesAreHarmless) {
    EXPECT_EQ(platform::findSymbol(nullptr, "zemoriTestAnswer"), nullptr);
    platform::freeLibrary(nullptr);
}

TEST(DynamicLibrary, FormatLibraryNamesFollowTheSystem) {
    const std::string folder = platform::systemFolderName();
    const std::string file = platform::formatLibraryFileName();
    EXPECT_TRUE(folder == "windows" || folder == "linux") << folder;
    // The file's extension matches the folder's system.
    const std::string expectedEnd = folder == "windows" ? ".dll" : ".so";
    ASSERT_GE(file.size(), expectedEnd.size());
    EXPECT_EQ(file.substr(file.size() - expectedEnd.size()), expectedEnd);
    EXPECT_NE(file.find("ostrevo"), std::string::npos);
}

}  // namespace
