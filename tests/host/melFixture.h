// A fresh host for MEL tests, with helpers that run a text and expect it to
// succeed or to fail with one error line.
#pragma once

#include "hostFixture.h"
#include "tests/support/melRun.h"

#include <mayahost/ui.h>

#include <string>

class MelTest : public HostTest {
protected:
    // The value of the text's last statement; fails the test when it fails.
    static std::string run(const std::string& text) { return zemoritest::mel(text); }
    // The one error line a failing text gives.
    static std::string failure(const std::string& text) {
        const std::size_t before = mayahost::errorLines().size();
        EXPECT_FALSE(mayahost::runMel(text)) << text;
        const auto errors = mayahost::errorLines();
        EXPECT_EQ(errors.size(), before + 1) << text;
        return errors.size() > before ? errors.back() : std::string();
    }
};
