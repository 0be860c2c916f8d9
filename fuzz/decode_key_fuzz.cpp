// DecodeKey on arbitrary text, and the key round trip: a key made from six limits decodes
// to those limits.
#include <cstring>

#include "fuzz_support.h"
#include "settings/limits_key.h"

using namespace kv58;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view key(reinterpret_cast<const char*>(data), size);
    const std::string plain = DecodeKey(key);
    if (!plain.empty())
        limitsFromPlainText(plain);

    if (size >= 12) {
        int16_t v[6];
        std::memcpy(v, data, sizeof v);
        TemperatureLimits limits{v[0] % 1000, v[1] % 1000, v[2] % 1000,
                                 v[3] % 1000, v[4] % 1000, v[5] % 1000};
        const std::string made = EncodeKey(limits);
        KV58_FUZZ_CHECK(!made.empty());
        KV58_FUZZ_CHECK(limitsFromPlainText(DecodeKey(made)) == limits);
    }
    return 0;
}
