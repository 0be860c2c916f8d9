// The link against the in-process simulated transmitter on a virtual clock, with a record of
// the frames it sent (and how they were paced) and of its control-line changes, in a
// temporary working directory that holds the shipped password file and loader patch.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "bsl/bsl_link.h"
#include "bsl/segments.h"
#include "bsl/titxt.h"
#include "sim/sim_port.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kv58::test {

struct SentFrame {
    uint8_t command = 0;
    uint16_t address = 0;
    uint16_t length = 0;        // the length field
    std::vector<uint8_t> data;  // payload bytes after the length field
    size_t delayedBytes = 0;    // bytes followed by a per-byte delay
    int64_t delayUs = 0;        // that delay

    std::string text() const {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02X@%04X+%u", command, address, length);
        return buf;
    }
};

// Gathers the bytes sent between two waits for input: one byte is a synchronisation, more are
// a command frame. `log` interleaves frames ("14@0FFA+2") and control-line changes ("DTR on").
class FrameRecorder final : public TraceObserver {
public:
    void onTrace(const TraceEvent& e) override {
        switch (e.kind) {
            case TraceEvent::Kind::Sent:
                pending_.insert(pending_.end(), e.bytes.begin(), e.bytes.end());
                break;
            case TraceEvent::Kind::Sleep:
                if (e.text == kByteDelayText)
                    ++delayed_, delayUs_ = e.durationUs;
                break;
            case TraceEvent::Kind::Wait:
                flush();
                break;
            case TraceEvent::Kind::Control:
                log.push_back(e.text);
                break;
            default:
                break;
        }
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const SentFrame& f : frames)
            out.push_back(f.text());
        return out;
    }
    size_t count(const std::string& text) const {
        size_t n = 0;
        for (const SentFrame& f : frames)
            n += f.text() == text;
        return n;
    }
    void clear() { frames.clear(), log.clear(); }

    std::vector<SentFrame> frames;
    std::vector<std::string> log;

private:
    void flush() {
        if (pending_.size() >= 8) {
            SentFrame f;
            f.command = pending_[1];
            f.address = static_cast<uint16_t>(pending_[4] | pending_[5] << 8);
            f.length = static_cast<uint16_t>(pending_[6] | pending_[7] << 8);
            f.data.assign(pending_.begin() + 8, pending_.end() - 2);
            f.delayedBytes = delayed_;
            f.delayUs = delayUs_;
            frames.push_back(f);
            log.push_back(f.text());
        }
        pending_.clear();
        delayed_ = 0;
        delayUs_ = 0;
    }

    std::vector<uint8_t> pending_;
    size_t delayed_ = 0;
    int64_t delayUs_ = 0;
};

class SimLinkTest : public ::testing::Test {
protected:
    SimLinkTest() {
        sim::registerSimPortScheme();
        sim::forgetSimDevices();
        for (const char* name : {"KV58-PW.TXT", "PATCH.TXT"}) {
            writeFile(dir.file(name),
                      readFile(std::string(KV58_SOURCE_DIR) + "/resources/shipped/" + name));
        }
        link.setPortName("sim:");
        link.transport().setWarningSink([this](const std::string& w) { warnings.push_back(w); });
        link.addTraceObserver(&sent);
    }
    ~SimLinkTest() override { link.removeTraceObserver(&sent); }

    sim::SimDevice& device() {
        std::string error;
        device_ = sim::deviceFor(link.portName(), error);
        if (!device_)
            throw std::runtime_error(error);
        return *device_;
    }
    uint8_t at(uint16_t address) { return device().memory().read(address); }
    std::vector<uint8_t> memoryAt(uint16_t address, size_t length) {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < length; ++i)
            bytes.push_back(at(static_cast<uint16_t>(address + i)));
        return bytes;
    }
    // A password file of 32 bytes at 0xFFE0 that the simulated firmware does not accept.
    void writeWrongPassword(const std::string& name) {
        writeFile(name, formatTiTxt({{0xFFE0, std::vector<uint8_t>(32, 0x5A)}}, true));
    }

    TempDir dir;
    WorkingDirectory cwd{dir.path()};
    VirtualClock clock{1'000'000};
    BslLink link{clock};
    FrameRecorder sent;
    RecordingUi ui;
    std::vector<std::string> warnings;
    PasswordFileList passwords{"KV58-PW.TXT"};

private:
    std::shared_ptr<sim::SimDevice> device_;
};

}  // namespace kv58::test
