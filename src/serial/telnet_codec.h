// Telnet framing as network serial ports use it: the byte stream of a TCP connection that
// carries serial data and, in-band, option negotiation and COM-port control.
//
//   data byte          any value but 0xFF travels as itself; 0xFF travels as FF FF
//   IAC verb option    FF, then WILL (FB) / WONT (FC) / DO (FD) / DONT (FE), then the option
//   IAC SB … IAC SE    FF FA option payload… FF F0: a sub-negotiation; a 0xFF inside the
//                      payload is doubled like a data byte
//   IAC command        FF and any other byte (NOP, GA, …): carries nothing here, ignored
//
// With BINARY negotiated both ways, data bytes are never altered otherwise (no CR NUL).
// The decoder keeps its state between calls, so a sequence may be split anywhere across
// reads. The encoder and decoder are shared by the client port and the simulated server.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kv58::telnet {

inline constexpr uint8_t kIac = 0xFF;
inline constexpr uint8_t kDont = 0xFE;
inline constexpr uint8_t kDo = 0xFD;
inline constexpr uint8_t kWont = 0xFC;
inline constexpr uint8_t kWill = 0xFB;
inline constexpr uint8_t kSb = 0xFA;
inline constexpr uint8_t kSe = 0xF0;

inline constexpr uint8_t kOptionBinary = 0;
inline constexpr uint8_t kOptionEcho = 1;
inline constexpr uint8_t kOptionSuppressGoAhead = 3;
inline constexpr uint8_t kOptionComPort = 44;

// The longest sub-negotiation kept (option byte included). COM-port control needs at most
// six bytes (option, command, four-byte baud rate); a server signature text gets the rest.
inline constexpr size_t kMaxSubnegotiation = 64;
// The longest sub-negotiation taken at all: a peer whose sub-negotiation runs on beyond this
// (no IAC SE in sight) is broken or hostile, and the stream is given up.
inline constexpr size_t kMaxSubnegotiationRun = 4096;

// What the decoder finds in the stream.
class Listener {
public:
    virtual ~Listener() = default;
    virtual void onData(uint8_t byte) = 0;
    virtual void onNegotiation(uint8_t verb, uint8_t option) = 0;
    // `payload` starts with the option byte. Sub-negotiations longer than kMaxSubnegotiation
    // are reported cut to that length with `truncated` set.
    virtual void onSubnegotiation(std::span<const uint8_t> payload, bool truncated) = 0;
};

class Decoder {
public:
    void feed(std::span<const uint8_t> bytes, Listener& listener);
    void reset() { *this = Decoder(); }

    // True once a sub-negotiation has run beyond kMaxSubnegotiationRun bytes; the decoder
    // then takes nothing more, and the connection should be closed.
    bool broken() const { return state_ == State::Broken; }

private:
    enum class State { Data, Iac, Verb, Sub, SubIac, Broken };
    void subByte(uint8_t byte);

    State state_ = State::Data;
    uint8_t verb_ = 0;
    std::array<uint8_t, kMaxSubnegotiation> sub_{};
    size_t subLength_ = 0;
    size_t subRun_ = 0;  // bytes of the sub-negotiation so far, kept or not
    bool subTruncated_ = false;
};

// Appends the wire form of one data byte (0xFF doubled).
void appendData(std::vector<uint8_t>& out, uint8_t byte);
void appendNegotiation(std::vector<uint8_t>& out, uint8_t verb, uint8_t option);
// IAC SB option payload… IAC SE, with 0xFF in the payload doubled.
void appendSubnegotiation(std::vector<uint8_t>& out, uint8_t option,
                          std::span<const uint8_t> payload);

// "WILL", "DONT", …; "verb 0xNN" for other values (traces and messages).
const char* verbName(uint8_t verb);

}  // namespace kv58::telnet
