// The loader command layer against a scripted loader on the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bsl/bsl_link.h"
#include "fake_port.h"

namespace kv58::test {

// Just enough of a loader for the command layer: memory that reads and writes, a password
// that is accepted or not, and a refusal of chosen commands.
struct MiniLoader {
    std::array<uint8_t, 0x10000> memory{};
    bool acceptPassword = true;
    std::map<uint8_t, int> nakAfter;  // command -> NAK once this many have been acknowledged
    std::map<uint8_t, int> seen;
    int shortReplyBy = 0;  // a read answers this many bytes less than asked

    Bytes operator()(const Bytes& frame) {
        const uint8_t command = frame[1];
        const unsigned address = frame[4] | (frame[5] << 8);
        const unsigned length = frame[6] | (frame[7] << 8);
        const int count = seen[command]++;
        if (nakAfter.count(command) && count >= nakAfter[command])
            return {0xA0};
        switch (command) {
            case 0x10:
                return {static_cast<uint8_t>(acceptPassword ? 0x90 : 0xA0)};
            case 0x12:
                for (unsigned i = 0; i < length; ++i)
                    memory[(address + i) & 0xFFFF] = frame[8 + i];
                return {0x90};
            case 0x14: {
                const unsigned n = length - static_cast<unsigned>(shortReplyBy);
                Bytes reply = {0x80, 0x00, static_cast<uint8_t>(n), static_cast<uint8_t>(n)};
                for (unsigned i = 0; i < n; ++i)
                    reply.push_back(memory[(address + i) & 0xFFFF]);
                return withChecksum(reply);
            }
            default:
                return {0x90};
        }
    }
};

class BslLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        useFakeWire(wire);
        link.setPortName("fake:1");
        link.transport().setWarningSink([](const std::string&) {});
        wire->handler = [this](const Bytes& f) { return loader(f); };
        ASSERT_EQ(link.openPort(), LinkResult::Ok);
    }

    // The command frames sent, as "14@1080+4" (command, address, length field).
    std::vector<std::string> commands() const {
        std::vector<std::string> out;
        for (const Bytes& f : wire->frames) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%02X@%04X+%u", f[1], f[4] | (f[5] << 8),
                          static_cast<unsigned>(f[6] | (f[7] << 8)));
            out.push_back(buf);
        }
        return out;
    }

    // The state a programming run leaves after loading the patch into an old loader.
    void activatePatch() {
        link.noteLoaderVersion(kLastPatchedLoader);
        link.notePatchLoaded();
    }

    VirtualClock clock;
    std::shared_ptr<FakeWire> wire = std::make_shared<FakeWire>();
    MiniLoader loader;
    BslLink link{clock};
};

using Strings = std::vector<std::string>;

}  // namespace kv58::test
