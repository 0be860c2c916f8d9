// The production log as benches use it: many kv58ctl processes appending to one log at once,
// kv58ctl log reading it back, and a log that cannot be written stopping the command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "device/production_log.h"
#include "settings/limits_key.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

class ProductionLogCli : public ::testing::Test {
protected:
    ProductionLogCli() {
        std::filesystem::copy_file(std::string(KV58_SOURCE_DIR) + "/resources/shipped/KV58-PW.TXT",
                                   dir.file("KV58-PW.TXT"));
        writeSettings("");
    }
    void writeSettings(const std::string& programExtra) {
        writeFile(ini, "[COM]\r\nPort=sim:\r\nBaud=115200\r\nParity=even\r\n[Program]\r\nKey01=" +
                           EncodeKey({-40, 120, 20, -40, 248, 36}) + "\r\n" + programExtra +
                           "[PWfile]\r\nPW01=KV58-PW.TXT\r\n");
    }
    ProgramRun ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--ini", ini});
        return kv58ctl(args, dir.path());
    }
    std::vector<LogRecord> records(std::vector<std::string>* damaged = nullptr) {
        std::vector<LogRecord> out;
        std::string error;
        EXPECT_TRUE(readProductionLog(
            log, {}, [&](const LogRecord& r, std::string_view) { out.push_back(r); },
            [&](long n, const std::string& fault) {
                if (damaged)
                    damaged->push_back(std::to_string(n) + ": " + fault);
            },
            error))
            << error;
        return out;
    }
    TempDir dir;
    std::string ini = dir.file("KV58.ini");
    std::string log = dir.file("production.log");
};

TEST_F(ProductionLogCli, EightProcessesAppendingAtOnceLeaveOneWholeLinePerOperation) {
    // Eight benches, each a shell running three operations on its own transmitter, all at once.
    std::string script = "cd '" + dir.path() + "' || exit 9\n";
    for (int i = 1; i <= 8; ++i) {
        const std::string ctl = std::string("'") + KV58_BIN_DIR + "/kv58ctl' --ini KV58.ini " +
                                "--log production.log --port 'sim:?serial=BENCH-" +
                                std::to_string(i) + "' ";
        script += "( " + ctl + "read && " + ctl + "dump A && " + ctl + "probe ) >out" +
                  std::to_string(i) + " 2>&1 &\npids=\"$pids $!\"\n";
    }
    script += "for pid in $pids; do wait $pid || exit 1; done\n";
    writeFile(dir.file("benches.sh"), script);
    ASSERT_EQ(std::system(("sh '" + dir.file("benches.sh") + "'").c_str()), 0)
        << readFile(dir.file("out1"));

    std::vector<std::string> damaged;
    const std::vector<LogRecord> lines = records(&damaged);
    EXPECT_TRUE(damaged.empty()) << damaged.front();
    ASSERT_EQ(lines.size(), 24u);
    std::map<std::string, std::multiset<std::string>> byPort;
    for (const LogRecord& r : lines) {
        byPort[r.port].insert(r.operation);
        EXPECT_EQ(r.exitCode, 0) << r.port << " " << r.operation << ": " << r.outcome;
        EXPECT_EQ(r.program.rfind("kv58ctl ", 0), 0u);
        if (r.operation != "probe") {
            EXPECT_EQ("sim:?serial=" + r.serial, r.port) << "each line names its own transmitter";
        }
    }
    ASSERT_EQ(byPort.size(), 8u);
    for (const auto& [port, operations] : byPort) {
        EXPECT_EQ(operations, (std::multiset<std::string>{"dump A", "probe", "read"})) << port;
    }
}

TEST_F(ProductionLogCli, LogPrintsFiltersAndExportsWhatWasLogged) {
    ASSERT_EQ(ctl({"--log", log, "--port", "sim:?serial=AB-1", "read"}).exitCode, 0);
    ASSERT_EQ(ctl({"--log", log, "--port", "sim:?serial=CD-2", "read"}).exitCode, 0);
    writeFile(log, readFile(log) + "{\"cut\n");

    const ProgramRun all = ctl({"log", log});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 2) << all.out;
    EXPECT_TRUE(
        contains(all.out, "  read         sim:?serial=AB-1  AB-1  - -> B013  read (exit 0)"))
        << all.out;
    EXPECT_TRUE(contains(all.err, "line 3 is not an operation of the log")) << all.err;

    const ProgramRun one = ctl({"log", log, "--serial", "CD-2", "--csv"});
    EXPECT_EQ(one.exitCode, 0);
    ASSERT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 2) << one.out;
    EXPECT_EQ(one.out.substr(0, 5), "time,");
    EXPECT_TRUE(
        contains(one.out, ",read,sim:?serial=CD-2,CD-2,KV58-FT,01.02,,,,,,,,,B013,0 - 10 V,"))
        << one.out;

    const ProgramRun json = ctl({"log", log, "--since", "2000-01-01", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out.substr(0, 4), "[\n  ");
    EXPECT_EQ(ctl({"log", log, "--since", "2999-01-01", "--json"}).out, "[]\n");
    EXPECT_EQ(ctl({"log", log, "--since", "soon"}).exitCode, 1);
    EXPECT_EQ(ctl({"log", dir.file("none.log")}).exitCode, 1);
}

TEST_F(ProductionLogCli, ALogThatCannotBeWrittenStopsTheCommandBeforeTheDevice) {
    const std::string state = dir.file("sim.state");
    for (const std::vector<std::string>& command : {std::vector<std::string>{"read"},
                                                    {"write", "--output", "4 - 20 mA", "--yes"},
                                                    {"dump", "A"},
                                                    {"probe"}}) {
        std::vector<std::string> args = {"--log", dir.path(), "--port", "sim:?state=" + state};
        args.insert(args.end(), command.begin(), command.end());
        const ProgramRun r = ctl(args);
        EXPECT_EQ(r.exitCode, 1) << command[0];
        EXPECT_TRUE(contains(r.err, "cannot write the production log " + dir.path() +
                                        ": Is a directory; no device operation was started"))
            << r.err;
        EXPECT_FALSE(fileExists(state)) << command[0] << ": the transmitter was reached";
    }
    // The settings file's LogFile does the same; --log takes its place.
    writeSettings("LogFile=" + dir.path() + "\r\n");
    EXPECT_EQ(ctl({"read"}).exitCode, 1);
    EXPECT_EQ(ctl({"--log", log, "read"}).exitCode, 0);
    EXPECT_EQ(records().size(), 1u);
}

}  // namespace
}  // namespace kv58::test
