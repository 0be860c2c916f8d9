#include "serial/telnet_connection.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/text.h"

namespace kv58::telnet {

namespace {

// --- The few places where Winsock and BSD sockets differ. A socket is kept as an int: BSD
// descriptors are ints, and Windows socket handles fit in 32 bits by design. ---
#ifdef _WIN32
using NativeSocket = SOCKET;
using PollEntry = WSAPOLLFD;
constexpr int kShutWrite = SD_SEND;
constexpr int kNoSigPipe = 0;  // Windows raises no signal on a closed connection

NativeSocket native(int fd) {
    return static_cast<NativeSocket>(fd);
}
int lastError() {
    return WSAGetLastError();
}
bool wouldBlock(int err) {
    return err == WSAEWOULDBLOCK || err == WSAEINPROGRESS;
}
bool interrupted(int err) {
    return err == WSAEINTR;
}
int pollSockets(PollEntry* entries, unsigned long count, int timeoutMs) {
    return WSAPoll(entries, count, timeoutMs);
}
void closeSocket(int fd) {
    closesocket(native(fd));
}
std::string errorText(int err) {
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(err), 0, text, sizeof text, nullptr);
    std::string out = text;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
        out.pop_back();
    return out.empty() ? strprintf("socket error %d", err) : out;
}
bool startNetworking() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
#else
using NativeSocket = int;
using PollEntry = pollfd;
constexpr int kShutWrite = SHUT_WR;
#ifdef MSG_NOSIGNAL
constexpr int kNoSigPipe = MSG_NOSIGNAL;
#else
constexpr int kNoSigPipe = 0;  // the socket carries SO_NOSIGPIPE instead (prepareSocket)
#endif

NativeSocket native(int fd) {
    return fd;
}
int lastError() {
    return errno;
}
bool wouldBlock(int err) {
    return err == EAGAIN || err == EWOULDBLOCK || err == EINPROGRESS;
}
bool interrupted(int err) {
    return err == EINTR;
}
int pollSockets(PollEntry* entries, unsigned long count, int timeoutMs) {
    return poll(entries, static_cast<nfds_t>(count), timeoutMs);
}
void closeSocket(int fd) {
    ::close(fd);
}
std::string errorText(int err) {
    return std::strerror(err);
}
bool startNetworking() {
    return true;
}
#endif

constexpr int kConnectTimedOut = -1;  // finishConnect's own code: no answer in time

// Bytes sent or received, or -1 with lastError() set.
long sendSome(int fd, const uint8_t* bytes, size_t count) {
    return static_cast<long>(::send(native(fd), reinterpret_cast<const char*>(bytes),
                                    static_cast<int>(std::min<size_t>(count, 1 << 20)),
                                    kNoSigPipe));
}
long receiveSome(int fd, uint8_t* bytes, size_t count) {
    return static_cast<long>(::recv(native(fd), reinterpret_cast<char*>(bytes),
                                    static_cast<int>(std::min<size_t>(count, 1 << 20)), 0));
}

int64_t steadyNowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

int pollMs(int64_t timeoutUs) {
    if (timeoutUs < 0)
        return -1;
    return static_cast<int>(std::min<int64_t>((timeoutUs + 999) / 1000, 24 * 3600 * 1000));
}

// Waits until a non-blocking connect is through or has failed: true when it did either in
// time. Windows: select(), since WSAPoll before Windows 10 2004 never reports a refused
// connect; elsewhere poll(), which has no limit on descriptor numbers.
bool connectSettled(int fd, int64_t leftUs, int& err) {
#ifdef _WIN32
    timeval limit{static_cast<long>(leftUs / 1'000'000), static_cast<long>(leftUs % 1'000'000)};
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(native(fd), &writable);
    FD_SET(native(fd), &failed);
    const int rc = select(0, nullptr, &writable, &failed, &limit);
#else
    PollEntry p{fd, POLLOUT, 0};
    const int rc = pollSockets(&p, 1, pollMs(leftUs));
#endif
    err = rc < 0 ? lastError() : 0;
    return rc != 0;
}

// Waits for a non-blocking connect to finish; 0 on success, else the error.
int finishConnect(int fd, int64_t deadlineUs) {
    for (;;) {
        int err = 0;
        if (!connectSettled(fd, std::max<int64_t>(0, deadlineUs - steadyNowUs()), err))
            return kConnectTimedOut;
        if (err != 0 && interrupted(err))
            continue;
        if (err != 0)
            return err;
        socklen_t length = sizeof err;
        if (getsockopt(native(fd), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &length) !=
            0) {
            return lastError();
        }
        return err;
    }
}

// A connected socket to one address, or -1 with the error in `err`.
int connectOne(const addrinfo& a, int64_t deadlineUs, int& err) {
    const NativeSocket s = socket(a.ai_family, a.ai_socktype, a.ai_protocol);
#ifdef _WIN32
    if (s == INVALID_SOCKET) {
#else
    if (s < 0) {
#endif
        err = lastError();
        return -1;
    }
    const int fd = static_cast<int>(s);
    prepareSocket(fd);
    err = ::connect(s, a.ai_addr, static_cast<socklen_t>(a.ai_addrlen)) == 0 ? 0 : lastError();
    if (wouldBlock(err))
        err = finishConnect(fd, deadlineUs);
    if (err != 0) {
        closeSocket(fd);
        return -1;
    }
    return fd;
}

}  // namespace

void prepareSocket(int fd) {
    const int one = 1;
#ifdef _WIN32
    u_long nonBlocking = 1;
    ioctlsocket(native(fd), FIONBIO, &nonBlocking);
    SetHandleInformation(reinterpret_cast<HANDLE>(native(fd)), HANDLE_FLAG_INHERIT, 0);
#else
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
#ifdef SO_NOSIGPIPE
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
#endif
    // One byte, one segment: the link writes byte by byte and waits for the answer.
    setsockopt(native(fd), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
               sizeof one);
}

std::string formatEndpoint(const std::string& host, uint16_t port) {
    const bool v6 = host.find(':') != std::string::npos;
    return strprintf(v6 ? "[%s]:%u" : "%s:%u", host.c_str(), port);
}

std::unique_ptr<Connection> Connection::connect(const std::string& host, uint16_t port,
                                                int64_t timeoutMs, std::string& error) {
    if (!startNetworking()) {
        error = "the network cannot be used (Winsock did not start)";
        return nullptr;
    }
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
        error = err == kConnectTimedOut
                    ? strprintf("no answer within %lld ms", static_cast<long long>(timeoutMs))
                    : "cannot connect: " + errorText(err);
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
        closeSocket(fd_);
    fd_ = -1;
}

void Connection::hangUp(int64_t timeoutUs) {
    const int64_t deadlineUs = steadyNowUs() + timeoutUs;
    while (!out_.empty() && !closed() && steadyNowUs() < deadlineUs)
        wait(deadlineUs - steadyNowUs());
    if (closed())
        return;
    ::shutdown(native(fd_), kShutWrite);
    std::array<uint8_t, 512> drop{};
    for (int64_t leftUs; !closed() && (leftUs = deadlineUs - steadyNowUs()) > 0;) {
        wait(leftUs);
        // A peer that keeps sending is drained a bounded amount per look at the clock.
        for (size_t taken = 0, n; taken < kMaxReceivedAtOnce && (n = receive(drop)) > 0;)
            taken += n;
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
        const long n = sendSome(fd_, out_.data(), out_.size());
        if (n > 0) {
            out_.erase(out_.begin(), out_.begin() + n);
            continue;
        }
        const int err = lastError();
        if (n < 0 && interrupted(err))
            continue;
        if (n < 0 && wouldBlock(err))
            break;  // the socket's buffer is full; wait() sends the rest
        fail(errorText(err));
    }
    return !closed();
}

size_t Connection::receive(std::span<uint8_t> buffer) {
    if (closed() || buffer.empty())
        return 0;
    for (;;) {
        const long n = receiveSome(fd_, buffer.data(), buffer.size());
        if (n > 0)
            return static_cast<size_t>(n);
        if (n == 0) {
            fail("closed by the peer");
            return 0;
        }
        const int err = lastError();
        if (interrupted(err))
            continue;
        if (!wouldBlock(err))
            fail(errorText(err));
        return 0;
    }
}

void Connection::wait(int64_t timeoutUs) {
    const int64_t deadlineUs = timeoutUs < 0 ? -1 : steadyNowUs() + timeoutUs;
    while (!closed()) {
        PollEntry p{};
        p.fd = native(fd_);
        p.events = static_cast<short>(POLLIN | (out_.empty() ? 0 : POLLOUT));
        const int64_t leftUs =
            deadlineUs < 0 ? -1 : std::max<int64_t>(0, deadlineUs - steadyNowUs());
        const int rc = pollSockets(&p, 1, pollMs(leftUs));
        if (rc < 0 && interrupted(lastError()))
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
