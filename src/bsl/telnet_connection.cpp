#include "bsl/telnet_connection.h"

#ifndef _WIN32

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/text.h"

namespace kv58::telnet {

namespace {

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0  // the socket carries SO_NOSIGPIPE instead (prepareSocket)
#endif

int64_t steadyNowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

int pollMs(int64_t timeoutUs) {
    if (timeoutUs < 0)
        return -1;
    return static_cast<int>(std::min<int64_t>((timeoutUs + 999) / 1000, 24 * 3600 * 1000));
}

// Waits for a non-blocking connect to finish; 0 on success, else the errno value.
int finishConnect(int fd, int64_t deadlineUs) {
    for (;;) {
        pollfd p{fd, POLLOUT, 0};
        const int rc = poll(&p, 1, pollMs(std::max<int64_t>(0, deadlineUs - steadyNowUs())));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc == 0)
            return ETIMEDOUT;
        if (rc < 0)
            return errno;
        int err = 0;
        socklen_t length = sizeof err;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length) != 0)
            return errno;
        return err;
    }
}

// Opens a non-blocking socket to one address; the socket, or -1 with the errno value.
int connectOne(const addrinfo& a, int64_t deadlineUs, int& err) {
    const int fd = socket(a.ai_family, a.ai_socktype, a.ai_protocol);
    if (fd < 0) {
        err = errno;
        return -1;
    }
    prepareSocket(fd);
    err = ::connect(fd, a.ai_addr, a.ai_addrlen) == 0 ? 0 : errno;
    if (err == EINPROGRESS)
        err = finishConnect(fd, deadlineUs);
    if (err != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

void prepareSocket(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    const int one = 1;
#ifdef SO_NOSIGPIPE
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);  // one byte, one segment
}

std::string formatEndpoint(const std::string& host, uint16_t port) {
    const bool v6 = host.find(':') != std::string::npos;
    return strprintf(v6 ? "[%s]:%u" : "%s:%u", host.c_str(), port);
}

std::unique_ptr<Connection> Connection::connect(const std::string& host, uint16_t port,
                                                int64_t timeoutMs, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list); rc != 0) {
        error = strprintf("cannot find host \"%s\": %s", host.c_str(), gai_strerror(rc));
        return nullptr;
    }
    const int64_t deadlineUs = steadyNowUs() + timeoutMs * 1000;
    int err = 0;
    int fd = -1;
    for (const addrinfo* a = list; a && fd < 0; a = a->ai_next)
        fd = connectOne(*a, deadlineUs, err);
    freeaddrinfo(list);
    if (fd < 0) {
        error = err == ETIMEDOUT
                    ? strprintf("no answer within %lld ms", static_cast<long long>(timeoutMs))
                    : strprintf("cannot connect: %s", std::strerror(err));
        return nullptr;
    }
    return std::make_unique<Connection>(fd);
}

Connection::Connection(int fd) : fd_(fd) {
    prepareSocket(fd_);
}

Connection::~Connection() {
    close();
}

void Connection::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void Connection::hangUp(int64_t timeoutUs) {
    const int64_t deadlineUs = steadyNowUs() + timeoutUs;
    while (!out_.empty() && !closed() && steadyNowUs() < deadlineUs)
        wait(deadlineUs - steadyNowUs());
    if (closed())
        return;
    ::shutdown(fd_, SHUT_WR);
    std::array<uint8_t, 512> drop{};
    for (int64_t leftUs; !closed() && (leftUs = deadlineUs - steadyNowUs()) > 0;) {
        wait(leftUs);
        while (receive(drop) > 0) {
        }
    }
}

void Connection::fail(const std::string& reason) {
    if (closeReason_.empty())
        closeReason_ = reason;
}

bool Connection::send(std::span<const uint8_t> bytes) {
    if (closed())
        return false;
    if (out_.size() + bytes.size() > kMaxUnsent) {
        fail("the peer takes no more data");
        return false;
    }
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return flush();
}

bool Connection::flush() {
    while (!out_.empty() && !closed()) {
        const ssize_t n = ::send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL);
        if (n > 0) {
            out_.erase(out_.begin(), out_.begin() + n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;  // the socket's buffer is full; wait() sends the rest
        } else {
            fail(std::strerror(errno));
        }
    }
    return !closed();
}

size_t Connection::receive(std::span<uint8_t> buffer) {
    if (closed() || buffer.empty())
        return 0;
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (n > 0)
            return static_cast<size_t>(n);
        if (n == 0) {
            fail("closed by the peer");
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            fail(std::strerror(errno));
        }
        return 0;
    }
}

void Connection::wait(int64_t timeoutUs) {
    const int64_t deadlineUs = timeoutUs < 0 ? -1 : steadyNowUs() + timeoutUs;
    while (!closed()) {
        pollfd p{fd_, static_cast<short>(POLLIN | (out_.empty() ? 0 : POLLOUT)), 0};
        const int64_t leftUs =
            deadlineUs < 0 ? -1 : std::max<int64_t>(0, deadlineUs - steadyNowUs());
        const int rc = poll(&p, 1, pollMs(leftUs));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0)
            return;
        if (p.revents & POLLOUT)
            flush();
        // Arrived bytes, a hang-up or an error: the caller's next receive() finds out which.
        if (p.revents & (POLLIN | POLLHUP | POLLERR))
            return;
        if (leftUs == 0)
            return;
    }
}

}  // namespace kv58::telnet

#else  // _WIN32

namespace kv58::telnet {

std::string formatEndpoint(const std::string& host, uint16_t port) {
    return host + ":" + std::to_string(port);
}
std::unique_ptr<Connection> Connection::connect(const std::string&, uint16_t, int64_t,
                                                std::string& error) {
    error = "network serial ports are not available on this platform yet";
    return nullptr;
}
Connection::Connection(int fd) : fd_(fd) {}
Connection::~Connection() = default;
void Connection::close() {}
void Connection::hangUp(int64_t) {}
void prepareSocket(int) {}
void Connection::fail(const std::string& reason) {
    closeReason_ = reason;
}
bool Connection::send(std::span<const uint8_t>) {
    return false;
}
bool Connection::flush() {
    return false;
}
size_t Connection::receive(std::span<uint8_t>) {
    return 0;
}
void Connection::wait(int64_t) {}

}  // namespace kv58::telnet

#endif
