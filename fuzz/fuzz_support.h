// Helpers shared by the fuzz targets.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/user_interface.h"

namespace kv58::fuzz {

// A file that holds the current input, for readers that take a path. One per process, in
// memory where the system has a folder for that.
inline const std::string& inputFile(const char* name) {
    static const std::string path = [name] {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/kv58-fuzz-" + name + "-" + std::to_string(getpid());
    }();
    return path;
}

inline void writeInput(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

// The whole file at `path`; false when it cannot be read.
inline bool readInput(const std::string& path, std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bytes.clear();
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// A property of the code under test that does not hold: a finding.
#define KV58_FUZZ_CHECK(condition)                                                             \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// Says nothing and answers No.
class SilentUi final : public UserInterface {
public:
    MsgAnswer messageBox(const std::string&, MsgIcon, MsgButtons b) override {
        ++messages;
        return b == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }
    void infoOpen() override {}
    void infoSetText(const std::string&) override {}
    void infoProgress(long, long) override {}
    void infoClose() override {}
    void setRunChecked(bool) override {}
    void setFocus(int) override {}
    void bringToForeground() override {}
    void requestQuit(int) override {}
    bool runPortPrompt(PortPromptState&) override { return false; }
    int messages = 0;
};

}  // namespace kv58::fuzz
