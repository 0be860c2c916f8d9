// One overlapped call at a time on a device handle. The OVERLAPPED record and its event live
// here for as long as the system may still write to them: a call that neither completes nor
// ends when asked is left pending, marks the object stuck (it is never reused), and is ended
// by closing the handle.
#pragma once

#include <windows.h>

#include <functional>

namespace kv58::win32 {

class OverlappedCall {
public:
    enum class End { Completed, Failed, TimedOut, Stuck };

    OverlappedCall();
    ~OverlappedCall();
    OverlappedCall(const OverlappedCall&) = delete;
    OverlappedCall& operator=(const OverlappedCall&) = delete;

    // False when the event could not be made or an earlier call is stuck.
    bool ready() const { return event_ != nullptr && !stuck_; }

    // A fresh record for the next call, its event reset.
    OVERLAPPED* begin();

    // Completes the call that took begin()'s record and returned `started`. A call still pending
    // after `waitMs` is ended by `endEarly` (when given) or cancelled, and then counts as timed
    // out; `done` is the byte count of a completed call.
    End finish(HANDLE handle, BOOL started, DWORD waitMs, const std::function<void()>& endEarly,
               DWORD& done);

    // The system's error code of the last Failed or Stuck end.
    DWORD error() const { return error_; }

private:
    bool await(DWORD ms) const;

    HANDLE event_;
    OVERLAPPED record_{};
    bool stuck_ = false;
    DWORD error_ = 0;
};

}  // namespace kv58::win32
