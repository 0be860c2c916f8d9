#include "bsl/serial_port.h"

#include <map>
#include <mutex>

#include "base/text.h"

namespace kv58 {

int64_t characterTimeUs(const LineSettings& s) {
    // Half bits count: 1.5 stop bits are three half-bit times.
    int64_t halfBits = 2 * (1 + s.dataBits);
    if (s.parity != Parity::None) halfBits += 2;
    switch (s.stopBits) {
        case StopBits::One: halfBits += 2; break;
        case StopBits::OneAndHalf: halfBits += 3; break;
        case StopBits::Two: halfBits += 4; break;
    }
    const int64_t baud = s.baud == 0 ? 9600 : s.baud;
    return (halfBits * 1'000'000 + baud) / (2 * baud);
}

std::string describe(const LineSettings& s) {
    static const char kParity[] = {'N', 'O', 'E', 'M', 'S'};
    static const char* const kStop[] = {"1", "1.5", "2"};
    return strprintf("%u,%u%c%s", s.baud, s.dataBits, kParity[static_cast<int>(s.parity) % 5],
                     kStop[static_cast<int>(s.stopBits) % 3]);
}

namespace {
std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}
std::map<std::string, PortFactory>& registry() {
    static std::map<std::string, PortFactory> r;
    return r;
}
}  // namespace

void registerPortScheme(const std::string& prefix, PortFactory factory) {
    std::lock_guard lock(registryMutex());
    registry()[prefix] = std::move(factory);
}

// Looks up a registered backend for the name; null when none matches.
PortFactory findPortScheme(const std::string& name) {
    std::lock_guard lock(registryMutex());
    for (const auto& [prefix, factory] : registry()) {
        if (name.compare(0, prefix.size(), prefix) == 0) return factory;
    }
    return nullptr;
}

}  // namespace kv58
