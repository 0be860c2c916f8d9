// The command-line frame that kv58-bench and kv58-faults share.
#include "tool_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kv58::tools {
namespace {

// Runs the frame over `args` and records what it handed on.
struct Frame {
    std::vector<std::pair<std::string, std::string>> taken;
    bool helpShown = false;
    bool ran = false;
    std::string err;

    int run(std::vector<std::string> args, bool refuseSeed = false) {
        args.insert(args.begin(), "tool");
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        testing::internal::CaptureStderr();
        const int code = runWithOptions(
            "tool", static_cast<int>(argv.size()), argv.data(),
            [&](const std::string& option, const std::string& value, std::string& error) {
                if (refuseSeed && option == "--seed") {
                    error = "--seed " + value + ": expected a whole number";
                    return false;
                }
                taken.emplace_back(option, value);
                return true;
            },
            [this] { helpShown = true; },
            [this] {
                ran = true;
                return 7;
            });
        err = testing::internal::GetCapturedStderr();
        return code;
    }
};

TEST(ToolCommandLine, PairsGoInOrderAndTheRunGivesTheExitCode) {
    Frame f;
    EXPECT_EQ(f.run({"--seed", "5", "--sessions", "-1"}), 7);
    const std::vector<std::pair<std::string, std::string>> expected = {{"--seed", "5"},
                                                                       {"--sessions", "-1"}};
    EXPECT_EQ(f.taken, expected);
    EXPECT_TRUE(f.ran);
    EXPECT_EQ(f.err, "");
}

TEST(ToolCommandLine, HelpWinsWithoutRunning) {
    for (const char* help : {"--help", "-h"}) {
        Frame f;
        EXPECT_EQ(f.run({"--seed", "5", help, "--stray"}), 0) << help;
        EXPECT_TRUE(f.helpShown);
        EXPECT_FALSE(f.ran);
    }
}

TEST(ToolCommandLine, RefusalsNameTheReasonAndNeverRun) {
    Frame f;
    EXPECT_EQ(f.run({"--seed"}), kExitUsage);
    EXPECT_EQ(f.err, "tool: --seed needs a value (tool --help shows the options)\n");
    EXPECT_EQ(f.run({"extra"}), kExitUsage);
    EXPECT_EQ(f.err, "tool: unexpected 'extra' (tool --help shows the options)\n");
    EXPECT_EQ(f.run({"--seed", "x", "--help"}, true), kExitUsage);
    EXPECT_EQ(f.err, "tool: --seed x: expected a whole number (tool --help shows the options)\n");
    EXPECT_FALSE(f.ran);
    EXPECT_FALSE(f.helpShown);
}

}  // namespace
}  // namespace kv58::tools
