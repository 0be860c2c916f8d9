// What the simulated transmitter holds: its firmware, its information memory, its loader ROM,
// and the loader patch that a host loads into RAM for old loaders.
//
// Every byte here is our own, generated deterministically: the firmware at 0xF000–0xFFFF is
// plausible-looking MSP430 code with an interrupt vector table at 0xFFE0 whose reset vector
// points into it; those 32 vector bytes are the loader password, shipped as KV58-PW.TXT.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/msp430_memory.h"

namespace kv58::sim {

// Configuration word fields of Segment A (offset 0x18).
constexpr uint16_t kTypeKv58Ft = 0x0003;
constexpr uint16_t kTypeKv58F = 0x0001;
constexpr uint16_t kTypeKv58Fpt = 0x0005;
constexpr uint16_t kOutput0To10V = 0x0010;
constexpr uint16_t kOutput0To5V = 0x0000;
constexpr uint16_t kOutput0To20mA = 0x0020;
constexpr uint16_t kOutput4To20mA = 0x0030;
constexpr uint16_t kRelayBit = 0x0100;
constexpr uint16_t kDisplayHumidityAndTemperature = 0x3000;
constexpr uint16_t kDisplayHumidity = 0x1000;
constexpr uint16_t kDisplayTemperature = 0x2000;
constexpr uint16_t kDisplayNone = 0x0000;
constexpr uint16_t kFahrenheitBit = 0x4000;
constexpr uint16_t kFactoryCalibrationBit = 0x8000;

// Segment A offsets of the fields the Configurator interprets.
constexpr size_t kOffsetTempMin = 0x10;
constexpr size_t kOffsetTempMax = 0x14;
constexpr size_t kOffsetConfigWord = 0x18;
constexpr size_t kOffsetVersion = 0x1A;
constexpr size_t kOffsetSerial = 0x1E;
constexpr size_t kSerialMaxLength = 16;

// One transmitter as it leaves the factory. The defaults describe the demo device.
struct TransmitterRecipe {
    uint16_t type = kTypeKv58Ft;
    uint16_t output = kOutput0To10V;
    bool fahrenheit = false;
    int tempMin = -20;  // whole degrees of the unit, -40 … 615
    int tempMax = 80;
    uint16_t display = kDisplayHumidityAndTemperature;
    bool relay = false;
    bool factoryCalibrated = true;
    std::string version = "0102";       // four digits as stored, shown as 01.02
    std::string serial = "K58-104711";  // at most 16 ASCII characters
};

using SegmentBytes = std::array<uint8_t, kInfoSegmentSize>;

uint16_t configurationWord(const TransmitterRecipe& recipe);
// Temperature coding of Segment A: T × 100 + 4000 as a 16-bit word.
uint16_t encodeTemperature(int degrees);

SegmentBytes buildSegmentA(const TransmitterRecipe& recipe);
// Calibration bytes; they depend on the serial number, as every sensor has its own.
SegmentBytes buildSegmentB(const TransmitterRecipe& recipe);

constexpr uint16_t kFirmwareAddress = 0xF000;
constexpr size_t kFirmwareSize = 0x1000;
using FirmwareBytes = std::array<uint8_t, kFirmwareSize>;
// The program at 0xF000–0xFFFF, the same for every simulated transmitter.
const FirmwareBytes& firmware();
// Its interrupt vectors at 0xFFE0, which the loader takes as password.
std::array<uint8_t, kVectorSize> firmwarePassword();

// The loader patch image for RAM; the simulated loader recognises it by its bytes.
constexpr uint16_t kPatchAddress = 0x0220;
const std::vector<uint8_t>& loaderPatch();

// Writes a whole transmitter into flash: all flash erased, then Segment B, Segment A and the
// firmware.
void installTransmitter(Msp430Memory& memory, const TransmitterRecipe& recipe);
// Fills the loader ROM, with `version` (major in the high byte) at 0x0FFA.
void installLoaderRom(Msp430Memory& memory, uint16_t version);
// RAM contents after power-up: noise.
void scrambleRam(Msp430Memory& memory, uint64_t seed);

// The serial number of the transmitter that replaces one with `serial`: its trailing number
// plus one ("K58-104711" gives "K58-104712"), or "-2" appended when it has none.
std::string nextSerial(const std::string& serial);

}  // namespace kv58::sim
