// The hardware backend on POSIX systems: a serial device through termios.
//
// The port is held exclusively: TIOCEXCL keeps other programs from opening the device, and
// since root passes TIOCEXCL, an advisory flock() as well, which every program of this
// system takes. A pseudo-terminal is accepted as a port (tests, the simulated transmitter):
// it has no modem-control lines and the kernel forces 8 data bits without parity on it, so
// what it cannot carry is noted instead of failing.
#if !defined(_WIN32)

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/text.h"
#include "serial/hardware_port.h"
#include "serial/posix_custom_baud.h"
#include "serial/posix_low_latency.h"

namespace kv58 {

namespace {

void sleepRealUs(int64_t us) {
    if (us <= 0)
        return;
    timespec t{static_cast<time_t>(us / 1'000'000), static_cast<long>(us % 1'000'000) * 1000};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

// The termios constant of a baud rate, or B0 when the fixed table has none.
speed_t standardSpeed(uint32_t baud) {
    switch (baud) {
        case 110:
            return B110;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return B0;
    }
}

bool isPseudoTerminal(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;  // Unix98 pseudo-terminal slaves
}

bool isWindowsPortName(const std::string& name) {
    if (name.size() < 4 || !startsWithIgnoreCase(name, "COM"))
        return false;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
    }
    return true;
}

// The character-size, parity and stop-bit part of a configuration that must match.
constexpr tcflag_t kFrameBits = CSIZE | PARENB | PARODD | CSTOPB
#ifdef CMSPAR
                                | CMSPAR
#endif
    ;

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort(int fd, std::string name, const termios& saved, Clock& clock)
        : fd_(fd),
          name_(std::move(name)),
          saved_(saved),
          clock_(clock),
          pty_(isPseudoTerminal(fd)) {}
    ~PosixSerialPort() override { close(); }

    // Low-latency mode where the driver offers it (a pseudo-terminal has no driver latency).
    void useLowLatency();

    bool configure(const LineSettings& settings, std::string& error) override;
    bool setDtr(bool on) override { return setLine(TIOCM_DTR, on, dtrNoted_, "DTR"); }
    bool setRts(bool on) override { return setLine(TIOCM_RTS, on, rtsNoted_, "RTS"); }
    size_t inputQueued() override { return queueCount(TIOCINQ); }
    size_t outputQueued() override { return queueCount(TIOCOUTQ); }
    void purge(bool input, bool output, bool abort) override;
    bool writeByte(uint8_t byte) override;
    size_t read(uint8_t* destination, size_t max) override;
    size_t waitForInput(size_t count, int64_t timeoutMs) override;
    bool close() override;

private:
    bool buildTermios(const LineSettings& s, termios& t, std::string& error) const;
    bool applyFrameBits(termios& t, const LineSettings& s, std::string& error);
    bool setLine(int bit, bool on, bool& noted, const char* lineName);
    size_t queueCount(unsigned long request) const;
    void blockForInput(size_t queued, size_t count, int64_t remainingUs);

    int fd_;
    std::string name_;
    termios saved_;
    Clock& clock_;
    bool pty_;
    LineSettings line_;
    bool dtrNoted_ = false;
    bool rtsNoted_ = false;
    LowLatencyChange lowLatency_;
};

void PosixSerialPort::useLowLatency() {
    if (pty_)
        return;
    lowLatency_ = enableLowLatency(fd_);
    switch (lowLatency_.state) {
        case LowLatencyChange::State::Switched:
            note(name_ + ": low-latency mode on (received bytes are passed on at once)");
            break;
        case LowLatencyChange::State::AlreadyOn:
            note(name_ + ": low-latency mode was already on");
            break;
        case LowLatencyChange::State::NotOffered:
            note(name_ + ": the driver offers no low-latency mode (" + lowLatency_.reason + ")");
            break;
    }
}

bool PosixSerialPort::buildTermios(const LineSettings& s, termios& t, std::string& error) const {
    if (tcgetattr(fd_, &t) != 0) {
        error =
            strprintf("%s: cannot read the line settings: %s", name_.c_str(), std::strerror(errno));
        return false;
    }
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | kFrameBits);
    // Bytes with a parity error are passed on unchanged, as they were received; the frame
    // checksum finds them. Neither replaced nor dropped nor marked.
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    if (s.dataBits < 5 || s.dataBits > 8) {
        error = strprintf("%s: %u data bits cannot be set (5 to 8 can)", name_.c_str(), s.dataBits);
        return false;
    }
    t.c_cflag |= kSizes[s.dataBits - 5];
    switch (s.parity) {
        case Parity::None:
            break;
        case Parity::Even:
            t.c_cflag |= PARENB;
            break;
        case Parity::Odd:
            t.c_cflag |= PARENB | PARODD;
            break;
#ifdef CMSPAR
        case Parity::Mark:
            t.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case Parity::Space:
            t.c_cflag |= PARENB | CMSPAR;
            break;
#else
        case Parity::Mark:
        case Parity::Space:
            error = strprintf("%s: mark and space parity are not supported on this system",
                              name_.c_str());
            return false;
#endif
    }
    switch (s.stopBits) {
        case StopBits::One:
            break;
        case StopBits::Two:
            t.c_cflag |= CSTOPB;
            break;
        case StopBits::OneAndHalf:
            error = strprintf(
                "%s: 1.5 stop bits are not supported on this system (only on "
                "Windows); use 1 or 2",
                name_.c_str());
            return false;
    }
    const speed_t speed = standardSpeed(s.baud);
    if (speed != B0) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
    return true;
}

// Applies `t`; on a pseudo-terminal, data bits and parity that the kernel refuses are left
// at 8 bits without parity and noted. Elsewhere a refused or altered setting is an error.
bool PosixSerialPort::applyFrameBits(termios& t, const LineSettings& s, std::string& error) {
    const tcflag_t wanted = t.c_cflag & kFrameBits;
    int rc = tcsetattr(fd_, TCSANOW, &t);
    if (rc != 0 && errno == EINVAL && pty_) {
        t.c_cflag &= ~kFrameBits;
        t.c_cflag |= CS8 | (wanted & CSTOPB);
        rc = tcsetattr(fd_, TCSANOW, &t);
    }
    if (rc != 0) {
        error = strprintf("%s: line settings %s rejected: %s", name_.c_str(), describe(s).c_str(),
                          std::strerror(errno));
        return false;
    }
    termios now{};
    if (tcgetattr(fd_, &now) == 0 && (now.c_cflag & kFrameBits) != wanted) {
        if (!pty_) {
            error = strprintf("%s: line settings %s not taken by the device", name_.c_str(),
                              describe(s).c_str());
            return false;
        }
        note(
            strprintf("pseudo-terminal %s: %u data bits and parity not applied (8 bits, no "
                      "parity)",
                      name_.c_str(), s.dataBits));
    }
    return true;
}

bool PosixSerialPort::configure(const LineSettings& s, std::string& error) {
    termios t{};
    if (!buildTermios(s, t, error) || !applyFrameBits(t, s, error))
        return false;
    if (standardSpeed(s.baud) == B0 && !setCustomBaud(fd_, s.baud)) {
        error = strprintf("%s: baud rate %u cannot be set on this port: %s", name_.c_str(), s.baud,
                          std::strerror(errno));
        return false;
    }
    line_ = s;
    return true;
}

bool PosixSerialPort::setLine(int bit, bool on, bool& noted, const char* lineName) {
    if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0)
        return true;
    if (!noted) {
        noted = true;
        note(strprintf("%s%s: %s not applied (%s)", pty_ ? "pseudo-terminal " : "", name_.c_str(),
                       lineName, std::strerror(errno)));
    }
    return false;
}

size_t PosixSerialPort::queueCount(unsigned long request) const {
    int n = 0;
    if (fd_ < 0 || ioctl(fd_, request, &n) != 0 || n < 0)
        return 0;
    return static_cast<size_t>(n);
}

void PosixSerialPort::purge(bool input, bool output, bool /*abort: nothing is pending*/) {
    if (fd_ < 0)
        return;
    if (input && output) {
        tcflush(fd_, TCIOFLUSH);
    } else if (input) {
        tcflush(fd_, TCIFLUSH);
    } else if (output) {
        tcflush(fd_, TCOFLUSH);
    }
}

bool PosixSerialPort::writeByte(uint8_t byte) {
    if (fd_ < 0)
        return false;
    for (;;) {
        const ssize_t n = ::write(fd_, &byte, 1);
        if (n == 1)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        return false;
    }
}

size_t PosixSerialPort::read(uint8_t* destination, size_t max) {
    if (fd_ < 0 || max == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, destination, max);  // VMIN = VTIME = 0: never blocks
        if (n >= 0)
            return static_cast<size_t>(n);
        if (errno != EINTR)
            return 0;
    }
}

// Blocks once: in poll() until the first byte arrives, or, with some bytes already queued,
// for the time the missing ones take on the line (poll would return at once).
void PosixSerialPort::blockForInput(size_t queued, size_t count, int64_t remainingUs) {
    if (queued > 0) {
        const int64_t lineUs = static_cast<int64_t>(count - queued) * characterTimeUs(line_);
        sleepRealUs(std::min(remainingUs, std::max<int64_t>(lineUs, 100)));
        return;
    }
    pollfd p{fd_, POLLIN, 0};
    const int ms = static_cast<int>((remainingUs + 999) / 1000);
    const int rc = poll(&p, 1, ms);
    // A hung-up pseudo-terminal reports POLLHUP at once; wait the time out instead.
    if (rc > 0 && (p.revents & POLLIN) == 0)
        sleepRealUs(remainingUs);
}

size_t PosixSerialPort::waitForInput(size_t count, int64_t timeoutMs) {
    return waitForQueuedInput(count, timeoutMs, clock_, [this, count](size_t queued, int64_t us) {
        if (fd_ < 0)
            return false;
        blockForInput(queued, count, us);
        return true;
    });
}

bool PosixSerialPort::close() {
    if (fd_ < 0)
        return true;
    restoreLowLatency(fd_, lowLatency_);
    tcsetattr(fd_, TCSANOW, &saved_);
    ioctl(fd_, TIOCNXCL);
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

std::string openFailure(const std::string& name, int err) {
    switch (err) {
        case ENOENT:
            return strprintf("no serial port %s", name.c_str());
        case EBUSY:
        case EWOULDBLOCK:
            return strprintf("serial port %s is in use by another program", name.c_str());
        case EACCES:
            return strprintf(
                "no permission to open serial port %s (is the user in group "
                "dialout?)",
                name.c_str());
        default:
            return strprintf("cannot open serial port %s: %s", name.c_str(), std::strerror(err));
    }
}

}  // namespace

std::unique_ptr<SerialPort> openHardwarePort(const std::string& name, Clock& clock,
                                             std::string& error) {
    if (isWindowsPortName(name)) {
        error = strprintf(
            "\"%s\" is a Windows port name; here a serial port is a device such "
            "as /dev/ttyS0 or /dev/ttyUSB0 (kv58ctl ports lists them)",
            name.c_str());
        return nullptr;
    }
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = openFailure(name, errno);
        return nullptr;
    }
    auto fail = [&](std::string reason) -> std::unique_ptr<SerialPort> {
        ::close(fd);
        error = std::move(reason);
        return nullptr;
    };
    if (!isatty(fd))
        return fail(strprintf("%s is not a serial port", name.c_str()));
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(openFailure(name, errno));
    ioctl(fd, TIOCEXCL);  // root passes it; the flock above holds for root too
    const int flags = fcntl(fd, F_GETFL);
    termios saved{};
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || tcgetattr(fd, &saved) != 0) {
        return fail(
            strprintf("cannot prepare serial port %s: %s", name.c_str(), std::strerror(errno)));
    }
    auto port = std::make_unique<PosixSerialPort>(fd, name, saved, clock);
    port->useLowLatency();
    return port;
}

}  // namespace kv58

#endif  // !_WIN32
