#include "sim/state_file.h"

#include "base/files.h"
#include "base/text.h"
#include "sim/image_text.h"

namespace kv58::sim {

StateLoad loadStateFile(const std::string& path, Msp430Memory& memory, std::string& error) {
    std::string text;
    switch (readWholeFile(path, text)) {
        case ReadResult::Missing:
            return StateLoad::Missing;
        case ReadResult::Failed:
            error = "state file '" + path + "': cannot be read";
            return StateLoad::Failed;
        case ReadResult::Ok:
            break;
    }
    std::vector<ImageSection> sections;
    std::string why;
    if (!parseImageText(text, sections, why)) {
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
    std::string reason;
    if (replaceFile(path, formatImageText(flashSections(memory)), &reason) == FileWriteResult::Ok)
        return true;
    error = "state file '" + path + "': cannot write it: " + reason;
    return false;
}

}  // namespace kv58::sim
