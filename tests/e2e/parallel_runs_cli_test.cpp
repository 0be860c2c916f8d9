// Runs side by side as a production bench makes them: kv58ctl processes started from one
// folder on several simulated transmitters (each a kv58-sim on its own pseudo-terminal), a
// second run on a port that one run holds, and two simulators on one state file.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/limits_key.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

const std::string kBin = KV58_BIN_DIR;

class ParallelRunsCli : public ::testing::Test {
protected:
    ParallelRunsCli() {
        std::filesystem::copy_file(std::string(KV58_SOURCE_DIR) + "/resources/shipped/KV58-PW.TXT",
                                   dir.file("KV58-PW.TXT"));
        writeFile(dir.file("KV58.ini"),
                  "[COM]\r\nPort=sim:\r\nBaud=115200\r\nParity=even\r\n[Program]\r\nKey01=" +
                      EncodeKey({-40, 120, 20, -40, 248, 36}) +
                      "\r\nSaveData=1\r\n[PWfile]\r\nPW01=KV58-PW.TXT\r\n");
    }
    // A shell script in the test folder that starts `count` simulated transmitters (serial
    // numbers BENCH-1 …), each on its own pseudo-terminal at 115200 baud, puts the path of
    // transmitter i in $P<i>, runs `body` and ends the simulators.
    int runWithSimulators(int count, const std::string& body) {
        std::string script = "cd '" + dir.path() + "' || exit 90\nB='" + kBin + "'\n";
        for (int i = 1; i <= count; ++i) {
            const std::string n = std::to_string(i);
            script += "\"$B/kv58-sim\" --pty --line 115200 --serial BENCH-" + n + " >sim" + n +
                      " 2>&1 &\nsims=\"$sims $!\"\n";
        }
        script += "trap 'kill $sims 2>/dev/null' EXIT\n";
        for (int i = 1; i <= count; ++i) {
            const std::string n = std::to_string(i);
            script += "for t in $(seq 50); do [ -s sim" + n +
                      " ] && break; sleep 0.1; done\nP" + n + "=$(head -n1 sim" + n + ")\n";
        }
        writeFile(dir.file("bench.sh"), script + body);
        const int status = std::system(("sh '" + dir.file("bench.sh") + "'").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string ctl() const { return "\"$B/kv58ctl\" --ini KV58.ini "; }
    std::string file(const std::string& name) { return readFile(dir.file(name)); }

    TempDir dir;
};

TEST_F(ParallelRunsCli, EightWritesFromOneFolderEachConfirmOnItsOwnTransmitter) {
    std::string body;
    for (int i = 1; i <= 8; ++i) {
        const std::string n = std::to_string(i);
        body += "( " + ctl() + "--port \"$P" + n + "\" --yes write --tmin -" + n + " --tmax 6" +
                n + " >w" + n + " 2>&1; echo $? >rc" + n + " ) &\nwrites=\"$writes $!\"\n";
    }
    body += "for w in $writes; do wait $w; done\n";
    for (int i = 1; i <= 8; ++i) {
        const std::string n = std::to_string(i);
        body += ctl() + "--port \"$P" + n + "\" read >r" + n + " 2>&1\n";
    }
    ASSERT_EQ(runWithSimulators(8, body), 0);
    for (int i = 1; i <= 8; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_EQ(file("rc" + n), "0\n") << file("w" + n);
        EXPECT_TRUE(contains(file("w" + n), "written and confirmed")) << file("w" + n);
        const std::string read = file("r" + n);
        EXPECT_TRUE(contains(read, "BENCH-" + n)) << read;
        EXPECT_TRUE(contains(read, "T min:               -" + n + "\n")) << read;
        EXPECT_TRUE(contains(read, "T max:               6" + n + "\n")) << read;
    }
}

TEST_F(ParallelRunsCli, ASecondRunOnAHeldPortIsRefusedAtOnceAndTheFirstConfirms) {
    // The second run starts once the first has read the transmitter and is about to write.
    const std::string body =
        ctl() + "--port \"$P1\" --yes write --tmin -7 >first 2>&1 &\nfirst=$!\n" +
        "for t in $(seq 300); do grep -q 'write new configuration' first && break; "
        "sleep 0.05; done\n" +
        ctl() + "--port \"$P1\" read >second 2>&1\necho $? >second.rc\n" +
        "wait $first\necho $? >first.rc\n" + ctl() + "--port \"$P1\" read >after 2>&1\n";
    ASSERT_EQ(runWithSimulators(1, body), 0);
    EXPECT_EQ(file("second.rc"), "1\n");
    EXPECT_TRUE(contains(file("second"), "is in use by another kv58ctl run")) << file("second");
    EXPECT_FALSE(contains(file("second"), "Configuration word")) << file("second");
    EXPECT_EQ(file("first.rc"), "0\n") << file("first");
    EXPECT_TRUE(contains(file("first"), "written and confirmed")) << file("first");
    EXPECT_TRUE(contains(file("after"), "T min:               -7\n")) << file("after");
}

TEST_F(ParallelRunsCli, TwoSimulatorsOnOneStateFile) {
    const std::string body =
        "\"$B/kv58-sim\" --pty --state s.state >second 2>&1\necho $? >second.rc\n";
    std::string script = "cd '" + dir.path() + "' || exit 90\nB='" + kBin + "'\n" +
                         "\"$B/kv58-sim\" --pty --state s.state >first 2>&1 &\nfirst=$!\n" +
                         "for t in $(seq 50); do [ -s first ] && break; sleep 0.1; done\n" + body +
                         "kill $first\n";
    writeFile(dir.file("two.sh"), script);
    ASSERT_EQ(std::system(("sh '" + dir.file("two.sh") + "'").c_str()), 0);
    EXPECT_EQ(file("second.rc"), "1\n");
    EXPECT_TRUE(contains(file("second"), "state file s.state is in use")) << file("second");
    EXPECT_EQ(file("first").rfind("/dev/", 0), 0u) << file("first");
}

}  // namespace
}  // namespace kv58::test
