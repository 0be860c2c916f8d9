// Fault plans and whole sessions: a seed replays its session exactly, the plans cover every
// kind of fault, and sessions against the application end with their invariants held.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "fault_plan.h"
#include "invariants.h"
#include "session.h"

namespace kv58::faults {
namespace {

TEST(FaultPlan, TheSeedDecidesEverything) {
    const FaultPlan a = planFaults(42), b = planFaults(42), c = planFaults(43);
    EXPECT_EQ(a.describe(), b.describe());
    EXPECT_EQ(a.serial, b.serial);
    EXPECT_EQ(a.baud, b.baud);
    EXPECT_EQ(a.loaderOptions(), b.loaderOptions());
    EXPECT_NE(a.describe() + a.serial, c.describe() + c.serial);
    EXPECT_NE(sessionSeed(1, 0), sessionSeed(1, 1));
    EXPECT_NE(sessionSeed(1, 0), sessionSeed(2, 0));
}

TEST(FaultPlan, PlansCoverEveryFaultWithinTheSettingsLimits) {
    std::set<std::string> kinds, contract, sessionKinds, loaders;
    for (uint64_t i = 0; i < 2000; ++i) {
        const FaultPlan p = planFaults(sessionSeed(7, i));
        loaders.insert(p.writeCheck + "," + p.frameGap);
        ASSERT_GE(p.ftgKhz, 257);
        ASSERT_LE(p.ftgKhz, 476);
        // One to three faults of the wire and the flash (fewer after a kill, which keeps only
        // those of the wire), and at most one of the safety contract.
        ASSERT_LE(p.count(), 4u);
        ASSERT_LE(contractFaultItems(p).size(), 1u);
        ASSERT_GE(p.count(), 1u);
        ASSERT_GE(p.tMin, -40);
        ASSERT_LE(p.tMax, 120);
        ASSERT_GE(p.tMax - p.tMin, 20);
        ASSERT_LE(p.serial.size(), 16u);
        for (const std::string& item : p.items)
            kinds.insert(item.substr(0, item.find(':')));
        if (p.silentFrom)
            kinds.insert("silent");
        if (p.powerOffAt)
            kinds.insert("power-off");
        for (const std::string& item : contractFaultItems(p))
            contract.insert(item.substr(0, item.find_first_of(":@")));
        sessionKinds.insert(kindName(p.kind));
    }
    EXPECT_EQ(contract, (std::set<std::string>{"entry-with-erased-segment-b", "erased-segment-a",
                                               "kill", "odd-image", "patch-missing"}));
    EXPECT_EQ(sessionKinds, (std::set<std::string>{"program", "restore", "write"}));
    EXPECT_EQ(kinds, (std::set<std::string>{"answer-from", "corrupt-rate", "corrupt-reply",
                                            "corrupt-sent", "lose-rate", "lose-reply", "lose-sent",
                                            "power-loss", "power-off", "program-change",
                                            "refuse-password", "silent", "stuck", "swap"}));
    EXPECT_EQ(loaders, (std::set<std::string>{"ack,drop", "ack,wait", "nak,drop", "nak,wait"}));
}

TEST(Session, SessionsHoldTheirInvariantsAndReplayExactly) {
    SessionRunner runner;
    std::map<std::string, int> outcomes;
    for (uint64_t i = 0; i < 60; ++i) {
        const uint64_t seed = sessionSeed(1, i);
        const SessionResult r = runner.run(seed);
        EXPECT_TRUE(r.violations.empty()) << r.plan.describe() << ": " << r.violations.front();
        ++outcomes[outcomeName(r.outcome)];
        if (i < 3) {
            const SessionResult again = runner.run(seed);
            EXPECT_EQ(again.outcome, r.outcome);
            EXPECT_EQ(again.shown, r.shown);
            EXPECT_EQ(again.virtualUs, r.virtualUs);
        }
    }
    // Faults make writes fail, and some survive them.
    EXPECT_GT(outcomes["confirmed"], 0);
    EXPECT_GT(outcomes["not sent"], 0);
}

}  // namespace
}  // namespace kv58::faults
