#include "sim/state_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "sim/image_text.h"

namespace kv58::sim {

namespace fs = std::filesystem;

StateLoad loadStateFile(const std::string& path, Msp430Memory& memory, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!fs::exists(path, ec))
            return StateLoad::Missing;
        error = "state file '" + path + "': cannot be read";
        return StateLoad::Failed;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<ImageSection> sections;
    std::string why;
    if (!parseImageText(text.str(), sections, why)) {
        error = "state file '" + path + "': " + why;
        return StateLoad::Failed;
    }
    for (const ImageSection& s : sections) {
        for (size_t i = 0; i < s.bytes.size(); ++i) {
            if (!isFlash(static_cast<uint16_t>(s.address + i))) {
                error = strprintf("state file '%s': address %04zX is not flash memory",
                                  path.c_str(), s.address + i);
                return StateLoad::Failed;
            }
        }
    }
    memory.eraseMain(true);
    for (const ImageSection& s : sections) {
        for (size_t i = 0; i < s.bytes.size(); ++i) {
            memory.poke(static_cast<uint16_t>(s.address + i), s.bytes[i]);
        }
    }
    return StateLoad::Loaded;
}

namespace {

std::vector<ImageSection> flashSections(const Msp430Memory& memory) {
    std::vector<ImageSection> sections;
    for (uint32_t line = kInfoStart; line <= kMainEnd; line += 16) {
        bool erased = true;
        for (uint32_t a = line; a < line + 16; ++a)
            erased &= memory.read(static_cast<uint16_t>(a)) == 0xFF;
        if (erased)
            continue;
        if (sections.empty() || sections.back().address + sections.back().bytes.size() != line) {
            sections.push_back({line, {}});
        }
        for (uint32_t a = line; a < line + 16; ++a) {
            sections.back().bytes.push_back(memory.read(static_cast<uint16_t>(a)));
        }
    }
    return sections;
}

}  // namespace

bool saveStateFile(const std::string& path, const Msp430Memory& memory, std::string& error) {
    const std::string text = formatImageText(flashSections(memory));
    const std::string temporary = path + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        error =
            "state file '" + path + "': cannot write '" + temporary + "': " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        error = "state file '" + path + "': writing '" + temporary + "' failed";
        std::remove(temporary.c_str());
        return false;
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        error = "state file '" + path + "': cannot replace it: " + ec.message();
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace kv58::sim
