// The frame transport against a scripted port on the virtual clock: exact bytes out,
// scripted bytes in, exact time-outs.
#include "bsl/frame_transport.h"

#include <gtest/gtest.h>

#include "bsl/link_result.h"
#include "fake_port.h"

namespace kv58::test {
namespace {

uint16_t checksumOf(const Bytes& b) {
    return frameChecksum(b.data(), b.size());
}

class FrameTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        useFakeWire(wire);
        transport.setWarningSink([this](const std::string& line) { warnings.push_back(line); });
        ASSERT_EQ(transport.openPort("fake:1", 300, 4, LineSettings{}), LinkResult::Ok);
        wire->written.clear();
        wire->writeTimesUs.clear();
        wire->purges.clear();
    }

    LinkResult exchange(uint8_t command, const Bytes& payload) {
        return transport.exchangeFrame(command, payload);
    }
    int64_t elapsedUs(int64_t since) const { return clock.nowUs() - since; }

    VirtualClock clock{1'000'000};
    std::shared_ptr<FakeWire> wire = std::make_shared<FakeWire>();
    FrameTransport transport{clock};
    std::vector<std::string> warnings;
};

// --- Checksum ---

TEST(FrameChecksum, KnownFrames) {
    EXPECT_EQ(checksumOf(hex("80 14 04 04 FA 0F 02 00")), 0xE083);  // CKL 83, CKH E0
    EXPECT_EQ(checksumOf(hex("80 18 04 04 00 FF 06 A5")), 0xB97D);
    EXPECT_EQ(checksumOf(hex("80 16 04 04 80 10 02 A5")), 0x58F9);
    EXPECT_EQ(checksumOf({}), 0xFFFF);
}

TEST(FrameChecksum, OneChangedByteChangesExactlyTheChecksumByteOfItsParity) {
    Bytes frame = hex("80 10 24 24");
    for (int i = 0; i < 36; ++i)
        frame.push_back(static_cast<uint8_t>(i * 7 + 3));
    ASSERT_EQ(frame.size(), 40u);
    const uint16_t good = checksumOf(frame);
    for (size_t i = 0; i < frame.size(); ++i) {
        Bytes damaged = frame;
        damaged[i] ^= 0x5A;
        const uint16_t bad = checksumOf(damaged);
        const unsigned changedLow = (bad ^ good) & 0xFFu;
        const unsigned changedHigh = static_cast<unsigned>(bad ^ good) >> 8;
        EXPECT_EQ(i % 2 == 0 ? changedLow : changedHigh, 0x5A) << "byte " << i;
        EXPECT_EQ(i % 2 == 0 ? changedHigh : changedLow, 0) << "byte " << i;
    }
}

TEST(FrameChecksum, OddLastByteIsNotIncluded) {
    EXPECT_EQ(checksumOf(hex("80 14 04")), checksumOf(hex("80 14")));
}

// --- Command frames ---

TEST_F(FrameTransportTest, SendsHeaderLengthsPayloadAndChecksum) {
    wire->step(10, {0x90});
    EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::Ok);
    EXPECT_EQ(hex(wire->written), "80 14 04 04 FA 0F 02 00 83 E0");
    // The receive side is cleared (with abort) before the frame goes out.
    ASSERT_FALSE(wire->purges.empty());
    EXPECT_EQ(wire->purges.front(), "in!");
}

TEST_F(FrameTransportTest, OddPayloadGetsFFAppendedAndEvenLengths) {
    wire->step(10, {0x90});
    EXPECT_EQ(exchange(0x10, hex("01 02 03")), LinkResult::Ok);
    EXPECT_EQ(hex(wire->written), hex(withChecksum(hex("80 10 04 04 01 02 03 FF"))));
}

TEST_F(FrameTransportTest, PayloadTooLongForALengthByteIsRefusedUnsent) {
    EXPECT_EQ(exchange(0x12, Bytes(255, 0)), LinkResult::InvalidReply);
    EXPECT_TRUE(wire->written.empty());
    wire->step(260, {0x90});
    EXPECT_EQ(exchange(0x12, Bytes(254, 0)), LinkResult::Ok);
    EXPECT_EQ(wire->written.size(), 260u);
}

// --- Single-byte replies ---

TEST_F(FrameTransportTest, ReplyKindIsTheHighNibble) {
    const std::pair<uint8_t, LinkResult> cases[] = {
        {0x90, LinkResult::Ok},
        {0x91, LinkResult::Ok},
        {0x9F, LinkResult::Ok},
        {0xA0, LinkResult::Nak},
        {0xA5, LinkResult::Nak},
        {0x70, LinkResult::ReplyHeader70},
        {0x7E, LinkResult::ReplyHeader70},
        {0x00, LinkResult::InvalidReply},
        {0x60, LinkResult::InvalidReply},
        {0xB0, LinkResult::InvalidReply},
        {0xFF, LinkResult::InvalidReply},
        {0x10, LinkResult::InvalidReply},
    };
    for (const auto& [reply, code] : cases) {
        wire->step(6, {reply});
        EXPECT_EQ(exchange(0x1A, {}), code) << std::hex << int(reply);
        EXPECT_EQ(transport.transportStatus(), code);
        EXPECT_EQ(transport.reply().length, 0);
    }
}

TEST_F(FrameTransportTest, NoReplyGivesSixAfterExactly1200Ms) {
    const int64_t start = clock.nowUs();
    EXPECT_EQ(exchange(0x1A, hex("22 0C 00 00")), LinkResult::NoReply);
    EXPECT_EQ(elapsedUs(start), 1'200'000);
    EXPECT_EQ(transport.transportStatus(), LinkResult::NoReply);
    EXPECT_EQ(transport.reply().header, 0);
}

TEST_F(FrameTransportTest, ALateReplyWithinTheTimeOutCounts) {
    wire->step(6, {0x90}, 1'199'000);
    const int64_t start = clock.nowUs();
    EXPECT_EQ(exchange(0x1A, {}), LinkResult::Ok);
    EXPECT_EQ(elapsedUs(start), 1'199'000);
}

// --- Reply data frames ---

const Bytes kValidReply = hex("80 00 02 02 01 10 7C ED");

TEST_F(FrameTransportTest, ValidDataFrameKeepsItsData) {
    wire->step(10, kValidReply);
    EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::Ok);
    ASSERT_EQ(transport.reply().length, 2);
    EXPECT_EQ(transport.reply().data[0], 0x01);
    EXPECT_EQ(transport.reply().data[1], 0x10);
}

TEST_F(FrameTransportTest, EveryTruncatedPrefixOfAValidReplyIsInvalid) {
    for (size_t n = 1; n < kValidReply.size(); ++n) {
        wire->step(10, Bytes(kValidReply.begin(), kValidReply.begin() + n));
        const int64_t start = clock.nowUs();
        EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::InvalidReply) << n << " bytes";
        // Whichever part is missing, its wait of 300 ms runs out.
        EXPECT_EQ(elapsedUs(start), 300'000) << n << " bytes";
        EXPECT_EQ(transport.reply().length, 0) << n << " bytes";
    }
}

TEST_F(FrameTransportTest, AnyDamagedByteAfterTheHeaderMakesTheReplyInvalid) {
    for (size_t i = 1; i < kValidReply.size(); ++i) {
        for (unsigned flip : {0x01u, 0x80u}) {
            Bytes damaged = kValidReply;
            damaged[i] = static_cast<uint8_t>(damaged[i] ^ flip);
            wire->step(10, damaged);
            EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::InvalidReply)
                << "byte " << i << " flip " << int(flip);
            // A damaged announcement may leave bytes behind; the next frame purges them.
        }
    }
}

TEST_F(FrameTransportTest, SequenceNumberInTheReplyHeaderIsIgnored) {
    Bytes reply = kValidReply;
    reply[0] = 0x8B;
    wire->step(10, reply);
    EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::Ok);
}

TEST_F(FrameTransportTest, ChecksumFailureStillReportsTheReceivedData) {
    // The last checksum byte inverted (built anew: GCC 12 at -O3 mistakes an in-place change
    // of a copied vector's last byte for an overflow).
    Bytes reply(kValidReply.begin(), kValidReply.end() - 1);
    reply.push_back(static_cast<uint8_t>(kValidReply.back() ^ 0xFF));
    wire->step(10, reply);
    EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::InvalidReply);
    EXPECT_EQ(transport.reply().length, 2);
}

Bytes dataFrame(size_t count) {
    Bytes frame = {0x80, 0x00, static_cast<uint8_t>(count), static_cast<uint8_t>(count)};
    for (size_t i = 0; i < count; ++i)
        frame.push_back(static_cast<uint8_t>(i));
    return withChecksum(frame);
}

TEST_F(FrameTransportTest, DataFrameOf250BytesIsTheLargestAccepted) {
    wire->step(10, dataFrame(250));
    EXPECT_EQ(exchange(0x14, hex("00 F0 FA 00")), LinkResult::Ok);
    EXPECT_EQ(transport.reply().length, 250);
    EXPECT_EQ(transport.reply().data[249], 249);
}

TEST_F(FrameTransportTest, DataFrameAnnouncingMoreThan250BytesIsInvalidAndNotStored) {
    for (size_t count : {251u, 255u}) {
        wire->step(10, dataFrame(count));
        const int64_t start = clock.nowUs();
        EXPECT_EQ(exchange(0x14, hex("00 F0 FE 00")), LinkResult::InvalidReply);
        EXPECT_EQ(transport.reply().length, 0);
        EXPECT_EQ(elapsedUs(start), 0) << "refused at once, without waiting for the data";
    }
}

TEST_F(FrameTransportTest, ReplyLengthIsClearedBeforeEachReply) {
    wire->step(10, kValidReply);
    static_cast<void>(exchange(0x14, hex("FA 0F 02 00")));
    ASSERT_EQ(transport.reply().length, 2);
    wire->step(6, {0x90});
    static_cast<void>(exchange(0x1A, {}));
    EXPECT_EQ(transport.reply().length, 0);
}

// --- Sending ---

TEST_F(FrameTransportTest, NakAfterTheThirdByteStopsTheFrame) {
    wire->step(3, {0xA0});
    EXPECT_EQ(exchange(0x12, Bytes(244, 0x55)), LinkResult::Nak);
    EXPECT_EQ(hex(wire->written), "80 12 F4");
}

TEST_F(FrameTransportTest, PerByteDelayPacesEveryByte) {
    transport.setByteDelayMs(2);
    wire->step(250, {0x90});
    const int64_t start = clock.nowUs();
    EXPECT_EQ(exchange(0x12, Bytes(244, 0x55)), LinkResult::Ok);
    ASSERT_EQ(wire->written.size(), 250u);
    for (size_t i = 0; i < wire->writeTimesUs.size(); ++i) {
        EXPECT_EQ(wire->writeTimesUs[i] - start, static_cast<int64_t>(i) * 2000) << i;
    }
    EXPECT_EQ(elapsedUs(start), 500'000);
}

TEST_F(FrameTransportTest, WithoutDelayAFrameTakesNoVirtualTime) {
    wire->step(250, {0x90});
    const int64_t start = clock.nowUs();
    static_cast<void>(exchange(0x12, Bytes(244, 0x55)));
    EXPECT_EQ(elapsedUs(start), 0);
}

// --- Synchronisation ---

TEST_F(FrameTransportTest, SynchronizeAcceptsExactly0x90) {
    wire->step(1, {0x90});
    EXPECT_EQ(transport.synchronize(), LinkResult::Ok);
    EXPECT_EQ(hex(wire->written), "80");
}

TEST_F(FrameTransportTest, SynchronizeGivesUpAfterThreeSilentAttemptsOf100Ms) {
    const int64_t start = clock.nowUs();
    EXPECT_EQ(transport.synchronize(), LinkResult::NoSync);
    EXPECT_EQ(elapsedUs(start), 300'000);
    EXPECT_EQ(hex(wire->written), "80 80 80");
}

TEST_F(FrameTransportTest, SynchronizeCountsOnlyTheExactAcknowledge) {
    wire->step(1, {0x91});
    wire->step(1, {0xA0});
    wire->step(1, {0x80});
    const int64_t start = clock.nowUs();
    EXPECT_EQ(transport.synchronize(), LinkResult::NoSync);
    EXPECT_EQ(elapsedUs(start), 0) << "a wrong answer ends its attempt at once";
}

TEST_F(FrameTransportTest, SynchronizeSucceedsOnALaterAttempt) {
    wire->step(1, {});
    wire->step(1, {0x90}, 40'000);
    const int64_t start = clock.nowUs();
    EXPECT_EQ(transport.synchronize(), LinkResult::Ok);
    EXPECT_EQ(elapsedUs(start), 140'000);
}

TEST_F(FrameTransportTest, SynchronizeLeavesTheTransportStatus) {
    static_cast<void>(exchange(0x1A, {}));
    ASSERT_EQ(transport.transportStatus(), LinkResult::NoReply);
    wire->step(1, {0x90});
    static_cast<void>(transport.synchronize());
    EXPECT_EQ(transport.transportStatus(), LinkResult::NoReply);
}

// --- Control lines ---

std::string lineLog(const FakeWire& wire, int64_t origin) {
    std::string out;
    for (const auto& c : wire.lineChanges) {
        out +=
            c.line + (c.level ? "+" : "-") + "@" + std::to_string((c.timeUs - origin) / 1000) + " ";
    }
    return out;
}

TEST_F(FrameTransportTest, LoaderEntrySequence) {
    const int64_t start = clock.nowUs();
    transport.enterBootstrapLoader(true);
    EXPECT_EQ(lineLog(*wire, start),
              "DTR+@0 RTS+@0 DTR-@250 RTS+@250 RTS-@250 RTS+@250 RTS-@250 DTR+@250 RTS+@250 ");
    EXPECT_EQ(elapsedUs(start), 500'000);
    ASSERT_EQ(wire->purges.size(), 2u);
    EXPECT_EQ(wire->purges[0], "out");
    EXPECT_EQ(wire->purges[1], "in");
}

TEST_F(FrameTransportTest, ResetSequenceWithoutLoader) {
    const int64_t start = clock.nowUs();
    transport.enterBootstrapLoader(false);
    EXPECT_EQ(lineLog(*wire, start), "DTR+@0 RTS+@0 DTR-@250 DTR+@250 ");
    EXPECT_EQ(elapsedUs(start), 500'000);
}

TEST_F(FrameTransportTest, InvertedLinesAreDrivenAtTheOppositeLevel) {
    transport.setInvertDtr(true);
    const int64_t start = clock.nowUs();
    transport.enterBootstrapLoader(false);
    EXPECT_EQ(lineLog(*wire, start), "DTR-@0 RTS+@0 DTR+@250 DTR-@250 ");
    wire->lineChanges.clear();
    transport.setInvertDtr(false);
    transport.setInvertRts(true);
    transport.setRts(true);
    transport.setDtr(true);
    EXPECT_EQ(lineLog(*wire, clock.nowUs()), "RTS-@0 DTR+@0 ");
}

// --- Data-change warning ---

// Payload chosen so that the word XOR of the frame is 0x0100: the warning names 0x312.
const Bytes kLowAddressPayload = hex("84 17 00 00");

TEST_F(FrameTransportTest, DataChangeWarningNamesBothAddresses) {
    transport.setDataChangeWarning(true);
    wire->step(10, {0x90});
    EXPECT_EQ(exchange(0x12, kLowAddressPayload), LinkResult::Ok);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "WARNING: This command might change data at address 312 or 313!\n");
    EXPECT_EQ(wire->written.size(), 10u) << "the frame goes out all the same";
}

TEST_F(FrameTransportTest, NoWarningWhenOffOrWhenTheAddressIsHigh) {
    wire->step(10, {0x90});
    static_cast<void>(exchange(0x12, kLowAddressPayload));
    EXPECT_TRUE(warnings.empty());
    transport.setDataChangeWarning(true);
    wire->step(10, {0x90});
    static_cast<void>(exchange(0x14, hex("FA 0F 02 00")));  // points at 0x218E
    EXPECT_TRUE(warnings.empty());
}

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
