// The simulated transmitter behind a COM-port control (RFC 2217) server, for hosts on this
// or another machine (kv58-sim --listen): the third front-end of the device, beside the
// in-process port and the pseudo-terminal.
//
// The server binds to loopback unless given another address, and serves one client at a
// time: a second client that connects meanwhile is told so by an immediate close; a client
// that sends nothing for the idle time (60 s unless set) is dropped. A client
// that leaves, politely or mid-frame, closes the port as far as the device is concerned, and
// the next one finds the device as a freshly opened port would. The server sleeps in poll()
// until the client sends, a new client knocks, or the next byte of the device is due.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/clock.h"
#include "sim/rfc2217_session.h"
#include "sim/sim_device.h"

namespace kv58::sim {

struct ListenEndpoint {
    std::string host = "127.0.0.1";
    uint16_t port = 0;  // 0: the system chooses
};

// "PORT" (on loopback), "HOST:PORT" or "[IPV6]:PORT"; false with an error that quotes the
// text and the expected form.
[[nodiscard]] bool parseListenEndpoint(const std::string& text, ListenEndpoint& endpoint,
                                       std::string& error);

class Rfc2217Server {
public:
    // Binds and listens; null with the reason in `error` (address in use, bad host, …).
    static std::unique_ptr<Rfc2217Server> open(SimDevice& device, const ListenEndpoint& endpoint,
                                               std::string& error);
    ~Rfc2217Server();
    Rfc2217Server(const Rfc2217Server&) = delete;
    Rfc2217Server& operator=(const Rfc2217Server&) = delete;

    // The port actually bound, and the name a client opens ("rfc2217://127.0.0.1:4000").
    uint16_t port() const { return port_; }
    std::string portName() const;

    // Lines about clients coming and going ("client 127.0.0.1:53412 connected").
    void setLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }
    // Every DTR/RTS change of a client, with the device time it took effect.
    void setControlObserver(ControlObserver observer) { observer_ = std::move(observer); }
    // A client that sends nothing for this long is dropped, so that one that connects and
    // stays silent cannot hold the only slot for ever (0: never). A client that holds the
    // port for RUN sends nothing either: it is dropped as well.
    void setIdleTimeoutMs(int64_t ms) { idleTimeoutUs_ = ms * 1000; }

    // Serves until stop(), which closes the port of the client served; false with the reason in
    // `error` when the listening socket fails.
    [[nodiscard]] bool serve(Clock& clock, std::string& error);
    // Ends serve() from any thread or a signal handler (async-signal-safe).
    void stop();

private:
    Rfc2217Server(SimDevice& device, int listenFd, int wakeRead, int wakeWrite, std::string host,
                  uint16_t port);
    void acceptClient(Clock& clock);
    void endSession(const std::string& why);
    int pollTimeoutMs(Clock& clock) const;
    void log(const std::string& line) const {
        if (log_)
            log_(line);
    }

    SimDevice& device_;
    int listenFd_, wakeRead_, wakeWrite_;
    std::string host_;
    uint16_t port_;
    std::function<void(const std::string&)> log_;
    ControlObserver observer_;
    std::unique_ptr<Rfc2217Session> session_;
    std::string client_;  // "127.0.0.1:53412" of the client served
    int64_t idleTimeoutUs_ = 60'000'000;
    int64_t lastHeardUs_ = 0;  // when the client last sent anything (serve's clock)
};

}  // namespace kv58::sim
