// The main of every test program that runs the embedded host: a test during
// which the plug-in (or the test) broke a rule of the host fails, unless the
// test takes the breaches itself (mayahost::takeRuleBreaches) because the
// rule is what it is about.
#include <mayahost/host.h>

#include <gtest/gtest.h>

namespace {

class HostRulesListener : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { mayahost::takeRuleBreaches(); }

    // Listeners see OnTestEnd in reverse order, so this runs before the
    // result is printed and the failure still counts for the test.
    void OnTestEnd(const testing::TestInfo&) override {
        for (const mayahost::RuleBreach& breach : mayahost::takeRuleBreaches()) {
            ADD_FAILURE() << "this test broke a rule of the host (" << breach.rule
                          << "): " << breach.operation << " on " << breach.node;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new HostRulesListener);
    return RUN_ALL_TESTS();
}
