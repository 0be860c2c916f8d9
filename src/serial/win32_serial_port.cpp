// The hardware backend on Windows: a COM port through the Win32 communications calls.
//
// The port is opened exclusively and overlapped, so that waiting for the first byte can block
// in WaitCommEvent with a time-out instead of polling the queue count. The driver's time-outs
// are all zero while the port is open (reads take only bytes already queued) and are put back
// as found when it closes. A driver that cannot wait for events is waited for by the clock,
// in steps no shorter than a millisecond.
#ifdef _WIN32

#include <algorithm>
#include <array>

#include "base/text.h"
#include "serial/hardware_port.h"
#include "serial/win32_comm.h"
#include "serial/win32_overlapped.h"

namespace kv58 {

namespace {

// Longest wait for one transfer: a byte takes at most 100 ms even at 110 baud.
constexpr DWORD kTransferLimitMs = 1000;

DWORD waitMs(int64_t us) {
    return static_cast<DWORD>(std::clamp<int64_t>((us + 999) / 1000, 1, 24 * 3600 * 1000));
}

class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort(HANDLE handle, std::string name, const COMMTIMEOUTS& saved, const DCB& found,
                    Clock& clock)
        : handle_(handle), name_(std::move(name)), saved_(saved), found_(found), clock_(clock) {
        eventWait_ = SetCommMask(handle_, EV_RXCHAR) != 0;
        if (!eventWait_)
            eventWaitError_ = GetLastError();
    }
    ~Win32SerialPort() override { close(); }

    bool configure(const LineSettings& settings, std::string& error) override;
    bool setDtr(bool on) override { return escape(on ? SETDTR : CLRDTR, dtrNoted_, "DTR"); }
    bool setRts(bool on) override { return escape(on ? SETRTS : CLRRTS, rtsNoted_, "RTS"); }
    size_t inputQueued() override { return status().cbInQue; }
    size_t outputQueued() override { return status().cbOutQue; }
    void purge(bool input, bool output, bool abort) override;
    bool writeByte(uint8_t byte) override;
    size_t read(uint8_t* destination, size_t max) override;
    size_t waitForInput(size_t count, int64_t timeoutMs) override;
    bool close() override;

private:
    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    COMSTAT status();
    bool escape(DWORD function, bool& noted, const char* lineName);
    void blockForInput(size_t queued, size_t count, int64_t remainingUs);
    bool waitForCommEvent(int64_t remainingUs);

    HANDLE handle_;
    std::string name_;
    COMMTIMEOUTS saved_;
    DCB found_;
    Clock& clock_;
    LineSettings line_;
    // Overlapped calls with the buffers the system fills or reads while they run.
    win32::OverlappedCall transfer_;
    std::array<uint8_t, win32::kQueueSize> readBuffer_{};
    uint8_t writeBuffer_ = 0;
    win32::OverlappedCall commWait_;
    DWORD commMask_ = 0;
    bool eventWait_ = false;
    DWORD eventWaitError_ = 0;
    bool clockWaitNoted_ = false;
    bool dtrNoted_ = false;
    bool writeFailureNoted_ = false;
    bool rtsNoted_ = false;
};

bool Win32SerialPort::configure(const LineSettings& s, std::string& error) {
    if (s.dataBits < 5 || s.dataBits > 8) {
        error = strprintf("%s: %u data bits cannot be set (5 to 8 can)", name_.c_str(), s.dataBits);
        return false;
    }
    DCB dcb = found_;
    win32::applyLineSettings(dcb, s);
    if (!isOpen() || !SetCommState(handle_, &dcb)) {
        error = strprintf("%s: line settings %s rejected: %s", name_.c_str(), describe(s).c_str(),
                          win32::errorText(GetLastError()).c_str());
        return false;
    }
    line_ = s;
    return true;
}

bool Win32SerialPort::escape(DWORD function, bool& noted, const char* lineName) {
    if (isOpen() && EscapeCommFunction(handle_, function))
        return true;
    if (!noted) {
        noted = true;
        note(strprintf("%s: %s not applied (%s)", name_.c_str(), lineName,
                       win32::errorText(GetLastError()).c_str()));
    }
    return false;
}

COMSTAT Win32SerialPort::status() {
    COMSTAT stat{};
    DWORD errors = 0;
    if (!isOpen() || !ClearCommError(handle_, &errors, &stat))
        return COMSTAT{};
    return stat;
}

void Win32SerialPort::purge(bool input, bool output, bool abort) {
    const DWORD flags = win32::purgeFlags(input, output, abort);
    if (isOpen() && flags != 0)
        PurgeComm(handle_, flags);
}

// With the driver's time-outs at zero nothing else limits a transfer, so one that a dead or
// stalled port never finishes is ended after kTransferLimitMs and counts as failed.
bool Win32SerialPort::writeByte(uint8_t byte) {
    if (!isOpen() || !transfer_.ready())
        return false;
    writeBuffer_ = byte;
    const BOOL started = WriteFile(handle_, &writeBuffer_, 1, nullptr, transfer_.begin());
    DWORD written = 0;
    const auto end = transfer_.finish(handle_, started, kTransferLimitMs, nullptr, written);
    if (end == win32::OverlappedCall::End::Completed && written == 1)
        return true;
    if (!writeFailureNoted_) {
        writeFailureNoted_ = true;
        note(end == win32::OverlappedCall::End::Failed
                 ? strprintf("%s: sending failed (%s)", name_.c_str(),
                             win32::errorText(transfer_.error()).c_str())
                 : strprintf("%s: a byte was not sent within %lu ms", name_.c_str(),
                             static_cast<unsigned long>(kTransferLimitMs)));
    }
    return false;
}

size_t Win32SerialPort::read(uint8_t* destination, size_t max) {
    // With all time-outs zero a read waits for every byte asked for: ask only for queued ones.
    const DWORD wanted = static_cast<DWORD>(std::min({max, inputQueued(), readBuffer_.size()}));
    if (wanted == 0 || !transfer_.ready())
        return 0;
    const BOOL started = ReadFile(handle_, readBuffer_.data(), wanted, nullptr, transfer_.begin());
    DWORD got = 0;
    if (transfer_.finish(handle_, started, kTransferLimitMs, nullptr, got) !=
        win32::OverlappedCall::End::Completed)
        return 0;
    std::copy_n(readBuffer_.begin(), std::min<size_t>(got, wanted), destination);
    return got;
}

// Blocks until the driver reports a received byte or the time is up. False when the driver
// cannot wait for events at all.
bool Win32SerialPort::waitForCommEvent(int64_t remainingUs) {
    if (!commWait_.ready())
        return false;
    const BOOL started = WaitCommEvent(handle_, &commMask_, commWait_.begin());
    DWORD ignored = 0;
    // A new event mask ends a pending wait on every driver; not all of them can cancel it.
    const auto end = commWait_.finish(
        handle_, started, waitMs(remainingUs), [this] { SetCommMask(handle_, EV_RXCHAR); },
        ignored);
    if (end == win32::OverlappedCall::End::Completed || end == win32::OverlappedCall::End::TimedOut)
        return true;
    eventWaitError_ = commWait_.error();
    return false;
}

// Blocks once: in WaitCommEvent until the first byte arrives, or, with some bytes already
// queued, for the time the missing ones take on the line (some drivers report a received
// byte for as long as any is queued, so the event wait would return at once).
void Win32SerialPort::blockForInput(size_t queued, size_t count, int64_t remainingUs) {
    if (queued == 0 && eventWait_) {
        if (waitForCommEvent(remainingUs))
            return;
        eventWait_ = false;
    }
    if (!eventWait_ && !clockWaitNoted_) {
        clockWaitNoted_ = true;
        note(strprintf("%s: the driver does not signal received bytes (%s); waiting by the clock",
                       name_.c_str(), win32::errorText(eventWaitError_).c_str()));
    }
    // The time the missing bytes take on the line, at least a millisecond.
    const int64_t lineUs = static_cast<int64_t>(count - queued) * characterTimeUs(line_);
    Sleep(waitMs(std::min(remainingUs, lineUs)));
}

size_t Win32SerialPort::waitForInput(size_t count, int64_t timeoutMs) {
    return waitForQueuedInput(count, timeoutMs, clock_, [this, count](size_t queued, int64_t us) {
        if (!isOpen())
            return false;
        blockForInput(queued, count, us);
        return true;
    });
}

bool Win32SerialPort::close() {
    if (!isOpen())
        return true;
    SetCommTimeouts(handle_, &saved_);
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed != 0;
}

}  // namespace

std::unique_ptr<SerialPort> openHardwarePort(const std::string& name, Clock& clock,
                                             std::string& error) {
    const HANDLE handle =
        CreateFileA(win32::devicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = win32::openFailureText(name, GetLastError());
        return nullptr;
    }
    COMMTIMEOUTS saved{};
    bool timeoutsChanged = false;
    auto fail = [&](const char* step) -> std::unique_ptr<SerialPort> {
        error = strprintf("cannot prepare serial port %s (%s): %s", name.c_str(), step,
                          win32::errorText(GetLastError()).c_str());
        if (timeoutsChanged)
            SetCommTimeouts(handle, &saved);
        CloseHandle(handle);
        return nullptr;
    };
    if (GetFileType(handle) != FILE_TYPE_CHAR) {
        CloseHandle(handle);
        error = strprintf("%s is not a serial port", name.c_str());
        return nullptr;
    }
    if (!SetupComm(handle, win32::kQueueSize, win32::kQueueSize))
        return fail("queue sizes");
    if (!GetCommTimeouts(handle, &saved))
        return fail("reading the time-outs");
    COMMTIMEOUTS none{};  // no read or write time-out: only queued bytes are ever read
    if (!SetCommTimeouts(handle, &none))
        return fail("setting the time-outs");
    timeoutsChanged = true;
    DCB found{};
    found.DCBlength = sizeof found;
    if (!GetCommState(handle, &found))
        return fail("reading the line settings");
    return std::make_unique<Win32SerialPort>(handle, name, saved, found, clock);
}

}  // namespace kv58

#endif  // _WIN32
