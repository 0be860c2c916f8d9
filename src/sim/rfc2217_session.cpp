#include "sim/rfc2217_session.h"

#include <algorithm>
#include <array>

#include "serial/rfc2217_protocol.h"

namespace kv58::sim {

using namespace rfc2217;
using telnet::kOptionBinary;
using telnet::kOptionComPort;
using telnet::kOptionSuppressGoAhead;

namespace {

// Baud rates the simulated wire takes; others are answered with the rate in force.
constexpr uint32_t kMinBaud = 50;
constexpr uint32_t kMaxBaud = 4'000'000;
constexpr const char* kSignatureText = "kv58-sim";

}  // namespace

Rfc2217Session::Rfc2217Session(SimDevice& device, std::unique_ptr<telnet::Connection> connection,
                               Clock& clock, ControlObserver observer)
    : device_(device),
      connection_(std::move(connection)),
      clock_(clock),
      offsetUs_(std::max<int64_t>(0, device.latestTime() - clock.nowUs())),
      observer_(std::move(observer)),
      options_({kOptionBinary, kOptionSuppressGoAhead, kOptionComPort},
               {kOptionBinary, kOptionSuppressGoAhead, kOptionComPort}) {
    // The port opens: default line, both control lines raised.
    device_.advanceTo(nowUs());
    device_.setHostLine(line_);
    applyControlLines();
    options_.requestLocal(kOptionBinary, out_);
    options_.requestRemote(kOptionBinary, out_);
    connection_->send(out_);
    out_.clear();
}

Rfc2217Session::~Rfc2217Session() {
    // The port closes: the lines drop (the device is held in reset) and the wire goes quiet.
    const int64_t t = nowUs();
    device_.advanceTo(t);
    dtr_ = rts_ = false;
    applyControlLines();
    device_.clearWire(t);
}

bool Rfc2217Session::wantsToRead() const {
    // Far more than the longest frame (260 bytes) the loader is sent.
    constexpr size_t kMaxBytesOnTheLine = 4096;
    return device_.hostBytesInFlight() < kMaxBytesOnTheLine;
}

void Rfc2217Session::receive() {
    std::array<uint8_t, 1024> buffer{};
    connection_->flush();
    size_t taken = 0;
    for (size_t n; wantsToRead() && taken < telnet::Connection::kMaxReceivedAtOnce &&
                   (n = connection_->receive(buffer)) > 0;
         taken += n) {
        decoder_.feed({buffer.data(), n}, *this);
        if (decoder_.broken()) {
            connection_->abandon("the client sent an endless sub-negotiation");
            return;
        }
        if (!out_.empty()) {
            connection_->send(out_);
            out_.clear();
        }
    }
}

void Rfc2217Session::sendDueReplies() {
    const int64_t t = nowUs();
    device_.advanceTo(t);
    device_.collectReplies(t, replies_);
    if (suspended_ || replies_.empty())
        return;
    std::vector<uint8_t> wire;
    for (const uint8_t byte : replies_)
        telnet::appendData(wire, byte);
    replies_.clear();
    connection_->send(wire);
}

std::optional<int64_t> Rfc2217Session::nextEventUs() const {
    std::optional<int64_t> next = suspended_ ? std::nullopt : device_.replyArrival(1);
    if (const auto arrival = device_.nextDeviceArrival())
        next = next ? std::min(*next, *arrival) : *arrival;
    return next;
}

void Rfc2217Session::onData(uint8_t byte) {
    device_.hostSend(byte, nowUs());
}

void Rfc2217Session::onNegotiation(uint8_t verb, uint8_t option) {
    options_.receive(verb, option, out_);
}

void Rfc2217Session::onSubnegotiation(std::span<const uint8_t> payload, bool truncated) {
    if (payload.size() < 2 || payload[0] != kOptionComPort || truncated)
        return;
    const auto value = payload.subspan(2);
    const uint8_t first = value.empty() ? 0 : value[0];
    switch (payload[1]) {
        case kSignature:
            if (value.empty()) {
                const std::string_view text = kSignatureText;
                answer(kSignature, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
            }
            break;  // a client's own signature needs no answer
        case kSetBaudRate:
            setBaudRate(value);
            break;
        case kSetDataSize:
            setDataSize(first);
            break;
        case kSetParity:
            setParity(first);
            break;
        case kSetStopSize:
            setStopSize(first);
            break;
        case kSetControl:
            setControl(first);
            break;
        case kNotifyModemState:
            answer(kNotifyModemState, 0);  // polled: the transmitter drives no modem inputs
            break;
        case kFlowControlSuspend:
            suspended_ = true;
            break;
        case kFlowControlResume:
            suspended_ = false;
            break;
        case kSetLineStateMask:
        case kSetModemStateMask:
            answer(payload[1], first);
            break;
        case kPurgeData:
            purge(first);
            break;
        default:
            break;
    }
}

void Rfc2217Session::answer(uint8_t command, std::span<const uint8_t> value) {
    std::vector<uint8_t> payload{static_cast<uint8_t>(command + kServerOffset)};
    payload.insert(payload.end(), value.begin(), value.end());
    telnet::appendSubnegotiation(out_, kOptionComPort, payload);
}

// The device's line follows each setting from the moment it arrives; bytes already on the
// wire keep the timing they started with.
void Rfc2217Session::applyLine() {
    device_.advanceTo(nowUs());
    device_.setHostLine(line_);
}

void Rfc2217Session::setBaudRate(std::span<const uint8_t> value) {
    const std::optional<uint32_t> baud = decodeBaudRate(value);
    if (baud && *baud >= kMinBaud && *baud <= kMaxBaud) {
        line_.baud = *baud;
        applyLine();
    }
    answer(kSetBaudRate, encodeBaudRate(line_.baud));
}

void Rfc2217Session::setDataSize(uint8_t value) {
    if (value >= 5 && value <= 8) {
        line_.dataBits = value;
        applyLine();
    }
    answer(kSetDataSize, line_.dataBits);
}

void Rfc2217Session::setParity(uint8_t value) {
    if (const std::optional<Parity> parity = parityFromCode(value)) {
        line_.parity = *parity;
        applyLine();
    }
    answer(kSetParity, parityCode(line_.parity));
}

void Rfc2217Session::setStopSize(uint8_t value) {
    if (const std::optional<StopBits> stopBits = stopBitsFromCode(value)) {
        line_.stopBits = *stopBits;
        applyLine();
    }
    answer(kSetStopSize, stopSizeCode(line_.stopBits));
}

void Rfc2217Session::applyControlLines() {
    const int64_t t = nowUs();
    device_.setLines(dtr_, rts_, t);
    if (observer_)
        observer_(dtr_, rts_, t);
}

void Rfc2217Session::setControl(uint8_t value) {
    switch (value) {
        case kDtrOn:
        case kDtrOff:
            dtr_ = value == kDtrOn;
            applyControlLines();
            answer(kSetControl, value);
            break;
        case kRtsOn:
        case kRtsOff:
            rts_ = value == kRtsOn;
            applyControlLines();
            answer(kSetControl, value);
            break;
        case kAskDtr:
            answer(kSetControl, dtr_ ? kDtrOn : kDtrOff);
            break;
        case kAskRts:
            answer(kSetControl, rts_ ? kRtsOn : kRtsOff);
            break;
        case kBreakOn:
        case kBreakOff:
        case kAskBreak:
            answer(kSetControl, kBreakOff);  // the adapter sends no break
            break;
        default:
            // Flow control: none is all the adapter has, whatever was asked.
            if (isFlowControlValue(value)) {
                answer(kSetControl,
                       value >= kAskInboundFlowControl ? kNoInboundFlowControl : kNoFlowControl);
            }
            break;
    }
}

void Rfc2217Session::purge(uint8_t value) {
    if (value < kPurgeReceive || value > kPurgeBoth)
        return;
    const int64_t t = nowUs();
    device_.advanceTo(t);
    if (value & kPurgeReceive) {
        device_.collectReplies(t, replies_);
        replies_.clear();
    }
    if (value & kPurgeTransmit)
        device_.discardUnsentHostBytes(t);
    answer(kPurgeData, value);
}

}  // namespace kv58::sim
