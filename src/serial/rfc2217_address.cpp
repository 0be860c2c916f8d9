#include "serial/rfc2217_address.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/text.h"

namespace kv58::rfc2217 {

namespace {

bool isDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::optional<uint16_t> parsePortNumber(const std::string& text) {
    if (!isDigits(text) || text.size() > 5 || std::stoul(text) > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(std::stoul(text));
}

bool splitHostPort(const std::string& text, std::string& host, std::string& port) {
    size_t colon;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return false;
        host = text.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = text.rfind(':');
        if (colon == std::string::npos)
            return false;
        host = text.substr(0, colon);
        if (host.find(':') != std::string::npos)
            return false;  // an IPv6 address needs brackets
    }
    port = text.substr(colon + 1);
    return !host.empty();
}

namespace {

// What is wrong with an endpoint that splitHostPort refused, for the user.
std::string endpointFault(const std::string& endpoint) {
    if (endpoint.empty())
        return "host and port missing";
    if (endpoint[0] == '[') {
        const size_t close = endpoint.find(']');
        if (close == std::string::npos)
            return "\"]\" missing after the IPv6 address";
        return close == 1 ? "host missing" : "port missing";
    }
    const size_t colon = endpoint.rfind(':');
    if (colon == std::string::npos)
        return "port missing";
    if (endpoint.find(':') != colon)
        return "an IPv6 address needs brackets, as in [::1]:4000";
    return "host missing";
}

bool parseSeconds(const std::string& text, int64_t& ms) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    errno = 0;
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(seconds) || seconds <= 0 || seconds > 3600)
        return false;
    ms = std::max<int64_t>(1, std::llround(seconds * 1000));
    return true;
}

bool parseOption(const std::string& item, Address& address, std::string& why) {
    const size_t eq = item.find('=');
    const std::string key = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
    if (key == "timeout") {
        if (parseSeconds(value, address.timeoutMs))
            return true;
        why = strprintf("timeout \"%s\" is not a number of seconds above 0 (up to 3600)",
                        value.c_str());
        return false;
    }
    if (key == "ign_set_control" && eq == std::string::npos) {
        address.ignoreSetControl = true;
        return true;
    }
    why = strprintf("unknown option \"%s\" (accepted: timeout=SECONDS, ign_set_control)",
                    item.c_str());
    return false;
}

}  // namespace

bool parseAddress(const std::string& name, Address& address, std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = strprintf("\"%s\": %s; expected %s", name.c_str(), why.c_str(), kUsage);
        return false;
    };
    const size_t schemeLength = std::strlen(kScheme);
    if (name.compare(0, schemeLength, kScheme) != 0)
        return fail("not a network port name");
    const size_t question = name.find('?', schemeLength);
    const std::string endpoint = name.substr(schemeLength, question - schemeLength);
    std::string port;
    if (!splitHostPort(endpoint, address.host, port))
        return fail(endpointFault(endpoint));
    const std::optional<uint16_t> number = parsePortNumber(port);
    if (!number || *number == 0)
        return fail(strprintf("port \"%s\" is not a number from 1 to 65535", port.c_str()));
    address.port = *number;
    if (question == std::string::npos)
        return true;
    const std::string query = name.substr(question + 1);
    size_t start = 0;
    while (start <= query.size()) {
        const size_t amp = std::min(query.find('&', start), query.size());
        const std::string item = query.substr(start, amp - start);
        start = amp + 1;
        std::string why;
        if (!item.empty() && !parseOption(item, address, why))
            return fail(why);
    }
    return true;
}

}  // namespace kv58::rfc2217
