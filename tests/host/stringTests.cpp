// MString, MStatus reporting and the string resource table.
#include "hostFixture.h"

#include <mayahost/ui.h>

#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringResource.h>
#include <maya/MStringResourceId.h>

#include <cstdio>
#include <filesystem>
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

// registerUIStrings runs the function, then the MEL procedure, found on the
// script path by its name; the procedure may load a localized file.
TEST_F(StringResources, UIStringsProcedureRegistersAndLocalizes) {
    const std::string folder = ::testing::TempDir() + "stringsPlugin";
    std::filesystem::create_directories(folder + "/de_DE");
    std::ofstream(folder + "/TestStrings.mel", std::ios::binary)
        << "global proc TestStrings() {\n"
           "    registerPluginResource(\"TestModule\", \"kTitle\", \"Title\");\n"
           "    loadPluginLanguageResources(\"TestModule\", \"TestModule.pres.mel\");\n"
           "}\n";
    std::ofstream(folder + "/de_DE/TestModule.pres.mel", std::ios::binary)
        << "setPluginResource(\"TestModule\", \"GREETING\", \"Hallo\\tWelt\\n\\\\ \xC3\xBC\");\n"
           "setPluginResource(\"TestModule\", \"kTitle\", \"Titel\");\n";
    mayahost::setScriptPath({folder});
    MObject plugin = mayahost::createPluginObject("stringsPlugin", "/nonexistent");
    MFnPlugin fn(plugin);

    // An English session: the defaults, for C++ and MEL alike.
    ASSERT_TRUE(fn.registerUIStrings(registerTwo, "TestStrings"));
    MStatus status;
    const MStringResourceId greeting("TestModule", "GREETING", "x");
    EXPECT_EQ(std::string(MStringResource::getString(greeting, status).asChar()), "Hello");
    std::string title;
    ASSERT_TRUE(mayahost::runMel("getPluginResource(\"TestModule\", \"kTitle\")", &title));
    EXPECT_EQ(title, "Title");

    // A localized one.
    mayahost::setResourcePath({folder + "/de_DE"});
    ASSERT_TRUE(fn.registerUIStrings(registerTwo, "TestStrings"));
    EXPECT_EQ(std::string(MStringResource::getString(greeting, status).asChar()),
              "Hallo\tWelt\n\\ \xC3\xBC");
    EXPECT_TRUE(status);
    EXPECT_EQ(std::string(MStringResource::getString(
                              MStringResourceId("TestModule", "FAREWELL", "x"), status)
                              .asChar()),
              "Bye");
    ASSERT_TRUE(mayahost::runMel("getPluginResource \"TestModule\" \"kTitle\"", &title));
    EXPECT_EQ(title, "Titel");
    EXPECT_FALSE(mayahost::runMel("getPluginResource \"TestModule\" \"kNever\""));
    EXPECT_EQ(mayahost::errorLines().back(),
              "Plug-in resource lookup failed, resource (\"TestModule\",\"kNever\") is not "
              "registered");
}

TEST_F(StringResources, FailingRegistrationFunctionOrMissingProcedureFails) {
    const std::string folder = ::testing::TempDir() + "stringsPluginEmpty";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/Empty.mel") << "global proc Empty() {}\n";
    mayahost::setScriptPath({folder});
    MObject plugin = mayahost::createPluginObject("stringsPlugin", "/nonexistent");
    MFnPlugin fn(plugin);
    EXPECT_FALSE(fn.registerUIStrings([] { return MStatus(MS::kFailure); }, "Empty"));
    mayahost::failRegistration("Blocked");
    EXPECT_FALSE(fn.registerUIStrings(registerTwo, "Blocked"));
    MStatus status;
    MStringResource::getString(MStringResourceId("TestModule", "GREETING", "x"), status);
    EXPECT_EQ(status, MS::kNotFound);
    // No procedure of that name: the call fails, as in Maya.
    EXPECT_FALSE(fn.registerUIStrings(registerTwo, "Missing"));
    EXPECT_EQ(mayahost::errorLines().back(), "Cannot find procedure \"Missing\".");
    EXPECT_TRUE(fn.registerUIStrings(registerTwo, "Empty"));
}

}  // namespace
