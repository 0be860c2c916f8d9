#include "sim/transmitter_contents.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "sim/prng.h"

namespace kv58::sim {

namespace {

void putWord(uint8_t* at, uint16_t word) {
    at[0] = static_cast<uint8_t>(word & 0xFF);
    at[1] = static_cast<uint8_t>(word >> 8);
}

// Emits MSP430-looking code: a start-up sequence, then a body drawn from a few instruction
// shapes (register moves, immediate loads and compares, adds, short jumps, calls, returns).
class CodeWriter {
public:
    CodeWriter(uint8_t* base, uint16_t origin) : base_(base), origin_(origin) {}

    void word(uint16_t w) {
        putWord(base_ + pos_, w);
        pos_ += 2;
    }
    // One instruction with its extension words.
    void words(std::initializer_list<uint16_t> ws) {
        for (uint16_t w : ws)
            word(w);
    }
    uint16_t address() const { return static_cast<uint16_t>(origin_ + pos_); }
    size_t size() const { return pos_; }

    void randomInstruction(Prng& rng, uint16_t callLow, uint16_t callHigh) {
        const uint16_t reg = static_cast<uint16_t>(4 + rng.below(12));
        const uint16_t src = static_cast<uint16_t>(4 + rng.below(12));
        switch (rng.below(8)) {
            case 0:  // mov #n,Rd
                word(0x4030 | reg);
                word(static_cast<uint16_t>(rng.next()));
                break;
            case 1:  // mov Rs,Rd
                word(static_cast<uint16_t>(0x4000 | src << 8 | reg));
                break;
            case 2:  // add Rs,Rd
                word(static_cast<uint16_t>(0x5000 | src << 8 | reg));
                break;
            case 3:  // cmp #n,Rd
                word(0x9030 | reg);
                word(static_cast<uint16_t>(rng.below(256)));
                break;
            case 4:  // a conditional jump, a short way forward
                word(static_cast<uint16_t>(0x2000 | rng.below(8) << 10 | rng.below(0x40)));
                break;
            case 5:  // call #handler
                word(0x12B0);
                word(static_cast<uint16_t>((callLow + rng.below(callHigh - callLow)) & 0xFFFE));
                break;
            case 6:  // and Rs,Rd
                word(static_cast<uint16_t>(0xF000 | src << 8 | reg));
                break;
            default:  // nop
                word(0x4303);
                break;
        }
    }

private:
    uint8_t* base_;
    uint16_t origin_;
    size_t pos_ = 0;
};

constexpr uint16_t kLoaderColdStart = 0x0C00;
constexpr uint16_t kLoaderRestart = 0x0C22;
constexpr uint16_t kHandlersAddress = 0xFB00;
constexpr size_t kHandlerCount = 6;
constexpr size_t kHandlerSize = 16;
constexpr size_t kMainCodeSize = 0xA80;  // code body 0xF000–0xFA7F; the rest up to the
                                         // handlers stays erased, as in a real image

FirmwareBytes makeFirmware() {
    FirmwareBytes fw;
    fw.fill(0xFF);
    Prng rng(0x4B5635385F465755ull);
    CodeWriter main(fw.data(), kFirmwareAddress);
    main.words({0x4031, 0x0A00});          // mov #0x0A00,SP
    main.words({0x40B2, 0x5A80, 0x0120});  // hold the watchdog
    while (main.size() + 4 <= kMainCodeSize) {
        main.randomInstruction(rng, kFirmwareAddress, kHandlersAddress);
    }
    // Interrupt handlers: save a register, touch it, restore it, return from interrupt.
    for (size_t h = 0; h < kHandlerCount; ++h) {
        const size_t offset = kHandlersAddress - kFirmwareAddress + h * kHandlerSize;
        CodeWriter handler(fw.data() + offset, static_cast<uint16_t>(kHandlersAddress + offset));
        handler.word(0x120F);                                            // push R15
        handler.words({0x403F, static_cast<uint16_t>(rng.next())});      // mov #n,R15
        handler.words({0x5F82, static_cast<uint16_t>(0x0200 + 2 * h)});  // add R15,&x
        handler.word(0x413F);                                            // pop R15
        handler.word(0x1300);                                            // reti
    }
    // Vectors: the reset vector starts the program, the used interrupts have their
    // handlers, the unused ones share the last handler.
    for (size_t v = 0; v < 15; ++v) {
        const size_t handler = v % 3 == 0 ? (v / 3) % (kHandlerCount - 1) : kHandlerCount - 1;
        putWord(fw.data() + (kVectorAddress - kFirmwareAddress) + 2 * v,
                static_cast<uint16_t>(kHandlersAddress + handler * kHandlerSize));
    }
    putWord(fw.data() + kFirmwareSize - 2, kFirmwareAddress);
    return fw;
}

std::vector<uint8_t> makePatch() {
    // A small routine of our own; the simulated loader only compares these bytes.
    static const uint16_t kWords[] = {
        0x40B2, 0x5A80, 0x0120,  // hold the watchdog
        0x4031, 0x0A00,          // fresh stack
        0x403F, 0x0C22,          // loader re-entry
        0x12B0, 0x0246,          // call the command reader
        0x9034, 0x0012, 0x2406,  // a data command?
        0x9034, 0x0014, 0x2403,
        0x4F00,                                  // no: back into the loader
        0x4303, 0x4303, 0x40B2, 0xA540, 0x0128,  // flash controller: word write
        0x12B0, 0x0262,                          // copy the frame data word by word
        0x40B2, 0xA500, 0x0128,                  // flash controller: done
        0x4F00,                                  // back into the loader
        0x4303, 0x4A8B, 0x0000, 0x532B,          // store a word, advance
        0x8319, 0x23FC,                          // count down, loop
        0x4130,                                  // ret
        0xB392, 0x012C, 0x23FD,                  // wait while the flash is busy
        0x4130,                                  // ret
        0x4303, 0x4303, 0x4303, 0x4303, 0x4303, 0x4303, 0x4303, 0x4303, 0x4303, 0x4303};
    std::vector<uint8_t> bytes;
    for (uint16_t w : kWords) {
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    return bytes;
}

}  // namespace

uint16_t encodeTemperature(int degrees) {
    return static_cast<uint16_t>(degrees * 100 + 4000);
}

uint16_t configurationWord(const TransmitterRecipe& recipe) {
    uint16_t word = static_cast<uint16_t>(recipe.type | recipe.output | recipe.display);
    if (recipe.relay)
        word |= kRelayBit;
    if (recipe.fahrenheit)
        word |= kFahrenheitBit;
    if (recipe.factoryCalibrated)
        word |= kFactoryCalibrationBit;
    return word;
}

SegmentBytes buildSegmentA(const TransmitterRecipe& recipe) {
    SegmentBytes a;
    a.fill(0xFF);
    // Sensor constants the firmware keeps before the configuration fields.
    static const uint8_t kHead[16] = {0x4B, 0x56, 0x35, 0x38, 0x01, 0x00, 0x20, 0x03,
                                      0xE8, 0x03, 0x64, 0x00, 0x0A, 0x00, 0x00, 0x00};
    std::copy(std::begin(kHead), std::end(kHead), a.begin());
    putWord(&a[kOffsetTempMin], encodeTemperature(recipe.tempMin));
    putWord(&a[0x12], 0x0000);
    putWord(&a[kOffsetTempMax], encodeTemperature(recipe.tempMax));
    putWord(&a[0x16], 0x0000);
    putWord(&a[kOffsetConfigWord], configurationWord(recipe));
    for (size_t i = 0; i < 4; ++i) {
        a[kOffsetVersion + i] =
            i < recipe.version.size() ? static_cast<uint8_t>(recipe.version[i]) : 0;
    }
    for (size_t i = 0; i < kSerialMaxLength; ++i) {
        a[kOffsetSerial + i] =
            i < recipe.serial.size() ? static_cast<uint8_t>(recipe.serial[i]) : 0;
    }
    return a;
}

SegmentBytes buildSegmentB(const TransmitterRecipe& recipe) {
    SegmentBytes b;
    b.fill(0xFF);
    Prng rng(seedFrom(recipe.serial.c_str()));
    // Twenty calibration points (raw, corrected) as little-endian words, then a checksum.
    uint16_t sum = 0;
    for (size_t i = 0; i < 80; i += 2) {
        const auto w = static_cast<uint16_t>(0x0800 + i * 40 + rng.below(64));
        putWord(&b[i], w);
        sum = static_cast<uint16_t>(sum + w);
    }
    putWord(&b[80], static_cast<uint16_t>(~sum));
    return b;
}

const FirmwareBytes& firmware() {
    static const FirmwareBytes fw = makeFirmware();
    return fw;
}

std::array<uint8_t, kVectorSize> firmwarePassword() {
    std::array<uint8_t, kVectorSize> password;
    std::copy_n(firmware().begin() + (kVectorAddress - kFirmwareAddress), kVectorSize,
                password.begin());
    return password;
}

const std::vector<uint8_t>& loaderPatch() {
    static const std::vector<uint8_t> patch = makePatch();
    return patch;
}

void installTransmitter(Msp430Memory& memory, const TransmitterRecipe& recipe) {
    memory.eraseMain(true);
    const SegmentBytes a = buildSegmentA(recipe);
    const SegmentBytes b = buildSegmentB(recipe);
    for (size_t i = 0; i < kInfoSegmentSize; ++i) {
        memory.write(static_cast<uint16_t>(kSegmentAAddress + i), a[i]);
        memory.write(static_cast<uint16_t>(kSegmentBAddress + i), b[i]);
    }
    for (size_t i = 0; i < kFirmwareSize; ++i) {
        memory.write(static_cast<uint16_t>(kFirmwareAddress + i), firmware()[i]);
    }
}

void installLoaderRom(Msp430Memory& memory, uint16_t version) {
    Prng rng(0x524F4D0000000000ull | version);
    for (uint32_t a = kRomStart; a <= kRomEnd; ++a)
        memory.poke(static_cast<uint16_t>(a), rng.byte());
    // The two entry points: cold start at 0x0C00 and the restart at 0x0C22 jump into the
    // loader's body.
    for (uint16_t entry : {kLoaderColdStart, kLoaderRestart}) {
        memory.poke(entry, 0x30);  // br #…
        memory.poke(static_cast<uint16_t>(entry + 1), 0x40);
    }
    memory.poke(kLoaderVersionAddress, static_cast<uint8_t>(version >> 8));
    memory.poke(kLoaderVersionAddress + 1, static_cast<uint8_t>(version & 0xFF));
}

void scrambleRam(Msp430Memory& memory, uint64_t seed) {
    Prng rng(seed ^ 0x52414D52414D5241ull);
    for (uint32_t a = kRamStart; a <= kRamEnd; ++a)
        memory.poke(static_cast<uint16_t>(a), rng.byte());
}

std::string nextSerial(const std::string& serial) {
    size_t digits = serial.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(serial[digits - 1])))
        --digits;
    if (digits == serial.size()) {
        std::string next = serial + "-2";
        return next.size() <= kSerialMaxLength ? next
                                               : serial.substr(0, kSerialMaxLength - 2) + "-2";
    }
    // Add one to the trailing decimal number, keeping its width (…999 wraps to …000).
    std::string next = serial;
    for (size_t i = next.size(); i-- > digits;) {
        if (next[i] != '9') {
            ++next[i];
            return next;
        }
        next[i] = '0';
    }
    return next;
}

}  // namespace kv58::sim
