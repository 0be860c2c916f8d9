// The frame transport of the bootstrap loader: one serial port, the two modem-control lines
// that start the loader, and single frames exchanged with it.
//
// Wire format (all lengths in bytes):
//
//   command frame, host to loader          reply data frame, loader to host
//     0     header 0x80                       0     header 0x80
//     1     command                           1     dummy, 0x00
//     2     L1 = payload length n             2     L1 = data length m (at most 250)
//     3     L2 = L1                           3     L2 = L1
//     4..   payload (n even: an odd           4..   data
//           payload gets 0xFF appended)
//     4+n   CKL                               4+m   CKL
//     5+n   CKH                               5+m   CKH
//
// Other replies are one byte, judged by the high nibble: 0x90 acknowledge, 0xA0 negative
// acknowledge, 0x70 a loader error header. The low nibble is a sequence number the loader
// does not use; it is ignored. The checksum is the inverted XOR of the frame taken as
// little-endian 16-bit words: CKL over the even offsets, CKH over the odd ones.
//
// Synchronisation: the host sends the single byte 0x80 and the loader answers exactly 0x90.
//
// One FrameTransport holds at most one open port. It blocks its caller until an exchange is
// over; every sleep and wait goes through the Clock it was given, and waits for input block
// on the port (never spin). Not thread-safe: one thread drives it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/clock.h"
#include "bsl/link_result.h"
#include "bsl/link_trace.h"
#include "serial/port_lock.h"
#include "serial/serial_port.h"

namespace kv58 {

// Largest data part of a reply frame, and of the link's block buffers.
constexpr size_t kBlockCapacity = 250;
// Largest payload of a command frame after padding to an even count.
constexpr size_t kMaxPayload = 254;

constexpr uint8_t kFrameHeader = 0x80;
constexpr uint8_t kSyncByte = 0x80;
constexpr uint8_t kAck = 0x90;
constexpr uint8_t kNakByte = 0xA0;

// The 16-bit checksum of the first `length` bytes (an odd last byte is not included).
uint16_t frameChecksum(const uint8_t* bytes, size_t length);

// The last reply frame as received.
struct ReplyFrame {
    uint8_t header = 0;
    uint8_t dummy = 0;
    // Data length; 0 unless a data frame was read in full (data and checksum bytes), so a
    // reply that broke off or announced too much reports no data.
    uint8_t length = 0;
    std::array<uint8_t, kBlockCapacity> data{};
    uint8_t ckl = 0;
    uint8_t ckh = 0;
};

class FrameTransport {
public:
    explicit FrameTransport(Clock& clock);
    ~FrameTransport();
    FrameTransport(const FrameTransport&) = delete;
    FrameTransport& operator=(const FrameTransport&) = delete;

    // Opens and configures the port: Ok, PortOpenFailed or PortConfigFailed. The
    // system passes a frame time-out of 300 ms and a prolong factor of 4 (1200 ms for the
    // first reply byte). An open port is closed first. lastError() tells why it failed.
    LinkResult openPort(const std::string& portName, int frameTimeoutMs, int prolongFactor,
                        const LineSettings& line);
    // Waits up to the frame time-out for the output to drain, purges, closes: 0 or 10. The
    // port counts as closed afterwards in either case; closing a closed port gives 0.
    LinkResult closePort();
    bool isOpen() const { return port_ != nullptr; }

    // A run's hold on its port (serial/port_lock.h). Every opening takes the hold first and
    // refuses a port another run holds (PortOpenFailed, "in use by another kv58ctl run").
    // While a run holds on (holdPortForRun, counted), the hold outlives the closing of the
    // port, so that no other run can use it between this run's operations; otherwise, and
    // once the last hold is let go, it ends with the closing.
    void holdPortForRun() { ++runHolds_; }
    void letGoOfPort();
    bool holdsPort() const { return runLock_ != nullptr; }

    // Modem-control lines. With inversion set, the line is driven at the opposite level
    // (adapters that invert DTR or RTS). Results are not checked.
    void setDtr(bool on);
    void setRts(bool on);
    void setInvertDtr(bool invert) { invertDtr_ = invert; }
    void setInvertRts(bool invert) { invertRts_ = invert; }

    // The reset sequence on DTR and RTS: with `invoke` it starts the ROM bootstrap loader,
    // without it restarts the device's own program. Takes 500 ms.
    void enterBootstrapLoader(bool invoke);

    // Up to three attempts of sending 0x80 and waiting 100 ms for exactly 0x90: 0 or 99.
    // After an attempt without any answer the next starts with 0x00, which no frame starts
    // with. Leaves transportStatus() unchanged.
    LinkResult synchronize();

    // Sends one command frame and waits for the single reply: 0, 1, 6, 7 or 9 (also stored in
    // transportStatus()). A payload longer than 254 bytes after padding is refused with 1
    // before anything is sent.
    LinkResult exchangeFrame(uint8_t command, std::span<const uint8_t> payload);

    // Number of bytes queued once `count` are there or `timeoutMs` has passed.
    size_t waitForBytes(size_t count, int64_t timeoutMs);

    LinkResult transportStatus() const { return transportStatus_; }
    const ReplyFrame& reply() const { return reply_; }

    // Per-byte transmit delay of frames (0 = none); set around programming passes.
    void setByteDelayMs(int ms) { byteDelayMs_ = ms < 0 ? 0 : ms; }
    int byteDelayMs() const { return byteDelayMs_; }

    // While on, a frame whose checksum points below 0x0A00 prints the data-change warning.
    void setDataChangeWarning(bool on) { dataChangeWarning_ = on; }
    bool dataChangeWarning() const { return dataChangeWarning_; }
    // Where the warning line goes; standard output unless replaced (tests capture it).
    void setWarningSink(std::function<void(const std::string&)> sink) {
        warningSink_ = std::move(sink);
    }

    // Why the last openPort failed (names the port and the reason); empty after success.
    const std::string& lastError() const { return lastError_; }

    void addTraceObserver(TraceObserver* observer);
    void removeTraceObserver(TraceObserver* observer);
    Clock& clock() { return clock_; }

private:
    void trace(TraceEvent event);
    void traceNote(const std::string& text);
    void sleepMs(int64_t ms, const char* why);
    void purge(bool input, bool output, bool abort);
    void driveLine(bool dtr, bool on);
    bool sendByte(uint8_t byte);
    size_t readBytes(uint8_t* destination, size_t count);
    void warnIfDataMayChange(uint16_t checksum);
    void sendFrame(const std::vector<uint8_t>& frame);
    LinkResult receiveReply();
    LinkResult receiveDataFrame();

    // Takes (or keeps) the hold on `portName`; false with lastError_ set.
    bool takeHold(const std::string& portName);
    void letGoUnlessHeld();

    Clock& clock_;
    std::unique_ptr<PortRunLock> runLock_;
    int runHolds_ = 0;
    std::unique_ptr<SerialPort> port_;
    LineSettings line_;
    int frameTimeoutMs_ = 300;
    int prolongFactor_ = 4;
    LinkResult transportStatus_ = LinkResult::Ok;
    int byteDelayMs_ = 0;
    bool dataChangeWarning_ = false;
    uint8_t sequenceNumber_ = 0;
    bool invertDtr_ = false;
    bool invertRts_ = false;
    ReplyFrame reply_;
    std::string lastError_;
    std::function<void(const std::string&)> warningSink_;
    std::vector<TraceObserver*> observers_;
};

// Holds the transport's port for the lifetime of the object: one device operation of the
// desktop program (a read, or a write with its reread and restore), which lets go after it.
class PortHoldScope {
public:
    explicit PortHoldScope(FrameTransport& transport) : transport_(transport) {
        transport_.holdPortForRun();
    }
    ~PortHoldScope() { transport_.letGoOfPort(); }
    PortHoldScope(const PortHoldScope&) = delete;
    PortHoldScope& operator=(const PortHoldScope&) = delete;

private:
    FrameTransport& transport_;
};

}  // namespace kv58
