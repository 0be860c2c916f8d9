// The POSIX backend on a pseudo-terminal: exclusive open, settings it cannot carry, blocking
// waits that leave the processor idle.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <thread>

#include "serial/port_list.h"
#include "serial/pty_master.h"
#include "serial/serial_port.h"

namespace kv58 {
namespace {

int64_t cpuUs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1'000'000LL + u.ru_utime.tv_usec +
           u.ru_stime.tv_usec;
}

class PosixPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(master.portName().empty());
        port = openSerialPort(master.portName(), clock, error);
        ASSERT_NE(port, nullptr) << error;
        port->setNoteSink([this](const std::string& n) { notes.push_back(n); });
    }

    RealClock clock;
    PtyMaster master;
    std::string error;
    std::unique_ptr<SerialPort> port;
    std::vector<std::string> notes;
};

TEST_F(PosixPortTest, ParityThatAPseudoTerminalCannotCarryIsNotedNotRefused) {
    LineSettings line;  // 9600,8E1
    EXPECT_TRUE(port->configure(line, error)) << error;
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("parity not applied"), std::string::npos) << notes[0];
    line.parity = Parity::None;
    notes.clear();
    EXPECT_TRUE(port->configure(line, error));
    EXPECT_TRUE(notes.empty());
    line.dataBits = 7;
    EXPECT_TRUE(port->configure(line, error)) << error;
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("7 data bits"), std::string::npos) << notes[0];
}

TEST_F(PosixPortTest, OneAndAHalfStopBitsAreReportedNotChanged) {
    LineSettings line;
    line.stopBits = StopBits::OneAndHalf;
    EXPECT_FALSE(port->configure(line, error));
    EXPECT_NE(error.find("1.5 stop bits"), std::string::npos) << error;
    line.stopBits = StopBits::One;
    line.dataBits = 9;
    EXPECT_FALSE(port->configure(line, error));
    EXPECT_NE(error.find("9 data bits"), std::string::npos) << error;
}

TEST_F(PosixPortTest, RatesOutsideTheTermiosTableAreSet) {
    LineSettings line;
    line.parity = Parity::None;
    for (uint32_t baud : {14400u, 56000u, 128000u, 256000u, 115200u}) {
        line.baud = baud;
        EXPECT_TRUE(port->configure(line, error)) << baud << ": " << error;
    }
}

TEST_F(PosixPortTest, ControlLinesFailAndAreNotedOnce) {
    EXPECT_FALSE(port->setDtr(true));
    EXPECT_FALSE(port->setDtr(false));
    EXPECT_FALSE(port->setRts(true));
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0].find("DTR not applied"), std::string::npos) << notes[0];
    EXPECT_NE(notes[1].find("RTS not applied"), std::string::npos) << notes[1];
}

TEST_F(PosixPortTest, SecondOpenFailsEvenForRoot) {
    std::string second;
    EXPECT_EQ(openSerialPort(master.portName(), clock, second), nullptr);
    EXPECT_NE(second.find("in use"), std::string::npos) << second;
    port->close();
    EXPECT_NE(openSerialPort(master.portName(), clock, second), nullptr) << second;
}

TEST_F(PosixPortTest, BytesBothWaysAndQueueCounts) {
    ASSERT_TRUE(port->configure(LineSettings{}, error));
    EXPECT_TRUE(port->writeByte(0x80));
    EXPECT_TRUE(port->writeByte(0x14));
    EXPECT_EQ(master.read(500), (std::vector<uint8_t>{0x80, 0x14}));
    master.write({0x90, 0x00, 0xFF});
    EXPECT_EQ(port->waitForInput(3, 1000), 3u);
    EXPECT_EQ(port->inputQueued(), 3u);
    uint8_t buf[8] = {};
    EXPECT_EQ(port->read(buf, 2), 2u);
    EXPECT_EQ(buf[0], 0x90);
    EXPECT_EQ(buf[1], 0x00);
    EXPECT_EQ(port->read(buf, 8), 1u);
    EXPECT_EQ(buf[0], 0xFF);
    EXPECT_EQ(port->read(buf, 8), 0u) << "reading never blocks";
}

TEST_F(PosixPortTest, PurgeDiscardsQueuedInput) {
    ASSERT_TRUE(port->configure(LineSettings{}, error));
    master.write({1, 2, 3});
    ASSERT_EQ(port->waitForInput(3, 1000), 3u);
    port->purge(true, false, true);
    EXPECT_EQ(port->inputQueued(), 0u);
}

TEST_F(PosixPortTest, WaitingBlocksWithoutSpinning) {
    ASSERT_TRUE(port->configure(LineSettings{}, error));
    int64_t start = clock.nowUs();
    int64_t cpu = cpuUs();
    EXPECT_EQ(port->waitForInput(1, 300), 0u);
    EXPECT_GE(clock.nowUs() - start, 300'000);
    EXPECT_LT(clock.nowUs() - start, 600'000);
    EXPECT_LT(cpuUs() - cpu, 60'000) << "the wait must not keep the processor busy";

    master.write({0x80});  // one byte there, three awaited: poll would return at once
    ASSERT_EQ(port->waitForInput(1, 1000), 1u);
    start = clock.nowUs();
    cpu = cpuUs();
    EXPECT_EQ(port->waitForInput(3, 300), 1u);
    EXPECT_GE(clock.nowUs() - start, 300'000);
    EXPECT_LT(cpuUs() - cpu, 60'000);
}

TEST_F(PosixPortTest, WaitEndsWhenTheBytesArrive) {
    ASSERT_TRUE(port->configure(LineSettings{}, error));
    std::thread answer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        master.write({0x90});
    });
    const int64_t start = clock.nowUs();
    EXPECT_EQ(port->waitForInput(1, 2000), 1u);
    answer.join();
    EXPECT_LT(clock.nowUs() - start, 1'000'000);
}

TEST(PosixPortNames, ClearErrorsForWhatIsNoPort) {
    RealClock clock;
    std::string error;
    EXPECT_EQ(openSerialPort("/dev/ttyNoSuchPort7", clock, error), nullptr);
    EXPECT_EQ(error, "no serial port /dev/ttyNoSuchPort7");
    EXPECT_EQ(openSerialPort("/dev/null", clock, error), nullptr);
    EXPECT_EQ(error, "/dev/null is not a serial port");
    EXPECT_EQ(openSerialPort("COM3", clock, error), nullptr);
    EXPECT_NE(error.find("\"COM3\" is a Windows port name"), std::string::npos) << error;
    EXPECT_EQ(openSerialPort("", clock, error), nullptr);
    EXPECT_NE(error.find("accepted forms"), std::string::npos) << error;
}

TEST(PortList, EnumerationAnswersWithSortedNamedPorts) {
    std::vector<SerialPortInfo> ports;
    std::string error;
    ASSERT_TRUE(listSerialPorts(ports, error)) << error;
    for (size_t i = 0; i < ports.size(); ++i) {
        EXPECT_FALSE(ports[i].name.empty());
        if (i > 0) {
            EXPECT_LT(ports[i - 1].name, ports[i].name);
        }
    }
}

}  // namespace
}  // namespace kv58
