// The serial-port seam: one open port, whatever carries it.
//
// A port is chosen by the form of its name, in the spirit of URL handlers:
//   "COM3", "/dev/ttyUSB0"       a hardware port (POSIX termios here, Win32 on Windows)
//   "auto", "usb:SERIAL"          a USB serial adapter, found by port_resolution.h
//   "rfc2217://host:port"         a network serial port (Telnet COM-port control)
//   "sim:" or "sim:?key=value&…"  the simulated transmitter, in process
// The link only ever reads bytes that are already queued and waits for input by blocking on
// the port (poll or the platform's equivalent): no backend spins the processor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"

namespace kv58 {

// Codes as the platform's serial configuration record numbers them.
enum class Parity : uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits : uint8_t { One = 0, OneAndHalf = 1, Two = 2 };

struct LineSettings {
    uint32_t baud = 9600;
    uint8_t dataBits = 8;
    Parity parity = Parity::Even;
    StopBits stopBits = StopBits::One;
};

// Time one character occupies the line: start bit, data bits, parity bit, stop bits.
int64_t characterTimeUs(const LineSettings& settings);
// "9600,8E1" style summary for traces and messages.
std::string describe(const LineSettings& settings);

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Applies the line settings, binary transfer, no flow control. False (with the reason in
    // `error`) when the port refuses them; settings that a port cannot carry at all (parity on
    // a pseudo-terminal) are accepted and noted instead.
    [[nodiscard]] virtual bool configure(const LineSettings& settings, std::string& error) = 0;

    // Modem-control lines; callers do not check the result (the link ignores it).
    virtual bool setDtr(bool on) = 0;
    virtual bool setRts(bool on) = 0;

    // Bytes received and not yet read; bytes written and not yet on the line. Never block.
    virtual size_t inputQueued() = 0;
    virtual size_t outputQueued() = 0;

    // Discards queued bytes of either direction; `abort` also cancels transfers in progress.
    virtual void purge(bool input, bool output, bool abort) = 0;

    // Queues one byte for sending; false when the port fails.
    [[nodiscard]] virtual bool writeByte(uint8_t byte) = 0;
    // Reads up to `max` bytes that are already queued; returns how many were read.
    virtual size_t read(uint8_t* destination, size_t max) = 0;
    // Blocks until at least `count` bytes are queued or `timeoutMs` has passed; returns the
    // number queued then.
    virtual size_t waitForInput(size_t count, int64_t timeoutMs) = 0;

    // Closes the port; false when the platform reports a failure. Further calls are no-ops.
    [[nodiscard]] virtual bool close() = 0;

    // Where a backend reports what it could not apply ("pseudo-terminal: parity not set") or
    // did on its own (low-latency mode). Notes made before a sink is set (while opening) are
    // handed to it when it is set.
    void setNoteSink(std::function<void(const std::string&)> sink);
    void note(const std::string& text);

protected:
    // The waitForInput of a port that blocks on the platform, by the real clock: calls
    // `blockOnce(queued, remainingUs)` until `count` bytes are queued, `timeoutMs` has passed
    // or blockOnce returns false (the port can no longer wait: it is closed). Returns the
    // number queued then. A virtual `clock` (tests on a real port or connection) then moves
    // on by the time really waited.
    using BlockStep = std::function<bool(size_t queued, int64_t remainingUs)>;
    size_t waitForQueuedInput(size_t count, int64_t timeoutMs, Clock& clock,
                              const BlockStep& blockOnce);

private:
    std::function<void(const std::string&)> noteSink_;
    std::vector<std::string> pendingNotes_;
};

// Opens the named port. On failure returns null and explains why in `error`.
std::unique_ptr<SerialPort> openSerialPort(const std::string& name, Clock& clock,
                                           std::string& error);

// A backend for names that begin with `prefix` ("sim:", "rfc2217://"). The factory receives
// the whole name. Registration replaces an earlier factory of the same prefix. `usage` shows
// the accepted form in error messages ("rfc2217://host:port"); empty means the prefix itself.
using PortFactory =
    std::function<std::unique_ptr<SerialPort>(const std::string& name, Clock&, std::string&)>;
void registerPortScheme(const std::string& prefix, PortFactory factory,
                        const std::string& usage = "");

// The accepted forms of a port name, for help texts and errors:
// "COM3 or /dev/ttyUSB0 (a serial device), sim:?key=value&..., …".
std::string acceptedPortForms();

}  // namespace kv58
