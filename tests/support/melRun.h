// Runs MEL in the embedded host and expects it to succeed.
#pragma once

#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <gtest/gtest.h>

#include <string>

namespace zemoritest {

// The value of the text's last statement; the test fails, naming the error
// lines, when the text fails.
inline std::string mel(const std::string& text) {
    std::string result;
    EXPECT_TRUE(mayahost::runMel(text, &result))
        << text << "\n"
        << ::testing::PrintToString(mayahost::errorLines());
    return result;
}

}  // namespace zemoritest
