// The controlling side of a pseudo-terminal, for tests of what runs on its other side.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kv58 {

// The controlling side of a pseudo-terminal; its other side is the port under test.
class PtyMaster {
public:
    PtyMaster() {
        fd_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (fd_ >= 0 && grantpt(fd_) == 0 && unlockpt(fd_) == 0)
            name_ = ptsname(fd_);
    }
    ~PtyMaster() {
        if (fd_ >= 0)
            close(fd_);
    }
    const std::string& portName() const { return name_; }
    void write(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes)
            ASSERT_EQ(::write(fd_, &b, 1), 1);
    }
    // Bytes that arrive within `ms`.
    std::vector<uint8_t> read(int ms) {
        std::vector<uint8_t> out;
        pollfd p{fd_, POLLIN, 0};
        while (poll(&p, 1, ms) > 0 && (p.revents & POLLIN)) {
            uint8_t buf[64];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0)
                break;
            out.insert(out.end(), buf, buf + n);
            ms = 20;
        }
        return out;
    }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
    std::string name_;
};

}  // namespace kv58
