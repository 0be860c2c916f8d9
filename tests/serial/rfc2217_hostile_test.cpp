// The network serial port against servers that do not play fair: one that streams data
// without pause, one whose sub-negotiation never ends. Each case must end within its time-out
// and with bounded memory.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "serial/rfc2217_peer.h"
#include "serial/serial_port.h"

namespace kv58::test {
namespace {

using std::chrono::steady_clock;

const LineSettings kLine{115200, 8, Parity::Even, StopBits::One};

// The most memory this process has held so far, in KiB.
long peakMemoryKib() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

std::unique_ptr<SerialPort> openNoted(const std::string& name, std::vector<std::string>& notes,
                                      std::string& error) {
    auto port = openSerialPort(name, realClock(), error);
    if (port)
        port->setNoteSink([&notes](const std::string& text) { notes.push_back(text); });
    return port;
}

bool anyContains(const std::vector<std::string>& notes, const std::string& part) {
    for (const std::string& n : notes) {
        if (n.find(part) != std::string::npos)
            return true;
    }
    return false;
}

TEST(Rfc2217Hostile, AServerThatStreamsNeitherFillsTheMemoryNorHoldsTheWaits) {
    ScriptedServer server;
    size_t streamed = 0;
    server.run([&](RawPeer& peer) {
        if (!peer.agree())
            return;
        peer.answerConfiguration();
        streamed = peer.stream(Bytes(16 * 1024, 0x55), 4000);
    });
    std::vector<std::string> notes;
    std::string error;
    const long memoryBefore = peakMemoryKib();
    auto port = openNoted(server.name("?timeout=0.5"), notes, error);
    ASSERT_TRUE(port) << error;
    ASSERT_TRUE(port->configure(kLine, error)) << error;

    // Waits end as soon as what they ask for is there, however much more streams in.
    auto start = steady_clock::now();
    EXPECT_GE(port->waitForInput(256, 1200), 256u);
    EXPECT_LT(elapsedMs(start), 1000);
    // Waiting for more than the queue ever holds ends at once with what it holds.
    start = steady_clock::now();
    for (int i = 0; i < 50; ++i) {
        EXPECT_LE(port->waitForInput(100'000, 300), 1024u);
        EXPECT_LE(port->inputQueued(), 1024u);
    }
    EXPECT_LT(elapsedMs(start), 3000);
    std::vector<uint8_t> buffer(4096);
    EXPECT_LE(port->read(buffer.data(), buffer.size()), 1024u);
    port->purge(true, false, false);
    EXPECT_LE(port->inputQueued(), 1024u);

    start = steady_clock::now();
    EXPECT_TRUE(port->close());
    EXPECT_LT(elapsedMs(start), 1500) << "the close keeps to its one second";
    server.join();
    EXPECT_GT(streamed, 4u * 1024 * 1024) << "the server did stream";
    EXPECT_LT(peakMemoryKib() - memoryBefore, 32 * 1024) << "memory grew with the stream";
    EXPECT_TRUE(anyContains(notes, "received data are dropped"));
    EXPECT_TRUE(anyContains(notes, "received bytes were dropped in all"));
}

TEST(Rfc2217Hostile, AStreamInsteadOfAnswersFailsTheConfigurationWithinItsTimeOut) {
    ScriptedServer server;
    server.run([](RawPeer& peer) {
        if (peer.agree())
            peer.stream(Bytes(16 * 1024, 0x00), 3000);
    });
    std::vector<std::string> notes;
    std::string error;
    auto port = openNoted(server.name("?timeout=0.3"), notes, error);
    ASSERT_TRUE(port) << error;
    const auto start = steady_clock::now();
    EXPECT_FALSE(port->configure(kLine, error));
    EXPECT_LT(elapsedMs(start), 1000);
    EXPECT_NE(error.find("no answer to SET-BAUDRATE within 300 ms"), std::string::npos) << error;
    port->close();
}

TEST(Rfc2217Hostile, AnEndlessSubnegotiationIsGivenUpAtOnce) {
    for (const bool duringOpen : {true, false}) {
        ScriptedServer server;
        server.run([duringOpen](RawPeer& peer) {
            if (duringOpen) {
                peer.receive(9);  // the client's requests, unanswered
            } else if (!peer.agree()) {
                return;
            }
            peer.send({0xFF, 0xFA, 0x2C});  // IAC SB COM-PORT-OPTION, and no IAC SE ever
            peer.stream(Bytes(1024, 0x41), 3000);
        });
        std::vector<std::string> notes;
        std::string error;
        const auto start = steady_clock::now();
        auto port = openNoted(server.name("?timeout=2"), notes, error);
        if (port) {
            EXPECT_FALSE(port->configure(kLine, error));
        }
        EXPECT_LT(elapsedMs(start), 1000) << (duringOpen ? "open" : "configure");
        EXPECT_NE(error.find("sub-negotiation of more than 4096 bytes"), std::string::npos)
            << error;
        if (port)
            port->close();
    }
}

}  // namespace
}  // namespace kv58::test
