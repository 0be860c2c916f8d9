// The Telnet option negotiation of one end of a connection: which options it enables on its
// own side (WILL/WONT, answering the peer's DO/DONT) and which it lets the peer enable (DO/DONT,
// answering the peer's WILL/WONT).
//
// Each side of each option is off, requested (our WILL or DO sent, no answer yet) or on. An
// answer is sent only when the state changes, so two ends that request the same thing at the
// same time take each other's request as the answer and never loop. An option outside the
// policy is refused; a refusal of our own request is remembered so that a caller waiting for
// the option can stop waiting.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace kv58::telnet {

class OptionNegotiation {
public:
    // `local`: options we agree to enable on our side; `remote`: options we let the peer enable.
    OptionNegotiation(std::initializer_list<uint8_t> local, std::initializer_list<uint8_t> remote);

    // Our own requests: IAC WILL option / IAC DO option, appended to `out`.
    void requestLocal(uint8_t option, std::vector<uint8_t>& out);
    void requestRemote(uint8_t option, std::vector<uint8_t>& out);

    // A WILL/WONT/DO/DONT from the peer; the answer it needs, if any, is appended to `out`.
    void receive(uint8_t verb, uint8_t option, std::vector<uint8_t>& out);

    bool localOn(uint8_t option) const { return local_[option].state == State::On; }
    bool remoteOn(uint8_t option) const { return remote_[option].state == State::On; }
    // Our request is still unanswered.
    bool localPending(uint8_t option) const { return local_[option].state == State::Requested; }
    bool remotePending(uint8_t option) const { return remote_[option].state == State::Requested; }
    // The peer answered our request with WONT/DONT.
    bool localRefused(uint8_t option) const { return local_[option].refused; }
    bool remoteRefused(uint8_t option) const { return remote_[option].refused; }

private:
    enum class State : uint8_t { Off, Requested, On };
    struct Side {
        bool allowed = false;
        State state = State::Off;
        bool refused = false;
    };
    // One side of an option; `yes`/`no` are the verbs we send for it (WILL/WONT or DO/DONT).
    static void onEnable(Side& side, uint8_t no, uint8_t yes, uint8_t option,
                         std::vector<uint8_t>& out);
    static void onDisable(Side& side, uint8_t no, uint8_t option, std::vector<uint8_t>& out);

    std::array<Side, 256> local_{};
    std::array<Side, 256> remote_{};
};

}  // namespace kv58::telnet
