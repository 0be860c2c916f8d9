#include "serial/rfc2217_port.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <vector>

#include "base/text.h"
#include "serial/rfc2217_address.h"
#include "serial/rfc2217_protocol.h"
#include "serial/telnet_codec.h"
#include "serial/telnet_connection.h"
#include "serial/telnet_options.h"

namespace kv58 {

namespace {

using namespace rfc2217;
using telnet::kOptionBinary;
using telnet::kOptionComPort;
using telnet::kOptionSuppressGoAhead;

// Shorter than this, sleeping for the rest of a reply saves no wake-up worth having.
constexpr int64_t kShortestSleepUs = 1000;

// Received bytes kept for the link: four times the longest reply frame (256 bytes). What a
// server sends beyond that before the link reads it is dropped and counted, so that a server
// that streams cannot fill the memory.
constexpr size_t kMaxQueuedInput = 1024;

int64_t steadyNowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

const char* parityName(std::optional<Parity> parity) {
    static const char* const kNames[] = {"none", "odd", "even", "mark", "space"};
    return parity ? kNames[static_cast<int>(*parity)] : "an unknown parity";
}

const char* stopBitsName(std::optional<StopBits> stopBits) {
    static const char* const kNames[] = {"1", "1.5", "2"};
    return stopBits ? kNames[static_cast<int>(*stopBits)] : "an unknown number of";
}

// The server's answer to one command: the value it applied.
struct Answer {
    bool received = false;
    std::array<uint8_t, 4> value{};
    size_t length = 0;

    std::span<const uint8_t> bytes() const { return {value.data(), length}; }
    uint8_t byte() const { return length > 0 ? value[0] : 0; }
};

class Rfc2217Port final : public SerialPort, private telnet::Listener {
public:
    Rfc2217Port(Address address, std::unique_ptr<telnet::Connection> connection, Clock& clock)
        : address_(std::move(address)),
          label_(std::string(kScheme) + telnet::formatEndpoint(address_.host, address_.port)),
          connection_(std::move(connection)),
          clock_(clock) {}
    ~Rfc2217Port() override { close(); }

    bool negotiate(std::string& error);

    bool configure(const LineSettings& settings, std::string& error) override;
    bool setDtr(bool on) override { return sendCommand(kSetControl, on ? kDtrOn : kDtrOff); }
    bool setRts(bool on) override { return sendCommand(kSetControl, on ? kRtsOn : kRtsOff); }
    size_t inputQueued() override {
        pump();
        return input_.size();
    }
    size_t outputQueued() override {
        connection_->flush();
        return connection_->unsent();
    }
    void purge(bool input, bool output, bool abort) override;
    bool writeByte(uint8_t byte) override;
    size_t read(uint8_t* destination, size_t max) override;
    size_t waitForInput(size_t count, int64_t timeoutMs) override;
    bool close() override;

private:
    void pump();
    void noteDropped();
    bool sendCommand(uint8_t command, std::span<const uint8_t> value);
    bool sendCommand(uint8_t command, uint8_t value) { return sendCommand(command, {&value, 1}); }
    template <typename Done>
    void waitUntil(Done done, int64_t deadlineUs);
    bool awaitAnswer(const Answer& answer, uint8_t command, int64_t deadlineUs, std::string& error);
    bool checkAnswers(const LineSettings& s, int64_t deadlineUs, std::string& error);
    void noteClosed();

    void onData(uint8_t byte) override {
        if (input_.size() < kMaxQueuedInput)
            input_.push_back(byte);
        else
            ++dropped_;
    }
    void onNegotiation(uint8_t verb, uint8_t option) override;
    void onSubnegotiation(std::span<const uint8_t> payload, bool truncated) override;

    Address address_;
    std::string label_;  // "rfc2217://host:port", the start of every message
    std::unique_ptr<telnet::Connection> connection_;
    Clock& clock_;
    telnet::Decoder decoder_;
    telnet::OptionNegotiation options_{{kOptionBinary, kOptionSuppressGoAhead, kOptionComPort},
                                       {kOptionBinary, kOptionSuppressGoAhead, kOptionComPort}};
    std::vector<uint8_t> replies_;  // negotiation answers produced while decoding
    std::deque<uint8_t> input_;
    std::array<Answer, kCommandCount> answers_{};
    Answer flowAnswer_;  // SET-CONTROL answers about flow control (not DTR, RTS, break)
    bool closeNoted_ = false;
    LineSettings line_;          // as configured: how long the missing bytes of a wait take
    uint64_t dropped_ = 0;       // received bytes dropped because the queue was full
    bool droppedNoted_ = false;  // the trace has been told of them
};

// Reads and decodes what has arrived, never blocking and never more than a bounded amount,
// so that a server that sends without pause cannot keep the caller from its time-out.
void Rfc2217Port::pump() {
    std::array<uint8_t, 1024> buffer{};
    size_t taken = 0;
    for (size_t n;
         taken < telnet::Connection::kMaxReceivedAtOnce && (n = connection_->receive(buffer)) > 0;
         taken += n) {
        decoder_.feed({buffer.data(), n}, *this);
        if (decoder_.broken()) {
            connection_->abandon(
                strprintf("the server sent a sub-negotiation of more than %zu bytes; given up",
                          telnet::kMaxSubnegotiationRun));
            break;
        }
        if (!replies_.empty()) {
            connection_->send(replies_);
            replies_.clear();
        }
    }
    noteDropped();
    noteClosed();
}

// The first drop is noted at once; the total at the close.
void Rfc2217Port::noteDropped() {
    if (dropped_ == 0 || droppedNoted_)
        return;
    droppedNoted_ = true;
    note(
        strprintf("%s: the server sends more than the link reads; beyond %zu queued bytes "
                  "received data are dropped",
                  label_.c_str(), kMaxQueuedInput));
}

void Rfc2217Port::noteClosed() {
    if (connection_->closed() && !closeNoted_) {
        closeNoted_ = true;
        note(label_ + ": connection lost (" + connection_->closeReason() + ")");
    }
}

void Rfc2217Port::onNegotiation(uint8_t verb, uint8_t option) {
    const bool wasBinary = options_.localOn(kOptionBinary) && options_.remoteOn(kOptionBinary);
    options_.receive(verb, option, replies_);
    if (wasBinary && !(options_.localOn(kOptionBinary) && options_.remoteOn(kOptionBinary)))
        note(label_ + ": the server switched binary transfer off");
}

void Rfc2217Port::onSubnegotiation(std::span<const uint8_t> payload, bool truncated) {
    if (payload.size() < 2 || payload[0] != kOptionComPort || truncated)
        return;  // another option's, or a signature text too long to matter
    const uint8_t command = payload[1];
    if (command < kServerOffset || command >= kServerOffset + kCommandCount)
        return;
    const auto value = payload.subspan(2);
    Answer answer;
    answer.received = true;
    answer.length = std::min(value.size(), answer.value.size());
    std::copy_n(value.begin(), answer.length, answer.value.begin());
    const auto index = static_cast<size_t>(command - kServerOffset);
    if (index == kSetControl && isFlowControlValue(answer.byte())) {
        flowAnswer_ = answer;
    } else {
        answers_[index] = answer;
    }
}

bool Rfc2217Port::sendCommand(uint8_t command, std::span<const uint8_t> value) {
    std::vector<uint8_t> bytes{command};
    bytes.insert(bytes.end(), value.begin(), value.end());
    std::vector<uint8_t> wire;
    telnet::appendSubnegotiation(wire, kOptionComPort, bytes);
    const bool sent = connection_->send(wire);
    noteClosed();
    return sent;
}

// Blocks in poll() until `done()` holds, the connection closes or the deadline passes.
template <typename Done>
void Rfc2217Port::waitUntil(Done done, int64_t deadlineUs) {
    pump();
    while (!done() && !connection_->closed()) {
        const int64_t leftUs = deadlineUs - steadyNowUs();
        if (leftUs <= 0)
            break;
        connection_->wait(leftUs);
        pump();
    }
}

bool Rfc2217Port::negotiate(std::string& error) {
    options_.requestLocal(kOptionBinary, replies_);
    options_.requestRemote(kOptionBinary, replies_);
    options_.requestLocal(kOptionComPort, replies_);
    connection_->send(replies_);
    replies_.clear();
    waitUntil(
        [this] {
            return !options_.localPending(kOptionComPort) &&
                   !options_.localPending(kOptionBinary) && !options_.remotePending(kOptionBinary);
        },
        steadyNowUs() + address_.timeoutMs * 1000);
    if (!options_.localOn(kOptionComPort)) {
        if (decoder_.broken()) {
            error = label_ + ": " + connection_->closeReason();
        } else if (connection_->closed()) {
            error = label_ +
                    ": the server closed the connection while negotiating (another client may "
                    "be using the port)";
        } else if (options_.localRefused(kOptionComPort)) {
            error = label_ + ": the server refuses COM-port control (not an RFC 2217 server?)";
        } else {
            error = strprintf(
                "%s: no COM-port control negotiated within %lld ms (not an RFC "
                "2217 server?)",
                label_.c_str(), static_cast<long long>(address_.timeoutMs));
        }
        return false;
    }
    if (!options_.localOn(kOptionBinary) || !options_.remoteOn(kOptionBinary))
        note(label_ + ": the server did not agree to binary transfer in both directions");
    return true;
}

bool Rfc2217Port::configure(const LineSettings& s, std::string& error) {
    if (s.baud == 0 || s.dataBits < 5 || s.dataBits > 8) {
        error = label_ + ": line settings " + describe(s) + " cannot be set";
        return false;
    }
    for (const uint8_t c : {kSetBaudRate, kSetDataSize, kSetParity, kSetStopSize})
        answers_[c] = Answer{};
    flowAnswer_ = Answer{};
    const auto baud = encodeBaudRate(s.baud);
    const bool sent = sendCommand(kSetBaudRate, baud) && sendCommand(kSetDataSize, s.dataBits) &&
                      sendCommand(kSetParity, parityCode(s.parity)) &&
                      sendCommand(kSetStopSize, stopSizeCode(s.stopBits)) &&
                      sendCommand(kSetControl, kNoFlowControl);
    if (!sent) {
        error = label_ + ": connection lost (" + connection_->closeReason() + ")";
        return false;
    }
    if (!checkAnswers(s, steadyNowUs() + address_.timeoutMs * 1000, error))
        return false;
    line_ = s;
    return true;
}

bool Rfc2217Port::awaitAnswer(const Answer& answer, uint8_t command, int64_t deadlineUs,
                              std::string& error) {
    waitUntil([&answer] { return answer.received; }, deadlineUs);
    if (answer.received)
        return true;
    if (connection_->closed()) {
        error = label_ + ": connection lost (" + connection_->closeReason() + ")";
    } else {
        error = strprintf("%s: no answer to %s within %lld ms", label_.c_str(),
                          commandName(command), static_cast<long long>(address_.timeoutMs));
        if (command == kSetControl)
            error += " (add ?ign_set_control to the port name for servers that never answer it)";
    }
    return false;
}

// Compares each answer with what was asked; the first difference fails the configuration.
bool Rfc2217Port::checkAnswers(const LineSettings& s, int64_t deadlineUs, std::string& error) {
    const Answer& baud = answers_[kSetBaudRate];
    if (!awaitAnswer(baud, kSetBaudRate, deadlineUs, error))
        return false;
    const auto gotBaud = decodeBaudRate(baud.bytes());
    std::string refused;
    if (gotBaud != s.baud) {
        refused = gotBaud ? strprintf("%u baud instead of %u", *gotBaud, s.baud)
                          : strprintf("a malformed baud rate instead of %u", s.baud);
    }
    const Answer& size = answers_[kSetDataSize];
    if (refused.empty() && !awaitAnswer(size, kSetDataSize, deadlineUs, error))
        return false;
    if (refused.empty() && size.byte() != s.dataBits)
        refused = strprintf("%u data bits instead of %u", size.byte(), s.dataBits);
    const Answer& parity = answers_[kSetParity];
    if (refused.empty() && !awaitAnswer(parity, kSetParity, deadlineUs, error))
        return false;
    if (refused.empty() && parity.byte() != parityCode(s.parity)) {
        refused = strprintf("parity %s instead of %s", parityName(parityFromCode(parity.byte())),
                            parityName(s.parity));
    }
    const Answer& stop = answers_[kSetStopSize];
    if (refused.empty() && !awaitAnswer(stop, kSetStopSize, deadlineUs, error))
        return false;
    if (refused.empty() && stop.byte() != stopSizeCode(s.stopBits)) {
        refused = strprintf("%s stop bits instead of %s",
                            stopBitsName(stopBitsFromCode(stop.byte())), stopBitsName(s.stopBits));
    }
    if (refused.empty() && !address_.ignoreSetControl) {
        if (!awaitAnswer(flowAnswer_, kSetControl, deadlineUs, error))
            return false;
        if (flowAnswer_.byte() != kNoFlowControl)
            refused = "flow control on (it cannot be switched off)";
    }
    if (!refused.empty()) {
        error = label_ + ": line settings " + describe(s) + " refused: the server set " + refused;
        return false;
    }
    return true;
}

void Rfc2217Port::purge(bool input, bool output,
                        bool /*abort: the server drops, it cannot abort*/) {
    pump();
    if (input)
        input_.clear();
    if (input || output)
        sendCommand(kPurgeData, input && output ? kPurgeBoth
                                : input         ? kPurgeReceive
                                                : kPurgeTransmit);
}

bool Rfc2217Port::writeByte(uint8_t byte) {
    std::vector<uint8_t> wire;
    telnet::appendData(wire, byte);
    const bool sent = connection_->send(wire);
    noteClosed();
    return sent;
}

size_t Rfc2217Port::read(uint8_t* destination, size_t max) {
    pump();
    const size_t n = std::min(max, input_.size());
    std::copy_n(input_.begin(), n, destination);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

size_t Rfc2217Port::waitForInput(size_t count, int64_t timeoutMs) {
    // inputQueued() takes in what the connection has received; no more than the queue
    // holds can ever be waited for.
    count = std::min(count, kMaxQueuedInput);
    return waitForQueuedInput(count, timeoutMs, clock_, [this, count](size_t queued, int64_t us) {
        if (connection_->closed())
            return false;
        // The rest of a reply comes byte by byte: sleep for the time all but the last of
        // the missing bytes take on the line instead of waking for each of them, then wait
        // for the last one to arrive.
        const int64_t lineUs =
            queued == 0 ? 0 : static_cast<int64_t>(count - queued - 1) * characterTimeUs(line_);
        if (lineUs >= kShortestSleepUs)
            realClock().sleepUs(std::min(us, lineUs));
        else
            connection_->wait(us);
        return true;
    });
}

bool Rfc2217Port::close() {
    if (connection_->fd() < 0)
        return true;
    // Servers such as ser2net let go of the serial device only after the connection has
    // ended; the next device operation opens the port at once, so wait for that (a bounded
    // wait: a server that never hangs up costs at most a second).
    pump();
    connection_->hangUp(std::min<int64_t>(address_.timeoutMs, 1000) * 1000);
    connection_->close();
    if (dropped_ > 0) {
        note(strprintf("%s: %llu received bytes were dropped in all (the queue was full)",
                       label_.c_str(), static_cast<unsigned long long>(dropped_)));
    }
    return true;
}

}  // namespace

std::unique_ptr<SerialPort> openRfc2217Port(const std::string& name, Clock& clock,
                                            std::string& error) {
    Address address;
    if (!parseAddress(name, address, error))
        return nullptr;
    std::string why;
    auto connection =
        telnet::Connection::connect(address.host, address.port, address.timeoutMs, why);
    if (!connection) {
        error =
            std::string(kScheme) + telnet::formatEndpoint(address.host, address.port) + ": " + why;
        return nullptr;
    }
    auto port = std::make_unique<Rfc2217Port>(std::move(address), std::move(connection), clock);
    if (!port->negotiate(error))
        return nullptr;
    return port;
}

}  // namespace kv58
