// The TI-TXT reader on arbitrary files: every block it hands on lies within its size limit
// and the 64 KB address space is never left by a block's start.
#include <algorithm>

#include "bsl/titxt.h"
#include "fuzz_support.h"

using namespace kv58;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the block size limit, as callers pass different ones.
    const int maxBlock = data[0] % (kMaxImageBlock + 8) - 4;
    const int limit = std::clamp(maxBlock, 1, kMaxImageBlock);
    const std::string& path = fuzz::inputFile("titxt");
    fuzz::writeInput(path, data + 1, size - 1);
    size_t total = 0;
    const int result = readTiTxtFile(path, maxBlock, [&](uint16_t, std::span<const uint8_t> bytes) {
        KV58_FUZZ_CHECK(!bytes.empty());
        KV58_FUZZ_CHECK(bytes.size() <= static_cast<size_t>(limit));
        total += bytes.size();
        return 0;
    });
    KV58_FUZZ_CHECK(result == 0);
    // Every value needs at least one character of the file.
    KV58_FUZZ_CHECK(total <= size);
    return 0;
}
