#include "serial/telnet_codec.h"

namespace kv58::telnet {

void Decoder::subByte(uint8_t byte) {
    if (subLength_ < sub_.size()) {
        sub_[subLength_++] = byte;
    } else {
        subTruncated_ = true;
    }
}

void Decoder::feed(std::span<const uint8_t> bytes, Listener& listener) {
    for (const uint8_t byte : bytes) {
        if ((state_ == State::Sub || state_ == State::SubIac) &&
            ++subRun_ > kMaxSubnegotiationRun) {
            state_ = State::Broken;
        }
        switch (state_) {
            case State::Broken:
                return;
            case State::Data:
                if (byte == kIac) {
                    state_ = State::Iac;
                } else {
                    listener.onData(byte);
                }
                break;
            case State::Iac:
                if (byte == kIac) {
                    listener.onData(kIac);
                    state_ = State::Data;
                } else if (byte >= kWill && byte <= kDont) {
                    verb_ = byte;
                    state_ = State::Verb;
                } else if (byte == kSb) {
                    subLength_ = 0;
                    subRun_ = 0;
                    subTruncated_ = false;
                    state_ = State::Sub;
                } else {
                    state_ = State::Data;  // NOP, GA, a stray SE: nothing to do
                }
                break;
            case State::Verb:
                listener.onNegotiation(verb_, byte);
                state_ = State::Data;
                break;
            case State::Sub:
                if (byte == kIac) {
                    state_ = State::SubIac;
                } else {
                    subByte(byte);
                }
                break;
            case State::SubIac:
                if (byte == kSe) {
                    state_ = State::Data;
                    if (subLength_ > 0)
                        listener.onSubnegotiation({sub_.data(), subLength_}, subTruncated_);
                } else {
                    // IAC IAC is a 0xFF of the payload; any other command inside a
                    // sub-negotiation is not allowed and is dropped, the payload goes on.
                    if (byte == kIac)
                        subByte(kIac);
                    state_ = State::Sub;
                }
                break;
        }
    }
}

void appendData(std::vector<uint8_t>& out, uint8_t byte) {
    out.push_back(byte);
    if (byte == kIac)
        out.push_back(kIac);
}

void appendNegotiation(std::vector<uint8_t>& out, uint8_t verb, uint8_t option) {
    out.insert(out.end(), {kIac, verb, option});
}

void appendSubnegotiation(std::vector<uint8_t>& out, uint8_t option,
                          std::span<const uint8_t> payload) {
    out.insert(out.end(), {kIac, kSb});
    appendData(out, option);
    for (const uint8_t byte : payload)
        appendData(out, byte);
    out.insert(out.end(), {kIac, kSe});
}

const char* verbName(uint8_t verb) {
    switch (verb) {
        case kWill:
            return "WILL";
        case kWont:
            return "WONT";
        case kDo:
            return "DO";
        case kDont:
            return "DONT";
        default:
            return "verb";
    }
}

}  // namespace kv58::telnet
