#include "device/calibration_guard.h"

#include <algorithm>
#include <optional>

#include "bsl/bsl_link.h"
#include "bsl/titxt.h"
#include "device/infomem.h"
#include "device/segment_state.h"

namespace kv58 {

namespace {

// A segment as the image leaves it after a full run (bytes the image does not hold stay
// erased), when the image holds any of it.
std::optional<SegmentData> segmentOf(const LoadedImage& image, uint16_t start) {
    SegmentData segment;
    segment.fill(0xFF);
    bool seen = false;
    const LinkResult rc = readTiTxtText(image.text, kMaxImageBlock,
                                        [&](uint16_t address, std::span<const uint8_t> bytes) {
                                            for (size_t i = 0; i < bytes.size(); ++i) {
                                                const size_t at = address + i;
                                                if (at >= start && at < start + kSegmentSize) {
                                                    segment[at - start] = bytes[i];
                                                    seen = true;
                                                }
                                            }
                                            return LinkResult::Ok;
                                        });
    if (rc != LinkResult::Ok || !seen)
        return std::nullopt;
    return segment;
}

// A segment of the unlocked device, or nothing.
std::optional<SegmentData> readFromDevice(BslLink& link, uint16_t start) {
    Block reply{};
    if (failed(link.bslCommand(kCmdTxDataBlock, start, kSegmentSize, nullptr, &reply)) ||
        link.lastReplyLength() < kSegmentSize) {
        return std::nullopt;
    }
    SegmentData segment{};
    std::copy_n(reply.begin(), kSegmentSize, segment.begin());
    return segment;
}

}  // namespace

BeforeEraseCheck sameCalibration(const PasswordFileList& passwordFiles,
                                 const std::string& imageFile) {
    LoadedImage image;
    if (!loadImageFile(imageFile, image))
        image.text.clear();  // the run itself reports the file
    return sameCalibration(passwordFiles, image);
}

BeforeEraseCheck sameCalibration(const PasswordFileList& passwordFiles, const LoadedImage& image) {
    const std::optional<SegmentData> imageB = segmentOf(image, kSegmentBAddress);
    const std::optional<SegmentData> imageA = segmentOf(image, kSegmentAAddress);
    const std::string imageFile = image.name;
    return [=](BslLink& link, std::string& refusal) {
        if (!imageB || failed(unlockLoader(link, passwordFiles)))
            return true;
        const std::optional<SegmentData> b = readFromDevice(link, kSegmentBAddress);
        if (!b || *b == *imageB || classifySegmentB(*b) == SegmentState::Erased)
            return true;
        const std::optional<SegmentData> a = readFromDevice(link, kSegmentAAddress);
        if (imageA && a && classifySegmentA(*a) == SegmentState::Intact &&
            serialNumberOf(*a) == serialNumberOf(*imageA)) {
            return true;
        }
        refusal = "ERROR: Segment B (calibration) of the transmitter is not the one in " +
                  imageFile + ": the image belongs to another transmitter; nothing was erased!";
        return false;
    };
}

}  // namespace kv58
