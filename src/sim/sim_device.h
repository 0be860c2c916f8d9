// The simulated KV58 transmitter: an MSP430 with its flash, RAM and ROM bootstrap loader,
// behind a serial adapter whose DTR line drives reset and whose RTS line drives the test pin.
//
// The device knows nothing of its transport. A front-end (the in-process SimPort, the
// pseudo-terminal server) hands it bytes and control-line changes with their times, and takes
// the reply bytes when their time has come. All times are microseconds on the device's time
// line, which the front-end derives from its Clock.
//
// The wire: a byte the host sends at time t occupies the line from max(t, line free) for one
// character time (start bit, data bits, parity, stop bits) and reaches the device at the end
// of it. The loader reacts after its processing time (plus the flash work of the command),
// and its reply bytes follow each other one character time apart; with option "latency" the
// adapter holds them on their way to the host as a USB adapter's latency timer does
// (adapter_hold.h). The device is evaluated lazily: advanceTo(t) carries out everything that
// happens up to t.
//
// Line settings: in process the device takes the host's settings unless it has its own
// (option "line"). When the two differ in baud rate, data bits or parity, the receiving UART
// sees framing or parity errors and drops the characters: nothing gets through either way.
// Stop bits do not matter to a receiver.
//
// Entry: while reset is held (DTR low), falling edges of the test line count as test pulses;
// releasing reset after two or more starts the loader, after fewer the transmitter's own
// program, which does not answer the loader protocol. Closing the port drops DTR, which holds
// the device in reset.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "base/file_lock.h"
#include "serial/serial_port.h"
#include "sim/adapter_hold.h"
#include "sim/device_options.h"
#include "sim/faults.h"
#include "sim/frame_receiver.h"
#include "sim/msp430_memory.h"
#include "sim/rom_loader.h"

namespace kv58::sim {

class SimDevice final : private LoaderEnvironment {
public:
    enum class Mode {
        Reset,     // held in reset
        Loader,    // the ROM loader runs and answers
        Program,   // the transmitter's own program runs (silent on the loader protocol)
        Hung,      // jumped into noise: silent until the next reset
        Deaf,      // a loader start that does not answer (fault)
        Unpowered  // power lost: silent until the next reset
    };

    // Builds the device: ROM, RAM noise, flash from the state file or the factory contents,
    // faults armed. Null with the reason in `error` (bad state file, bad fault).
    static std::unique_ptr<SimDevice> create(const DeviceOptions& options, std::string& error);

    // --- Front-end side. ---

    // The host's line settings (in process); the device's own when it has none.
    void setHostLine(const LineSettings& line) { hostLine_ = line; }
    // Control lines as the host drives them (before the adapter's inversion), at time t.
    void setLines(bool dtr, bool rts, int64_t t);
    // Puts one byte on the line towards the device at time t; returns when it has arrived.
    int64_t hostSend(uint8_t byte, int64_t t);
    // Drops the host's bytes that have not started on the line by t (output purge).
    void discardUnsentHostBytes(int64_t t);
    // Drops every byte still on the wire in either direction (the port was closed).
    void clearWire(int64_t t);
    // Carries out everything that happens up to t.
    void advanceTo(int64_t t);
    // Moves the reply bytes that have arrived at the host by t into `into`.
    template <typename Queue>
    void collectReplies(int64_t t, Queue& into) {
        while (!toHost_.empty() && toHost_.front().arrivalUs <= t) {
            into.push_back(toHost_.front().byte);
            toHost_.pop_front();
        }
    }
    // Arrival of the next host byte at the device; none when the line is idle.
    std::optional<int64_t> nextDeviceArrival() const;
    // Arrival at the host of the n-th reply byte not yet collected (n from 1); none when
    // fewer are under way.
    std::optional<int64_t> replyArrival(size_t n) const;
    // Host bytes not yet fully on the line at the last advanceTo.
    size_t hostBytesInFlight() const { return toDevice_.size(); }
    // The latest time the device has seen; a front-end with a younger clock starts here.
    int64_t latestTime() const;

    // One front-end at a time, as with a real port.
    bool claim() {
        if (claimed_)
            return false;
        claimed_ = true;
        return true;
    }
    void release() { claimed_ = false; }

    // --- Inspection and control (tests, fault campaign). ---
    Msp430Memory& memory() override { return memory_; }
    Faults& faults() { return faults_; }
    Mode mode() const { return mode_; }
    bool loaderUnlocked() const { return loader_.unlocked(); }
    uint64_t loaderStarts() const { return loaderStarts_; }
    const DeviceOptions& options() const { return options_; }
    // Replaces the transmitter by another one with these factory contents (fresh RAM too).
    void swapTransmitter(const TransmitterRecipe& recipe);
    // The transmitter the last swap put in, as it came from its factory; none before a swap.
    const std::optional<TransmitterRecipe>& swappedIn() const { return swappedIn_; }
    // The transmitter that swap faults put in: the options' one with the next serial number.
    TransmitterRecipe nextTransmitter() const;
    // Power fails now: RAM lost, silent until the next reset.
    void losePower();
    // Last failure to write the state file; empty when the last write succeeded.
    const std::string& stateError() const { return stateError_; }

private:
    explicit SimDevice(const DeviceOptions& options);

    struct WireByte {
        uint8_t byte;
        int64_t startUs;
        int64_t arrivalUs;  // at the far end; towards the host, after the adapter's hold
        bool lost;
        int64_t endUs;  // when its last bit is on the line (the adapter's end, towards the host)
    };

    LineSettings deviceLine() const { return options_.line.value_or(hostLine_); }
    bool linesMatch() const;
    void receive(uint8_t byte, int64_t t);
    void handleFrame(int64_t t);
    void sendReply(const std::vector<uint8_t>& bytes, int64_t readyUs);
    // A reply byte whose last bit leaves the line at endUs, through the adapter to the host.
    void passToHost(uint8_t byte, int64_t startUs, int64_t endUs);
    void holdReset(int64_t t);
    void releaseReset(int64_t t);
    void startLoader(int64_t t);
    void saveStateIfChanged();
    bool lockState(std::string& error);

    // LoaderEnvironment
    void writeByte(uint16_t address, uint8_t value) override;
    bool refusePassword() override { return faults_.takePasswordRefusal(); }
    bool powerFailsDuringFlashWrite() override { return faults_.nextFlashWriteLosesPower(); }
    void segmentErased() override;

    DeviceOptions options_;
    std::unique_ptr<FileLock> stateLock_;  // held while the device lives
    Msp430Memory memory_;
    Faults faults_;
    RomLoader loader_;
    FrameReceiver receiver_;
    LineSettings hostLine_;
    Mode mode_ = Mode::Reset;
    bool dtr_ = false, rts_ = false;  // levels at the device, after the adapter
    int testPulses_ = 0;
    std::optional<TransmitterRecipe> swappedIn_;
    uint64_t loaderStarts_ = 0, powerUps_ = 0;
    std::deque<WireByte> toDevice_, toHost_;
    AdapterHold adapter_;
    int64_t toDeviceFree_ = 0, toHostFree_ = 0;
    int64_t now_ = 0, busyUntil_ = 0;
    std::optional<int64_t> lastActivity_;  // last byte on the wire; none before the first
    bool claimed_ = false;
    uint64_t savedFlashChanges_ = 0;
    std::string stateError_;
};

}  // namespace kv58::sim
