// The simulated transmitter on a pseudo-terminal, for programs that open a serial device by
// path (kv58-sim --pty).
//
// A pseudo-terminal carries no modem lines and no parity, so the device there runs its loader
// from the start, the character time is that of the device's own line settings, and a quiet
// line stands in for the entry sequence (see the "quiet-reset" option). Reply bytes are
// written to the master side at their arrival times: the server sleeps in poll() until the
// next byte is due or the host writes, never spinning.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "sim/sim_device.h"

namespace kv58::sim {

class PtyServer {
public:
    // Creates the pseudo-terminal (raw mode) for the device; null with the reason in `error`.
    static std::unique_ptr<PtyServer> open(SimDevice& device, std::string& error);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // The path a host opens ("/dev/pts/7").
    const std::string& slavePath() const { return slavePath_; }

    // Serves until stop() is called; false with the reason in `error` when the
    // pseudo-terminal fails.
    [[nodiscard]] bool serve(Clock& clock, std::string& error);
    // Ends serve() from any thread or from a signal handler (async-signal-safe).
    void stop();

private:
    PtyServer(SimDevice& device, int master, int slave, int wakeRead, int wakeWrite,
              std::string path);
    bool readHostBytes(Clock& clock, std::string& error);
    bool writeDueReplies(Clock& clock, std::string& error);

    SimDevice& device_;
    int master_, slave_, wakeRead_, wakeWrite_;
    std::string slavePath_;
    std::vector<uint8_t> pending_;  // reply bytes due but not yet taken by the master
};

}  // namespace kv58::sim
