#include "sim/sim_device.h"

#include <algorithm>
#include <cstdio>

#include "sim/state_file.h"
#include "sim/transmitter_contents.h"

namespace kv58::sim {

SimDevice::SimDevice(const DeviceOptions& options)
    : options_(options),
      faults_(options.seed),
      loader_(*this, LoaderTraits{options.writeCheck, options.ftgKhz}),
      receiver_(options.frameGap, options.gapUs, &RomLoader::acceptsHeader),
      hostLine_(options.line.value_or(LineSettings{})),
      adapter_(options.adapterHoldUs) {}

std::unique_ptr<SimDevice> SimDevice::create(const DeviceOptions& options, std::string& error) {
    std::unique_ptr<SimDevice> device(new SimDevice(options));
    for (const std::string& list : options.faults) {
        if (!device->faults_.armList(list, error))
            return nullptr;
    }
    if (!options.statePath.empty() && !device->lockState(error))
        return nullptr;
    Msp430Memory& memory = device->memory_;
    memory.setEraseSeed(options.seed);
    installLoaderRom(memory, options.loaderVersion);
    scrambleRam(memory, options.seed);
    const StateLoad load = options.statePath.empty()
                               ? StateLoad::Missing
                               : loadStateFile(options.statePath, memory, error);
    if (load == StateLoad::Failed)
        return nullptr;
    if (load == StateLoad::Missing) {
        installTransmitter(memory, options.transmitter);
        if (!options.statePath.empty() && !saveStateFile(options.statePath, memory, error)) {
            return nullptr;
        }
    }
    device->savedFlashChanges_ = memory.flashChanges();
    switch (options.start) {
        case StartMode::Reset:
            break;
        case StartMode::Loader:
            device->dtr_ = true;
            device->startLoader(0);
            break;
        case StartMode::Program:
            device->dtr_ = true;
            device->mode_ = Mode::Program;
            break;
    }
    return device;
}

// Two simulated transmitters on one state file would each save over the other's writes: the
// file is held, through a lock file beside it, for the device's life. A lock file that cannot
// be made (a read-only folder) does not stop the device; its saves report the folder then.
bool SimDevice::lockState(std::string& error) {
    FileLock::Result result = FileLock::Result::Failed;
    std::string reason;
    stateLock_ = FileLock::acquire(options_.statePath + ".lock", result, reason);
    if (result != FileLock::Result::Busy)
        return true;
    error = "state file " + options_.statePath +
            " is in use by another simulated transmitter (a kv58-sim, or a kv58ctl run on a "
            "sim: port); give each its own --state";
    return false;
}

// --- Lines -----------------------------------------------------------------------------

void SimDevice::setLines(bool dtr, bool rts, int64_t t) {
    advanceTo(t);
    const bool d = dtr != options_.invertDtr;
    const bool r = rts != options_.invertRts;
    const bool wasHeld = !dtr_;
    if (wasHeld && !d && rts_ && !r)
        ++testPulses_;
    dtr_ = d;
    rts_ = r;
    if (!wasHeld && !d)
        holdReset(t);
    if (wasHeld && d)
        releaseReset(t);
}

void SimDevice::holdReset(int64_t t) {
    mode_ = Mode::Reset;
    testPulses_ = 0;
    // The UART stops: reply bytes still on the line are cut off (those in the adapter go on).
    while (!toHost_.empty() && toHost_.back().endUs > t)
        toHost_.pop_back();
    toHostFree_ = std::min(toHostFree_, t);
}

void SimDevice::releaseReset(int64_t t) {
    if (testPulses_ >= 2) {
        startLoader(t);
    } else {
        mode_ = Mode::Program;
    }
}

void SimDevice::startLoader(int64_t t) {
    ++loaderStarts_;
    const Faults::EntryFate fate = faults_.nextLoaderEntry();
    if (fate.swapped)
        swapTransmitter(nextTransmitter());
    mode_ = fate.answers ? Mode::Loader : Mode::Deaf;
    loader_.restart();
    receiver_.restart();
    busyUntil_ = t;
}

// --- Wire ------------------------------------------------------------------------------

bool SimDevice::linesMatch() const {
    const LineSettings d = deviceLine();
    return d.baud == hostLine_.baud && d.dataBits == hostLine_.dataBits &&
           d.parity == hostLine_.parity;
}

int64_t SimDevice::hostSend(uint8_t byte, int64_t t) {
    advanceTo(t);
    const int64_t start = std::max(t, toDeviceFree_);
    const int64_t arrival = start + characterTimeUs(hostLine_);
    toDeviceFree_ = arrival;
    const Faults::Fate fate = faults_.nextSentByte();
    if (fate == Faults::Fate::Corrupted)
        byte ^= kCorruptionMask;
    toDevice_.push_back(
        {byte, start, arrival, fate == Faults::Fate::Lost || !linesMatch(), arrival});
    return arrival;
}

void SimDevice::discardUnsentHostBytes(int64_t t) {
    advanceTo(t);
    while (!toDevice_.empty() && toDevice_.back().startUs > t)
        toDevice_.pop_back();
    toDeviceFree_ = toDevice_.empty() ? std::min(toDeviceFree_, t) : toDevice_.back().arrivalUs;
}

void SimDevice::clearWire(int64_t t) {
    advanceTo(t);
    toDevice_.clear();
    toHost_.clear();
    adapter_.clear();
    toDeviceFree_ = std::min(toDeviceFree_, t);
    toHostFree_ = std::min(toHostFree_, t);
}

void SimDevice::sendReply(const std::vector<uint8_t>& bytes, int64_t readyUs) {
    const int64_t charUs = characterTimeUs(deviceLine());
    int64_t start = std::max(readyUs, toHostFree_);
    for (uint8_t byte : bytes) {
        const Faults::Fate fate = faults_.nextReplyByte();
        const int64_t arrival = start + charUs;
        if (fate != Faults::Fate::Lost && linesMatch()) {
            const uint8_t b = fate == Faults::Fate::Corrupted ? byte ^ kCorruptionMask : byte;
            passToHost(b, start, arrival);
        }
        start = arrival;
    }
    toHostFree_ = std::max(toHostFree_, start);
    // The loader's UART is half-duplex: it listens again once its reply is out.
    busyUntil_ = std::max(readyUs, start);
    lastActivity_ = std::max(lastActivity_.value_or(busyUntil_), busyUntil_);
}

void SimDevice::passToHost(uint8_t byte, int64_t startUs, int64_t endUs) {
    const AdapterHold::Passing passing = adapter_.take(endUs);
    // A full packet takes the bytes held before it along (those still queued for the host).
    const size_t earlier = std::min(passing.alsoEarlier, toHost_.size());
    for (size_t i = toHost_.size() - earlier; i < toHost_.size(); ++i)
        toHost_[i].arrivalUs = std::min(toHost_[i].arrivalUs, passing.atUs);
    toHost_.push_back({byte, startUs, passing.atUs, false, endUs});
}

std::optional<int64_t> SimDevice::nextDeviceArrival() const {
    if (toDevice_.empty())
        return std::nullopt;
    return toDevice_.front().arrivalUs;
}

std::optional<int64_t> SimDevice::replyArrival(size_t n) const {
    if (n == 0 || n > toHost_.size())
        return std::nullopt;
    return toHost_[n - 1].arrivalUs;
}

int64_t SimDevice::latestTime() const {
    return std::max({now_, toDeviceFree_, toHostFree_});
}

// --- Loader ----------------------------------------------------------------------------

void SimDevice::advanceTo(int64_t t) {
    while (!toDevice_.empty() && toDevice_.front().arrivalUs <= t) {
        const WireByte b = toDevice_.front();
        toDevice_.pop_front();
        now_ = std::max(now_, b.arrivalUs);
        if (!b.lost)
            receive(b.byte, b.arrivalUs);
    }
    now_ = std::max(now_, t);
}

void SimDevice::receive(uint8_t byte, int64_t t) {
    const bool quietLongEnough =
        options_.quietResetUs > 0 && lastActivity_ && t - *lastActivity_ >= options_.quietResetUs;
    lastActivity_ = std::max(lastActivity_.value_or(t), t);
    if (quietLongEnough && mode_ != Mode::Reset)
        startLoader(t);
    if (mode_ != Mode::Loader || faults_.silent() || t < busyUntil_)
        return;
    switch (receiver_.onByte(byte, t)) {
        case FrameReceiver::Event::None:
            break;
        case FrameReceiver::Event::Sync:
            sendReply({kAck}, t + options_.processingUs);
            break;
        case FrameReceiver::Event::Refuse:
            sendReply({kNak}, t + options_.processingUs);
            break;
        case FrameReceiver::Event::Frame:
            handleFrame(t);
            break;
    }
}

void SimDevice::handleFrame(int64_t t) {
    const LoaderOutcome outcome = loader_.execute(receiver_.command(), receiver_.payload());
    sendReply(outcome.reply, t + options_.processingUs + outcome.workUs);
    switch (outcome.then) {
        case LoaderOutcome::Then::Listen:
            break;
        case LoaderOutcome::Then::Restart:
            loader_.restart();
            receiver_.restart();
            break;
        case LoaderOutcome::Then::Hang:
            mode_ = Mode::Hung;
            break;
        case LoaderOutcome::Then::RunProgram:
            mode_ = Mode::Program;
            break;
        case LoaderOutcome::Then::PowerLost:
            losePower();
            break;
    }
    saveStateIfChanged();
}

void SimDevice::writeByte(uint16_t address, uint8_t value) {
    if (isFlash(address) && faults_.isStuck(address))
        return;
    memory_.write(address, value);
}

void SimDevice::segmentErased() {
    if (const auto address = faults_.takeProgramChange()) {
        memory_.poke(*address, static_cast<uint8_t>(memory_.read(*address) ^ 0x04));
    }
}

// --- Contents --------------------------------------------------------------------------

TransmitterRecipe SimDevice::nextTransmitter() const {
    TransmitterRecipe next = options_.transmitter;
    std::string serial;
    for (size_t i = 0; i < kSerialMaxLength; ++i) {
        const uint8_t c = memory_.read(static_cast<uint16_t>(kSegmentAAddress + kOffsetSerial + i));
        if (c == 0 || c == 0xFF)
            break;
        serial += static_cast<char>(c);
    }
    next.serial = nextSerial(serial.empty() ? options_.transmitter.serial : serial);
    return next;
}

void SimDevice::swapTransmitter(const TransmitterRecipe& recipe) {
    installTransmitter(memory_, recipe);
    swappedIn_ = recipe;
    scrambleRam(memory_, options_.seed + ++powerUps_);
    loader_.restart();
    saveStateIfChanged();
}

void SimDevice::losePower() {
    mode_ = Mode::Unpowered;
    loader_.restart();
    scrambleRam(memory_, options_.seed + ++powerUps_);
    saveStateIfChanged();
}

void SimDevice::saveStateIfChanged() {
    if (options_.statePath.empty() || memory_.flashChanges() == savedFlashChanges_)
        return;
    std::string error;
    if (saveStateFile(options_.statePath, memory_, error)) {
        savedFlashChanges_ = memory_.flashChanges();
        stateError_.clear();
    } else if (error != stateError_) {
        stateError_ = error;
        std::fprintf(stderr, "simulated transmitter: %s\n", error.c_str());
    }
}

}  // namespace kv58::sim
