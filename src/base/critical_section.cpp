#include "base/critical_section.h"

#include <cstdio>

#include "base/critical_section_platform.h"

namespace kv58 {

namespace {

int depth = 0;

std::function<void(const std::string&)>& reporter() {
    static std::function<void(const std::string&)> report = [](const std::string& request) {
        std::fprintf(stderr, "%s was held until the transmitter was safe; ending now\n",
                     request.c_str());
    };
    return report;
}

}  // namespace

CriticalSection::CriticalSection() {
    if (depth++ == 0)
        critical_section_platform::holdRequests();
}

CriticalSection::~CriticalSection() {
    if (--depth > 0)
        return;
    const std::string held = critical_section_platform::heldRequest();
    if (!held.empty() && reporter())
        reporter()(held);
    critical_section_platform::releaseRequests();
}

bool inCriticalSection() {
    return depth > 0;
}

void setHeldInterruptReporter(std::function<void(const std::string& request)> report) {
    reporter() = std::move(report);
}

}  // namespace kv58
