// MString, MStatus reporting and the string resource table.
#include "hostFixture.h"

#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringResource.h>
#include <maya/MStringResourceId.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

TEST(Strings, NarrowAndWideViewsOfTheSameText) {
    MString ascii("Awaiting Skeleton Definition");
    EXPECT_EQ(std::wstring(ascii.asWChar()), L"Awaiting Skeleton Definition");
    EXPECT_EQ(ascii.length(), 28u);
    MString text(
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x82\xAC \xF0\x9F\x98\x80");  // Grüße € 😀
    EXPECT_EQ(text.length(), 16u);
    EXPECT_EQ(text.numChars(), 9u);
    std::wstring wide = text.asWChar();
    EXPECT_EQ(wide[2], L'\u00FC');
    EXPECT_EQ(wide[6], L'\u20AC');
    MString back(wide.c_str());
    EXPECT_TRUE(back == text);
    // A stray byte survives instead of ending the text.
    MString broken(
        "a\xFF"
        "b");
    EXPECT_EQ(std::wstring(broken.asWChar()).size(), 3u);
}

TEST(Strings, Operators) {
    MString s("Socket");
    s += " ";
    s += 12351;
    EXPECT_TRUE(s == "Socket 12351");
    MString t = "port " + MString("x") + 2.5;
    EXPECT_EQ(std::string(t.asChar()), "port x2.5");
    s.substitute("1", "one");
    EXPECT_EQ(std::string(s.asChar()), "Socket one235one");
    s.substituteFirst("one", "1");
    EXPECT_EQ(std::string(s.asChar()), "Socket 1235one");
    EXPECT_FALSE(s.substitute("", "x"));
    std::ostringstream out;
    out << MString("shown");
    EXPECT_EQ(out.str(), "shown");
    MString null(static_cast<const char*>(nullptr));
    EXPECT_EQ(null.length(), 0u);
}

TEST(Status, TruthCodesAndReports) {
    MStatus ok;
    EXPECT_TRUE(ok);
    EXPECT_FALSE(ok.error());
    MStatus failed(MS::kNotFound);
    EXPECT_FALSE(failed);
    EXPECT_TRUE(failed == MS::kNotFound);
    EXPECT_TRUE(MS::kNotFound == failed);
    EXPECT_TRUE(failed != ok);
    failed.clear();
    EXPECT_EQ(failed.statusCode(), MS::kSuccess);

    // At the descriptor: the host library may have a standard stream of its own.
    ::testing::internal::CaptureStderr();
    MStatus(MS::kFailure).perror("registerNode");
    MStatus(MS::kInvalidParameter).perror(MString("Failed to register"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "registerNode: " + std::string(MStatus(MS::kFailure).errorString().asChar()) +
                  "\nFailed to register: " + MStatus(MS::kInvalidParameter).errorString().asChar() +
                  "\n");
    EXPECT_NE(MStatus(MS::kFailure).errorString(), MStatus(MS::kNotFound).errorString());
}

using StringResources = HostTest;

TEST_F(StringResources, LookupPrefersLocalizedThenRegisteredThenOwnDefault) {
    MStringResourceId id("ZemoriMayaPlugin", "YOUR_IP", "Your local IPs:");
    MStringResourceId unregistered("ZemoriMayaPlugin", "OTHER", "Other default");
    MStatus status;
    // Not registered: the id's own default, kNotFound.
    EXPECT_EQ(std::string(MStringResource::getString(id, status).asChar()), "Your local IPs:");
    EXPECT_EQ(status, MS::kNotFound);
    // Registered with one default, asked with an id carrying another.
    ASSERT_TRUE(MStringResource::registerString(id));
    MStringResourceId sameKey("ZemoriMayaPlugin", "YOUR_IP", "ignored");
    EXPECT_TRUE(sameKey == id);
    EXPECT_EQ(std::string(MStringResource::getString(sameKey, status).asChar()), "Your local IPs:");
    EXPECT_TRUE(status);
    // Another module with the same key is another text.
    MStringResourceId otherModule("Other", "YOUR_IP", "x");
    MStringResource::getString(otherModule, status);
    EXPECT_EQ(status, MS::kNotFound);
    EXPECT_EQ(std::string(MStringResource::getString(unregistered, status).asChar()),
              "Other default");
    EXPECT_FALSE(MStringResource::registerString(MStringResourceId("M", "", "empty key")));
}

MStatus registerTwo() {
    MStringResource::registerString(MStringResourceId("TestModule", "GREETING", "Hello"));
    return MStringResource::registerString(MStringResourceId("TestModule", "FAREWELL", "Bye"));
}

TEST_F(StringResources, ResourceFilesReplaceDefaults) {
    std::string folder = ::testing::TempDir();
    {
        std::ofstream file(folder + "/TestStrings.res", std::ios::binary);
        file << "# localized texts\n"
             << "@module\tTestModule\n"
             << "GREETING\tHallo\\tWelt\\n\\\\ \xC3\xBC\r\n"
             << "\n"
             << "malformed line without tab\n";
    }
    mayahost::setResourcePath({folder});
    MObject plugin = mayahost::createPluginObject("stringsPlugin", "/nonexistent");
    MFnPlugin fn(plugin);
    ASSERT_TRUE(fn.registerUIStrings(registerTwo, "TestStrings"));
    MStatus status;
    MString greeting =
        MStringResource::getString(MStringResourceId("TestModule", "GREETING", "x"), status);
    EXPECT_TRUE(status);
    EXPECT_EQ(std::string(greeting.asChar()), "Hallo\tWelt\n\\ \xC3\xBC");
    EXPECT_EQ(std::string(MStringResource::getString(
                              MStringResourceId("TestModule", "FAREWELL", "x"), status)
                              .asChar()),
              "Bye");
    std::remove((folder + "/TestStrings.res").c_str());
}

TEST_F(StringResources, FailingRegistrationFunctionStopsRegisterUIStrings) {
    MObject plugin = mayahost::createPluginObject("stringsPlugin", "/nonexistent");
    MFnPlugin fn(plugin);
    EXPECT_FALSE(fn.registerUIStrings([] { return MStatus(MS::kFailure); }, "Missing"));
    mayahost::failRegistration("Blocked");
    EXPECT_FALSE(fn.registerUIStrings(registerTwo, "Blocked"));
    MStatus status;
    MStringResource::getString(MStringResourceId("TestModule", "GREETING", "x"), status);
    EXPECT_EQ(status, MS::kNotFound);
    // A missing resource file is no failure: the defaults hold.
    EXPECT_TRUE(fn.registerUIStrings(registerTwo, "Missing"));
}

}  // namespace
