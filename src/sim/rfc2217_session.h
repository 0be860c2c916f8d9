// One client of the simulated transmitter's network server: the device as a serial adapter
// on a COM-port control connection sees it.
//
// The session starts as a port that has just been opened (DTR and RTS raised, 9600,8E1) and
// ends as one that is closed (both lines dropped, the device held in reset, bytes on the wire
// lost), whether the client said goodbye or vanished mid-frame. In between:
//   data bytes        go onto the device's wire at the moment they arrive, and the device's
//                     reply bytes go back once they have reached the host end of the wire;
//   line settings     baud rate, data size, parity and stop size set the wire timing of the
//                     device's host line; values it cannot carry are answered with the
//                     current ones, which tells the client that they were refused;
//   SET-CONTROL       DTR and RTS drive the device's reset and test lines (its entry
//                     sequence); "no flow control" is the only flow setting;
//   PURGE-DATA        receive drops replies not yet sent, transmit drops host bytes not yet
//                     on the wire;
//   FLOWCONTROL-SUSPEND/RESUME hold and release the replies.
// Every command is answered with command + 100 and the value in force.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "serial/serial_port.h"
#include "serial/telnet_codec.h"
#include "serial/telnet_connection.h"
#include "serial/telnet_options.h"
#include "sim/sim_device.h"

namespace kv58::sim {

// The levels of DTR and RTS as the client set them, at the device time they took effect.
using ControlObserver = std::function<void(bool dtr, bool rts, int64_t timeUs)>;

class Rfc2217Session final : private telnet::Listener {
public:
    Rfc2217Session(SimDevice& device, std::unique_ptr<telnet::Connection> connection, Clock& clock,
                   ControlObserver observer);
    ~Rfc2217Session() override;
    Rfc2217Session(const Rfc2217Session&) = delete;
    Rfc2217Session& operator=(const Rfc2217Session&) = delete;

    int fd() const { return connection_->fd(); }
    bool wantsToWrite() const { return connection_->unsent() > 0; }
    // False while the device's line still has many of the client's bytes to carry: the
    // client then waits (TCP holds its bytes) instead of filling the memory.
    bool wantsToRead() const;

    // Takes what the client sent (never blocks) and sends queued bytes the socket now takes.
    void receive();
    // Runs the device up to now and sends the reply bytes that have reached the host end.
    void sendDueReplies();
    // Device time now, and the next moment a byte reaches the device or the host end.
    int64_t nowUs() const { return clock_.nowUs() + offsetUs_; }
    std::optional<int64_t> nextEventUs() const;

    bool closed() const { return connection_->closed(); }
    const std::string& closeReason() const { return connection_->closeReason(); }

private:
    void onData(uint8_t byte) override;
    void onNegotiation(uint8_t verb, uint8_t option) override;
    void onSubnegotiation(std::span<const uint8_t> payload, bool truncated) override;

    void answer(uint8_t command, std::span<const uint8_t> value);
    void answer(uint8_t command, uint8_t value) { answer(command, {&value, 1}); }
    void setBaudRate(std::span<const uint8_t> value);
    void setDataSize(uint8_t value);
    void setParity(uint8_t value);
    void setStopSize(uint8_t value);
    void setControl(uint8_t value);
    void purge(uint8_t value);
    void applyLine();
    void applyControlLines();

    SimDevice& device_;
    std::unique_ptr<telnet::Connection> connection_;
    Clock& clock_;
    int64_t offsetUs_;  // device time = clock time + offset (the device may have run ahead)
    ControlObserver observer_;
    telnet::Decoder decoder_;
    telnet::OptionNegotiation options_;
    std::vector<uint8_t> out_;      // negotiation answers and command answers to send
    std::vector<uint8_t> replies_;  // device bytes that reached the host end, not yet sent
    LineSettings line_;
    bool dtr_ = true, rts_ = true;
    bool suspended_ = false;
};

}  // namespace kv58::sim
