// One TCP connection that carries a Telnet stream, for the network serial port and for the
// simulated transmitter's server.
//
// The socket is non-blocking: bytes to send go to a queue and the socket takes what it can,
// so a slow or stalled peer never blocks the caller; reads take only what has arrived. The one
// blocking call is wait(), which sleeps in poll() until bytes arrive, the peer hangs up or the
// time is up, sending queued bytes as the socket takes them. No call raises SIGPIPE. Once the
// peer has closed the connection or it has failed, closed() is true and closeReason() says why.
// BSD sockets and Winsock alike; a socket is held as an int (Windows handles fit in 32 bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kv58::telnet {

class Connection {
public:
    // Connects to host:port, trying each address of the host, within `timeoutMs`. Null with
    // the reason in `error` ("cannot connect: Connection refused", "no answer within 3000 ms").
    static std::unique_ptr<Connection> connect(const std::string& host, uint16_t port,
                                               int64_t timeoutMs, std::string& error);
    // Takes a connected socket (the server's accepted clients).
    explicit Connection(int fd);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int fd() const { return fd_; }

    // Queues the bytes and hands the network what it takes now. False when the connection is
    // closed or more than kMaxUnsent bytes are waiting (the peer stopped reading).
    bool send(std::span<const uint8_t> bytes);
    // Hands the network what it takes now of the queue; false when the connection is closed.
    bool flush();
    // Bytes queued and not yet taken by the network.
    size_t unsent() const { return out_.size(); }

    // Reads what has arrived, up to the buffer's size; 0 when nothing (or closed).
    size_t receive(std::span<uint8_t> buffer);
    // The most a caller takes in one go before it looks at its clock again: a peer that
    // sends without pause must never keep a reader from its time-outs.
    static constexpr size_t kMaxReceivedAtOnce = 64 * 1024;

    // Blocks until bytes arrive, the peer hangs up, or `timeoutUs` has passed (negative:
    // no limit), sending queued bytes meanwhile. Returns at once when closed.
    void wait(int64_t timeoutUs);

    bool closed() const { return fd_ < 0 || !closeReason_.empty(); }
    // Gives the connection up for a reason of the caller's (the peer broke the protocol):
    // from now on it counts as closed, with that reason.
    void abandon(const std::string& reason) { fail(reason); }
    const std::string& closeReason() const { return closeReason_; }
    // Says goodbye: sends what is queued, tells the peer that nothing more comes, and waits
    // up to `timeoutUs` for the peer to close its side, dropping what it still sends. A server
    // that closes its device before it hangs up is then ready for the next client.
    void hangUp(int64_t timeoutUs);
    // Closes the socket; further calls do nothing.
    void close();

    static constexpr size_t kMaxUnsent = 64 * 1024;

private:
    void fail(const std::string& reason);

    int fd_;
    std::vector<uint8_t> out_;
    std::string closeReason_;
};

// Makes a socket fit for these connections: non-blocking, closed on exec, no SIGPIPE where
// the system offers that per socket, and TCP_NODELAY (a single byte goes out at once).
void prepareSocket(int fd);

// "host:port", with brackets around an IPv6 address.
std::string formatEndpoint(const std::string& host, uint16_t port);

}  // namespace kv58::telnet
