// Before an image that brings its own Segment B (calibration) is programmed into a
// transmitter: it must be that transmitter's. An image of one transmitter programmed into
// another would replace a calibration only its factory can make.
#pragma once

#include <string>

#include "bsl/bsl_link.h"
#include "bsl/segments.h"

namespace kv58 {

// Whether `imageFile` may go into the connected transmitter as far as its calibration goes:
// true when the image holds no whole Segment B; when the transmitter's Segment B is that same
// one or erased; when its intact Segment A has the serial number of the image's Segment A
// (the same transmitter, its calibration being rewritten); and when the transmitter cannot be
// read (a run cut off leaves the loader's password erased, and the image is then the way
// back). False with the reason in `reason` when it holds another transmitter's Segment B.
[[nodiscard]] bool calibrationFits(BslLink& link, const PasswordFileList& passwordFiles,
                                   const std::string& imageFile, std::string& reason);

}  // namespace kv58
