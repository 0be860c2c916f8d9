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

    const ProgramRun write =
        ctl({"write", "--output", "4 - 20 mA", "--tmax", "500", "--accept-corrections", "--yes"});
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

TEST_F(DeviceCli, RangeTheCheckWouldCorrectIsRefusedBeforeAnythingIsWritten) {
    const std::string degC =
        "\xC2\xB0"
        "C";
    const ProgramRun close = ctl({"write", "--tmin", "5", "--tmax", "10", "--yes"});
    EXPECT_EQ(close.exitCode, 1);
    EXPECT_TRUE(contains(close.err, "T min 5 " + degC + " and T max 10 " + degC +
                                        " are not allowed (T min and T max within -40 \xE2\x80\xA6 "
                                        "120 " +
                                        degC + ", T max at least 20 " + degC + " above T min)"))
        << close.err;
    EXPECT_TRUE(contains(close.err, "would write 5 and 25")) << close.err;
    EXPECT_FALSE(contains(close.err, "write new configuration?")) << close.err;

    const ProgramRun low = ctl({"write", "--tmin", "-80", "--yes"});
    EXPECT_EQ(low.exitCode, 1);
    EXPECT_TRUE(contains(low.err, "T min -80 " + degC)) << low.err;
    EXPECT_TRUE(contains(low.err, "would write -40 and")) << low.err;

    const ProgramRun word = ctl({"write", "--tmin", "abc", "--yes"});
    EXPECT_EQ(word.exitCode, 1);
    EXPECT_TRUE(contains(word.err, "T min \"abc\" is not an integer (T min and T max within"))
        << word.err;
    EXPECT_FALSE(fileExists(dir.file("backup")));

    const ProgramRun read = ctl({"read", "--json"});
    EXPECT_TRUE(contains(read.out, "\"tmin\": -20, \"tmax\": 80")) << read.out;

    // The old behaviour on request: the corrected range is written, and the correction said.
    const ProgramRun corrected =
        ctl({"write", "--tmin", "5", "--tmax", "10", "--accept-corrections", "--yes"});
    ASSERT_EQ(corrected.exitCode, 0) << corrected.err;
    EXPECT_TRUE(contains(corrected.err, "Value invalid - will be corrected automatically!"));
    EXPECT_TRUE(contains(corrected.err, "T max 80 -> 25 " + degC)) << corrected.err;
    EXPECT_TRUE(contains(ctl({"read", "--json"}).out, "\"tmin\": 5, \"tmax\": 25"));
}

TEST_F(DeviceCli, WriteSaysWhatChangesAndLeavesAnUnchangedTransmitterAlone) {
    const ProgramRun first = ctl({"write", "--output", "4 - 20 mA", "--yes"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const size_t change = first.err.find("K58-104711: output 0 - 10 V -> 4 - 20 mA\n");
    ASSERT_NE(change, std::string::npos) << first.err;
    EXPECT_LT(change, first.err.find("write new configuration?")) << first.err;
    EXPECT_FALSE(contains(first.err, "T min")) << first.err;
    const std::string backup = readFile(dir.file("backup/K58-104711.dat"));

    const ProgramRun again = ctl({"--json", "write", "--output", "4 - 20 mA", "--yes"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(contains(again.err,
                         "K58-104711 already holds this configuration; nothing was "
                         "written"))
        << again.err;
    EXPECT_FALSE(contains(again.err, "write new configuration?")) << again.err;
    EXPECT_TRUE(contains(again.out, "\"written\": false")) << again.out;
    EXPECT_EQ(readFile(dir.file("backup/K58-104711.dat")), backup);  // not even backed up

    const ProgramRun forced = ctl({"write", "--output", "4 - 20 mA", "--force", "--yes"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_TRUE(contains(forced.err, "written and confirmed")) << forced.err;
    EXPECT_GT(readFile(dir.file("backup/K58-104711.dat")).size(), backup.size());
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
    // The dialog's message, then the synchronisation message as probe prints it, once.
    EXPECT_TRUE(contains(r.err,
                         "ERROR reading data!\nkv58ctl: warning: ERROR: Syncronization "
                         "failed!\n  Device with boot loader connected?\n"))
        << r.err;
    EXPECT_EQ(r.err.find("Syncronization"), r.err.rfind("Syncronization")) << r.err;
}

TEST_F(DeviceCli, FailedReadNamesThePortsReasonAndTheMissingPasswordFile) {
    // Port 1 on loopback: nothing listens there.
    const ProgramRun refused = ctl({"--port", "rfc2217://127.0.0.1:1", "read"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(contains(refused.err, "rfc2217://127.0.0.1:1: cannot connect")) << refused.err;

    EXPECT_EQ(refused.err.find("cannot connect"), refused.err.rfind("cannot connect"))
        << "the cause once: " << refused.err;

    std::filesystem::remove(dir.file("KV58-PW.TXT"));
    const ProgramRun noPassword = ctl({"read"});
    EXPECT_EQ(noPassword.exitCode, 1);
    EXPECT_TRUE(contains(noPassword.err, "The file KV58-PW.TXT was not found; looked in: " +
                                             std::filesystem::canonical(dir.path()).string() +
                                             ".\n"))
        << noPassword.err;
}

TEST_F(DeviceCli, FilesThatCannotBeWrittenAreNamedWithTheSystemsReason) {
    // The backup folder's name is taken by a file, which no user may write into.
    writeFile(dir.file("backup"), "");
    const ProgramRun r = ctl({"write", "--output", "4 - 20 mA", "--yes"});
    EXPECT_TRUE(contains(r.err,
                         "konnte nicht ge\xC3\xB6"
                         "ffnet/erstellt werden!\nkv58ctl: warning: "))
        << r.err;
    EXPECT_TRUE(contains(r.err, "(in the working folder " +
                                    std::filesystem::canonical(dir.path()).string() +
                                    ") cannot be written: Not a directory"))
        << r.err;
}

}  // namespace
}  // namespace kv58::test
