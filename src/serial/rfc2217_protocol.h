// COM-port control over Telnet (RFC 2217): the commands and values that the network serial
// port and the simulated transmitter's server exchange.
//
// Once the client's WILL COM-PORT-OPTION (44) has been answered with DO, every command is a
// sub-negotiation of that option:
//
//   IAC SB 44 <command> <value…> IAC SE          client to server
//   IAC SB 44 <command + 100> <value…> IAC SE    server's answer: the value it applied
//
//   command            value                                      answer
//   0  SIGNATURE       text, or nothing to ask for the server's  100 text
//   1  SET-BAUDRATE    4 bytes, network order; 0 asks             101
//   2  SET-DATASIZE    1 byte: 5…8; 0 asks                        102
//   3  SET-PARITY      1 none, 2 odd, 3 even, 4 mark, 5 space     103
//   4  SET-STOPSIZE    1 one, 2 two, 3 one and a half             104
//   5  SET-CONTROL     1 no flow control, 8/9 DTR on/off,         105
//                      11/12 RTS on/off (0, 7, 10 ask)
//   6  NOTIFY-LINESTATE / 7 NOTIFY-MODEMSTATE: state reports      106 / 107
//   8  FLOWCONTROL-SUSPEND / 9 FLOWCONTROL-RESUME
//   10 SET-LINESTATE-MASK / 11 SET-MODEMSTATE-MASK: 1 byte         110 / 111
//   12 PURGE-DATA      1 receive, 2 transmit, 3 both              112
//
// A server that cannot apply a value answers with the value it has instead.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "serial/serial_port.h"

namespace kv58::rfc2217 {

inline constexpr uint8_t kServerOffset = 100;

enum Command : uint8_t {
    kSignature = 0,
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kNotifyLineState = 6,
    kNotifyModemState = 7,
    kFlowControlSuspend = 8,
    kFlowControlResume = 9,
    kSetLineStateMask = 10,
    kSetModemStateMask = 11,
    kPurgeData = 12,
};
inline constexpr size_t kCommandCount = 13;

// SET-CONTROL values.
enum Control : uint8_t {
    kAskFlowControl = 0,
    kNoFlowControl = 1,
    kXonXoffFlowControl = 2,
    kHardwareFlowControl = 3,
    kAskBreak = 4,
    kBreakOn = 5,
    kBreakOff = 6,
    kAskDtr = 7,
    kDtrOn = 8,
    kDtrOff = 9,
    kAskRts = 10,
    kRtsOn = 11,
    kRtsOff = 12,
    kAskInboundFlowControl = 13,
    kNoInboundFlowControl = 14,
};
// Values 0…3 and 13…19 answer flow-control settings; the rest are break and line states.
bool isFlowControlValue(uint8_t value);

// PURGE-DATA values.
enum Purge : uint8_t { kPurgeReceive = 1, kPurgeTransmit = 2, kPurgeBoth = 3 };

// Wire codes of the line settings, and back; none for values outside the table (0 asks).
uint8_t parityCode(Parity parity);
std::optional<Parity> parityFromCode(uint8_t code);
uint8_t stopSizeCode(StopBits stopBits);
std::optional<StopBits> stopBitsFromCode(uint8_t code);

std::array<uint8_t, 4> encodeBaudRate(uint32_t baud);
// The baud rate of a 4-byte value; none when the value is not 4 bytes long.
std::optional<uint32_t> decodeBaudRate(std::span<const uint8_t> value);

// "SET-BAUDRATE", …; answers (command + 100) get the same name.
const char* commandName(uint8_t command);

}  // namespace kv58::rfc2217
