// The network serial port against scripted servers that play each behaviour by hand.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <memory>
#include <thread>

#include "serial/rfc2217_peer.h"
#include "serial/serial_port.h"

namespace kv58::test {
namespace {

using std::chrono::steady_clock;

const LineSettings kOddLine{256000, 7, Parity::Mark, StopBits::OneAndHalf};

std::unique_ptr<SerialPort> open(const std::string& name, std::string& error,
                                 Clock& clock = realClock()) {
    return openSerialPort(name, clock, error);
}

int64_t threadCpuUs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1'000'000 + t.tv_nsec / 1000;
}

TEST(Rfc2217Port, NegotiatesAndSendsEveryLineSettingWithItsWireCode) {
    ScriptedServer server;
    std::vector<Bytes> seen;
    server.run([&](RawPeer& peer) {
        if (peer.agree())
            seen = peer.answerConfiguration();
    });
    std::string error;
    auto port = open(server.name(), error);
    ASSERT_TRUE(port) << error;
    EXPECT_TRUE(port->configure(kOddLine, error)) << error;
    server.join();
    const std::vector<Bytes> expected = {
        {1, 0x00, 0x03, 0xE8, 0x00}, {2, 7}, {3, 4}, {4, 3}, {5, 1}};
    EXPECT_EQ(seen, expected);
}

TEST(Rfc2217Port, ASettingTheServerDoesNotApplyFailsTheConfiguration) {
    struct Case {
        uint8_t command;
        Bytes applied;
        const char* text;
    };
    const Case cases[] = {
        {1, {0x00, 0x00, 0x25, 0x80}, "the server set 9600 baud instead of 256000"},
        {2, {8}, "the server set 8 data bits instead of 7"},
        {3, {5}, "the server set parity space instead of mark"},
        {4, {2}, "the server set 2 stop bits instead of 1.5"},
        {5, {3}, "the server set flow control on (it cannot be switched off)"},
    };
    for (const Case& c : cases) {
        ScriptedServer server;
        server.run([&](RawPeer& peer) {
            if (!peer.agree())
                return;
            peer.answerConfiguration([&](Bytes& command) {
                if (command[0] == c.command) {
                    command.resize(1);
                    command.insert(command.end(), c.applied.begin(), c.applied.end());
                }
            });
            peer.receive(1, 500);  // until the client gives up and closes
        });
        std::string error;
        auto port = open(server.name(), error);
        ASSERT_TRUE(port) << error;
        EXPECT_FALSE(port->configure(kOddLine, error));
        EXPECT_EQ(error, server.name() + ": line settings 256000,7M1.5 refused: " + c.text);
        port->close();
    }
}

TEST(Rfc2217Port, AnUnansweredFlowControlTimesOutUnlessTheNameSaysToIgnoreIt) {
    for (const bool ignore : {false, true}) {
        ScriptedServer server;
        server.run([](RawPeer& peer) {
            if (peer.agree())
                peer.answerConfiguration([](Bytes&) {}, /*answerControl=*/false);
            peer.receive(1, 1000);
        });
        std::string error;
        auto port =
            open(server.name(ignore ? "?timeout=0.2&ign_set_control" : "?timeout=0.2"), error);
        ASSERT_TRUE(port) << error;
        const auto start = steady_clock::now();
        EXPECT_EQ(port->configure(kOddLine, error), ignore) << error;
        if (!ignore) {
            EXPECT_GE(elapsedMs(start), 200);
            EXPECT_EQ(error, server.name() +
                                 ": no answer to SET-CONTROL within 200 ms (add "
                                 "?ign_set_control to the port name for servers that never "
                                 "answer it)");
        }
        port->close();
    }
}

TEST(Rfc2217Port, OpenFailsWithTheReasonWhenTheServerCannotServe) {
    std::string error;
    uint16_t closedPort = 0;
    {
        ScriptedServer gone;
        closedPort = gone.port();
    }
    const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(closedPort);
    EXPECT_FALSE(open(refused, error));
    EXPECT_EQ(error.rfind(refused + ": cannot connect: ", 0), 0u) << error;

    struct Case {
        std::function<void(RawPeer&)> script;
        std::string text;
    };
    const Case cases[] = {
        {[](RawPeer& p) {
             p.receive(9);
             p.send({0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFE, 0x2C});
             p.receive(1, 1000);
         },
         ": the server refuses COM-port control (not an RFC 2217 server?)"},
        {[](RawPeer& p) { p.receive(100, 1000); },
         ": no COM-port control negotiated within 200 ms (not an RFC 2217 server?)"},
        {[](RawPeer&) {},
         ": the server closed the connection while negotiating (another client may be using "
         "the port)"},
    };
    for (const Case& c : cases) {
        ScriptedServer server;
        server.run(c.script);
        EXPECT_FALSE(open(server.name("?timeout=0.2"), error));
        EXPECT_EQ(error, server.name() + c.text);
    }
}

TEST(Rfc2217Port, FFTravelsDoubledBothWaysAndTelnetCommandsNeverReachTheData) {
    ScriptedServer server;
    Bytes wire;
    server.run([&](RawPeer& peer) {
        if (!peer.agree())
            return;
        wire = peer.receive(5);
        peer.send({0xFF});  // the escape split across two segments
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        peer.send({0xFF, 0x41, 0xFF, 0xF1, 0xFF, 0xFA, 0x2C, 0x6B, 0x00, 0xFF, 0xF0, 0x42});
        peer.receive(1, 1000);
    });
    std::string error;
    auto port = open(server.name(), error);
    ASSERT_TRUE(port) << error;
    for (const uint8_t b : Bytes{0xFF, 0x00, 0xFF})
        EXPECT_TRUE(port->writeByte(b));
    EXPECT_EQ(port->waitForInput(3, 2000), 3u);
    Bytes got(4);
    got.resize(port->read(got.data(), got.size()));
    EXPECT_EQ(got, (Bytes{0xFF, 0x41, 0x42}));
    port->close();
    server.join();
    EXPECT_EQ(wire, (Bytes{0xFF, 0xFF, 0x00, 0xFF, 0xFF}));
}

TEST(Rfc2217Port, ControlLinesAndPurgesAreSentInOrderAndAPurgeDropsQueuedInput) {
    ScriptedServer server;
    std::vector<Bytes> commands;
    server.run([&](RawPeer& peer) {
        if (!peer.agree())
            return;
        peer.send({0x41, 0x42});
        for (int i = 0; i < 7; ++i)
            commands.push_back(peer.receiveCommand());
    });
    std::string error;
    auto port = open(server.name(), error);
    ASSERT_TRUE(port) << error;
    port->setDtr(false);
    port->setRts(true);
    port->setDtr(true);
    port->setRts(false);
    ASSERT_EQ(port->waitForInput(2, 2000), 2u);
    port->purge(true, false, false);
    EXPECT_EQ(port->inputQueued(), 0u);
    port->purge(false, true, false);
    port->purge(true, true, true);
    server.join();
    const std::vector<Bytes> expected = {{5, 9},  {5, 11}, {5, 8}, {5, 12},
                                         {12, 1}, {12, 2}, {12, 3}};
    EXPECT_EQ(commands, expected);
    EXPECT_EQ(port->outputQueued(), 0u);
}

TEST(Rfc2217Port, WaitingBlocksWithoutSpinningAndMovesAVirtualClock) {
    ScriptedServer server;
    server.run([](RawPeer& peer) {
        if (peer.agree())
            peer.receive(1, 2000);
    });
    std::string error;
    VirtualClock clock(1'000'000);
    auto port = open(server.name(), error, clock);
    ASSERT_TRUE(port) << error;
    const auto start = steady_clock::now();
    const int64_t cpuBefore = threadCpuUs();
    EXPECT_EQ(port->waitForInput(1, 300), 0u);
    EXPECT_GE(elapsedMs(start), 300);
    EXPECT_LT(threadCpuUs() - cpuBefore, 30'000) << "the wait used the processor";
    EXPECT_GE(clock.nowUs(), 1'300'000);
    port->close();
}

// A server passes a reply on byte by byte, as each reaches its end of the line: the wait
// sleeps through the bytes before the last and still ends when the last one is in.
TEST(Rfc2217Port, AReplyThatComesByteByByteEndsTheWaitWhenItsLastByteArrives) {
    ScriptedServer server;
    server.run([](RawPeer& peer) {
        if (!peer.agree())
            return;
        peer.answerConfiguration();
        for (int i = 0; i < 40; ++i) {
            peer.send({static_cast<uint8_t>(i)});
            std::this_thread::sleep_for(std::chrono::microseconds(1146));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        peer.send({0xEE});  // the last byte, late
        peer.receive(1, 2000);
    });
    std::string error;
    auto port = open(server.name(), error);
    ASSERT_TRUE(port) << error;
    ASSERT_TRUE(port->configure({9600, 8, Parity::Even, StopBits::One}, error)) << error;
    const auto start = steady_clock::now();
    EXPECT_EQ(port->waitForInput(41, 3000), 41u);
    const int64_t took = elapsedMs(start);
    EXPECT_GE(took, 300);
    EXPECT_LT(took, 800) << "the last byte was taken late";
    std::vector<uint8_t> bytes(41);
    ASSERT_EQ(port->read(bytes.data(), bytes.size()), 41u);
    EXPECT_EQ(bytes[39], 39);
    EXPECT_EQ(bytes[40], 0xEE);
    port->close();
}

TEST(Rfc2217Port, AServerThatLeavesEndsTheWaitAtOnceAndWritesFail) {
    ScriptedServer server;
    server.run([](RawPeer& peer) {
        if (peer.agree())
            peer.send({0x80, 0x00, 0x80});  // the start of a reply, then gone
    });
    std::string error;
    auto port = open(server.name(), error);
    ASSERT_TRUE(port) << error;
    const auto start = steady_clock::now();
    EXPECT_EQ(port->waitForInput(10, 5000), 3u);
    EXPECT_LT(elapsedMs(start), 1000);
    EXPECT_FALSE(port->writeByte(0x80));
    EXPECT_TRUE(port->close());
}

}  // namespace
}  // namespace kv58::test
