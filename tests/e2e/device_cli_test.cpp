// kv58ctl read, write and run against the simulated transmitter, three separate runs sharing
// the transmitter through its state file, as the README's main job does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "sim_settings_folder.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

class DeviceCli : public ::testing::Test {
protected:
    DeviceCli() {
        copyShippedDataFiles(dir.path());
        writeFile(ini, simSettingsText());
    }
    ProgramRun ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--ini", ini});
        return kv58ctl(args, dir.path());
    }
    TempDir dir;
    std::string ini = dir.file("KV58.ini");
};

TEST_F(DeviceCli, WriteIsSeenByTheNextRunAndBackedUp) {
    const ProgramRun before = ctl({"read", "--json"});
    ASSERT_EQ(before.exitCode, 0) << before.err;
    EXPECT_TRUE(contains(before.out, "\"output\": \"0 - 10 V\"")) << before.out;
    EXPECT_TRUE(contains(before.out,
                         "\"unit\": \"\xC2\xB0"
                         "C\""));

    const ProgramRun write = ctl({"write", "--output", "4 - 20 mA", "--tmax", "500", "--yes"});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    EXPECT_TRUE(contains(write.err, "Value invalid - will be corrected automatically!"));
    EXPECT_TRUE(contains(write.err, "written and confirmed"));

    const ProgramRun after = ctl({"read"});
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_TRUE(contains(after.out, "4 - 20 mA")) << after.out;
    EXPECT_TRUE(contains(after.out, "T max:               120")) << after.out;

    const std::string backup = readFile(dir.file("backup/K58-104711.dat"));
    EXPECT_EQ(std::count(backup.begin(), backup.end(), '\n'), 25);
}

TEST_F(DeviceCli, ChoiceTheTypeDoesNotOfferIsRefusedWithTheOfferedOnes) {
    const ProgramRun r = ctl({"write", "--display", "4 - 20 mA", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err,
                         "offered: \"%RH / \xC2\xB0"
                         "C\", \"%RH\", \"\xC2\xB0"
                         "C\""))
        << r.err;
}

TEST_F(DeviceCli, RejectedProductCodeWritesNothing) {
    const ProgramRun r = ctl({"write", "--product-code", "FT-A1-9-T02", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "Code 12 (Ausg\xC3\xA4nge) [9]")) << r.err;
    EXPECT_TRUE(contains(r.err, "Invalid ProduktCode!"));
    EXPECT_FALSE(fileExists(dir.file("backup")));
}

TEST_F(DeviceCli, AcceptedProductCodeIsWrittenAsTheDialogWouldChooseIt) {
    // The order-code tables of the shipped settings file.
    const std::string shipped =
        readFile(std::string(KV58_SOURCE_DIR) + "/resources/shipped/KV58.ini");
    writeFile(ini, readFile(ini) + shipped.substr(shipped.find("[Output]")));
    const ProgramRun write = ctl({"write", "--product-code", "FT-A1-SW-6-T02-TH", "--yes"});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    const ProgramRun after = ctl({"read", "--json"});
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_TRUE(contains(after.out, "\"output\": \"4 - 20 mA\"")) << after.out;
    EXPECT_TRUE(contains(after.out, "\"tmin\": -20")) << after.out;
    EXPECT_TRUE(contains(after.out, "\"tmax\": 80")) << after.out;
}

TEST_F(DeviceCli, WithoutYesOnNoTerminalNothingIsWritten) {
    const ProgramRun r = ctl({"write", "--output", "0 - 5 V"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "not written")) << r.err;
    EXPECT_FALSE(fileExists(dir.file("backup")));
}

TEST_F(DeviceCli, UnreadableTransmitterExitsWithOne) {
    const ProgramRun r = ctl({"--port", "sim:?fault=silent", "read"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "ERROR reading data!")) << r.err;
}

TEST_F(DeviceCli, FailedReadNamesThePortsReasonAndTheMissingPasswordFile) {
    // Port 1 on loopback: nothing listens there.
    const ProgramRun refused = ctl({"--port", "rfc2217://127.0.0.1:1", "read"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(contains(refused.err, "rfc2217://127.0.0.1:1: cannot connect")) << refused.err;

    std::filesystem::remove(dir.file("KV58-PW.TXT"));
    const ProgramRun noPassword = ctl({"read"});
    EXPECT_EQ(noPassword.exitCode, 1);
    EXPECT_TRUE(contains(noPassword.err, "KV58-PW.TXT")) << noPassword.err;
}

}  // namespace
}  // namespace kv58::test
