// A scripted network peer on loopback for the tests of the network serial port: it listens on
// a free port, accepts one client and runs a script on the raw socket in a thread. The script
// reads and writes Telnet bytes by hand, independently of the codec under test.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kv58::test {

using Bytes = std::vector<uint8_t>;

// The calls that differ between BSD sockets and Winsock.
namespace peer_socket {
#ifdef _WIN32
inline void start() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}
inline int pollOne(int fd, short events, int timeoutMs) {
    WSAPOLLFD p{static_cast<SOCKET>(fd), events, 0};
    return WSAPoll(&p, 1, timeoutMs);
}
inline void close(int fd) {
    closesocket(static_cast<SOCKET>(fd));
}
constexpr int kNoSigPipe = 0;
#else
inline void start() {}
inline int pollOne(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    return poll(&p, 1, timeoutMs);
}
inline void close(int fd) {
    ::close(fd);
}
constexpr int kNoSigPipe = MSG_NOSIGNAL;
#endif
}  // namespace peer_socket

class RawPeer {
public:
    explicit RawPeer(int fd) : fd_(fd) {}

    void send(const Bytes& bytes) const {
        [[maybe_unused]] const auto n =
            ::send(fd_, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                   peer_socket::kNoSigPipe);
    }
    // Sends the bytes over and over for up to `forMs` or until the client stops taking them
    // (it closed, or took nothing for a second); returns how many bytes went out.
    size_t stream(const Bytes& block, int forMs) const {
        const auto start = std::chrono::steady_clock::now();
        size_t total = 0;
        while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(forMs)) {
            if (peer_socket::pollOne(fd_, POLLOUT, 1000) != 1)
                break;
            const auto n = ::send(fd_, reinterpret_cast<const char*>(block.data()),
                                  static_cast<int>(block.size()), peer_socket::kNoSigPipe);
            if (n <= 0)
                break;
            total += static_cast<size_t>(n);
        }
        return total;
    }
    // Reads exactly `count` bytes, or fewer when nothing more arrives within `timeoutMs`.
    Bytes receive(size_t count, int timeoutMs = 2000) const {
        Bytes out;
        while (out.size() < count) {
            if (peer_socket::pollOne(fd_, POLLIN, timeoutMs) != 1)
                break;
            char byte = 0;
            if (::recv(fd_, &byte, 1, 0) != 1)
                break;
            out.push_back(static_cast<uint8_t>(byte));
        }
        return out;
    }
    // Reads one "FF FA 2C command value… FF F0" and returns command and value, with FF FF in
    // the value taken as one FF; empty when the client sent something else.
    Bytes receiveCommand(int timeoutMs = 2000) const {
        if (receive(3, timeoutMs) != Bytes{0xFF, 0xFA, 0x2C})
            return {};
        Bytes body;
        for (;;) {
            const Bytes b = receive(1, timeoutMs);
            if (b.empty())
                return {};
            if (b[0] != 0xFF) {
                body.push_back(b[0]);
                continue;
            }
            const Bytes next = receive(1, timeoutMs);
            if (next == Bytes{0xF0})
                return body;
            if (next != Bytes{0xFF})
                return {};
            body.push_back(0xFF);
        }
    }
    // Reads `count` data bytes, taking FF FF as one FF and setting aside the commands that
    // come between them (purges, control lines) in `commands`.
    Bytes receiveData(size_t count, std::vector<Bytes>& commands, int timeoutMs = 2000) const {
        Bytes data;
        while (data.size() < count) {
            const Bytes b = receive(1, timeoutMs);
            if (b.empty())
                break;
            if (b[0] != 0xFF) {
                data.push_back(b[0]);
                continue;
            }
            const Bytes next = receive(1, timeoutMs);
            if (next == Bytes{0xFF}) {
                data.push_back(0xFF);
            } else if (next == Bytes{0xFA}) {
                Bytes body;
                for (Bytes c; (c = receive(1, timeoutMs)) != Bytes{0xF0} && !c.empty();)
                    body.push_back(c[0]);
                if (body.size() >= 2)  // option, command, value…, FF (of FF F0)
                    commands.emplace_back(body.begin() + 1, body.end() - 1);
            }
        }
        return data;
    }
    // The answer to a command: FF FA 2C (command + 100) value… FF F0.
    void answer(uint8_t command, const Bytes& value) const {
        Bytes out{0xFF, 0xFA, 0x2C, static_cast<uint8_t>(command + 100)};
        for (uint8_t v : value) {
            out.push_back(v);
            if (v == 0xFF)
                out.push_back(0xFF);
        }
        out.insert(out.end(), {0xFF, 0xF0});
        send(out);
    }
    // Takes the client's opening requests (WILL BINARY, DO BINARY, WILL COM-PORT-OPTION) and
    // agrees to all of them; false when the client opened differently.
    bool agree() const {
        if (receive(9) != Bytes{0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x2C})
            return false;
        send({0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x2C});
        return true;
    }
    // Answers the five commands of a configuration with the values asked (each passed through
    // `change` first, which may alter it to play a server that refuses); the commands seen.
    std::vector<Bytes> answerConfiguration(
        const std::function<void(Bytes&)>& change = [](Bytes&) {},
        bool answerControl = true) const {
        std::vector<Bytes> seen;
        for (int i = 0; i < 5; ++i) {
            Bytes command = receiveCommand();
            if (command.empty())
                break;
            seen.push_back(command);
            change(command);
            if (command[0] != 5 || answerControl)
                answer(command[0], Bytes(command.begin() + 1, command.end()));
        }
        return seen;
    }
    void close() {
        if (fd_ >= 0)
            peer_socket::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

class ScriptedServer {
public:
    ScriptedServer() {
        peer_socket::start();
        listenFd_ = static_cast<int>(socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listenFd_, 2);
        socklen_t length = sizeof a;
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
    }
    ~ScriptedServer() {
        if (thread_.joinable())
            thread_.join();
        peer_socket::close(listenFd_);
    }

    uint16_t port() const { return port_; }
    std::string name(const std::string& options = "") const {
        return "rfc2217://127.0.0.1:" + std::to_string(port_) + options;
    }

    // Accepts one client (within five seconds) and runs `script` on it in a thread; the
    // socket is closed when the script returns.
    void run(std::function<void(RawPeer&)> script) {
        thread_ = std::thread([this, script = std::move(script)] {
            if (peer_socket::pollOne(listenFd_, POLLIN, 5000) != 1)
                return;
            RawPeer peer(static_cast<int>(accept(listenFd_, nullptr, nullptr)));
            script(peer);
            peer.close();
        });
    }
    void join() {
        if (thread_.joinable())
            thread_.join();
    }

private:
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
};

inline int64_t elapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

}  // namespace kv58::test
