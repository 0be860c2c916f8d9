// Requests to end the program are held while a critical section is open and honoured when
// the outermost one ends. A handler stands in for the default action, which would end the
// test program.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "base/critical_section.h"

namespace kv58::test {
namespace {

volatile std::sig_atomic_t delivered = 0;

extern "C" void countSignal(int) {
    delivered = delivered + 1;
}

class CriticalSectionTest : public ::testing::Test {
protected:
    CriticalSectionTest() {
        delivered = 0;
        struct sigaction action {};
        action.sa_handler = countSignal;
        sigemptyset(&action.sa_mask);
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            sigaction(s, &action, &previous_[s]);
        setHeldInterruptReporter([this](const std::string& r) { reported.push_back(r); });
    }
    ~CriticalSectionTest() override {
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            sigaction(s, &previous_[s], nullptr);
        setHeldInterruptReporter(nullptr);
    }
    std::vector<std::string> reported;

private:
    struct sigaction previous_[NSIG] {};
};

TEST_F(CriticalSectionTest, RequestsWaitForTheOutermostSectionAndAreNamed) {
    {
        const CriticalSection outer;
        {
            const CriticalSection inner;
            std::raise(SIGTERM);
            EXPECT_TRUE(inCriticalSection());
        }
        EXPECT_EQ(delivered, 0) << "the inner section's end honours nothing";
        EXPECT_TRUE(reported.empty());
    }
    EXPECT_FALSE(inCriticalSection());
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(reported, std::vector<std::string>{"termination request (SIGTERM)"});

    {
        const CriticalSection section;
        std::raise(SIGINT);
        std::raise(SIGHUP);
    }
    EXPECT_EQ(delivered, 3);
    EXPECT_EQ(reported.back(), "interrupt (SIGINT)");
}

TEST_F(CriticalSectionTest, OutsideASectionNothingIsHeld) {
    std::raise(SIGINT);
    EXPECT_EQ(delivered, 1);
    { const CriticalSection quiet; }
    EXPECT_TRUE(reported.empty());
}

}  // namespace
}  // namespace kv58::test
