// Applying a TI-TXT image to the device block by block.
#include <algorithm>

#include "bsl/bsl_link.h"
#include "bsl/titxt.h"

namespace kv58 {

LinkResult BslLink::processImageFile(const std::string& fileName, int blockActions) {
    resultCode_ = LinkResult::Ok;
    message_.clear();
    const bool showProgress = (blockActions & BlockPassword) == 0 && progress_;
    long total = 0;
    if (showProgress) {
        // A file that cannot be opened is reported by the pass below.
        static_cast<void>(
            readTiTxtFile(fileName, maxBlockSize_, [&](uint16_t, std::span<const uint8_t> bytes) {
                total += static_cast<long>(bytes.size());
                return LinkResult::Ok;
            }));
        reportProgress(0, total);
    }
    long done = 0;
    const LinkResult rc = readTiTxtFile(
        fileName, maxBlockSize_, [&](uint16_t address, std::span<const uint8_t> bytes) {
            std::copy(bytes.begin(), bytes.end(), dataBlock_.begin());
            const LinkResult blockResult =
                programBlock(address, static_cast<uint16_t>(bytes.size()), blockActions);
            done += static_cast<long>(bytes.size());
            if (showProgress)
                reportProgress(std::min(done, total), total);
            return blockResult;
        });
    if (rc == LinkResult::FileOpenFailed)
        failedFile_ = fileName;
    resultCode_ = rc;
    return rc;
}

}  // namespace kv58
