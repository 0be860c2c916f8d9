// The frame transport's port: opening, closing, and the trace of everything on the wire.
#include <gtest/gtest.h>

#include "frame_transport_fixture.h"

namespace kv58::test {
namespace {

// --- Opening and closing ---

TEST_F(FrameTransportTest, OpenAppliesTheLineSettingsAndPurgesWithAbort) {
    static_cast<void>(transport.closePort());
    wire->purges.clear();
    LineSettings line;
    line.baud = 38400;
    line.parity = Parity::Odd;
    line.stopBits = StopBits::Two;
    ASSERT_EQ(transport.openPort("fake:1", 300, 4, line), LinkResult::Ok);
    EXPECT_EQ(describe(wire->configured), "38400,8O2");
    ASSERT_EQ(wire->purges.size(), 1u);
    EXPECT_EQ(wire->purges[0], "in+out!");
}

TEST_F(FrameTransportTest, OpenFailuresGiveTwoOrThreeAndLeaveNoPort) {
    static_cast<void>(transport.closePort());
    wire->failOpen = true;
    EXPECT_EQ(transport.openPort("fake:1", 300, 4, LineSettings{}), LinkResult::PortOpenFailed);
    EXPECT_FALSE(transport.isOpen());
    EXPECT_NE(transport.lastError().find("port busy"), std::string::npos);
    EXPECT_EQ(transport.transportStatus(), LinkResult::PortOpenFailed);

    wire->failOpen = false;
    wire->failConfigure = true;
    EXPECT_EQ(transport.openPort("fake:1", 300, 4, LineSettings{}), LinkResult::PortConfigFailed);
    EXPECT_FALSE(transport.isOpen());
    EXPECT_FALSE(wire->open) << "a port that refused its settings is closed again";
}

TEST_F(FrameTransportTest, UnknownSchemeNamesTheAcceptedForms) {
    static_cast<void>(transport.closePort());
    EXPECT_EQ(transport.openPort("xyz:abc", 300, 4, LineSettings{}), LinkResult::PortOpenFailed);
    EXPECT_NE(transport.lastError().find("unknown port scheme \"xyz:\""), std::string::npos);
    EXPECT_NE(transport.lastError().find("accepted forms: COM3 or /dev/ttyUSB0"),
              std::string::npos);
    EXPECT_NE(transport.lastError().find("fake:"), std::string::npos);
    EXPECT_EQ(transport.openPort("tcp://host:1", 300, 4, LineSettings{}),
              LinkResult::PortOpenFailed);
    EXPECT_NE(transport.lastError().find("\"tcp://\""), std::string::npos);
}

TEST_F(FrameTransportTest, CloseFailureGivesTenAndTheHandleIsGone) {
    wire->failClose = true;
    EXPECT_EQ(transport.closePort(), LinkResult::PortCloseFailed);
    EXPECT_FALSE(transport.isOpen());
    EXPECT_EQ(transport.closePort(), LinkResult::Ok);
    EXPECT_EQ(wire->closes, 1);
}

TEST_F(FrameTransportTest, CloseWaitsForTheOutputToDrainButAtMost300Ms) {
    wire->outputEmptyAtUs = clock.nowUs() + 120'000;
    int64_t start = clock.nowUs();
    EXPECT_EQ(transport.closePort(), LinkResult::Ok);
    EXPECT_GE(elapsedUs(start), 120'000);
    EXPECT_LE(elapsedUs(start), 125'000);

    ASSERT_EQ(transport.openPort("fake:1", 300, 4, LineSettings{}), LinkResult::Ok);
    wire->outputEmptyAtUs = clock.nowUs() + 10'000'000;
    start = clock.nowUs();
    EXPECT_EQ(transport.closePort(), LinkResult::Ok);
    EXPECT_EQ(elapsedUs(start), 300'000);
}

TEST_F(FrameTransportTest, ExchangeWithoutAnOpenPortSendsNothing) {
    static_cast<void>(transport.closePort());
    EXPECT_EQ(exchange(0x1A, {}), LinkResult::NoReply);
    EXPECT_EQ(transport.synchronize(), LinkResult::NoSync);
    EXPECT_TRUE(wire->written.empty());
}

// --- Trace ---

class Recorder final : public TraceObserver {
public:
    void onTrace(const TraceEvent& e) override { events.push_back(e); }
    std::vector<TraceEvent> events;
};

TEST_F(FrameTransportTest, TraceRecordsBytesWaitsAndSleepsWithTheirTimes) {
    Recorder rec;
    transport.addTraceObserver(&rec);
    transport.setByteDelayMs(1);
    wire->step(6, {0x90}, 5'000);
    const int64_t start = clock.nowUs();
    static_cast<void>(exchange(0x1A, {}));
    transport.removeTraceObserver(&rec);

    Bytes sent;
    int64_t slept = 0;
    const TraceEvent* wait = nullptr;
    const TraceEvent* received = nullptr;
    for (const TraceEvent& e : rec.events) {
        if (e.kind == TraceEvent::Kind::Sent)
            sent.insert(sent.end(), e.bytes.begin(), e.bytes.end());
        if (e.kind == TraceEvent::Kind::Sleep)
            slept += e.durationUs;
        if (e.kind == TraceEvent::Kind::Wait)
            wait = &e;
        if (e.kind == TraceEvent::Kind::Received)
            received = &e;
    }
    EXPECT_EQ(sent.size(), 6u);
    EXPECT_EQ(slept, 6'000);
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(wait->timeUs - start, 6'000);
    EXPECT_EQ(wait->timeoutUs, 1'200'000);
    // The reply arrives 5 ms after the last byte, which went out at 5 ms.
    EXPECT_EQ(wait->durationUs, 4'000);
    ASSERT_NE(received, nullptr);
    EXPECT_EQ(hex(received->bytes), "90");
    EXPECT_EQ(received->timeUs - start, 10'000);
}

TEST(TraceFormatter, GathersBytesOfOneDirectionAndStampsLines) {
    std::vector<std::string> lines;
    {
        TraceFormatter f([&](const std::string& l) { lines.push_back(l); });
        auto bytes = [](TraceEvent::Kind k, int64_t t, Bytes b) {
            TraceEvent e;
            e.kind = k;
            e.timeUs = t;
            e.bytes = std::move(b);
            return e;
        };
        f.onTrace(bytes(TraceEvent::Kind::Sent, 1'000'000, {0x80}));
        f.onTrace(bytes(TraceEvent::Kind::Sent, 1'000'100, {0x14}));
        f.onTrace(bytes(TraceEvent::Kind::Received, 1'012'345, {0x90}));
        TraceEvent note;
        note.kind = TraceEvent::Kind::Control;
        note.timeUs = 1'250'000;
        note.text = "DTR off";
        f.onTrace(note);
    }
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "     0.000 ms  >  80 14");
    EXPECT_EQ(lines[1], "    12.345 ms  <  90");
    EXPECT_EQ(lines[2], "   250.000 ms  |  DTR off");
}

}  // namespace
}  // namespace kv58::test
