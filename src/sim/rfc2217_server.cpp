#include "sim/rfc2217_server.h"

#ifndef _WIN32

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/text.h"
#include "serial/rfc2217_address.h"

namespace kv58::sim {

namespace {

constexpr const char* kEndpointForm = "PORT, HOST:PORT or [IPV6]:PORT";

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// "address:port" of a socket address, numeric.
std::string describePeer(const sockaddr* address, socklen_t length) {
    char host[NI_MAXHOST] = "?";
    char service[NI_MAXSERV] = "?";
    getnameinfo(address, length, host, sizeof host, service, sizeof service,
                NI_NUMERICHOST | NI_NUMERICSERV);
    return telnet::formatEndpoint(host, static_cast<uint16_t>(std::atoi(service)));
}

// A listening socket on the first address of host:port that binds; -1 with `error` set.
int listenOn(const ListenEndpoint& endpoint, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(endpoint.port);
    if (const int rc = getaddrinfo(endpoint.host.c_str(), service.c_str(), &hints, &list)) {
        error = strprintf("cannot find host \"%s\": %s", endpoint.host.c_str(), gai_strerror(rc));
        return -1;
    }
    int fd = -1;
    for (const addrinfo* a = list; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd < 0)
            continue;
        telnet::prepareSocket(fd);
        const int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 4) != 0) {
            error = strprintf("cannot listen on %s: %s",
                              telnet::formatEndpoint(endpoint.host, endpoint.port).c_str(),
                              std::strerror(errno));
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(list);
    return fd;
}

uint16_t boundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

}  // namespace

bool parseListenEndpoint(const std::string& text, ListenEndpoint& endpoint, std::string& error) {
    std::string portText = text;
    if (text.find(':') != std::string::npos &&
        !rfc2217::splitHostPort(text, endpoint.host, portText)) {
        error = strprintf("\"%s\" is not an address to listen on; expected %s", text.c_str(),
                          kEndpointForm);
        return false;
    }
    const std::optional<uint16_t> port = rfc2217::parsePortNumber(portText);
    if (!port) {
        error = strprintf("\"%s\": port \"%s\" is not a number from 0 to 65535; expected %s",
                          text.c_str(), portText.c_str(), kEndpointForm);
        return false;
    }
    endpoint.port = *port;
    return true;
}

std::unique_ptr<Rfc2217Server> Rfc2217Server::open(SimDevice& device,
                                                   const ListenEndpoint& endpoint,
                                                   std::string& error) {
    const int fd = listenOn(endpoint, error);
    if (fd < 0)
        return nullptr;
    int wake[2];
    if (pipe(wake) != 0) {
        error = systemError("pipe");
        ::close(fd);
        return nullptr;
    }
    for (const int end : wake) {
        fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
        fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    return std::unique_ptr<Rfc2217Server>(
        new Rfc2217Server(device, fd, wake[0], wake[1], endpoint.host, boundPort(fd)));
}

Rfc2217Server::Rfc2217Server(SimDevice& device, int listenFd, int wakeRead, int wakeWrite,
                             std::string host, uint16_t port)
    : device_(device),
      listenFd_(listenFd),
      wakeRead_(wakeRead),
      wakeWrite_(wakeWrite),
      host_(std::move(host)),
      port_(port) {}

Rfc2217Server::~Rfc2217Server() {
    session_.reset();
    for (int fd : {listenFd_, wakeRead_, wakeWrite_})
        ::close(fd);
}

std::string Rfc2217Server::portName() const {
    return std::string(rfc2217::kScheme) + telnet::formatEndpoint(host_, port_);
}

void Rfc2217Server::stop() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
}

// Until the next byte of the device is due or the client's idle time runs out, whichever
// comes first; rounded up, so that a reply never leaves before its time.
int Rfc2217Server::pollTimeoutMs(Clock& clock) const {
    if (!session_)
        return -1;
    std::optional<int64_t> waitUs;
    if (const std::optional<int64_t> next = session_->nextEventUs())
        waitUs = std::max<int64_t>(0, *next - session_->nowUs());
    if (idleTimeoutUs_ > 0) {
        const int64_t idleUs = std::max<int64_t>(0, lastHeardUs_ + idleTimeoutUs_ - clock.nowUs());
        waitUs = waitUs ? std::min(*waitUs, idleUs) : idleUs;
    }
    if (!waitUs)
        return -1;
    return static_cast<int>(std::min<int64_t>((*waitUs + 999) / 1000, 60'000));
}

void Rfc2217Server::endSession(const std::string& why) {
    log(strprintf("client %s left (%s)", client_.c_str(), why.c_str()));
    session_.reset();
    client_.clear();
}

void Rfc2217Server::acceptClient(Clock& clock) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int fd = accept(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    if (fd < 0)
        return;  // gone again before we took it, or out of descriptors: the next poll retries
    const std::string peer = describePeer(reinterpret_cast<sockaddr*>(&address), length);
    if (session_) {
        ::close(fd);
        log(strprintf("client %s turned away: %s is being served", peer.c_str(), client_.c_str()));
        return;
    }
    client_ = peer;
    lastHeardUs_ = clock.nowUs();
    session_ = std::make_unique<Rfc2217Session>(device_, std::make_unique<telnet::Connection>(fd),
                                                clock, observer_);
    log(strprintf("client %s connected", peer.c_str()));
}

bool Rfc2217Server::serve(Clock& clock, std::string& error) {
    for (;;) {
        if (session_) {
            session_->sendDueReplies();
            if (session_->closed())
                endSession(session_->closeReason());
        }
        pollfd fds[3] = {{wakeRead_, POLLIN, 0}, {listenFd_, POLLIN, 0}, {-1, 0, 0}};
        if (session_) {
            fds[2] = {session_->fd(),
                      static_cast<short>((session_->wantsToRead() ? POLLIN : 0) |
                                         (session_->wantsToWrite() ? POLLOUT : 0)),
                      0};
        }
        if (poll(fds, 3, pollTimeoutMs(clock)) < 0) {
            if (errno == EINTR)
                continue;
            error = systemError("poll");
            return false;
        }
        if (fds[0].revents & POLLIN) {
            if (session_)
                endSession("the server stops");
            return true;
        }
        // The client first: one that has just left makes room for the one that knocks.
        if (session_ && fds[2].revents) {
            if (fds[2].revents & (POLLIN | POLLHUP | POLLERR))
                lastHeardUs_ = clock.nowUs();
            session_->receive();
            if (session_->closed())
                endSession(session_->closeReason());
        }
        if (session_ && !session_->wantsToRead())
            lastHeardUs_ = clock.nowUs();  // its bytes are still going to the device
        if (session_ && idleTimeoutUs_ > 0 && clock.nowUs() - lastHeardUs_ >= idleTimeoutUs_) {
            endSession(strprintf("sent nothing for %lld ms; dropped to serve others",
                                 static_cast<long long>(idleTimeoutUs_ / 1000)));
        }
        if (fds[1].revents & POLLIN)
            acceptClient(clock);
        if (fds[1].revents & (POLLERR | POLLNVAL)) {
            error = "the listening socket failed";
            return false;
        }
    }
}

}  // namespace kv58::sim

#else  // _WIN32

namespace kv58::sim {

bool parseListenEndpoint(const std::string&, ListenEndpoint&, std::string& error) {
    error = "the network server is not available on this platform yet";
    return false;
}
std::unique_ptr<Rfc2217Server> Rfc2217Server::open(SimDevice&, const ListenEndpoint&,
                                                   std::string& error) {
    error = "the network server is not available on this platform yet";
    return nullptr;
}
Rfc2217Server::~Rfc2217Server() = default;
std::string Rfc2217Server::portName() const {
    return "";
}
bool Rfc2217Server::serve(Clock&, std::string& error) {
    error = "the network server is not available on this platform yet";
    return false;
}
void Rfc2217Server::stop() {}

}  // namespace kv58::sim

#endif
