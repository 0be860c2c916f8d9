#include "serial/serial_port.h"

#include <map>
#include <mutex>

#include "base/text.h"
#include "serial/hardware_port.h"
#include "serial/port_resolution.h"
#include "serial/rfc2217_address.h"
#include "serial/rfc2217_port.h"

namespace kv58 {

int64_t characterTimeUs(const LineSettings& s) {
    // Half bits count: 1.5 stop bits are three half-bit times.
    int64_t halfBits = 2 * (1 + s.dataBits);
    if (s.parity != Parity::None)
        halfBits += 2;
    switch (s.stopBits) {
        case StopBits::One:
            halfBits += 2;
            break;
        case StopBits::OneAndHalf:
            halfBits += 3;
            break;
        case StopBits::Two:
            halfBits += 4;
            break;
    }
    const int64_t baud = s.baud == 0 ? 9600 : s.baud;
    return (halfBits * 1'000'000 + baud) / (2 * baud);
}

void SerialPort::setNoteSink(std::function<void(const std::string&)> sink) {
    noteSink_ = std::move(sink);
    if (!noteSink_)
        return;
    for (const std::string& text : pendingNotes_)
        noteSink_(text);
    pendingNotes_.clear();
}

void SerialPort::note(const std::string& text) {
    constexpr size_t kMaxPendingNotes = 16;  // what an open can have to say
    if (noteSink_)
        noteSink_(text);
    else if (pendingNotes_.size() < kMaxPendingNotes)
        pendingNotes_.push_back(text);
}

size_t SerialPort::waitForQueuedInput(size_t count, int64_t timeoutMs, Clock& clock,
                                      const BlockStep& blockOnce) {
    const int64_t startUs = realClock().nowUs();
    const int64_t deadlineUs = startUs + timeoutMs * 1000;
    size_t queued = inputQueued();
    while (queued < count) {
        const int64_t remainingUs = deadlineUs - realClock().nowUs();
        if (remainingUs <= 0 || !blockOnce(queued, remainingUs))
            break;
        queued = inputQueued();
    }
    if (clock.isVirtual())
        clock.sleepUs(realClock().nowUs() - startUs);
    return queued;
}

std::string describe(const LineSettings& s) {
    static const char kParity[] = {'N', 'O', 'E', 'M', 'S'};
    static const char* const kStop[] = {"1", "1.5", "2"};
    return strprintf("%u,%u%c%s", s.baud, s.dataBits, kParity[static_cast<int>(s.parity) % 5],
                     kStop[static_cast<int>(s.stopBits) % 3]);
}

namespace {

struct Scheme {
    PortFactory factory;
    std::string usage;
};

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}
std::map<std::string, Scheme>& registry() {
    // The network port belongs to this layer and is always there; "sim:" registers itself.
    static std::map<std::string, Scheme> r = {
        {rfc2217::kScheme, Scheme{openRfc2217Port, rfc2217::kUsage}}};
    return r;
}

// Looks up a registered backend for the name; null when none matches.
PortFactory findPortScheme(const std::string& name) {
    std::lock_guard lock(registryMutex());
    for (const auto& [prefix, scheme] : registry()) {
        if (name.compare(0, prefix.size(), prefix) == 0)
            return scheme.factory;
    }
    return nullptr;
}

bool isAsciiAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// The scheme part of a name that looks like "xyz:…" or "xyz://…", or "" when the name does
// not begin like a scheme. One letter before the colon is a drive ("C:\…"), not a scheme.
std::string schemeOf(const std::string& name) {
    if (name.empty() || !isAsciiAlpha(name[0]))
        return "";
    size_t i = 1;
    while (i < name.size() && (isAsciiAlpha(name[i]) || isAsciiDigit(name[i]) || name[i] == '+' ||
                               name[i] == '.' || name[i] == '-')) {
        ++i;
    }
    if (i >= name.size() || name[i] != ':' || i < 2)
        return "";
    return name.compare(i, 3, "://") == 0 ? name.substr(0, i + 3) : name.substr(0, i + 1);
}

}  // namespace

void registerPortScheme(const std::string& prefix, PortFactory factory, const std::string& usage) {
    std::lock_guard lock(registryMutex());
    registry()[prefix] = Scheme{std::move(factory), usage.empty() ? prefix : usage};
}

std::string acceptedPortForms() {
    std::string forms =
        "COM3 or /dev/ttyUSB0 (a serial device), auto (the one USB serial adapter), "
        "usb:SERIAL (a USB adapter by its serial number)";
    std::lock_guard lock(registryMutex());
    for (const auto& [prefix, scheme] : registry())
        forms += ", " + scheme.usage;
    return forms;
}

std::unique_ptr<SerialPort> openSerialPort(const std::string& name, Clock& clock,
                                           std::string& error) {
    error.clear();
    if (name.empty()) {
        error = "no serial port given; accepted forms: " + acceptedPortForms();
        return nullptr;
    }
    if (namesUsbAdapter(name)) {
        std::string device;
        if (!resolvePortName(name, device, error))
            return nullptr;
        std::unique_ptr<SerialPort> port = openHardwarePort(device, clock, error);
        if (port)
            port->note(name + " is " + device);
        return port;
    }
    if (PortFactory factory = findPortScheme(name))
        return factory(name, clock, error);
    const std::string scheme = schemeOf(name);
    if (!scheme.empty() || name.find("://") != std::string::npos) {
        error = strprintf(
            "unknown port scheme \"%s\" in \"%s\"; accepted forms: %s",
            scheme.empty() ? name.substr(0, name.find("://") + 3).c_str() : scheme.c_str(),
            name.c_str(), acceptedPortForms().c_str());
        return nullptr;
    }
    return openHardwarePort(name, clock, error);
}

}  // namespace kv58
