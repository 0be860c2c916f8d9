// Ports that the Windows tests run on, named by the environment (scripts/cross-test sets
// them): KV58_TEST_PORT_PAIR=COM5,COM6 (two connected ports), KV58_TEST_SIM_PORT=COM7 (a port
// with the simulated transmitter behind it). A test whose ports are not named is skipped,
// unless KV58_TEST_REQUIRE_PORTS is set.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kv58 {

inline std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline bool portsRequired() {
    return !environment("KV58_TEST_REQUIRE_PORTS").empty();
}

#define KV58_NEED_PORTS(condition, what)                                            \
    do {                                                                            \
        if (!(condition)) {                                                         \
            if (portsRequired())                                                    \
                FAIL() << what << " not given, but KV58_TEST_REQUIRE_PORTS is set"; \
            GTEST_SKIP() << what << " not given";                                   \
        }                                                                           \
    } while (false)

}  // namespace kv58
