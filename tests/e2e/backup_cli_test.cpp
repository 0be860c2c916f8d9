// kv58ctl backup list and backup restore against the simulated transmitter, runs sharing the
// transmitter through its state file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "device/backup.h"
#include "sim/msp430_memory.h"
#include "sim/state_file.h"
#include "sim/transmitter_contents.h"
#include "sim_settings_folder.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

class BackupCli : public ::testing::Test {
protected:
    BackupCli() {
        copyShippedDataFiles(dir.path());
        writeFile(ini, simSettingsText("MaxWriteCnt=1\r\n"));
    }
    ProgramRun ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--ini", ini});
        return kv58ctl(args, dir.path());
    }
    // Three entries of a transmitter K58-999999 with the middle one damaged on line 33.
    std::string fileWithDamage() {
        SegmentData a{}, b{};
        a[0x18] = 0x13;  // KV58-FT, 0 - 10 V
        std::memcpy(&a[0x1E], "K58-999999", 10);
        std::tm t{};
        t.tm_year = 126, t.tm_mon = 0, t.tm_mday = 2, t.tm_hour = 3, t.tm_min = 4;
        std::string text = formatBackupEntry(t, a, b) + formatBackupEntry(t, a, b);
        size_t line33 = 0;
        for (int n = 1; n < 33; ++n)
            line33 = text.find('\n', line33) + 1;
        text.replace(line33, 2, "G1");
        return text + formatBackupEntry(t, a, b);
    }
    TempDir dir;
    std::string ini = dir.file("KV58.ini");
    const std::string backupFile = "backup/K58-104711.dat";
};

TEST_F(BackupCli, CutOffWriteIsUndoneByRestoringTheEntryBefore) {
    ASSERT_EQ(ctl({"write", "--output", "4 - 20 mA", "--yes"}).exitCode, 0);
    // The second write loses power half-way and has no attempt left: the transmitter is no
    // longer as it was, and the exit code says so.
    const ProgramRun cut = ctl({"--port", "sim:?state=sim.state&fault=power-loss:1", "write",
                                "--output", "0 - 5 V", "--yes"});
    ASSERT_EQ(cut.exitCode, 3) << cut.err;
    EXPECT_TRUE(contains(cut.err, "backup restore ./backup/K58-104711.dat --entry 2")) << cut.err;

    ProgramRun list = ctl({"backup", "list", backupFile});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out.rfind("  1  ", 0), 0u) << list.out;
    const std::string degC = "\u00B0C";  // UTF-8 on the terminal
    EXPECT_TRUE(contains(list.out, "type KV58-FT; output 4 - 20 mA; unit " + degC +
                                       "; T min -20; T max 80; display %RH / " + degC +
                                       "; relay No; serial K58-104711\n  2  "))
        << list.out;

    const ProgramRun restore = ctl({"backup", "restore", backupFile, "--entry", "1", "--yes"});
    ASSERT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_TRUE(contains(restore.err, "restored and confirmed")) << restore.err;
    // What the reread found, as kv58ctl read prints it.
    EXPECT_TRUE(contains(restore.out, "Output signal:       4 - 20 mA")) << restore.out;

    list = ctl({"--json", "backup", "list", backupFile});
    EXPECT_TRUE(contains(list.out, "{\"index\": 3, \"line\": 52, \"date\": ")) << list.out;
    EXPECT_TRUE(
        contains(list.out.substr(list.out.find("\"index\": 3")), "\"output\": \"0 - 5 V\""));
}

TEST_F(BackupCli, AnotherTransmitterIsRefusedWithTheWayOut) {
    writeFile(dir.file("other.dat"), fileWithDamage());
    const ProgramRun r = ctl({"--port", "sim:", "backup", "restore", "other.dat", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err,
                         "the transmitter has serial number K58-104711, the backup entry "
                         "K58-999999; --force-serial"))
        << r.err;
    EXPECT_FALSE(fileExists(dir.file("backup")));
}

TEST_F(BackupCli, DamagedEntryIsListedByLineAndNeverRestored) {
    writeFile(dir.file("other.dat"), fileWithDamage());
    ProgramRun r = ctl({"backup", "list", "other.dat"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(
        contains(r.out,
                 "  2  02.01.2026 03:04  damaged (entry from line 27): line 33: bad hex value "
                 "\"G1\"\n  3  02.01.2026 03:04  type KV58-FT"))
        << r.out;
    r = ctl({"--json", "backup", "list", "other.dat"});
    EXPECT_TRUE(contains(r.out,
                         "{\"index\": 2, \"line\": 27, \"damaged\": true, \"damageLine\": "
                         "33, \"error\": \"bad hex value \\\"G1\\\"\"}"))
        << r.out;
    // Refused before the transmitter is asked: a silent one would fail otherwise.
    r = ctl(
        {"--port", "sim:?fault=silent", "backup", "restore", "other.dat", "--entry", "2", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "the entry 2 is damaged (entry from line 27): line 33")) << r.err;
    EXPECT_FALSE(contains(r.err, "reading data")) << r.err;
    r = ctl({"backup", "restore", "missing.dat", "--yes"});
    EXPECT_TRUE(contains(r.err, "cannot open missing.dat")) << r.err;
}

// The simulated transmitter as it leaves the factory, with the segment at `erased` erased
// (as a write cut off after its erase leaves it), in the state file of the settings, and a
// backup file with one entry of its own information memory.
void prepareDamage(const TempDir& dir, uint16_t erased) {
    sim::Msp430Memory memory;
    sim::installTransmitter(memory, {});
    memory.eraseSegment(erased);
    std::string error;
    ASSERT_TRUE(sim::saveStateFile(dir.file("sim.state"), memory, error)) << error;
    SegmentData a, b;
    const sim::SegmentBytes factoryA = sim::buildSegmentA({}), factoryB = sim::buildSegmentB({});
    std::copy(factoryA.begin(), factoryA.end(), a.begin());
    std::copy(factoryB.begin(), factoryB.end(), b.begin());
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 0, t.tm_mday = 2, t.tm_hour = 3, t.tm_min = 4;
    std::filesystem::create_directory(dir.file("backup"));
    writeFile(dir.file("backup/K58-104711.dat"), formatBackupEntry(t, a, b));
}

// The words of the last line of `text` that starts with `start`, without `start` itself.
std::vector<std::string> commandAfter(const std::string& text, const std::string& start) {
    const size_t at = text.rfind(start);
    if (at == std::string::npos)
        return {};
    std::istringstream line(
        text.substr(at + start.size(), text.find('\n', at) - at - start.size()));
    std::vector<std::string> words;
    for (std::string w; line >> w;)
        words.push_back(w);
    return words;
}

// A write cut off after its erase (as a killed program leaves it): kv58ctl read printed an
// invented configuration and exited with 0.
TEST_F(BackupCli, ErasedSegmentAIsReportedByReadAndItsPrintedWayBackRepairsIt) {
    prepareDamage(dir, 0x1080);
    ProgramRun read = ctl({"read"});
    EXPECT_EQ(read.exitCode, 3) << read.err;
    EXPECT_EQ(read.out, "Segment A:           erased\nSegment B:           intact\n");
    const std::vector<std::string> wayBack = commandAfter(read.err, "  kv58ctl ");
    ASSERT_FALSE(wayBack.empty()) << read.err;
    EXPECT_TRUE(contains(read.err,
                         "backup restore ./backup/K58-104711.dat --entry 1 "
                         "--match-segment-b --yes"))
        << read.err;

    const ProgramRun write = ctl({"--json", "write", "--output", "0 - 10 V", "--yes"});
    EXPECT_EQ(write.exitCode, 3);
    EXPECT_TRUE(contains(write.err, "not written: Segment A of the transmitter is damaged"));
    EXPECT_TRUE(contains(write.out, "{\"ok\": false, \"error\": ")) << write.out;
    EXPECT_TRUE(contains(write.out, "\"outcome\": \"segment-a-erased\", \"wayBack\": \"kv58ctl"))
        << write.out;

    const ProgramRun repair = kv58ctl(wayBack, dir.path());
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    read = ctl({"--json", "read"});
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_TRUE(contains(read.out, "\"segmentA\": \"intact\", \"segmentB\": \"intact\"}"))
        << read.out;
}

TEST_F(BackupCli, ErasedSegmentBIsMarkedAndNeverRestored) {
    prepareDamage(dir, 0x1000);
    // The restore's undo entry records the erased Segment B.
    ASSERT_EQ(ctl({"backup", "restore", backupFile, "--yes"}).exitCode, 0);
    const ProgramRun list = ctl({"backup", "list", backupFile});
    EXPECT_TRUE(contains(list.out, "serial K58-104711; Segment B erased\n")) << list.out;
    const ProgramRun restore = ctl({"backup", "restore", backupFile, "--with-segment-b", "--yes"});
    EXPECT_EQ(restore.exitCode, 1);
    EXPECT_TRUE(contains(restore.err, "not restored: the entry's Segment B is erased"))
        << restore.err;
    EXPECT_EQ(ctl({"read"}).exitCode, 3) << "Segment B is still erased, and read says so";
}

}  // namespace
}  // namespace kv58::test
