#include "device/calibration_guard.h"

#include <algorithm>

#include "bsl/titxt.h"
#include "device/infomem.h"
#include "device/segment_state.h"

namespace kv58 {

namespace {

// A segment of the image, when it holds all of it.
bool segmentOf(const std::string& imageFile, uint16_t start, SegmentData& segment) {
    std::array<bool, kSegmentSize> seen{};
    const LinkResult rc = readTiTxtFile(imageFile, kMaxImageBlock,
                                        [&](uint16_t address, std::span<const uint8_t> bytes) {
                                            for (size_t i = 0; i < bytes.size(); ++i) {
                                                const size_t at = address + i;
                                                if (at >= start && at < start + kSegmentSize) {
                                                    segment[at - start] = bytes[i];
                                                    seen[at - start] = true;
                                                }
                                            }
                                            return LinkResult::Ok;
                                        });
    return rc == LinkResult::Ok && std::all_of(seen.begin(), seen.end(), [](bool b) { return b; });
}

}  // namespace

bool calibrationFits(BslLink& link, const PasswordFileList& passwordFiles,
                     const std::string& imageFile, std::string& reason) {
    SegmentData imageB{};
    if (!segmentOf(imageFile, kSegmentBAddress, imageB))
        return true;
    SegmentData transmitterB{};
    if (!readSegmentB(link, passwordFiles, transmitterB))
        return true;
    if (transmitterB == imageB || classifySegmentB(transmitterB) == SegmentState::Erased)
        return true;
    SegmentData imageA{}, transmitterA{};
    if (segmentOf(imageFile, kSegmentAAddress, imageA) &&
        readSegmentA(link, passwordFiles, transmitterA) &&
        classifySegmentA(transmitterA) == SegmentState::Intact &&
        serialNumberOf(transmitterA) == serialNumberOf(imageA)) {
        return true;
    }
    reason = "Segment B (calibration) of the transmitter is not the one in " + imageFile +
             ": the image belongs to another transmitter";
    return false;
}

}  // namespace kv58
