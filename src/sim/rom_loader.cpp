#include "sim/rom_loader.h"

#include "sim/frame_receiver.h"
#include "sim/transmitter_contents.h"

namespace kv58::sim {

namespace {

LoaderOutcome ack() {
    return {{kAck}, 0, LoaderOutcome::Then::Listen};
}
LoaderOutcome nak() {
    return {{kNak}, 0, LoaderOutcome::Then::Listen};
}

uint16_t wordAt(std::span<const uint8_t> p, size_t offset) {
    return static_cast<uint16_t>(p[offset] | p[offset + 1] << 8);
}

}  // namespace

bool RomLoader::acceptsHeader(uint8_t command, uint8_t length) {
    switch (command) {
        case kCommandRxPassword:
            return length == 4 + kVectorSize;
        case kCommandRxDataBlock:
            return length > 4 && length <= 4 + kMaxDataBlock;
        case kCommandTxDataBlock:
        case kCommandEraseSegment:
        case kCommandMassErase:
        case kCommandLoadPc:
            return length == 4;
        default:
            return false;
    }
}

LoaderOutcome RomLoader::execute(uint8_t command, std::span<const uint8_t> payload) {
    // The patch carries out exactly the command that follows its entry.
    const bool viaPatch = patchEntered_;
    patchEntered_ = false;
    const uint16_t address = wordAt(payload, 0);
    const uint16_t length = wordAt(payload, 2);
    const auto data = payload.subspan(4);
    if (command == kCommandRxPassword) {
        return length == kVectorSize ? password(data) : nak();
    }
    if (command == kCommandMassErase)
        return erase(address, length, true);
    if (!unlocked_)
        return nak();
    switch (command) {
        case kCommandRxDataBlock:
            return length == data.size() ? writeBlock(address, data, viaPatch) : nak();
        case kCommandTxDataBlock:
            return readBlock(address, length);
        case kCommandEraseSegment:
            return erase(address, length, false);
        case kCommandLoadPc:
            return loadPc(address);
        default:
            return nak();
    }
}

LoaderOutcome RomLoader::password(std::span<const uint8_t> data) {
    if (env_.refusePassword())
        return nak();
    for (size_t i = 0; i < kVectorSize; ++i) {
        if (data[i] != env_.memory().read(static_cast<uint16_t>(kVectorAddress + i)))
            return nak();
    }
    unlocked_ = true;
    return ack();
}

LoaderOutcome RomLoader::writeBlock(uint16_t address, std::span<const uint8_t> data,
                                    bool viaPatch) {
    bool touchesFlash = false;
    for (size_t i = 0; i < data.size(); ++i) {
        touchesFlash |= isFlash(static_cast<uint16_t>(address + i));
    }
    size_t count = data.size();
    LoaderOutcome outcome = ack();
    if (touchesFlash && env_.powerFailsDuringFlashWrite()) {
        count /= 2;
        outcome = {{}, 0, LoaderOutcome::Then::PowerLost};
    }
    const bool skipOddWords = touchesFlash && defective() && !viaPatch;
    // A loader that loses its power half-way answers nothing, checked or not.
    const bool check =
        traits_.writeCheck == WriteCheck::Nak && outcome.then == LoaderOutcome::Then::Listen;
    for (size_t i = 0; i < count; ++i) {
        const auto target = static_cast<uint16_t>(address + i);
        if (skipOddWords && isFlash(target) && (i / 2) % 2 == 1)
            continue;
        env_.writeByte(target, data[i]);
        if (!isFlash(target))
            continue;
        outcome.workUs += traits_.programByteUs();
        if (check && env_.memory().read(target) != data[i]) {
            outcome.reply = nak().reply;
            break;
        }
    }
    return outcome;
}

LoaderOutcome RomLoader::readBlock(uint16_t address, uint16_t length) const {
    if (length == 0 || length % 2 != 0 || length > kMaxDataBlock)
        return nak();
    LoaderOutcome outcome;
    auto& r = outcome.reply;
    r = {kFrameHeader, 0x00, static_cast<uint8_t>(length), static_cast<uint8_t>(length)};
    for (uint16_t i = 0; i < length; ++i) {
        r.push_back(env_.memory().read(static_cast<uint16_t>(address + i)));
    }
    const uint16_t checksum = frameChecksum(r);
    r.push_back(static_cast<uint8_t>(checksum & 0xFF));
    r.push_back(static_cast<uint8_t>(checksum >> 8));
    return outcome;
}

LoaderOutcome RomLoader::erase(uint16_t address, uint16_t key, bool massEraseCommand) {
    LoaderOutcome outcome = ack();
    switch (key) {
        case kEraseSegmentKey:
            if (massEraseCommand)
                return nak();
            env_.memory().eraseSegment(address);
            outcome.workUs = traits_.segmentEraseUs();
            env_.segmentErased();
            break;
        case kEraseMainKey:
        case kEraseAllKey:
            outcome.workUs = traits_.massEraseUs();
            env_.memory().massEraseCycle(key == kEraseAllKey, outcome.workUs);
            break;
        default:
            return nak();
    }
    return outcome;
}

LoaderOutcome RomLoader::loadPc(uint16_t address) {
    LoaderOutcome outcome = ack();
    if (address == kLoaderRestartAddress || address == kLoaderColdStartAddress) {
        outcome.then = LoaderOutcome::Then::Restart;
    } else if (address == kPatchEntryAddress) {
        if (patchInRam()) {
            patchEntered_ = true;
        } else {
            outcome.then = LoaderOutcome::Then::Hang;
        }
    } else if (isFlash(address) && env_.memory().read(address) != 0xFF) {
        outcome.then = LoaderOutcome::Then::RunProgram;
    } else {
        outcome.then = LoaderOutcome::Then::Hang;  // erased flash, RAM noise or nothing
    }
    return outcome;
}

bool RomLoader::patchInRam() {
    const auto& patch = loaderPatch();
    for (size_t i = 0; i < patch.size(); ++i) {
        if (env_.memory().read(static_cast<uint16_t>(kPatchAddress + i)) != patch[i])
            return false;
    }
    return true;
}

}  // namespace kv58::sim
