#include "plugin/messageTable.h"

#include <maya/MString.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string narrowLine(const MessageKey& message, int argument) {
    testing::internal::CaptureStdout();
    const MString format = lookupMessage(message);
    printToConsole(format.asChar(), argument);
    return testing::internal::GetCapturedStdout();
}

template <typename... Args>
std::string wideLine(const wchar_t* format, Args... args) {
    testing::internal::CaptureStdout();
    printWideToConsole(format, args...);
    return testing::internal::GetCapturedStdout();
}

TEST(NarrowConsole, PrintsTableTextsWithTheirArguments) {
    // The blank flag of "% d" puts the only blank before the port.
    EXPECT_EQ(narrowLine(msg::kInitSocket, 12351), "Initializing Socket 12351\n");
    EXPECT_EQ(narrowLine(msg::kInitSocket, -1), "Initializing Socket-1\n");

    testing::internal::CaptureStdout();
    const MString closing = lookupMessage(msg::kClosingSocket);
    printToConsole(closing.asChar());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Closing socket \n");
}

TEST(WideConsole, PrintsErrorCodesAsUnsigned32BitNumbers) {
    const MString bind = lookupMessage(msg::kBindSocketError);
    EXPECT_EQ(wideLine(bind.asWChar(), 10048u), "Bind failed with error 10048\n");
    const MString socketFailed = lookupMessage(msg::kSocketFunctionError);
    EXPECT_EQ(wideLine(socketFailed.asWChar(), 4294967295u),
              "socket function failed with error : 4294967295\n");
    const MString wsa = lookupMessage(msg::kWsaStartError);
    EXPECT_EQ(wideLine(wsa.asWChar()), "Error at WSAStartup()\n");
}

TEST(WideConsole, StringPlaceholderTakesAWideTextAndWritesUtf8) {
    const MString link = lookupMessage(msg::kOsvLinkError);
    EXPECT_EQ(wideLine(link.asWChar(), L"The specified module could not be found."),
              "A dynamic linking error occurred: The specified module could not be found.\n");
    // Non-ASCII system texts come out as UTF-8, including characters beyond
    // the basic plane.
    EXPECT_EQ(wideLine(link.asWChar(), L"Datei nicht gefunden: \u00e9\u4e2d\U0001F600"),
              "A dynamic linking error occurred: Datei nicht gefunden: "
              "\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80\n");
    EXPECT_EQ(wideLine(link.asWChar(), L""), "A dynamic linking error occurred: \n");
}

TEST(WideConsole, KeepsOtherConversionsAndFlags) {
    EXPECT_EQ(wideLine(L"%s|%5s|%-3s|%%s|%c\n", L"a", L"bc", L"d", L'z'), "a|   bc|d  |%s|z\n");
    EXPECT_EQ(wideLine(L"%ls and %d%%\n", L"explicit", 7), "explicit and 7%\n");
}

TEST(WideConsole, LinesLongerThanTheBufferArePrintedWhole) {
    const std::wstring longText(3000, L'x');
    const MString link = lookupMessage(msg::kOsvLinkError);
    const std::string out = wideLine(link.asWChar(), longText.c_str());
    EXPECT_EQ(out, "A dynamic linking error occurred: " + std::string(3000, 'x') + "\n");

    // Beyond any sensible length the line is dropped rather than cut.
    const std::wstring hostile(200000, L'y');
    EXPECT_EQ(wideLine(link.asWChar(), hostile.c_str()), "");
}

TEST(Diagnostics, GoToStandardErrorFollowedByALineFeed) {
    testing::internal::CaptureStderr();
    printDiagnostic("Error getting Time value");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error getting Time value\n");

    // A text ending in a line feed is followed by an empty line.
    testing::internal::CaptureStderr();
    printDiagnostic("Failed in populating block\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failed in populating block\n\n");
}

TEST(Diagnostics, DoNotTouchStandardOutput) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    printDiagnostic("Error in block.outputArrayValue for outputRotations");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(err, "Error in block.outputArrayValue for outputRotations\n");
}

}  // namespace
