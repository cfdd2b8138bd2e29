// The POSIX loader widens dlerror's UTF-8 text itself: valid sequences of
// every length, and malformed input that must neither crash nor over-read.
#include "../../platform/src/posix/wideText.h"

#include "platform/dynamicLibrary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::posix::widenUtf8;

TEST(WideText, DecodesEverySequenceLength) {
    EXPECT_EQ(widenUtf8("plain ascii"), L"plain ascii");
    EXPECT_EQ(widenUtf8("caf\xC3\xA9"), std::wstring(L"caf") + wchar_t(0xE9));
    EXPECT_EQ(widenUtf8("\xE2\x82\xAC"), std::wstring(1, wchar_t(0x20AC)));
    EXPECT_EQ(widenUtf8("\xF0\x9F\x8E\xAC"), std::wstring(1, wchar_t(0x1F3AC)));
    EXPECT_EQ(widenUtf8(""), L"");
    EXPECT_EQ(widenUtf8(nullptr), L"");
}

TEST(WideText, MalformedBytesBecomeReplacementCharacters) {
    const wchar_t bad = wchar_t(0xFFFD);
    // A lone continuation byte and an impossible lead byte.
    EXPECT_EQ(widenUtf8("a\x80z"), std::wstring(L"a") + bad + L"z");
    EXPECT_EQ(widenUtf8("\xFFz"), std::wstring(1, bad) + L"z");
    // A sequence cut short by the end of the text or by a plain byte.
    EXPECT_EQ(widenUtf8("x\xE2\x82"), std::wstring(L"x") + bad);
    EXPECT_EQ(widenUtf8("\xE2\x82z"), std::wstring(1, bad) + L"z");
    // Overlong forms and encoded surrogates are refused, one mark per byte.
    EXPECT_EQ(widenUtf8("\xC0\xAF"), std::wstring(2, bad));
    EXPECT_EQ(widenUtf8("\xED\xA0\x80"), std::wstring(3, bad));
    // Past U+10FFFF.
    EXPECT_EQ(widenUtf8("\xF4\x90\x80\x80"), std::wstring(4, bad));
}

TEST(WideText, LoaderErrorKeepsANonAsciiPath) {
    const std::string path = "/nonexistent-zemori-\xC3\xA9t\xC3\xA9/libnothing.so";
    EXPECT_EQ(platform::loadLibrary(path.c_str()), nullptr);
    const std::wstring text = platform::lastLoadErrorText();
    EXPECT_NE(text.find(std::wstring(L"zemori-") + wchar_t(0xE9) + L"t" + wchar_t(0xE9)),
              std::wstring::npos);
}

}  // namespace
