// Windows: a console control handler takes Ctrl-C and Ctrl-Break while held and notes them;
// the closing of the console (or a log-off or shut-down) cannot be refused, so its handler
// waits, up to the time the system grants it, for the section to end. Honouring a held
// request ends the program as the system's own handler would.
#include <windows.h>

#include <atomic>

#include "base/critical_section_platform.h"

namespace kv58::critical_section_platform {

namespace {

constexpr DWORD kNone = 0xFFFFFFFF;
// The exit status of a program that Ctrl-C ended.
constexpr UINT kControlCExit = 0xC000013A;

std::atomic<DWORD> held{kNone};

HANDLE releasedEvent() {
    static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL WINAPI onConsoleControl(DWORD type) {
    held = type;
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT)
        return TRUE;
    WaitForSingleObject(releasedEvent(), INFINITE);
    return FALSE;
}

}  // namespace

void holdRequests() {
    held = kNone;
    ResetEvent(releasedEvent());
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

std::string heldRequest() {
    switch (held.load()) {
        case kNone:
            return "";
        case CTRL_C_EVENT:
            return "Ctrl-C";
        case CTRL_BREAK_EVENT:
            return "Ctrl-Break";
        default:
            return "closing of the console";
    }
}

void releaseRequests() {
    const bool end = held.load() != kNone;
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    SetEvent(releasedEvent());
    if (end)
        ExitProcess(kControlCExit);
}

}  // namespace kv58::critical_section_platform
