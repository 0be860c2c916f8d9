#include "base/critical_section.h"

#include <cstdio>
#include <utility>

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

std::function<void()>& deferredAction() {
    static std::function<void()> action;
    return action;
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
    if (auto action = std::exchange(deferredAction(), nullptr))
        action();
    critical_section_platform::releaseRequests();
}

bool inCriticalSection() {
    return depth > 0;
}

void setHeldInterruptReporter(std::function<void(const std::string& request)> report) {
    reporter() = std::move(report);
}

void whenOutsideCriticalSection(std::function<void()> action) {
    if (depth == 0) {
        action();
        return;
    }
    deferredAction() = std::move(action);
}

}  // namespace kv58
