#include "serial/win32_overlapped.h"

namespace kv58::win32 {

namespace {

// How long a pending call may take to end once it has been asked to.
constexpr DWORD kEndLimitMs = 1000;

}  // namespace

OverlappedCall::OverlappedCall() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

OverlappedCall::~OverlappedCall() {
    if (event_)
        CloseHandle(event_);
}

OVERLAPPED* OverlappedCall::begin() {
    record_ = OVERLAPPED{};
    record_.hEvent = event_;
    ResetEvent(event_);
    return &record_;
}

bool OverlappedCall::await(DWORD ms) const {
    return WaitForSingleObject(event_, ms) == WAIT_OBJECT_0;
}

OverlappedCall::End OverlappedCall::finish(HANDLE handle, BOOL started, DWORD waitMs,
                                           const std::function<void()>& endEarly, DWORD& done) {
    done = 0;
    if (!started) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            error_ = code;
            return End::Failed;
        }
        if (!await(waitMs)) {
            // Some drivers cannot cancel a wait for events but end it for a new event mask;
            // cancelling is the other way.
            bool ended = false;
            if (endEarly) {
                endEarly();
                ended = await(kEndLimitMs);
            }
            if (!ended) {
                CancelIoEx(handle, &record_);  // fails when the call has just ended by itself
                ended = await(kEndLimitMs);
            }
            if (!ended) {
                stuck_ = true;
                error_ = ERROR_TIMEOUT;
                return End::Stuck;
            }
            GetOverlappedResult(handle, &record_, &done, FALSE);
            return End::TimedOut;
        }
    }
    if (!GetOverlappedResult(handle, &record_, &done, FALSE)) {
        error_ = GetLastError();
        return End::Failed;
    }
    return End::Completed;
}

}  // namespace kv58::win32
