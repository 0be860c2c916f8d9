// The simulated transmitter on a pseudo-terminal, in real time.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

#include "bsl/bsl_link.h"
#include "sim/pty_server.h"
#include "sim/shipped_images.h"
#include "support/temp_dir.h"

namespace kv58::sim {
namespace {

class PtyServing : public ::testing::Test {
protected:
    void SetUp() override {
        DeviceOptions options;
        options.start = StartMode::Loader;
        options.quietResetUs = 400'000;
        options.line = LineSettings{};
        std::string error;
        device = SimDevice::create(options, error);
        ASSERT_TRUE(device) << error;
        server = PtyServer::open(*device, error);
        ASSERT_TRUE(server) << error;
        thread = std::thread([this] { served = server->serve(realClock(), serveError); });
    }
    void TearDown() override {
        if (server)
            server->stop();
        if (thread.joinable())
            thread.join();
        EXPECT_TRUE(served) << serveError;
    }

    std::unique_ptr<SimDevice> device;
    std::unique_ptr<PtyServer> server;
    std::thread thread;
    bool served = false;
    std::string serveError;
};

TEST_F(PtyServing, HandWrittenSynchronisationIsAnswered) {
    const int fd = ::open(server->slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    const int64_t start = realClock().nowUs();
    const uint8_t sync = 0x80;
    ASSERT_EQ(::write(fd, &sync, 1), 1);
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 1000), 1);
    uint8_t reply = 0;
    ASSERT_EQ(::read(fd, &reply, 1), 1);
    EXPECT_EQ(reply, 0x90);
    // Two characters at 9600 baud, 11 bits each, plus the processing time.
    EXPECT_GE(realClock().nowUs() - start, 2 * 1146 + 100);
    ::close(fd);
}

TEST_F(PtyServing, TheLinkReadsTheDeviceThroughThePseudoTerminal) {
    kv58::test::TempDir dir;
    kv58::test::writeFile(dir.file(kPasswordFileName), passwordFileText());
    BslLink link(realClock());
    link.setPortName(server->slavePath());
    ASSERT_EQ(link.openPort(), LinkResult::Ok) << link.transport().lastError();
    link.transport().enterBootstrapLoader(true);
    ASSERT_EQ(link.transmitPassword(dir.file(kPasswordFileName)), LinkResult::Ok);
    Block reply{};
    ASSERT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1080, 128, nullptr, &reply), LinkResult::Ok);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&reply[0x1E])), "K58-104711");
    EXPECT_EQ(link.closePort(), LinkResult::Ok);
}

}  // namespace
}  // namespace kv58::sim
#endif
