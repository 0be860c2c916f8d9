#include "interrupt_wait.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>

#include <csignal>
#endif

namespace kv58::cli {

#ifdef _WIN32

namespace {

// Manual-reset, so that an interrupt before wait() is not lost.
HANDLE interruptEvent() {
    static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL WINAPI onConsoleControl(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            SetEvent(interruptEvent());
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

InterruptWait::InterruptWait() {
    ResetEvent(interruptEvent());
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

InterruptWait::~InterruptWait() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
}

void InterruptWait::wait() {
    WaitForSingleObject(interruptEvent(), INFINITE);
}

#else

namespace {

sigset_t interruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

// The signals stay blocked (pending) until sigwait() takes one.
InterruptWait::InterruptWait() {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

InterruptWait::~InterruptWait() {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void InterruptWait::wait() {
    const sigset_t set = interruptSignals();
    int signal = 0;
    sigwait(&set, &signal);
}

#endif

}  // namespace kv58::cli
