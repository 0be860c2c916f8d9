// A minimal host for the simulated transmitter's own tests: raw bytes over a sim: port on a
// virtual clock, with frames built here independently of the device's code.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "serial/serial_port.h"
#include "sim/sim_port.h"
#include "sim/transmitter_contents.h"

namespace kv58::sim::test {

using Bytes = std::vector<uint8_t>;

// Inverted XOR of the bytes at even offsets (low) and odd offsets (high).
inline Bytes withChecksum(Bytes frame) {
    uint8_t low = 0, high = 0;
    for (size_t i = 0; i < frame.size(); ++i)
        (i % 2 ? high : low) ^= frame[i];
    frame.push_back(static_cast<uint8_t>(~low));
    frame.push_back(static_cast<uint8_t>(~high));
    return frame;
}

// 0x80 CMD L L addr len data CKL CKH
inline Bytes commandFrame(uint8_t command, uint16_t address, uint16_t length,
                          const Bytes& data = {}) {
    const auto n = static_cast<uint8_t>(4 + data.size());
    Bytes f = {0x80,
               command,
               n,
               n,
               static_cast<uint8_t>(address & 0xFF),
               static_cast<uint8_t>(address >> 8),
               static_cast<uint8_t>(length & 0xFF),
               static_cast<uint8_t>(length >> 8)};
    f.insert(f.end(), data.begin(), data.end());
    return withChecksum(f);
}

inline Bytes erasedPassword() {
    return Bytes(32, 0xFF);
}

// The interrupt vectors of the simulated transmitter's own firmware.
inline Bytes devicePassword() {
    const auto p = firmwarePassword();
    return Bytes(p.begin(), p.end());
}

class SimHost {
public:
    explicit SimHost(const std::string& name) : name_(name) {
        forgetSimDevices();
        open();
    }

    void open() {
        std::string error;
        port = openSimPort(name_, clock, error);
        device = deviceFor(name_, error);
        ASSERT_TRUE(port && device) << error;
    }
    void close() {
        port->close();
        port.reset();
    }

    // The link's entry sequence: reset held, two test pulses, reset released.
    void enterLoader(bool invoke = true) {
        port->setDtr(true), port->setRts(true);
        clock.sleepMs(250);
        port->setDtr(false);
        if (invoke) {
            for (bool rts : {true, false, true, false})
                port->setRts(rts);
            port->setDtr(true), port->setRts(true);
        } else {
            port->setDtr(true);
        }
        clock.sleepMs(250);
    }

    void send(const Bytes& bytes) {
        for (uint8_t b : bytes)
            port->writeByte(b);
    }
    // Waits for `count` bytes (or the time-out) and returns all that are queued then.
    Bytes receive(size_t count, int64_t timeoutMs = 1200) {
        port->waitForInput(count, timeoutMs);
        Bytes got(port->inputQueued());
        got.resize(port->read(got.data(), got.size()));
        return got;
    }
    Bytes exchange(const Bytes& bytes, size_t count, int64_t timeoutMs = 1200) {
        send(bytes);
        return receive(count, timeoutMs);
    }
    bool sync() { return exchange({0x80}, 1, 100) == Bytes{0x90}; }
    // Synchronisation, then the command frame; returns the reply bytes.
    Bytes command(uint8_t cmd, uint16_t address, uint16_t length, const Bytes& data = {},
                  size_t replyLength = 1) {
        if (!sync())
            return {};
        return exchange(commandFrame(cmd, address, length, data), replyLength);
    }
    bool unlock(const Bytes& password) {
        return command(0x10, 0xFFE0, 32, password) == Bytes{0x90};
    }
    // TX data block: the data of the reply frame, or empty when the reply is not one.
    Bytes readBlock(uint16_t address, uint16_t length) {
        const Bytes reply = command(0x14, address, length, {}, 4u + length + 2u);
        if (reply.size() != 4u + length + 2u || reply[0] != 0x80)
            return {};
        return Bytes(reply.begin() + 4, reply.end() - 2);
    }

    VirtualClock clock{1'000'000};
    std::unique_ptr<SerialPort> port;
    std::shared_ptr<SimDevice> device;

private:
    std::string name_;
};

}  // namespace kv58::sim::test
