// The frame transport against a scripted port on the virtual clock: exact bytes out,
// scripted bytes in, exact time-outs.
#pragma once

#include <gtest/gtest.h>

#include "bsl/frame_transport.h"
#include "bsl/link_result.h"
#include "fake_port.h"

namespace kv58::test {

inline uint16_t checksumOf(const Bytes& b) {
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

}  // namespace kv58::test
