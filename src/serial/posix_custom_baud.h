// Baud rates outside the fixed termios table (14400, 56000, 128000, 256000) on Linux.
// Kept apart because the kernel's termios2 header cannot share a file with <termios.h>.
#pragma once

#include <cstdint>

namespace kv58 {

// Sets input and output speed of the open terminal `fd` to `baud`; false (errno set) when the
// platform or the device cannot.
bool setCustomBaud(int fd, uint32_t baud);

}  // namespace kv58
