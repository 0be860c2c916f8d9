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

// Whether `device` holds nothing but what programming `image` leaves or is on its way to
// leave: erased cells and cells (or bits) programmed as the image has them. So the image's own
// Segment B, an erased one and one that a cut-off run left half-written all pass; the intact
// calibration of another transmitter does not.
bool onTheWayTo(const SegmentData& device, const SegmentData& image) {
    for (size_t i = 0; i < device.size(); ++i) {
        if ((device[i] & image[i]) != image[i])
            return false;
    }
    return true;
}

// Tries to unlock the loader and read Segment B: a line error once must not stop the run, nor
// may it pass for a transmitter that cannot be read.
constexpr int kReadTries = 3;

enum class Reading { Read, Refused, Failed };

// Segment B of the device after unlocking its loader; Refused when the loader refused every
// password file and the erased password.
Reading readSegmentB(BslLink& link, const PasswordFileList& passwordFiles, SegmentData& b) {
    LinkResult rc = unlockLoader(link, passwordFiles);
    // A run cut off after its erase leaves the password (the interrupt vectors) erased; such a
    // transmitter can still be read, and its Segment B checked.
    if (failed(rc) && link.passwordsRefused())
        rc = link.transmitPassword(std::nullopt);
    if (failed(rc))
        return rc == LinkResult::Nak ? Reading::Refused : Reading::Failed;
    const std::optional<SegmentData> read = readFromDevice(link, kSegmentBAddress);
    if (!read)
        return Reading::Failed;
    b = *read;
    return Reading::Read;
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
        if (!imageB)
            return true;
        SegmentData b{};
        Reading reading = Reading::Failed;
        for (int i = 0; i < kReadTries && reading != Reading::Read; ++i)
            reading = readSegmentB(link, passwordFiles, b);
        if (reading == Reading::Refused)
            return true;  // a program of its own, or a loader that will not answer: unchecked
        if (reading == Reading::Failed) {
            refusal =
                "ERROR: Segment B (calibration) of the transmitter could not be read to "
                "compare it with " +
                imageFile + "; nothing was erased!";
            return false;
        }
        if (onTheWayTo(b, *imageB))
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
