// The floor model: synthetic traces for each rule, and whole operations on the virtual clock,
// where the simulated transmitter's time line is exactly the wire's, so the floor must equal
// the time the operation took.
#include "wire_floor.h"

#include <gtest/gtest.h>

#include "bsl/segments.h"
#include "core/main_dialog.h"
#include "device/flows.h"
#include "headless_app.h"
#include "sim/sim_port.h"

namespace kv58::bench {
namespace {

TraceEvent sent(int64_t t, uint8_t byte) {
    TraceEvent e;
    e.kind = TraceEvent::Kind::Sent;
    e.timeUs = t;
    e.bytes = {byte};
    return e;
}

TraceEvent received(int64_t t, size_t n) {
    TraceEvent e;
    e.kind = TraceEvent::Kind::Received;
    e.timeUs = t;
    e.bytes.assign(n, 0x90);
    return e;
}

TraceEvent sleepEvent(int64_t t, int64_t us) {
    TraceEvent e;
    e.kind = TraceEvent::Kind::Sleep;
    e.timeUs = t;
    e.durationUs = us;
    return e;
}

TraceEvent wait(int64_t t, size_t count, size_t got, int64_t durationUs, int64_t timeoutUs) {
    TraceEvent e;
    e.kind = TraceEvent::Kind::Wait;
    e.timeUs = t;
    e.count = count;
    e.got = got;
    e.durationUs = durationUs;
    e.timeoutUs = timeoutUs;
    return e;
}

constexpr int64_t kChar = 1000;
const DeviceTiming kTiming{100, 15'000, 30'000, 75};

TEST(WireFloor, SyncIsTwoCharactersAndTheLatency) {
    FloorMeter m;
    m.onTrace(sent(0, 0x80));
    m.onTrace(wait(0, 1, 1, 5000, 100'000));
    m.onTrace(received(5000, 1));
    const Floor f = m.floor(kChar, kTiming);
    EXPECT_EQ(f.totalUs, 2 * kChar + 100);
    EXPECT_EQ(f.deviceUs, 100);
    EXPECT_EQ(f.bytesSent, 1u);
    EXPECT_EQ(f.bytesReceived, 1u);
}

TEST(WireFloor, PerByteDelayOverlapsTheCharacterTime) {
    // Three bytes each followed by a delay: shorter than a character, the line sets the pace;
    // longer, the delays do.
    for (int64_t delay : {400, 3000}) {
        FloorMeter m;
        int64_t t = 0;
        for (int i = 0; i < 3; ++i) {
            m.onTrace(sent(t, 0x80));
            m.onTrace(sleepEvent(t, delay));
            t += delay;
        }
        const Floor f = m.floor(kChar, kTiming);
        EXPECT_EQ(f.totalUs, std::max(3 * delay, std::max(2 * delay, 2 * kChar) + kChar)) << delay;
        EXPECT_EQ(f.pausesUs, 3 * delay);
    }
}

TEST(WireFloor, EraseAndProgrammingTimeWaitForTheReply) {
    // Erase segment 0x1080 (key A502), then a write of 4 bytes into flash at 0x1080 and one of
    // 4 bytes into RAM at 0x0220.
    const std::vector<std::vector<uint8_t>> frames = {
        {0x80, 0x16, 4, 4, 0x80, 0x10, 0x02, 0xA5, 0, 0},
        {0x80, 0x12, 8, 8, 0x80, 0x10, 4, 0, 1, 2, 3, 4, 0, 0},
        {0x80, 0x12, 8, 8, 0x20, 0x02, 4, 0, 1, 2, 3, 4, 0, 0}};
    EXPECT_EQ(deviceWorkUs(frames[0], kTiming), 100 + 15'000);
    EXPECT_EQ(deviceWorkUs(frames[1], kTiming), 100 + 4 * 75);
    EXPECT_EQ(deviceWorkUs(frames[2], kTiming), 100);
    EXPECT_EQ(deviceWorkUs({0x80, 0x18, 4, 4, 0, 0xFF, 0x06, 0xA5, 0, 0}, kTiming), 30'100);

    FloorMeter m;
    for (const auto& frame : frames) {
        for (uint8_t b : frame)
            m.onTrace(sent(0, b));
        m.onTrace(wait(0, 1, 1, 0, 1'200'000));
        m.onTrace(received(0, 1));
    }
    const Floor f = m.floor(kChar, kTiming);
    EXPECT_EQ(f.deviceUs, 15'100 + 400 + 100);
    EXPECT_EQ(f.totalUs, (10 + 14 + 14 + 3) * kChar + f.deviceUs);
}

TEST(WireFloor, ATimedOutWaitCountsItsTimeOut) {
    FloorMeter m;
    m.onTrace(sent(0, 0x80));
    m.onTrace(wait(0, 1, 0, 100'000, 100'000));
    EXPECT_EQ(m.floor(kChar, kTiming).totalUs, 100'000);
}

TEST(WireFloor, PausesOutsideTheLinkCountAndPausesInsideItsWaitsDoNot) {
    FloorMeter m;
    m.onTrace(sleepEvent(0, 250'000));
    m.onPause(0, 250'000);       // the clock's view of that sleep
    m.onPause(300'000, 40'000);  // inside the wait below
    m.onTrace(wait(290'000, 1, 1, 60'000, 1'200'000));
    m.onPause(400'000, 250'000);  // nothing traced: a pause of the flow itself
    EXPECT_EQ(m.floor(kChar, kTiming).totalUs, 500'000);
    m.clear();
    EXPECT_EQ(m.floor(kChar, kTiming).totalUs, 0);
}

// The application on the virtual clock: every operation's floor is its whole duration.
class VirtualFloor : public ::testing::Test {
protected:
    VirtualFloor() {
        sim::registerSimPortScheme();
        sim::forgetSimDevices();
    }
    ~VirtualFloor() override { sim::forgetSimDevices(); }

    int64_t floorOf(const std::function<void(MainDialog&)>& op, int64_t& elapsedUs, int baud,
                    int adapterHoldMs = 0) {
        const std::string ini =
            folder.writeSettings("sim:floor?latency=" + std::to_string(adapterHoldMs), baud);
        FloorMeter meter;
        MeteredClock clock(virtualClock, meter);
        MainDialog dialog(ui, view, clock);
        EXPECT_TRUE(dialog.OnInitDialogWithIni(ini));
        dialog.link().addTraceObserver(&meter);
        meter.clear();
        const int64_t start = clock.nowUs();
        op(dialog);
        elapsedUs = clock.nowUs() - start;
        LineSettings line;
        line.baud = static_cast<uint32_t>(baud);
        return meter.floor(characterTimeUs(line), simulatedDeviceTiming(adapterHoldMs * 1000))
            .totalUs;
    }

    headless::WorkFolder folder;
    headless::QuietUi ui;
    headless::QueueView view;
    VirtualClock virtualClock;
};

TEST_F(VirtualFloor, EveryOperationTakesExactlyItsFloor) {
    const std::vector<std::pair<const char*, std::function<void(MainDialog&)>>> ops = {
        {"read", [](MainDialog& d) { EXPECT_TRUE(d.flows().ReadDataKV58(false)); }},
        {"write",
         [](MainDialog& d) {
             d.model().list(1022).setSelected(0);
             d.onCommand(1043);
             EXPECT_EQ(d.flows().lastWriteOutcome(), WriteOutcome::Confirmed);
         }},
        {"segment",
         [this](MainDialog& d) {
             EXPECT_TRUE(writeSegmentA(d.link(), d.settings().passwordFileNames(),
                                       d.data().segmentARead, ui));
         }},
        {"restore", [](MainDialog& d) {
             d.data().segmentBSaved = d.data().segmentBRead;
             d.data().segmentAWrite = d.data().segmentARead;
             d.flows().RestoreTransmitter();
         }}};
    for (int baud : {9600, 115200}) {
        for (const auto& [name, op] : ops) {
            sim::forgetSimDevices();
            ui.clear();
            int64_t elapsed = 0;
            const int64_t floor = floorOf(op, elapsed, baud);
            EXPECT_TRUE(ui.reports().empty()) << name;
            EXPECT_GT(elapsed, 500'000) << name;
            EXPECT_EQ(floor, elapsed) << name << " at " << baud;
        }
    }
}

// The adapter's latency timer holds every reply; the floor follows the same rule (a reply of
// more than a packet passes in packets), so it still equals the duration exactly.
TEST_F(VirtualFloor, AReadBehindAnAdapterThatHoldsItsRepliesTakesExactlyItsFloor) {
    for (int baud : {9600, 115200}) {
        int64_t previous = 0;
        for (int holdMs : {0, 1, 16}) {
            sim::forgetSimDevices();
            int64_t elapsed = 0;
            const int64_t floor =
                floorOf([](MainDialog& d) { EXPECT_TRUE(d.flows().ReadDataKV58(false)); }, elapsed,
                        baud, holdMs);
            EXPECT_EQ(floor, elapsed) << holdMs << " ms at " << baud;
            EXPECT_GT(elapsed, previous) << holdMs << " ms at " << baud;
            previous = elapsed;
        }
    }
}

}  // namespace
}  // namespace kv58::bench
