#include "sim/pty_server.h"

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#if __has_include(<pty.h>)
#include <pty.h>
#else
#include <util.h>
#endif

namespace kv58::sim {

namespace {

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// poll() that sleeps at most until `deadlineUs` on the clock (none: indefinitely). The
// timeout is rounded up to whole milliseconds, so a reply is never written early.
int pollUntil(pollfd* fds, nfds_t count, Clock& clock, std::optional<int64_t> deadlineUs) {
    int timeoutMs = -1;
    if (deadlineUs) {
        const int64_t waitUs = std::max<int64_t>(0, *deadlineUs - clock.nowUs());
        timeoutMs = static_cast<int>(std::min<int64_t>((waitUs + 999) / 1000, 60'000));
    }
    return poll(fds, count, timeoutMs);
}

}  // namespace

std::unique_ptr<PtyServer> PtyServer::open(SimDevice& device, std::string& error) {
    int master = -1, slave = -1;
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        error = systemError("openpty");
        return nullptr;
    }
    // The server keeps a slave descriptor open for its whole life: the master then never
    // reports a hang-up between the host's opens and closes.
    const char* name = ttyname(slave);
    int pipeFds[2];
    if (!name || pipe(pipeFds) != 0) {
        error = systemError(name ? "pipe" : "ttyname");
        ::close(master);
        ::close(slave);
        return nullptr;
    }
    const std::string path = name;
    if (!setNonBlocking(master) || !setNonBlocking(pipeFds[0]) || !setNonBlocking(pipeFds[1])) {
        error = systemError("fcntl");
        for (int fd : {master, slave, pipeFds[0], pipeFds[1]})
            ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<PtyServer>(
        new PtyServer(device, master, slave, pipeFds[0], pipeFds[1], path));
}

PtyServer::PtyServer(SimDevice& device, int master, int slave, int wakeRead, int wakeWrite,
                     std::string path)
    : device_(device),
      master_(master),
      slave_(slave),
      wakeRead_(wakeRead),
      wakeWrite_(wakeWrite),
      slavePath_(std::move(path)) {}

PtyServer::~PtyServer() {
    for (int fd : {master_, slave_, wakeRead_, wakeWrite_})
        ::close(fd);
}

void PtyServer::stop() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
}

bool PtyServer::serve(Clock& clock, std::string& error) {
    for (;;) {
        if (!writeDueReplies(clock, error))
            return false;
        // Sleep until the next byte reaches the device or the host, or the host writes.
        std::optional<int64_t> next = device_.replyArrival(1);
        if (const auto arrival = device_.nextDeviceArrival()) {
            next = next ? std::min(*next, *arrival) : *arrival;
        }
        pollfd fds[2] = {
            {master_, static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT)), 0},
            {wakeRead_, POLLIN, 0}};
        if (pollUntil(fds, 2, clock, next) < 0) {
            if (errno == EINTR)
                continue;
            error = systemError("poll");
            return false;
        }
        if (fds[1].revents & POLLIN)
            return true;
        if (fds[0].revents & (POLLERR | POLLNVAL)) {
            error = "the pseudo-terminal failed";
            return false;
        }
        if ((fds[0].revents & POLLIN) && !readHostBytes(clock, error))
            return false;
    }
}

bool PtyServer::readHostBytes(Clock& clock, std::string& error) {
    uint8_t buffer[256];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR || errno == EIO)
            return true;
        error = systemError("read from the pseudo-terminal");
        return false;
    }
    const int64_t now = clock.nowUs();
    for (ssize_t i = 0; i < n; ++i)
        device_.hostSend(buffer[i], now);
    return true;
}

bool PtyServer::writeDueReplies(Clock& clock, std::string& error) {
    const int64_t now = clock.nowUs();
    device_.advanceTo(now);
    device_.collectReplies(now, pending_);
    while (!pending_.empty()) {
        const ssize_t n = ::write(master_, pending_.data(), pending_.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                return true;  // poll waits for room
            error = systemError("write to the pseudo-terminal");
            return false;
        }
        pending_.erase(pending_.begin(), pending_.begin() + n);
    }
    return true;
}

}  // namespace kv58::sim

#else  // _WIN32

namespace kv58::sim {

std::unique_ptr<PtyServer> PtyServer::open(SimDevice&, std::string& error) {
    error = "pseudo-terminals are not available on this platform";
    return nullptr;
}
PtyServer::~PtyServer() = default;
bool PtyServer::serve(Clock&, std::string& error) {
    error = "pseudo-terminals are not available on this platform";
    return false;
}
void PtyServer::stop() {}

}  // namespace kv58::sim

#endif
