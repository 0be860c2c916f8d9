// The profile-file reader and writer on arbitrary files: reading never fails, and a key
// that is written reads back with the value written, while another key of the file keeps
// the value it had.
#include <string>

#include "fuzz_support.h"
#include "settings/profile.h"
#include "settings/profile_format.h"

using namespace kv58;

namespace {

// A plain value for the round trip: letters and digits taken from the input.
std::string plainValue(const uint8_t* data, size_t size) {
    std::string v;
    for (size_t i = 0; i < size && v.size() < 12; ++i) {
        const char c = static_cast<char>(data[i]);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
            v += c;
    }
    return v.empty() ? "X" : v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto encoding = profile::detectEncoding(bytes);
    for (const profile::Line& line : profile::scanLines(bytes, profile::contentStart(encoding))) {
        KV58_FUZZ_CHECK(line.begin <= line.end && line.end <= line.next && line.next <= size);
    }
    const std::string& path = fuzz::inputFile("profile");
    fuzz::writeInput(path, data, size);
    std::string port, baud;
    getProfileString(path, "COM", "Port", "", port);
    getProfileString(path, "COM", "Baud", "9600", baud);
    getProfileString(path, "PWfile", "PW01", "", port, 14);
    KV58_FUZZ_CHECK(port.size() < 14);

    const std::string value = plainValue(data, size);
    std::string before, after, readBack;
    getProfileString(path, "Program", "WaitSeg", "(none)", before);
    KV58_FUZZ_CHECK(writeProfileString(path, "COM", "Port", value));
    getProfileString(path, "COM", "Port", "", readBack);
    KV58_FUZZ_CHECK(readBack == value);
    getProfileString(path, "Program", "WaitSeg", "(none)", after);
    KV58_FUZZ_CHECK(before == after);
    return 0;
}
