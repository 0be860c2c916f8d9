// The programs as a user meets them outside their own folder: --version, a start from another
// working folder (a desktop launcher, a script), and mistakes on the command line.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "device/backup.h"
#include "sim/state_file.h"
#include "sim_settings_folder.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

namespace fs = std::filesystem;

TEST(Programs, VersionNamesProgramVersionAndCommit) {
    for (const char* program : {"kv58ctl", "kv58-sim", "kv58-bench", "kv58-faults", "KV58"}) {
        if (!fs::exists(std::string(KV58_BIN_DIR) + "/" + program))
            continue;  // KV58 only where the desktop program is built
        const ProgramRun r = runProgram(program, {"--version"});
        EXPECT_EQ(r.exitCode, 0) << program << ": " << r.err;
        EXPECT_EQ(r.out.rfind(std::string(program) + " 2.08.000 (build 46, commit ", 0), 0u)
            << r.out;
        EXPECT_EQ(r.out.back(), '\n');
    }
    // Anywhere on kv58ctl's line, as the other global options.
    EXPECT_EQ(kv58ctl({"--port", "sim:", "--version"}).out, kv58ctl({"--version"}).out);
}

TEST(Programs, DesktopProgramHelpNeedsNoDisplay) {
    if (!fs::exists(std::string(KV58_BIN_DIR) + "/KV58"))
        GTEST_SKIP() << "the desktop program is not built";
    const ProgramRun r = runProgram("KV58", {"--help"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Usage: KV58 [--help | --version]\n", 0), 0u) << r.out;
    EXPECT_TRUE(contains(r.out, "~/.config/kv58/KV58.ini")) << r.out;
}

// A settings folder with its data files, and kv58ctl started from another, empty folder.
class ElsewhereCli : public ::testing::Test {
protected:
    ElsewhereCli() {
        copyShippedDataFiles(settings.path());
        writeFile(ini, simSettingsText("MaxWriteCnt=1\r\n"));
    }
    ProgramRun ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--ini", ini});
        return kv58ctl(args, elsewhere.path());
    }
    // Only the segment write's work file TEMP.TXT is the working folder's own.
    bool elsewhereIsEmpty() const {
        for (const auto& entry : fs::directory_iterator(elsewhere.path())) {
            if (entry.path().filename() != "TEMP.TXT")
                return false;
        }
        return true;
    }

    TempDir settings;
    TempDir elsewhere;
    std::string ini = settings.file("KV58.ini");
};

TEST_F(ElsewhereCli, DataFilesStateAndBackupsAreFoundBesideTheSettings) {
    const ProgramRun write = ctl({"write", "--output", "4 - 20 mA", "--yes"});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    EXPECT_TRUE(fs::exists(settings.file("sim.state")));
    EXPECT_TRUE(fs::exists(settings.file("backup/K58-104711.dat")));
    EXPECT_TRUE(elsewhereIsEmpty()) << "nothing is left in the working folder";

    // The next run finds the same transmitter, and `dump` the same password file.
    const ProgramRun read = ctl({"read"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_TRUE(contains(read.out, "4 - 20 mA")) << read.out;
    EXPECT_EQ(ctl({"dump", "A"}).exitCode, 0);
    EXPECT_TRUE(elsewhereIsEmpty());
}

// The way back of a damaged transmitter is the backup beside the settings file, where the
// writes from this folder put it.
TEST_F(ElsewhereCli, TheWayBackIsFoundBesideTheSettings) {
    ASSERT_EQ(ctl({"write", "--output", "4 - 20 mA", "--yes"}).exitCode, 0);
    sim::Msp430Memory memory;
    std::string error;
    ASSERT_EQ(sim::loadStateFile(settings.file("sim.state"), memory, error), sim::StateLoad::Loaded)
        << error;
    memory.eraseSegment(0x1080);
    ASSERT_TRUE(sim::saveStateFile(settings.file("sim.state"), memory, error)) << error;
    const ProgramRun read = ctl({"read"});
    EXPECT_EQ(read.exitCode, 3) << read.err;
    EXPECT_TRUE(contains(read.err, "backup restore " + settings.file("backup/K58-104711.dat") +
                                       " --entry 1 --match-segment-b --yes"))
        << read.err;
}

TEST_F(ElsewhereCli, FilesInTheWorkingFolderComeFirst) {
    // A transmitter of its own and a backup folder in the working folder are used instead.
    const ProgramRun made =
        ctl({"--port", "sim:?serial=K58-2&state=" + elsewhere.file("sim.state"), "read"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    fs::create_directory(elsewhere.file("backup"));
    ASSERT_EQ(ctl({"write", "--output", "0 - 5 V", "--yes"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(elsewhere.file("backup/K58-2.dat")));
    EXPECT_FALSE(fs::exists(settings.file("sim.state")));
    EXPECT_FALSE(fs::exists(settings.file("backup")));
}

TEST_F(ElsewhereCli, AMissingSettingsFileIsReportedAsSuch) {
    const ProgramRun r = kv58ctl({"--ini", settings.file("none.ini"), "read"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(contains(r.err, settings.file("none.ini") + ": the settings file does not exist"))
        << r.err;
    EXPECT_FALSE(contains(r.err, "names no port")) << r.err;
}

TEST(KvCtlLine, AMistypedOptionIsNamedNotTakenForTheCommand) {
    const ProgramRun r = kv58ctl({"--prot", "sim:", "read"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kv58ctl: unknown option '--prot' (kv58ctl --help lists them)\n");
}

TEST(KvCtlLine, RunOffNeverShowsRunOn) {
    TempDir dir;
    const ProgramRun r = kv58ctl({"--port", "sim:", "run", "off"}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "kv58ctl: RUN off\n");
    const ProgramRun bad = kv58ctl({"--port", dir.file("no-such-tty"), "run", "off"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(contains(bad.err, "cannot open port " + dir.file("no-such-tty") + ": ")) << bad.err;
}

TEST(KvCtlLine, ControlCharactersOfABackupAreShownNotSent) {
    TempDir dir;
    SegmentData a{}, b{};
    a[0x18] = 0x13;  // KV58-FT, 0 - 10 V
    std::memcpy(&a[0x1E], "K\x1B]2;x\x07\x9B", 8);
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 0, t.tm_mday = 2;
    writeFile(dir.file("b.dat"), formatBackupEntry(t, a, b));
    const ProgramRun r =
        kv58ctl({"--ini", dir.file("none.ini"), "backup", "list", "b.dat"}, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // A serial number of control characters is no transmitter's own: the entry is marked, and
    // nothing of it reaches the terminal.
    EXPECT_TRUE(contains(r.out, "Segment A implausible")) << r.out;
    EXPECT_FALSE(contains(r.out, "\x1B"));
}

}  // namespace
}  // namespace kv58::test
