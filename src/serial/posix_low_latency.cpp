#include "serial/posix_low_latency.h"

#include <cerrno>
#include <cstring>

#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace kv58 {

#ifdef __linux__

LowLatencyChange enableLowLatency(int fd) {
    LowLatencyChange change;
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0) {
        change.reason = std::strerror(errno);
        return change;
    }
    change.savedFlags = serial.flags;
    if (serial.flags & ASYNC_LOW_LATENCY) {
        change.state = LowLatencyChange::State::AlreadyOn;
        return change;
    }
    serial.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(fd, TIOCSSERIAL, &serial) != 0) {
        change.reason = std::strerror(errno);
        return change;
    }
    change.state = LowLatencyChange::State::Switched;
    return change;
}

void restoreLowLatency(int fd, const LowLatencyChange& change) {
    if (change.state != LowLatencyChange::State::Switched)
        return;
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return;
    serial.flags = (serial.flags & ~ASYNC_LOW_LATENCY) | (change.savedFlags & ASYNC_LOW_LATENCY);
    ioctl(fd, TIOCSSERIAL, &serial);
}

#else

LowLatencyChange enableLowLatency(int) {
    LowLatencyChange change;
    change.reason = "not available on this system";
    return change;
}

void restoreLowLatency(int, const LowLatencyChange&) {}

#endif

}  // namespace kv58
