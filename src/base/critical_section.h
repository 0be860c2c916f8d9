// Holding back interrupts while a transmitter must not be left alone.
//
// Between the first erase of a write and its verified end the transmitter holds neither its
// old nor its new data; a program that ends there leaves it damaged. A CriticalSection holds
// the requests to end the program that can be held (SIGINT, SIGTERM and SIGHUP on POSIX
// systems; Ctrl-C, Ctrl-Break and the closing of the console on Windows) from its
// construction to its destruction. Such a run is short and bounded, so nothing is lost by
// waiting. Sections nest; when the outermost one ends, a request that came meanwhile is
// reported (setHeldInterruptReporter) and then takes its usual course: the program ends as
// that request ends it. SIGKILL and lost power cannot be held; the next read finds what they
// left (device/segment_state.h). A window's close box needs no section: the desktop front
// ends queue every command that comes while one runs, closing included.
//
// The sections of one program are meant for its one thread of device work.
#pragma once

#include <functional>
#include <string>

namespace kv58 {

class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
};

// Whether a section is open.
bool inCriticalSection();

// Called when the outermost section ends with a held request, before the request is honoured,
// with a text that names it ("interrupt (SIGINT)"). The default writes a line to standard
// error.
void setHeldInterruptReporter(std::function<void(const std::string& request)> reporter);

}  // namespace kv58
