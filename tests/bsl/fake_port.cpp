#include "fake_port.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "bsl/frame_transport.h"

namespace kv58::test {

void FakeWire::arrive(const Bytes& bytes, int64_t atUs) {
    for (uint8_t b : bytes)
        incoming_.emplace_back(atUs, b);
    std::stable_sort(incoming_.begin(), incoming_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

void FakeWire::deliverAt(int64_t atUs, const Bytes& bytes) {
    arrive(bytes, atUs);
}

void FakeWire::respond(uint8_t byte) {
    if (!inFrame_) {
        if (byte == 0x80) {
            arrive({0x90}, clock->nowUs());
            inFrame_ = true;
            frame_.clear();
        }
        return;
    }
    frame_.push_back(byte);
    if (frame_.size() >= 4 && frame_.size() == 6u + frame_[2]) {
        frames.push_back(frame_);
        inFrame_ = false;
        arrive(handler(frame_), clock->nowUs());
    }
}

void FakeWire::hostWrote(uint8_t byte) {
    written.push_back(byte);
    writeTimesUs.push_back(clock->nowUs());
    if (!steps.empty()) {
        if (++sinceStep_ == steps.front().afterBytes) {
            arrive(steps.front().reply, clock->nowUs() + steps.front().delayUs);
            steps.pop_front();
            sinceStep_ = 0;
        }
        return;
    }
    if (handler)
        respond(byte);
}

size_t FakeWire::queued() const {
    const int64_t now = clock->nowUs();
    return static_cast<size_t>(std::count_if(incoming_.begin(), incoming_.end(),
                                             [now](const auto& e) { return e.first <= now; }));
}

size_t FakeWire::waitFor(size_t count, int64_t timeoutMs) {
    const int64_t deadline = clock->nowUs() + timeoutMs * 1000;
    if (count > 0 && incoming_.size() >= count && incoming_[count - 1].first <= deadline) {
        clock->sleepUntilUs(incoming_[count - 1].first);
    } else {
        clock->sleepUntilUs(deadline);
    }
    return queued();
}

size_t FakeWire::take(uint8_t* destination, size_t max) {
    size_t n = 0;
    while (n < max && !incoming_.empty() && incoming_.front().first <= clock->nowUs()) {
        destination[n++] = incoming_.front().second;
        incoming_.pop_front();
    }
    return n;
}

void FakeWire::purgeInput() {
    const int64_t now = clock->nowUs();
    while (!incoming_.empty() && incoming_.front().first <= now)
        incoming_.pop_front();
}

namespace {

class ScriptedPort final : public SerialPort {
public:
    explicit ScriptedPort(std::shared_ptr<FakeWire> wire) : wire_(std::move(wire)) {}

    bool configure(const LineSettings& settings, std::string& error) override {
        if (wire_->failConfigure) {
            error = "fake: settings refused";
            return false;
        }
        wire_->configured = settings;
        return true;
    }
    bool setDtr(bool on) override { return change("DTR", on); }
    bool setRts(bool on) override { return change("RTS", on); }
    size_t inputQueued() override { return wire_->queued(); }
    size_t outputQueued() override {
        return wire_->clock->nowUs() < wire_->outputEmptyAtUs ? 1 : 0;
    }
    void purge(bool input, bool output, bool abort) override {
        if (input)
            wire_->purgeInput();
        std::string what = input && output ? "in+out" : input ? "in" : "out";
        wire_->purges.push_back(what + (abort ? "!" : ""));
    }
    bool writeByte(uint8_t byte) override {
        wire_->hostWrote(byte);
        return true;
    }
    size_t read(uint8_t* destination, size_t max) override { return wire_->take(destination, max); }
    size_t waitForInput(size_t count, int64_t timeoutMs) override {
        return wire_->waitFor(count, timeoutMs);
    }
    bool close() override {
        if (!wire_->open)
            return true;
        wire_->open = false;
        ++wire_->closes;
        return !wire_->failClose;
    }

private:
    bool change(const char* line, bool level) {
        wire_->lineChanges.push_back({line, level, wire_->clock->nowUs()});
        return true;
    }

    std::shared_ptr<FakeWire> wire_;
};

}  // namespace

void useFakeWire(const std::shared_ptr<FakeWire>& wire) {
    registerPortScheme("fake:",
                       [wire](const std::string&, Clock& clock,
                              std::string& error) -> std::unique_ptr<SerialPort> {
                           wire->clock = &clock;
                           if (wire->failOpen) {
                               error = "fake: port busy";
                               return nullptr;
                           }
                           ++wire->opens;
                           wire->open = true;
                           return std::make_unique<ScriptedPort>(wire);
                       });
}

Bytes hex(const std::string& text) {
    Bytes out;
    unsigned value = 0;
    int digits = 0;
    for (char c : text + " ") {
        const int v = hexDigitValue(c);
        if (v >= 0) {
            value = value * 16 + static_cast<unsigned>(v);
            ++digits;
        } else if (digits > 0) {
            out.push_back(static_cast<uint8_t>(value));
            value = 0;
            digits = 0;
        }
    }
    return out;
}

Bytes withChecksum(Bytes frame) {
    const uint16_t ck = frameChecksum(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(ck & 0xFF));
    frame.push_back(static_cast<uint8_t>(ck >> 8));
    return frame;
}

std::string hex(const Bytes& bytes) {
    std::string out;
    char buf[4];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
        out += buf;
    }
    return out;
}

}  // namespace kv58::test
