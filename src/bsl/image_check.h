// What must hold of an image before a device is erased for it.
//
// A programming run erases first and reads the image as it goes; an image it cannot program
// then leaves the device erased. So an image is checked whole before: every address line is
// plain hexadecimal ("@F000"; not "@0x1100", which the reader takes as address 0), and every
// byte lies in the flash, 0x1000 to 0xFFFF (information memory and main flash): no section
// runs past 0xFFFF (the address after it is 0x0000), none lies in RAM or the peripherals.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv58 {

constexpr uint32_t kFlashStart = 0x1000;
constexpr uint32_t kFlashEnd = 0x10000;  // one past the last byte
constexpr uint32_t kInformationMemoryEnd = 0x1100;

struct ImageSection {
    int line = 0;             // of its address line, from 1; 0 for bytes before any
    std::string addressText;  // the address line as written
    uint32_t first = 0;       // first and one past the last address of its bytes
    uint32_t end = 0;         // (end > 0x10000 when it runs past 0xFFFF)
    bool wraps = false;       // a block of it continued at 0x0000 after 0xFFFF
    long bytes = 0;
};

struct ImageLayout {
    std::vector<ImageSection> sections;
    long bytes = 0;
};

// Reads the sections of a TI-TXT file as the programming run will read them. False when the
// file cannot be opened.
[[nodiscard]] bool readImageLayout(const std::string& path, ImageLayout& layout);
// The layout of an image in memory.
void readImageLayoutText(std::string_view text, ImageLayout& layout);

// The first reason why the image must not be programmed, naming its line and addresses
// ("line 1: the address "@0x1100" is not plain hexadecimal"); empty when it may be.
std::string imageProblem(const ImageLayout& layout);

// Whether any byte of the image lies in the information memory (0x1000–0x10FF).
bool holdsInformationMemory(const ImageLayout& layout);

}  // namespace kv58
