// The Win32 backend on connected ports: two ports wired to each other (a null-modem pair,
// or under Wine two pseudo-terminals joined by socat). scripts/cross-test provides them;
// elsewhere name them with KV58_TEST_PORT_PAIR=COM5,COM6. Without them these tests are
// skipped, unless KV58_TEST_REQUIRE_PORTS is set.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <thread>

#include "serial/serial_port.h"
#include "serial/win32_test_ports.h"

namespace kv58 {
namespace {

// Wine does not hold a device exclusively for a handle opened without sharing.
bool runningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int64_t microseconds(const FILETIME& t) {
    return ((static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10;
}

// Processor time of the calling thread: a driver (or Wine) may watch the line on a thread
// of its own, but a wait of ours that spins shows here.
int64_t cpuUs() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return microseconds(kernel) + microseconds(user);
}

// Reads what arrives on `port` within `ms` of the first byte's wait.
std::vector<uint8_t> drain(SerialPort& port, size_t expected, int64_t ms) {
    port.waitForInput(expected, ms);
    std::vector<uint8_t> out(64);
    out.resize(port.read(out.data(), out.size()));
    return out;
}

class Win32PairTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string pair = environment("KV58_TEST_PORT_PAIR");
        const size_t comma = pair.find(',');
        KV58_NEED_PORTS(comma != std::string::npos, "KV58_TEST_PORT_PAIR (two connected ports)");
        nameA = pair.substr(0, comma);
        nameB = pair.substr(comma + 1);
        a = openSerialPort(nameA, clock, error);
        ASSERT_NE(a, nullptr) << error;
        b = openSerialPort(nameB, clock, error);
        ASSERT_NE(b, nullptr) << error;
        a->setNoteSink([this](const std::string& n) { notes.push_back(n); });
        const LineSettings line{9600, 8, Parity::None, StopBits::One};
        ASSERT_TRUE(a->configure(line, error)) << error;
        ASSERT_TRUE(b->configure(line, error)) << error;
        a->purge(true, true, true);
        b->purge(true, true, true);
    }

    RealClock clock;
    std::string nameA, nameB, error;
    std::unique_ptr<SerialPort> a, b;
    std::vector<std::string> notes;
};

TEST_F(Win32PairTest, BytesBothWaysWithQueueCounts) {
    for (uint8_t byte :
         std::vector<uint8_t>{0x80, 0x00, 0xFF, 0x1A, 0x11})  // EOF and XON pass as plain data
        ASSERT_TRUE(a->writeByte(byte));
    EXPECT_EQ(b->waitForInput(5, 2000), 5u);
    EXPECT_EQ(b->inputQueued(), 5u);
    uint8_t buf[8] = {};
    EXPECT_EQ(b->read(buf, 2), 2u);
    EXPECT_EQ(buf[0], 0x80);
    EXPECT_EQ(buf[1], 0x00);
    EXPECT_EQ(b->read(buf, 8), 3u) << "only what is queued, without waiting for more";
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 3), (std::vector<uint8_t>{0xFF, 0x1A, 0x11}));
    EXPECT_EQ(b->read(buf, 8), 0u);
    EXPECT_EQ(b->inputQueued(), 0u);
    ASSERT_TRUE(b->writeByte(0x90));
    EXPECT_EQ(drain(*a, 1, 2000), std::vector<uint8_t>{0x90});
}

TEST_F(Win32PairTest, PurgeDiscardsQueuedInputOnly) {
    for (uint8_t byte : std::vector<uint8_t>{1, 2, 3})
        ASSERT_TRUE(a->writeByte(byte));
    ASSERT_EQ(b->waitForInput(3, 2000), 3u);
    b->purge(false, true, true);
    EXPECT_EQ(b->inputQueued(), 3u) << "an output purge keeps the input";
    b->purge(true, false, false);
    EXPECT_EQ(b->inputQueued(), 0u);
    ASSERT_TRUE(a->writeByte(4));
    EXPECT_EQ(drain(*b, 1, 2000), std::vector<uint8_t>{4}) << "the port still works";
}

TEST_F(Win32PairTest, WaitingTimesOutWithoutSpinning) {
    int64_t start = clock.nowUs();
    int64_t cpu = cpuUs();
    EXPECT_EQ(b->waitForInput(1, 300), 0u);
    EXPECT_GE(clock.nowUs() - start, 295'000);
    EXPECT_LT(clock.nowUs() - start, 800'000);
    EXPECT_LT(cpuUs() - cpu, 100'000) << "the wait must not keep the processor busy";

    ASSERT_TRUE(a->writeByte(0x80));  // one byte there, three awaited
    ASSERT_EQ(b->waitForInput(1, 2000), 1u);
    start = clock.nowUs();
    cpu = cpuUs();
    EXPECT_EQ(b->waitForInput(3, 300), 1u);
    EXPECT_GE(clock.nowUs() - start, 295'000);
    EXPECT_LT(cpuUs() - cpu, 100'000);
}

TEST_F(Win32PairTest, WaitEndsWhenTheBytesArrive) {
    std::thread answer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        a->writeByte(0x90);
        a->writeByte(0x91);
    });
    const int64_t start = clock.nowUs();
    EXPECT_EQ(b->waitForInput(2, 3000), 2u);
    const int64_t took = clock.nowUs() - start;
    answer.join();
    EXPECT_GE(took, 50'000);
    EXPECT_LT(took, 1'500'000);
}

TEST_F(Win32PairTest, PortIsHeldExclusivelyUntilClosed) {
    std::string second;
    if (runningUnderWine()) {
        RecordProperty("exclusive", "not checked: Wine shares devices opened without sharing");
    } else {
        EXPECT_EQ(openSerialPort(nameA, clock, second), nullptr);
        EXPECT_EQ(second, "serial port " + nameA + " is in use by another program");
    }
    EXPECT_TRUE(a->close());
    EXPECT_TRUE(a->close()) << "a second close is a no-op";
    EXPECT_FALSE(a->writeByte(1));
    EXPECT_EQ(a->inputQueued(), 0u);
    EXPECT_NE(openSerialPort(nameA, clock, second), nullptr) << second;
}

// Without parity: a pseudo-terminal under Wine takes none (its tcsetattr refuses it).
TEST_F(Win32PairTest, LineSettingsTakenOrRefusedWithTheReason) {
    for (uint32_t baud : {1200u, 14400u, 115200u, 256000u})
        EXPECT_TRUE(a->configure(LineSettings{baud, 8, Parity::None, StopBits::One}, error))
            << baud << ": " << error;
    EXPECT_FALSE(a->configure(LineSettings{9600, 9, Parity::None, StopBits::One}, error));
    EXPECT_EQ(error, nameA + ": 9 data bits cannot be set (5 to 8 can)");
    // One and a half stop bits go to the driver, which decides (UARTs take them with 5 data
    // bits only); a refusal names the settings.
    if (!a->configure(LineSettings{9600, 8, Parity::None, StopBits::OneAndHalf}, error)) {
        EXPECT_NE(error.find("9600,8N1.5 rejected"), std::string::npos) << error;
    }
    EXPECT_TRUE(a->configure(LineSettings{9600, 5, Parity::None, StopBits::OneAndHalf}, error))
        << error;
}

TEST_F(Win32PairTest, ControlLinesThatFailAreNotedOnce) {
    const bool dtr = a->setDtr(true);
    a->setDtr(false);
    const bool rts = a->setRts(true);
    a->setRts(false);
    const size_t expected = (dtr ? 0 : 1) + (rts ? 0 : 1);
    ASSERT_EQ(notes.size(), expected);
    if (!dtr) {
        EXPECT_NE(notes[0].find(nameA + ": DTR not applied ("), std::string::npos) << notes[0];
    }
    if (!rts) {
        EXPECT_NE(notes.back().find(nameA + ": RTS not applied ("), std::string::npos)
            << notes.back();
    }
}

// Nothing reads the other end: the line fills up until a byte cannot go out. The write must
// then fail within its limit instead of blocking the link for good.
TEST_F(Win32PairTest, WriteThatNeverGoesOutFailsInsteadOfHanging) {
    int64_t longestUs = 0;
    size_t sent = 0;
    bool refused = false;
    while (sent < 4'000'000 && !refused) {
        const int64_t start = clock.nowUs();
        refused = !a->writeByte(static_cast<uint8_t>(sent));
        longestUs = std::max(longestUs, clock.nowUs() - start);
        ++sent;
    }
    EXPECT_TRUE(refused) << sent << " bytes all sent";
    EXPECT_LT(longestUs, 3'000'000) << "one write blocked too long";
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back(), nameA + ": a byte was not sent within 1000 ms");
    // Drain what is still under way, so that the next test finds an empty line.
    a->purge(false, true, true);
    for (int quiet = 0; quiet < 3;) {
        b->purge(true, false, true);
        quiet = b->waitForInput(1, 100) == 0 ? quiet + 1 : 0;
    }
}

}  // namespace
}  // namespace kv58
