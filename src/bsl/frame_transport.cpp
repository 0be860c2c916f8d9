#include "bsl/frame_transport.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "bsl/link_result.h"

namespace kv58 {

namespace {

constexpr int64_t kSyncTimeoutMs = 100;
constexpr int kSyncAttempts = 3;
constexpr uint8_t kNotAFrameStart = 0x00;
constexpr int64_t kEntryWaitMs = 250;
constexpr const char* kEntryWaitText = "reset sequence";
// Frames whose checksum points below this address may change data on old loaders.
constexpr unsigned kWarningLimit = 0x0A00;

}  // namespace

uint16_t frameChecksum(const uint8_t* bytes, size_t length) {
    uint16_t sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2) {
        sum ^= static_cast<uint16_t>(bytes[i] | (bytes[i + 1] << 8));
    }
    return static_cast<uint16_t>(sum ^ 0xFFFF);
}

FrameTransport::FrameTransport(Clock& clock) : clock_(clock) {
    warningSink_ = [](const std::string& line) {
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    };
}

FrameTransport::~FrameTransport() {
    if (port_)
        static_cast<void>(closePort());  // nobody is left to tell
}

void FrameTransport::addTraceObserver(TraceObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void FrameTransport::removeTraceObserver(TraceObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void FrameTransport::trace(TraceEvent event) {
    for (TraceObserver* o : observers_)
        o->onTrace(event);
}

void FrameTransport::traceNote(const std::string& text) {
    if (observers_.empty())
        return;
    TraceEvent e;
    e.kind = TraceEvent::Kind::Note;
    e.timeUs = clock_.nowUs();
    e.text = text;
    trace(std::move(e));
}

void FrameTransport::sleepMs(int64_t ms, const char* why) {
    if (ms <= 0)
        return;
    TraceEvent e;
    e.kind = TraceEvent::Kind::Sleep;
    e.text = why;
    e.timeUs = clock_.nowUs();
    e.durationUs = ms * 1000;
    trace(std::move(e));
    clock_.sleepMs(ms);
}

void FrameTransport::purge(bool input, bool output, bool abort) {
    if (!port_)
        return;
    port_->purge(input, output, abort);
    TraceEvent e;
    e.kind = TraceEvent::Kind::Purge;
    e.timeUs = clock_.nowUs();
    e.text = std::string(input && output ? "input and output"
                         : input         ? "input"
                                         : "output") +
             (abort ? ", abort" : "");
    trace(std::move(e));
}

LinkResult FrameTransport::openPort(const std::string& portName, int frameTimeoutMs,
                                    int prolongFactor, const LineSettings& line) {
    if (port_)
        static_cast<void>(closePort());  // the new port's result is the one that counts
    sequenceNumber_ = 0;
    frameTimeoutMs_ = frameTimeoutMs;
    prolongFactor_ = prolongFactor;
    lastError_.clear();
    if (!takeHold(portName)) {
        traceNote("open failed: " + lastError_);
        return transportStatus_ = LinkResult::PortOpenFailed;
    }
    std::string error;
    std::unique_ptr<SerialPort> port = openSerialPort(portName, clock_, error);
    if (!port) {
        lastError_ = error.empty() ? "cannot open serial port " + portName : error;
        traceNote("open failed: " + lastError_);
        letGoUnlessHeld();
        return transportStatus_ = LinkResult::PortOpenFailed;
    }
    port->setNoteSink([this](const std::string& text) { traceNote(text); });
    if (!port->configure(line, error)) {
        port->close();
        lastError_ = error.empty() ? "line settings rejected by " + portName : error;
        traceNote("configuration failed: " + lastError_);
        letGoUnlessHeld();
        return transportStatus_ = LinkResult::PortConfigFailed;
    }
    port_ = std::move(port);
    line_ = line;
    traceNote("opened " + portName + " " + describe(line));
    purge(true, true, true);
    return transportStatus_ = LinkResult::Ok;
}

LinkResult FrameTransport::closePort() {
    if (!port_)
        return LinkResult::Ok;
    const int64_t startUs = clock_.nowUs();
    const int64_t limitUs = static_cast<int64_t>(frameTimeoutMs_) * 1000;
    for (size_t queued = port_->outputQueued(); queued > 0; queued = port_->outputQueued()) {
        const int64_t leftUs = limitUs - (clock_.nowUs() - startUs);
        if (leftUs <= 0) {
            traceNote(strprintf("%zu bytes still unsent at close", queued));
            break;
        }
        // The time the queued bytes take on the line: a blocking sleep, not a spin.
        const int64_t lineUs = static_cast<int64_t>(queued) * characterTimeUs(line_);
        clock_.sleepUs(std::min(leftUs, std::max<int64_t>(lineUs, 1000)));
    }
    purge(true, true, true);
    const bool closed = port_->close();
    port_.reset();
    traceNote(closed ? "closed" : "close failed");
    letGoUnlessHeld();
    return transportStatus_ = closed ? LinkResult::Ok : LinkResult::PortCloseFailed;
}

bool FrameTransport::takeHold(const std::string& portName) {
    if (runLock_ && runLock_->portName() == portName)
        return true;
    runLock_.reset();  // a run that moves to another port lets go of the last one
    std::string error;
    runLock_ = PortRunLock::acquire(portName, error);
    if (!runLock_)
        lastError_ = error;
    return runLock_ != nullptr;
}

void FrameTransport::letGoOfPort() {
    if (runHolds_ > 0)
        --runHolds_;
    if (!port_)
        letGoUnlessHeld();
}

void FrameTransport::letGoUnlessHeld() {
    if (runHolds_ == 0)
        runLock_.reset();
}

void FrameTransport::driveLine(bool dtr, bool on) {
    const bool invert = dtr ? invertDtr_ : invertRts_;
    const bool level = on != invert;
    if (port_) {
        if (dtr) {
            port_->setDtr(level);
        } else {
            port_->setRts(level);
        }
    }
    TraceEvent e;
    e.kind = TraceEvent::Kind::Control;
    e.timeUs = clock_.nowUs();
    e.text = std::string(dtr ? "DTR " : "RTS ") + (on ? "on" : "off") +
             (invert ? (level ? " (inverted: line high)" : " (inverted: line low)") : "");
    trace(std::move(e));
}

void FrameTransport::setDtr(bool on) {
    driveLine(true, on);
}
void FrameTransport::setRts(bool on) {
    driveLine(false, on);
}

void FrameTransport::enterBootstrapLoader(bool invoke) {
    setDtr(true);
    setRts(true);
    sleepMs(kEntryWaitMs, kEntryWaitText);
    setDtr(false);
    if (invoke) {
        // Two pulses on TEST while reset is held start the ROM loader.
        setRts(true);
        setRts(false);
        setRts(true);
        setRts(false);
        setDtr(true);
        setRts(true);
    } else {
        setDtr(true);
    }
    sleepMs(kEntryWaitMs, kEntryWaitText);
    purge(false, true, false);
    purge(true, false, false);
}

size_t FrameTransport::waitForBytes(size_t count, int64_t timeoutMs) {
    if (!port_)
        return 0;
    TraceEvent e;
    e.kind = TraceEvent::Kind::Wait;
    e.timeUs = clock_.nowUs();
    e.count = count;
    e.timeoutUs = timeoutMs * 1000;
    e.got = port_->waitForInput(count, timeoutMs);
    e.durationUs = clock_.nowUs() - e.timeUs;
    const size_t got = e.got;
    trace(std::move(e));
    return got;
}

bool FrameTransport::sendByte(uint8_t byte) {
    TraceEvent e;
    e.kind = TraceEvent::Kind::Sent;
    e.timeUs = clock_.nowUs();
    e.bytes = {byte};
    const bool ok = port_->writeByte(byte);
    trace(std::move(e));
    return ok;
}

size_t FrameTransport::readBytes(uint8_t* destination, size_t count) {
    TraceEvent e;
    e.kind = TraceEvent::Kind::Received;
    e.timeUs = clock_.nowUs();
    const size_t got = port_->read(destination, count);
    e.bytes.assign(destination, destination + got);
    trace(std::move(e));
    return got;
}

LinkResult FrameTransport::synchronize() {
    if (!port_)
        return LinkResult::NoSync;
    for (int attempt = 0; attempt < kSyncAttempts; ++attempt) {
        purge(true, false, false);
        sendByte(kSyncByte);
        if (waitForBytes(1, kSyncTimeoutMs) >= 1) {
            uint8_t answer = 0;
            if (readBytes(&answer, 1) == 1 && answer == kAck)
                return LinkResult::Ok;
        } else if (attempt + 1 < kSyncAttempts) {
            // No answer: the acknowledge may have been lost, and a loader without a time-out
            // between a frame's bytes now waits for a frame whose header is 0x80 as well; a
            // bare second 0x80 would become that header. A byte that cannot start a frame
            // sends it back to waiting for a synchronisation (an idle loader ignores it).
            sendByte(kNotAFrameStart);
        }
    }
    return LinkResult::NoSync;
}

void FrameTransport::warnIfDataMayChange(uint16_t checksum) {
    if (!dataChangeWarning_)
        return;
    const unsigned address = ((checksum ^ 0xFFFFu) + 0x0212u) & 0xFFFEu;
    if (address >= kWarningLimit)
        return;
    const std::string line = strprintf(
        "WARNING: This command might change data at address %x or %x!\n", address, address + 1);
    traceNote(line.substr(0, line.size() - 1));
    if (warningSink_)
        warningSink_(line);
}

void FrameTransport::sendFrame(const std::vector<uint8_t>& frame) {
    purge(true, false, true);
    for (size_t i = 0; i < frame.size(); ++i) {
        if (!sendByte(frame[i]))
            traceNote("write failed");
        if (byteDelayMs_ > 0)
            sleepMs(byteDelayMs_, kByteDelayText);
        // The loader may answer before the frame is complete (a NAK): stop sending then.
        if (i + 1 < frame.size() && port_->inputQueued() > 0) {
            traceNote(strprintf("reply during the frame: stopped after %zu of %zu bytes", i + 1,
                                frame.size()));
            break;
        }
    }
}

LinkResult FrameTransport::exchangeFrame(uint8_t command, std::span<const uint8_t> payload) {
    reply_.length = 0;
    const size_t n = payload.size() + (payload.size() & 1);
    if (n > kMaxPayload) {
        traceNote(strprintf("frame refused: payload of %zu bytes", payload.size()));
        return transportStatus_ = LinkResult::InvalidReply;
    }
    if (!port_)
        return transportStatus_ = LinkResult::NoReply;
    std::vector<uint8_t> frame;
    frame.reserve(n + 6);
    frame.push_back(static_cast<uint8_t>(kFrameHeader | sequenceNumber_));
    frame.push_back(command);
    frame.push_back(static_cast<uint8_t>(n));
    frame.push_back(static_cast<uint8_t>(n));
    frame.insert(frame.end(), payload.begin(), payload.end());
    if (n != payload.size())
        frame.push_back(0xFF);
    const uint16_t checksum = frameChecksum(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(checksum & 0xFF));
    frame.push_back(static_cast<uint8_t>(checksum >> 8));
    warnIfDataMayChange(checksum);
    sendFrame(frame);
    reply_.length = 0;
    return transportStatus_ = receiveReply();
}

LinkResult FrameTransport::receiveReply() {
    transportStatus_ = LinkResult::Ok;
    if (waitForBytes(1, static_cast<int64_t>(frameTimeoutMs_) * prolongFactor_) < 1) {
        reply_.header = 0;
        return LinkResult::NoReply;
    }
    uint8_t header = 0;
    readBytes(&header, 1);
    reply_.header = header;
    sequenceNumber_ = 0;  // the loader numbers nothing: every number counts as matching
    switch (header & 0xF0) {
        case 0x90:
            return LinkResult::Ok;
        case 0xA0:
            return LinkResult::Nak;
        case 0x70:
            return LinkResult::ReplyHeader70;
        case 0x80:
            return receiveDataFrame();
        default:
            return LinkResult::InvalidReply;
    }
}

LinkResult FrameTransport::receiveDataFrame() {
    std::array<uint8_t, 4 + kBlockCapacity + 2> frame{};
    frame[0] = kFrameHeader;
    if (waitForBytes(3, frameTimeoutMs_) < 3 || readBytes(&frame[1], 3) < 3) {
        return LinkResult::InvalidReply;
    }
    reply_.dummy = frame[1];
    if (frame[1] != 0 || frame[2] != frame[3])
        return LinkResult::InvalidReply;
    const size_t m = frame[2];
    if (m > kBlockCapacity) {
        traceNote(strprintf("reply announces %zu data bytes, more than %zu", m, kBlockCapacity));
        return LinkResult::InvalidReply;
    }
    if (waitForBytes(m + 2, frameTimeoutMs_) < m + 2 || readBytes(&frame[4], m + 2) < m + 2) {
        return LinkResult::InvalidReply;
    }
    std::copy_n(&frame[4], m, reply_.data.begin());
    reply_.ckl = frame[4 + m];
    reply_.ckh = frame[5 + m];
    reply_.length = static_cast<uint8_t>(m);
    const uint16_t checksum = frameChecksum(frame.data(), 4 + m);
    const bool valid = reply_.ckl == (checksum & 0xFF) && reply_.ckh == (checksum >> 8);
    return valid ? LinkResult::Ok : LinkResult::InvalidReply;
}

}  // namespace kv58
