// Applying a TI-TXT image to the device block by block.
#include <algorithm>
#include <functional>

#include "bsl/bsl_link.h"
#include "bsl/titxt.h"

namespace kv58 {

namespace {

using TiTxtRead = std::function<LinkResult(const TiTxtBlockSink&)>;

// Applies the blocks that `read` hands on, with progress in image bytes.
LinkResult applyImage(BslLink& link, const TiTxtRead& read, int blockActions, Block& dataBlock) {
    const bool showProgress =
        (blockActions & BlockPassword) == 0 && static_cast<bool>(link.progressObserver());
    long total = 0;
    if (showProgress) {
        // An image that cannot be opened is reported by the pass below.
        static_cast<void>(read([&](uint16_t, std::span<const uint8_t> bytes) {
            total += static_cast<long>(bytes.size());
            return LinkResult::Ok;
        }));
        link.reportProgress(0, total);
    }
    long done = 0;
    return read([&](uint16_t address, std::span<const uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), dataBlock.begin());
        const LinkResult blockResult =
            link.programBlock(address, static_cast<uint16_t>(bytes.size()), blockActions);
        done += static_cast<long>(bytes.size());
        if (showProgress)
            link.reportProgress(std::min(done, total), total);
        return blockResult;
    });
}

}  // namespace

LinkResult BslLink::processImageFile(const std::string& fileName, int blockActions) {
    resultCode_ = LinkResult::Ok;
    message_.clear();
    const auto read = [&](const TiTxtBlockSink& sink) {
        return readTiTxtFile(fileName, maxBlockSize_, sink);
    };
    const LinkResult rc = applyImage(*this, read, blockActions, dataBlock_);
    if (rc == LinkResult::FileOpenFailed)
        failedFile_ = fileName;
    resultCode_ = rc;
    return rc;
}

LinkResult BslLink::processImage(const LoadedImage& image, int blockActions) {
    resultCode_ = LinkResult::Ok;
    message_.clear();
    const auto read = [&](const TiTxtBlockSink& sink) {
        return readTiTxtText(image.text, maxBlockSize_, sink);
    };
    resultCode_ = applyImage(*this, read, blockActions, dataBlock_);
    return resultCode_;
}

}  // namespace kv58
