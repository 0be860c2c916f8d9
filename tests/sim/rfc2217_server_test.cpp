// The simulated transmitter behind its network server, reached through our own rfc2217://
// port, in real time on loopback.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "bsl/bsl_link.h"
#include "bsl/link_result.h"
#include "bsl/segments.h"
#include "sim/rfc2217_server.h"
#include "sim/shipped_images.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kv58::sim {
namespace {

using std::chrono::steady_clock;

int64_t msSince(steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(steady_clock::now() - start)
        .count();
}

struct LineChange {
    bool dtr, rts;
    int64_t timeUs;
};

// The link's control-line changes with the time it made them.
class ControlTrace final : public TraceObserver {
public:
    void onTrace(const TraceEvent& e) override {
        if (e.kind == TraceEvent::Kind::Control)
            times.push_back(e.timeUs);
    }
    std::vector<int64_t> times;
};

class NetworkServing : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        device = SimDevice::create(DeviceOptions{}, error);
        ASSERT_TRUE(device) << error;
        server = Rfc2217Server::open(*device, ListenEndpoint{}, error);
        ASSERT_TRUE(server) << error;
        server->setControlObserver([this](bool dtr, bool rts, int64_t t) {
            std::lock_guard lock(mutex);
            changes.push_back({dtr, rts, t});
        });
        server->setLog([this](const std::string& line) {
            std::lock_guard lock(mutex);
            log.push_back(line);
        });
        thread = std::thread([this] { served = server->serve(realClock(), serveError); });
        kv58::test::writeFile(dir.file(kPasswordFileName), passwordFileText());
        link.setPortName(server->portName());
        link.setBaudRate(115200);
        link.setWaits(0, 0);
    }
    void TearDown() override {
        static_cast<void>(link.closePort());
        stopServing();
    }
    // After this the device may be inspected: the server thread has ended.
    void stopServing() {
        if (server)
            server->stop();
        if (thread.joinable()) {
            thread.join();
            EXPECT_TRUE(served) << serveError;
        }
    }
    std::vector<LineChange> lineChanges() {
        std::lock_guard lock(mutex);
        return changes;
    }
    std::vector<std::string> logLines() {
        std::lock_guard lock(mutex);
        return log;
    }
    std::vector<uint8_t> deviceBytes(uint16_t address, size_t length) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < length; ++i)
            out.push_back(device->memory().read(static_cast<uint16_t>(address + i)));
        return out;
    }

    kv58::test::TempDir dir;
    kv58::test::WorkingDirectory cwd{dir.path()};
    std::mutex mutex;  // before the server, whose observers use it until the server is gone
    std::vector<LineChange> changes;
    std::vector<std::string> log;
    std::unique_ptr<SimDevice> device;
    std::unique_ptr<Rfc2217Server> server;
    std::thread thread;
    bool served = false;
    std::string serveError;
    BslLink link{realClock()};
    PasswordFileList passwords{kPasswordFileName};
};

TEST_F(NetworkServing, FullReadAndSegmentWriteThroughTheNetworkPort) {
    std::array<uint8_t, 4096> program{};
    std::array<uint8_t, 128> segmentA{}, segmentB{};
    const auto start = steady_clock::now();
    ASSERT_TRUE(readProgram(link, passwords, program)) << link.message();
    ASSERT_TRUE(readSegmentA(link, passwords, segmentA)) << link.message();
    ASSERT_TRUE(readSegmentB(link, passwords, segmentB)) << link.message();
    std::printf("full read at 115200 baud through %s: %lld ms\n", server->portName().c_str(),
                static_cast<long long>(msSince(start)));

    std::array<uint8_t, 128> newA = segmentA;
    newA[0x10] ^= 0x5A;
    newA[0x7E] = 0xFF;
    kv58::test::RecordingUi ui;
    ASSERT_TRUE(writeSegmentA(link, passwords, newA, ui)) << link.message();
    std::array<uint8_t, 128> reread{};
    ASSERT_TRUE(readSegmentA(link, passwords, reread)) << link.message();
    EXPECT_EQ(reread, newA);

    stopServing();
    EXPECT_EQ(deviceBytes(0xF000, 4096), std::vector<uint8_t>(program.begin(), program.end()));
    EXPECT_EQ(deviceBytes(0x1000, 128), std::vector<uint8_t>(segmentB.begin(), segmentB.end()));
    EXPECT_EQ(deviceBytes(0x1080, 128), std::vector<uint8_t>(newA.begin(), newA.end()));
}

// The erased-device password and erased flash are nothing but 0xFF, the Telnet escape.
TEST_F(NetworkServing, ErasedDevicePasswordAndErasedFlashPassBothWays) {
    ASSERT_EQ(link.openPort(), LinkResult::Ok) << link.transport().lastError();
    link.transport().enterBootstrapLoader(true);
    for (int cycle = 0; cycle < 20; ++cycle)
        ASSERT_EQ(link.bslCommand(kCmdMassErase, 0xFFFE, 0xA506), LinkResult::Ok);
    ASSERT_EQ(link.transmitPassword(std::nullopt), LinkResult::Ok);
    Block reply{};
    ASSERT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1080, 128, nullptr, &reply), LinkResult::Ok);
    EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + 128),
              std::vector<uint8_t>(128, 0xFF));
}

TEST_F(NetworkServing, TheClientsLineSettingsSetTheWireTiming) {
    Block reply{};
    std::map<uint32_t, int64_t> readMs;
    for (const uint32_t baud : {19200u, 115200u}) {
        link.setBaudRate(baud);
        ASSERT_EQ(link.openPort(), LinkResult::Ok) << link.transport().lastError();
        link.transport().enterBootstrapLoader(true);
        ASSERT_EQ(link.transmitPassword(kPasswordFileName), LinkResult::Ok);
        const auto start = steady_clock::now();
        ASSERT_EQ(link.bslCommand(kCmdTxDataBlock, 0xF000, 128, nullptr, &reply), LinkResult::Ok);
        readMs[baud] = msSince(start);
        static_cast<void>(link.closePort());
    }
    // Sync, its answer, the 8-byte command frame and the 134-byte reply, 11 bits each: 86 ms
    // at 19200 baud, 14 ms at 115200.
    EXPECT_GE(readMs[19200], 144 * 11 * 1000 / 19200);
    EXPECT_LT(readMs[115200], readMs[19200] - 40);
    // Mark and space parity and 1.5 stop bits are taken; a rate the wire cannot carry is not.
    link.setParity("mark");
    link.setStopBits(15);
    EXPECT_EQ(link.openPort(), LinkResult::Ok) << link.transport().lastError();
    static_cast<void>(link.closePort());
    link.setParity("space");
    EXPECT_EQ(link.openPort(), LinkResult::Ok) << link.transport().lastError();
    static_cast<void>(link.closePort());
    std::string error;
    auto port = openSerialPort(server->portName(), realClock(), error);
    ASSERT_TRUE(port) << error;
    EXPECT_FALSE(port->configure(LineSettings{5'000'000}, error));
    EXPECT_EQ(error, server->portName() +
                         ": line settings 5000000,8E1 refused: the server set 9600 baud instead "
                         "of 5000000");
}

TEST_F(NetworkServing, DtrAndRtsDriveTheEntrySequenceInOrderAndInTime) {
    ControlTrace host;
    link.addTraceObserver(&host);
    ASSERT_EQ(link.openPort(), LinkResult::Ok) << link.transport().lastError();
    link.transport().enterBootstrapLoader(false);
    EXPECT_EQ(link.transport().synchronize(), LinkResult::NoSync) << "the program answered";
    link.transport().enterBootstrapLoader(true);
    EXPECT_EQ(link.transport().synchronize(), LinkResult::Ok);
    link.removeTraceObserver(&host);

    // Opening raises both lines; then the two sequences: 4 and 9 changes. The answered
    // synchronisation came after all of them, so the server has recorded them all.
    const std::vector<LineChange> seen = lineChanges();
    ASSERT_EQ(seen.size(), 1u + 4 + 9);
    ASSERT_EQ(host.times.size(), 13u);
    const std::vector<std::pair<bool, bool>> expected = {
        {true, true},  {true, true},   {true, true},  {false, true}, {true, true},
        {true, true},  {true, true},   {false, true}, {false, true}, {false, false},
        {false, true}, {false, false}, {true, false}, {true, true}};
    int64_t maxLagUs = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(std::make_pair(seen[i].dtr, seen[i].rts), expected[i]) << "change " << i;
        if (i > 0)
            maxLagUs = std::max(maxLagUs, seen[i].timeUs - host.times[i - 1]);
    }
    // The device's view of the first 250 ms wait of the invoke sequence: RTS on to DTR off.
    const int64_t heldUs = seen[7].timeUs - seen[6].timeUs;
    std::printf("control lines over loopback: largest lag %lld us; reset held %lld us\n",
                static_cast<long long>(maxLagUs), static_cast<long long>(heldUs));
    // Network lag shifts each change a little (the device may see 248 ms of the 250); a
    // client that held changes back until the next data would show no hold and a long lag.
    EXPECT_LT(maxLagUs, 100'000);
    EXPECT_GE(heldUs, 150'000);
}

// A client connecting by hand, negotiating and sending half a frame before it vanishes.
void vanishMidFrame(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const uint8_t bytes[] = {0xFF, 0xFB, 0x2C, 0xFF, 0xFA, 0x2C, 0x05, 0x09,
                             0xFF, 0xF0, 0x80, 0x14, 0x04, 0x04, 0x80};
    ASSERT_EQ(send(fd, bytes, sizeof bytes, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof bytes));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::close(fd);
}

TEST_F(NetworkServing, ServesOneClientAtATimeAndSurvivesOneThatVanishesMidFrame) {
    ASSERT_EQ(link.openPort(), LinkResult::Ok) << link.transport().lastError();
    std::string error;
    EXPECT_FALSE(openSerialPort(server->portName(), realClock(), error));
    EXPECT_EQ(error, server->portName() +
                         ": the server closed the connection while negotiating (another client "
                         "may be using the port)");
    static_cast<void>(link.closePort());

    vanishMidFrame(server->port());
    std::array<uint8_t, 128> segmentA{};
    EXPECT_TRUE(readSegmentA(link, passwords, segmentA)) << link.message();
    stopServing();
    EXPECT_EQ(deviceBytes(0x1080, 128), std::vector<uint8_t>(segmentA.begin(), segmentA.end()));
    const std::vector<std::string> lines = logLines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_NE(lines[1].find(" turned away: "), std::string::npos) << lines[1];
    EXPECT_EQ(device->mode(), SimDevice::Mode::Reset) << "the last client's leaving drops DTR";
}

// A raw client that connects and sends nothing.
int connectSilently(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads (and drops) what the server says until it hangs up; false when it is still there
// after `timeoutMs`.
bool serverHangsUp(int fd, int timeoutMs) {
    const auto start = steady_clock::now();
    for (;;) {
        const int64_t left = timeoutMs - msSince(start);
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) != 1)
            return false;
        char buffer[256];
        if (recv(fd, buffer, sizeof buffer, 0) <= 0)
            return true;
    }
}

TEST(NetworkIdleClient, OneThatSendsNothingIsDroppedAndTheNextIsServed) {
    kv58::test::TempDir dir;
    kv58::test::WorkingDirectory cwd{dir.path()};
    kv58::test::writeFile(dir.file(kPasswordFileName), passwordFileText());
    std::string error;
    std::unique_ptr<SimDevice> device = SimDevice::create(DeviceOptions{}, error);
    ASSERT_TRUE(device) << error;
    std::unique_ptr<Rfc2217Server> server = Rfc2217Server::open(*device, ListenEndpoint{}, error);
    ASSERT_TRUE(server) << error;
    server->setIdleTimeoutMs(300);
    std::mutex mutex;
    std::vector<std::string> log;
    server->setLog([&](const std::string& line) {
        std::lock_guard lock(mutex);
        log.push_back(line);
    });
    bool served = false;
    std::thread thread([&] { served = server->serve(realClock(), error); });

    const int silent = connectSilently(server->port());
    ASSERT_GE(silent, 0);
    const auto start = steady_clock::now();
    EXPECT_TRUE(serverHangsUp(silent, 3000));
    EXPECT_GE(msSince(start), 250);
    EXPECT_LT(msSince(start), 2000);
    ::close(silent);

    BslLink link{realClock()};
    link.setPortName(server->portName());
    link.setBaudRate(115200);
    std::array<uint8_t, 128> segmentA{};
    EXPECT_TRUE(readSegmentA(link, {kPasswordFileName}, segmentA)) << link.message();
    server->stop();
    thread.join();
    EXPECT_TRUE(served) << error;
    std::lock_guard lock(mutex);
    ASSERT_GE(log.size(), 2u);
    EXPECT_NE(log[1].find("sent nothing for 300 ms"), std::string::npos) << log[1];
}

TEST(Rfc2217ListenEndpoint, DefaultsToLoopbackAndRepeatsTheFormOnErrors) {
    ListenEndpoint e;
    std::string error;
    ASSERT_TRUE(parseListenEndpoint("4000", e, error)) << error;
    EXPECT_EQ(e.host, "127.0.0.1");
    EXPECT_EQ(e.port, 4000);
    ASSERT_TRUE(parseListenEndpoint("0.0.0.0:0", e, error)) << error;
    EXPECT_EQ(e.host, "0.0.0.0");
    EXPECT_EQ(e.port, 0);
    ASSERT_TRUE(parseListenEndpoint("[::1]:4001", e, error)) << error;
    EXPECT_EQ(e.host, "::1");
    EXPECT_FALSE(parseListenEndpoint("localhost:http", e, error));
    EXPECT_EQ(error,
              "\"localhost:http\": port \"http\" is not a number from 0 to 65535; expected PORT, "
              "HOST:PORT or [IPV6]:PORT");
    EXPECT_FALSE(parseListenEndpoint(":4000", e, error));
    EXPECT_EQ(error,
              "\":4000\" is not an address to listen on; expected PORT, HOST:PORT or "
              "[IPV6]:PORT");
}

}  // namespace
}  // namespace kv58::sim
#endif
