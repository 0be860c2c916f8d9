// The name of a network serial port:
//
//   rfc2217://HOST:PORT[?OPTION&OPTION…]
//
// HOST is a name or an address (an IPv6 address in brackets: rfc2217://[::1]:4000). Options:
//   timeout=SECONDS   how long to wait for the connection, the negotiation and each answer
//                     to a line setting (default 3; fractions allowed)
//   ign_set_control   do not wait for answers to SET-CONTROL (servers such as ser2net on a
//                     pseudo-terminal never send them)
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kv58::rfc2217 {

inline constexpr const char* kScheme = "rfc2217://";
inline constexpr const char* kUsage =
    "rfc2217://HOST:PORT[?timeout=SECONDS&ign_set_control] (a network serial port)";

struct Address {
    std::string host;
    uint16_t port = 0;
    int64_t timeoutMs = 3000;
    bool ignoreSetControl = false;
};

// Splits "HOST:PORT" or "[IPV6]:PORT" into its two texts (the port unchecked); false when the
// host is missing or an IPv6 address lacks its brackets.
bool splitHostPort(const std::string& text, std::string& host, std::string& port);

// A TCP port number 0…65535 written in decimal digits; none for anything else.
std::optional<uint16_t> parsePortNumber(const std::string& text);

// Parses a port name; false with an error that quotes the name and the expected form.
bool parseAddress(const std::string& name, Address& address, std::string& error);

}  // namespace kv58::rfc2217
