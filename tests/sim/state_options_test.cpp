// Options of sim: names, the device registry, and the state file.
#include <gtest/gtest.h>

#include <filesystem>

#include "sim/device_options.h"
#include "sim/option_values.h"
#include "sim/state_file.h"
#include "sim/transmitter_contents.h"
#include "sim_host.h"
#include "support/temp_dir.h"

namespace kv58::sim::test {
namespace {

using kv58::test::readFile;
using kv58::test::TempDir;
using kv58::test::writeFile;

std::string openError(const std::string& name) {
    VirtualClock clock;
    std::string error;
    EXPECT_EQ(openSimPort(name, clock, error), nullptr) << name;
    return error;
}

TEST(SimNames, UnknownOptionListsTheAcceptedOnes) {
    const std::string error = openError("sim:?colour=red");
    EXPECT_EQ(error.rfind("sim:?colour=red: unknown option 'colour' (accepted: serial, type,", 0),
              0u)
        << error;
    EXPECT_NE(error.find("loader"), std::string::npos);
    EXPECT_NE(error.find("fault"), std::string::npos);
}

TEST(SimNames, BadValuesNameTheExpectedForm) {
    EXPECT_EQ(openError("sim:?loader=1.1"),
              "sim:?loader=1.1: bad value '1.1' for loader (expected M.NN)");
    EXPECT_NE(openError("sim:?serial=ABCDEFGHIJKLMNOPQ").find("for serial"), std::string::npos);
    EXPECT_NE(openError("sim:?tmin=-41").find("for tmin"), std::string::npos);
    EXPECT_NE(openError("sim:?tmin=90").find("tmin 90 must be below tmax 80"), std::string::npos);
    EXPECT_NE(openError("sim:?line=9600,8X1").find("for line"), std::string::npos);
    EXPECT_NE(openError("sim:?serial").find("is not key=value"), std::string::npos);
    for (const char* badEscape : {"sim:?state=a%2", "sim:?state=a%g1", "sim:?state=%"})
        EXPECT_NE(openError(badEscape).find("is not key=value"), std::string::npos) << badEscape;
    EXPECT_NE(openError("sim:a/b").find("expected sim:[NAME]"), std::string::npos);
    EXPECT_EQ(openError("sim:?ftg=256"),
              "sim:?ftg=256: bad value '256' for ftg (expected 257..476)");
    EXPECT_NE(openError("sim:?ftg=477").find("for ftg"), std::string::npos);
    EXPECT_NE(openError("sim:?frame-gap=keep").find("(expected drop|wait)"), std::string::npos);
    EXPECT_NE(openError("sim:?write-check=yes").find("(expected ack|nak)"), std::string::npos);
}

TEST(SimNames, TheLoadersWaysAndItsFlashClock) {
    DeviceOptions o;
    std::string error;
    EXPECT_EQ(o.frameGap, FrameGap::Drop);
    EXPECT_EQ(o.writeCheck, WriteCheck::Ack);
    EXPECT_EQ(o.ftgKhz, 366u);
    ASSERT_TRUE(parseSimName("sim:?frame-gap=WAIT&write-check=nak&ftg=257", o, error)) << error;
    EXPECT_EQ(o.frameGap, FrameGap::Wait);
    EXPECT_EQ(o.writeCheck, WriteCheck::Nak);
    EXPECT_EQ(o.ftgKhz, 257u);
}

TEST(SimNames, OptionsShapeTheDevice) {
    DeviceOptions o;
    std::string error;
    ASSERT_TRUE(
        parseSimName("sim:x?type=kv58-f&unit=F&loader=2.02&line=19200,7O2&state=a%26b", o, error))
        << error;
    EXPECT_EQ(o.transmitter.type, kTypeKv58F);
    EXPECT_EQ(o.transmitter.display, kDisplayHumidity) << "a type without temperature";
    EXPECT_TRUE(o.transmitter.fahrenheit);
    EXPECT_EQ(o.loaderVersion, 0x0202);
    ASSERT_TRUE(o.line);
    EXPECT_EQ(o.line->baud, 19200u);
    EXPECT_EQ(o.line->dataBits, 7);
    EXPECT_EQ(o.line->parity, Parity::Odd);
    EXPECT_EQ(o.line->stopBits, StopBits::Two);
    EXPECT_EQ(o.statePath, "a&b");
}

TEST(SimNames, EachNameIsItsOwnTransmitter) {
    forgetSimDevices();
    std::string error;
    const auto a = deviceFor("sim:one", error);
    const auto b = deviceFor("sim:two?serial=K58-2", error);
    ASSERT_TRUE(a && b) << error;
    EXPECT_NE(a, b);
    EXPECT_EQ(deviceFor("sim:one", error), a);
    a->memory().write(0x1080, 0x00);
    EXPECT_NE(b->memory().read(0x1080), 0x00);
}

class StateFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("kv58.state");
};

TEST_F(StateFile, NewDeviceWritesItsFactoryContents) {
    SimHost host("sim:st?state=" + path);
    Msp430Memory loaded;
    std::string error;
    ASSERT_EQ(loadStateFile(path, loaded, error), StateLoad::Loaded) << error;
    for (uint32_t a = 0x1000; a <= 0xFFFF; ++a) {
        ASSERT_EQ(loaded.read(static_cast<uint16_t>(a)),
                  host.device->memory().read(static_cast<uint16_t>(a)));
    }
    EXPECT_EQ(readFile(path).substr(0, 7), "@1000\r\n");
}

TEST_F(StateFile, WhatOneRunWritesTheNextReads) {
    {
        SimHost host("sim:st?state=" + path);
        host.enterLoader();
        const auto p = firmwarePassword();
        ASSERT_TRUE(host.unlock(Bytes(p.begin(), p.end())));
        ASSERT_EQ(host.command(0x16, 0x1080, 0xA502), Bytes{0x90});
        ASSERT_EQ(host.command(0x12, 0x1080, 4, {0xDE, 0xAD, 0xBE, 0xEF}), Bytes{0x90});
    }
    forgetSimDevices();  // a new process
    SimHost again("sim:st?state=" + path + "&serial=IGNORED");
    EXPECT_EQ(again.device->memory().read(0x1080), 0xDE);
    EXPECT_EQ(again.device->memory().read(0x1083), 0xEF);
    EXPECT_EQ(again.device->memory().read(0x1084), 0xFF);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST_F(StateFile, BrokenFilesAreRefusedWithFileAndLine) {
    writeFile(path, "@1000\r\n01 02 XY\r\n");
    EXPECT_EQ(openError("sim:st?state=" + path),
              "sim:st?state=" + path + ": state file '" + path + "': line 2: bad byte value 'XY'");
    writeFile(path, "@0200\r\n01\r\n");
    EXPECT_NE(openError("sim:st?state=" + path).find("address 0200 is not flash memory"),
              std::string::npos);
}

TEST_F(StateFile, UnwritableStateIsReported) {
    const std::string missingDir = dir.file("no/such/dir/kv58.state");
    EXPECT_NE(openError("sim:st?state=" + missingDir).find("cannot write"), std::string::npos);
}

TEST(OptionValues, LoaderVersionsAndLineSettings) {
    uint16_t v = 0;
    EXPECT_TRUE(parseLoaderVersion("1.10", v));
    EXPECT_EQ(v, 0x0110);
    EXPECT_EQ(formatLoaderVersion(0x0161), "1.61");
    EXPECT_FALSE(parseLoaderVersion("110", v));
    EXPECT_FALSE(parseLoaderVersion("1.1G", v));
    LineSettings line;
    EXPECT_TRUE(parseLineSettings("9600", line));
    EXPECT_EQ(line.parity, Parity::Even);
    EXPECT_TRUE(parseLineSettings("57600,8N1.5", line));
    EXPECT_EQ(line.stopBits, StopBits::OneAndHalf);
    EXPECT_FALSE(parseLineSettings("9600,9N1", line));
    EXPECT_FALSE(parseLineSettings("fast", line));
}

}  // namespace
}  // namespace kv58::sim::test
