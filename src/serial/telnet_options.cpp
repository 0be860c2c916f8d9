#include "serial/telnet_options.h"

#include "serial/telnet_codec.h"

namespace kv58::telnet {

OptionNegotiation::OptionNegotiation(std::initializer_list<uint8_t> local,
                                     std::initializer_list<uint8_t> remote) {
    for (const uint8_t option : local)
        local_[option].allowed = true;
    for (const uint8_t option : remote)
        remote_[option].allowed = true;
}

void OptionNegotiation::requestLocal(uint8_t option, std::vector<uint8_t>& out) {
    Side& side = local_[option];
    if (side.state != State::Off)
        return;
    side.state = State::Requested;
    side.refused = false;
    appendNegotiation(out, kWill, option);
}

void OptionNegotiation::requestRemote(uint8_t option, std::vector<uint8_t>& out) {
    Side& side = remote_[option];
    if (side.state != State::Off)
        return;
    side.state = State::Requested;
    side.refused = false;
    appendNegotiation(out, kDo, option);
}

// The peer asks for the option on this side (DO for ours, WILL for theirs), or answers our
// request with yes.
void OptionNegotiation::onEnable(Side& side, uint8_t no, uint8_t yes, uint8_t option,
                                 std::vector<uint8_t>& out) {
    switch (side.state) {
        case State::On:
            break;  // already on: no answer, or we would loop
        case State::Requested:
            side.state = State::On;  // the answer to our request
            break;
        case State::Off:
            if (side.allowed) {
                side.state = State::On;
                appendNegotiation(out, yes, option);
            } else {
                appendNegotiation(out, no, option);
            }
            break;
    }
}

void OptionNegotiation::onDisable(Side& side, uint8_t no, uint8_t option,
                                  std::vector<uint8_t>& out) {
    switch (side.state) {
        case State::Off:
            break;
        case State::Requested:
            side.state = State::Off;  // our request refused: no answer
            side.refused = true;
            break;
        case State::On:
            side.state = State::Off;  // switched off: acknowledge
            appendNegotiation(out, no, option);
            break;
    }
}

void OptionNegotiation::receive(uint8_t verb, uint8_t option, std::vector<uint8_t>& out) {
    switch (verb) {
        case kDo:
            onEnable(local_[option], kWont, kWill, option, out);
            break;
        case kDont:
            onDisable(local_[option], kWont, option, out);
            break;
        case kWill:
            onEnable(remote_[option], kDont, kDo, option, out);
            break;
        case kWont:
            onDisable(remote_[option], kDont, option, out);
            break;
        default:
            break;
    }
}

}  // namespace kv58::telnet
