// Applying a TI-TXT image to the device block by block.
#include <algorithm>

#include "bsl/bsl_link.h"
#include "bsl/titxt.h"

namespace kv58 {

int BslLink::processImageFile(const std::string& fileName, int blockActions) {
    resultCode = link::kOk;
    message.clear();
    const bool showProgress = (blockActions & BlockPassword) == 0 && progress;
    long total = 0;
    if (showProgress) {
        readTiTxtFile(fileName, maxBlockSize, [&](uint16_t, std::span<const uint8_t> bytes) {
            total += static_cast<long>(bytes.size());
            return link::kOk;
        });
        reportProgress(0, total);
    }
    long done = 0;
    const int rc = readTiTxtFile(
        fileName, maxBlockSize, [&](uint16_t address, std::span<const uint8_t> bytes) {
            std::copy(bytes.begin(), bytes.end(), dataBlock.begin());
            const int blockResult =
                programBlock(address, static_cast<uint16_t>(bytes.size()), blockActions);
            done += static_cast<long>(bytes.size());
            if (showProgress)
                reportProgress(std::min(done, total), total);
            return blockResult;
        });
    if (rc == link::kFileOpenFailed)
        failedFile = fileName;
    resultCode = rc;
    return rc;
}

}  // namespace kv58
