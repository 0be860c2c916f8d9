// Runs side by side as a production bench makes them: kv58ctl processes started from one
// folder on several simulated transmitters (each a kv58-sim on its own pseudo-terminal), a
// second run on a port that one run holds, and two simulators on one state file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "base/json.h"
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
            script += "for t in $(seq 50); do [ -s sim" + n + " ] && break; sleep 0.1; done\nP" +
                      n + "=$(head -n1 sim" + n + ")\n";
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
        body += "( " + ctl() + "--port \"$P" + n + "\" --yes write --tmin -" + n + " --tmax 6" + n +
                " >w" + n + " 2>&1; echo $? >rc" + n + " ) &\nwrites=\"$writes $!\"\n";
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

// The same as one command: one run per port, a summary table, and the exit code of the worst.
TEST_F(ParallelRunsCli, OneCommandWritesEightTransmittersAndReportsEachPort) {
    std::string ports;
    for (int i = 1; i <= 8; ++i)
        ports += " --port \"$P" + std::to_string(i) + "\"";
    const std::string body = ctl() + ports + " --yes write --tmin -9 >table 2>progress\n" +
                             "echo $? >rc\n" + ctl() + "--json" + ports +
                             " read >reads.json 2>/dev/null\n";
    ASSERT_EQ(runWithSimulators(8, body), 0);
    EXPECT_EQ(file("rc"), "0\n") << file("progress");
    const std::string table = file("table");
    for (int i = 1; i <= 8; ++i) {
        EXPECT_TRUE(contains(table, "BENCH-" + std::to_string(i) + " ")) << table;
        EXPECT_TRUE(contains(file("progress"), "/8] /dev/")) << file("progress");
    }
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 9) << table;
    std::string error;
    const std::optional<JsonValue> reads = parseJson(file("reads.json"), &error);
    ASSERT_TRUE(reads) << error << file("reads.json");
    ASSERT_EQ(reads->items().size(), 8u);
    std::set<std::string> serials;
    for (const JsonValue& port : reads->items()) {
        EXPECT_TRUE(port.find("ok")->asBool());
        EXPECT_EQ(port.find("tmin")->asNumber(), -9);
        EXPECT_EQ(port.find("port")->asString().rfind("/dev/", 0), 0u);
        serials.insert(port.find("serial")->asString());
    }
    EXPECT_EQ(serials.size(), 8u) << "each port is read from its own transmitter";
}

// A port that fails (here: no adapter at all) neither stops nor changes the others' runs.
TEST_F(ParallelRunsCli, OnePortFailingLeavesTheOthersConfirmed) {
    const std::string body = ctl() + "--port \"$P1\" --port /dev/kv58-unplugged --port \"$P2\"" +
                             " --yes write --tmax 70 >table 2>progress\necho $? >rc\n";
    ASSERT_EQ(runWithSimulators(2, body), 0);
    EXPECT_EQ(file("rc"), "1\n");
    const std::string table = file("table");
    EXPECT_TRUE(contains(table, "/dev/kv58-unplugged")) << table;
    EXPECT_TRUE(contains(table, "no serial port /dev/kv58-unplugged")) << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4) << table;
    for (const char* serial : {"BENCH-1", "BENCH-2"}) {
        const size_t row = table.find(serial);
        ASSERT_NE(row, std::string::npos) << table;
        EXPECT_TRUE(contains(table.substr(row, table.find('\n', row) - row), "confirmed")) << table;
    }
}

TEST_F(ParallelRunsCli, AFailedPortsCauseIsOneRowAndItsObjectHasOneOk) {
    const std::vector<std::string> args{
        "--ini",  dir.file("KV58.ini"), "--port", "sim:?state=a.state",
        "--port", "sim:?fault=silent",  "read"};
    const ProgramRun text = kv58ctl(args, dir.path());
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 3) << text.out;
    EXPECT_TRUE(contains(text.out, "Syncronization failed! Device with boot loader connected?\n"))
        << text.out;

    std::vector<std::string> json = args;
    json.insert(json.begin(), "--json");
    const ProgramRun r = kv58ctl(json, dir.path());
    const std::optional<JsonValue> array = parseJson(r.out);
    ASSERT_TRUE(array && array->items().size() == 2) << r.out;
    const JsonValue& failed = array->items()[1];
    EXPECT_FALSE(failed.find("ok")->asBool());
    EXPECT_TRUE(contains(failed.find("error")->asString(), "ERROR reading data!"));
    size_t oks = 0;
    for (size_t at = r.out.find("\"ok\":"); at != std::string::npos;
         at = r.out.find("\"ok\":", at + 1))
        ++oks;
    EXPECT_EQ(oks, 2u) << "one \"ok\" a port: " << r.out;
}

TEST_F(ParallelRunsCli, PortsFileAndTheMistakesOfSeveralPorts) {
    const auto ctlHere = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--ini", dir.file("KV58.ini")});
        return kv58ctl(args, dir.path());
    };
    writeFile(dir.file("bench.ports"),
              "# bench 3\r\n\r\nsim:?serial=F-1\r\n   sim:?serial=F-2  \n#sim:?serial=F-3\n");
    ProgramRun r = ctlHere({"--json", "--ports", "bench.ports", "read"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::optional<JsonValue> reads = parseJson(r.out);
    ASSERT_TRUE(reads && reads->items().size() == 2) << r.out;
    EXPECT_EQ(reads->items()[0].find("serial")->asString(), "F-1");
    EXPECT_EQ(reads->items()[1].find("port")->asString(), "sim:?serial=F-2");

    r = ctlHere({"--ports", "no.ports", "read"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "the ports file no.ports does not exist")) << r.err;
    r = ctlHere({"--port", "sim:?serial=F-1", "--ports", "bench.ports", "read"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "port sim:?serial=F-1 is given twice")) << r.err;
    r = ctlHere({"--ports", "bench.ports", "write", "--tmin", "0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "give --yes")) << r.err;
    r = ctlHere({"--ports", "bench.ports", "probe"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "probe runs on one port")) << r.err;
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
