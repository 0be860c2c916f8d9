#include "serial/rfc2217_protocol.h"

namespace kv58::rfc2217 {

bool isFlowControlValue(uint8_t value) {
    return value <= kHardwareFlowControl || (value >= kAskInboundFlowControl && value <= 19);
}

uint8_t parityCode(Parity parity) {
    switch (parity) {
        case Parity::None:
            return 1;
        case Parity::Odd:
            return 2;
        case Parity::Even:
            return 3;
        case Parity::Mark:
            return 4;
        case Parity::Space:
            return 5;
    }
    return 3;
}

std::optional<Parity> parityFromCode(uint8_t code) {
    switch (code) {
        case 1:
            return Parity::None;
        case 2:
            return Parity::Odd;
        case 3:
            return Parity::Even;
        case 4:
            return Parity::Mark;
        case 5:
            return Parity::Space;
        default:
            return std::nullopt;
    }
}

uint8_t stopSizeCode(StopBits stopBits) {
    switch (stopBits) {
        case StopBits::One:
            return 1;
        case StopBits::Two:
            return 2;
        case StopBits::OneAndHalf:
            return 3;
    }
    return 1;
}

std::optional<StopBits> stopBitsFromCode(uint8_t code) {
    switch (code) {
        case 1:
            return StopBits::One;
        case 2:
            return StopBits::Two;
        case 3:
            return StopBits::OneAndHalf;
        default:
            return std::nullopt;
    }
}

std::array<uint8_t, 4> encodeBaudRate(uint32_t baud) {
    return {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
            static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)};
}

std::optional<uint32_t> decodeBaudRate(std::span<const uint8_t> value) {
    if (value.size() != 4)
        return std::nullopt;
    return static_cast<uint32_t>(value[0]) << 24 | static_cast<uint32_t>(value[1]) << 16 |
           static_cast<uint32_t>(value[2]) << 8 | value[3];
}

const char* commandName(uint8_t command) {
    static const char* const kNames[kCommandCount] = {
        "SIGNATURE",           "SET-BAUDRATE",       "SET-DATASIZE",       "SET-PARITY",
        "SET-STOPSIZE",        "SET-CONTROL",        "NOTIFY-LINESTATE",   "NOTIFY-MODEMSTATE",
        "FLOWCONTROL-SUSPEND", "FLOWCONTROL-RESUME", "SET-LINESTATE-MASK", "SET-MODEMSTATE-MASK",
        "PURGE-DATA"};
    if (command >= kServerOffset)
        command = static_cast<uint8_t>(command - kServerOffset);
    return command < kCommandCount ? kNames[command] : "unknown command";
}

}  // namespace kv58::rfc2217
