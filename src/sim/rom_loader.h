// The command half of the simulated ROM bootstrap loader: carries out complete frames.
//
// Commands (payload: address low, address high, length low, length high, then data):
//   0x10 RX password   32 bytes compared with the interrupt vectors at 0xFFE0–0xFFFF
//   0x12 RX data block write `length` bytes (RAM takes them, flash only clears bits)
//   0x14 TX data block answered with 0x80 0x00 L L data CKL CKH (L even, 2 … 250)
//   0x16 Erase segment length field 0xA502: the segment that holds the address
//   0x18 Mass erase    length field 0xA506: main and information memory (0xA504: main only)
//   0x1A Load PC       0x0C22 restarts the loader, 0x0220 enters the loader patch, any other
//                      address starts the code there (the device then leaves the loader)
// Everything but the password and the mass erase is refused (0xA0) until the right password
// arrived; a wrong password is refused and leaves the loader locked. After mass erases that
// add up to the cumulative erase time the vectors read 0xFF, so the erased-device password
// (32 × 0xFF) opens it; after fewer, some of their bits may still be programmed.
//
// A data block into flash cells that do not take its bytes (a cell that will not program,
// a 1 over a programmed 0) is, by the write check chosen, acknowledged all the same, or
// refused (0xA0) as loaders that read back what they program do: such a loader checks each
// byte as it programs it and stops at the first that did not take.
//
// Flash work takes the time of the flash timing generator's cycles (flash_timing.h).
//
// Old loaders (version 1.10 and lower) carry a defect in their flash write routine: when a
// data block is written into flash directly, only every other word of it is programmed (the
// routine does not wait for the flash controller between words). Writes into RAM are not
// affected, and neither are reads. The loader patch repairs it: a data command entered through
// Load PC 0x0220 while RAM holds the patch image is carried out in full. Load PC 0x0220
// without the image in RAM jumps into noise, and the device hangs until the next reset.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/flash_timing.h"
#include "sim/msp430_memory.h"

namespace kv58::sim {

constexpr uint8_t kCommandRxPassword = 0x10;
constexpr uint8_t kCommandRxDataBlock = 0x12;
constexpr uint8_t kCommandTxDataBlock = 0x14;
constexpr uint8_t kCommandEraseSegment = 0x16;
constexpr uint8_t kCommandMassErase = 0x18;
constexpr uint8_t kCommandLoadPc = 0x1A;

constexpr uint16_t kEraseSegmentKey = 0xA502;
constexpr uint16_t kEraseMainKey = 0xA504;
constexpr uint16_t kEraseAllKey = 0xA506;
constexpr uint16_t kLoaderRestartAddress = 0x0C22;
constexpr uint16_t kLoaderColdStartAddress = 0x0C00;
constexpr uint16_t kPatchEntryAddress = 0x0220;
constexpr uint16_t kLastDefectiveLoader = 0x0110;
constexpr size_t kMaxDataBlock = 250;

enum class WriteCheck { Ack, Nak };

// How this loader behaves where loaders differ.
struct LoaderTraits {
    WriteCheck writeCheck = WriteCheck::Ack;
    uint32_t ftgKhz = kFtgDefaultKhz;

    // Time the loader needs for the flash work of a command, before it answers.
    int64_t programByteUs() const { return ftgCyclesUs(kProgramCycles, ftgKhz); }
    int64_t segmentEraseUs() const { return ftgCyclesUs(kSegmentEraseCycles, ftgKhz); }
    int64_t massEraseUs() const { return ftgCyclesUs(kMassEraseCycles, ftgKhz); }
};

// What the loader needs from the device around it.
class LoaderEnvironment {
public:
    virtual ~LoaderEnvironment() = default;
    virtual Msp430Memory& memory() = 0;
    // A byte written by a data command (flash cells that will not program stay as they are).
    virtual void writeByte(uint16_t address, uint8_t value) = 0;
    virtual bool refusePassword() = 0;
    // Called once per data write into flash; true when power fails during it.
    virtual bool powerFailsDuringFlashWrite() = 0;
    // Called after a segment erase.
    virtual void segmentErased() = 0;
};

struct LoaderOutcome {
    std::vector<uint8_t> reply;  // acknowledge, refusal or data frame; empty for none
    int64_t workUs = 0;          // flash work before the reply
    enum class Then { Listen, Restart, Hang, RunProgram, PowerLost } then = Then::Listen;
};

class RomLoader {
public:
    RomLoader(LoaderEnvironment& env, LoaderTraits traits) : env_(env), traits_(traits) {}

    // Loader start (after the entry sequence or Load PC 0x0C22): locked, no patch entered.
    void restart() {
        unlocked_ = false;
        patchEntered_ = false;
    }
    bool unlocked() const { return unlocked_; }

    // Whether a frame may start with this command and payload length.
    static bool acceptsHeader(uint8_t command, uint8_t length);
    LoaderOutcome execute(uint8_t command, std::span<const uint8_t> payload);

private:
    LoaderOutcome password(std::span<const uint8_t> data);
    LoaderOutcome writeBlock(uint16_t address, std::span<const uint8_t> data, bool viaPatch);
    LoaderOutcome readBlock(uint16_t address, uint16_t length) const;
    LoaderOutcome erase(uint16_t address, uint16_t key, bool massEraseCommand);
    LoaderOutcome loadPc(uint16_t address);
    bool patchInRam();
    bool defective() { return env_.memory().loaderVersion() <= kLastDefectiveLoader; }

    LoaderEnvironment& env_;
    LoaderTraits traits_;
    bool unlocked_ = false;
    bool patchEntered_ = false;
};

}  // namespace kv58::sim
