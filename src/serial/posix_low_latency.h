// Low-latency mode of a serial device on Linux: the driver passes received bytes on at once
// instead of gathering them. For USB serial adapters, whose latency timer holds received
// bytes up to 16 ms by default, the drivers take it as the shortest timer (1 ms); a read of
// the transmitter waits for about 140 replies, so that saves seconds.
#pragma once

#include <string>

namespace kv58 {

struct LowLatencyChange {
    enum class State {
        Switched,   // the driver now runs in low-latency mode; restore it at close
        AlreadyOn,  // it did before
        NotOffered  // the driver has no such mode, or refuses it (`reason` says which)
    };
    State state = State::NotOffered;
    std::string reason;
    int savedFlags = 0;  // the driver's flags before the change
};

// Puts the device behind `fd` into low-latency mode where its driver offers it.
LowLatencyChange enableLowLatency(int fd);

// Puts the driver's flags back as they were before a Switched change.
void restoreLowLatency(int fd, const LowLatencyChange& change);

}  // namespace kv58
