// TI-TXT text of memory images, as the simulated transmitter reads and writes them: its state
// file and the data files it ships (the password file and the loader patch).
//
// Written form: "@XXXX" address lines, data lines of up to 16 values "XX " (upper-case hex,
// each followed by a space), a final "q"; lines end in CR LF. The reader takes any TI-TXT:
// values separated by white space, either case, either line end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv58::sim {

struct ImageSection {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
};

std::string formatImageText(const std::vector<ImageSection>& sections);

// Parses the text; false with "line N: …" in `error` on a malformed line, a value beyond a
// byte, or data that would run past address 0xFFFF.
[[nodiscard]] bool parseImageText(const std::string& text, std::vector<ImageSection>& sections,
                                  std::string& error);

}  // namespace kv58::sim
