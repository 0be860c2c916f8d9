// Faults of the simulated transmitter, injected on demand.
//
// One plan per device. Tests and the fault campaign arm faults through the methods below;
// the "fault=" option of a sim: name (and kv58-sim --fault) arms them from text, a list of
// items separated by commas:
//
//   lose-sent:N        the N-th byte the host sends from now on is lost on the wire
//   lose-reply:N       the N-th byte the device sends from now on is lost on the wire
//   corrupt-sent:N     the N-th byte the host sends arrives with bit 6 flipped
//   corrupt-reply:N    the N-th byte the device sends arrives with bit 6 flipped
//   lose-rate:P        every byte in either direction is lost with probability P (0…1)
//   corrupt-rate:P     every byte in either direction is corrupted with probability P
//   silent             the device never answers (as if nothing were connected)
//   refuse-password    every password is refused, the right one too
//   refuse-password:N  the next N passwords are refused
//   stuck:ADDR         the flash cell at ADDR (hexadecimal) will not program
//   program-change     the next segment erase also changes a byte of the program flash
//   program-change:ADDR  … that byte (default F400)
//   answer-from:N      the device answers only from the N-th loader start on
//   swap:N             before the N-th loader start the transmitter is replaced by another
//                      one (the next serial number, fresh factory contents)
//   power-loss:N       the N-th flash write loses power half-way: the first half of the
//                      block is programmed, RAM is lost, and the device is dead until the
//                      next reset
//
// Counts (N) start at 1 and are counted from the moment the fault is armed. Random decisions
// come from a generator seeded with the device's seed, so a campaign run is repeatable.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "sim/prng.h"

namespace kv58::sim {

// Bit flipped in a corrupted byte: it always changes the reply kind (0x90 becomes 0xD0) and
// turns the synchronisation byte into a byte the loader ignores.
constexpr uint8_t kCorruptionMask = 0x40;
constexpr uint16_t kDefaultProgramChangeAddress = 0xF400;

// One line per fault item, for help texts.
const char* faultHelpText();

class Faults {
public:
    explicit Faults(uint64_t seed = 1) : rng_(seed) {}

    // --- Arming (counts are relative to now). ---
    void loseSent(uint64_t n) { loseSent_.insert(sent_ + n); }
    void loseReply(uint64_t n) { loseReply_.insert(replies_ + n); }
    void corruptSent(uint64_t n) { corruptSent_.insert(sent_ + n); }
    void corruptReply(uint64_t n) { corruptReply_.insert(replies_ + n); }
    void setLossRate(double p) { lossRate_ = p; }
    void setCorruptionRate(double p) { corruptionRate_ = p; }
    void setSilent(bool on) { silent_ = on; }
    // -1 refuses every password from now on; 0 stops refusing.
    void refusePasswords(int count) { refusePasswords_ = count; }
    void stickCell(uint16_t address) { stuck_.insert(address); }
    void unstickAll() { stuck_.clear(); }
    void changeProgramOnNextErase(uint16_t address = kDefaultProgramChangeAddress) {
        programChange_ = address;
    }
    void answerFromEntry(uint64_t n) { answerFrom_ = entries_ + n; }
    void swapAtEntry(uint64_t n) { swapAt_ = entries_ + n; }
    void powerLossAtWrite(uint64_t n) { powerLossAt_ = flashWrites_ + n; }
    void clear();

    // Arms the faults of one text item ("lose-reply:3"); false with the reason in `error`.
    [[nodiscard]] bool arm(const std::string& item, std::string& error);
    // Arms every item of a comma-separated list.
    [[nodiscard]] bool armList(const std::string& list, std::string& error);

    // --- Queries of the device (each call counts one event). ---
    enum class Fate { Delivered, Lost, Corrupted };
    Fate nextSentByte() { return byteFate(++sent_, loseSent_, corruptSent_); }
    Fate nextReplyByte() { return byteFate(++replies_, loseReply_, corruptReply_); }
    bool silent() const { return silent_; }
    bool takePasswordRefusal();
    bool isStuck(uint16_t address) const { return stuck_.count(address) != 0; }
    std::optional<uint16_t> takeProgramChange();
    // A loader start: whether this start answers, and whether the transmitter is swapped
    // before it.
    struct EntryFate {
        bool answers = true;
        bool swapped = false;
    };
    EntryFate nextLoaderEntry();
    // A flash write command: true when power fails during it.
    bool nextFlashWriteLosesPower();

private:
    bool armCounted(const std::string& item, const std::string& name, const std::string& arg,
                    std::string& error);
    Fate byteFate(uint64_t index, std::set<uint64_t>& lose, std::set<uint64_t>& corrupt);

    Prng rng_;
    uint64_t sent_ = 0, replies_ = 0, entries_ = 0, flashWrites_ = 0;
    std::set<uint64_t> loseSent_, loseReply_, corruptSent_, corruptReply_;
    double lossRate_ = 0, corruptionRate_ = 0;
    bool silent_ = false;
    int refusePasswords_ = 0;
    std::set<uint16_t> stuck_;
    std::optional<uint16_t> programChange_;
    uint64_t answerFrom_ = 0, swapAt_ = 0, powerLossAt_ = 0;
};

}  // namespace kv58::sim
