// Before an image that brings its own Segment B (calibration) is programmed into a
// transmitter: it must be that transmitter's. An image of one transmitter programmed into
// another would replace a calibration only its factory can make.
#pragma once

#include <string>

#include "bsl/programming.h"
#include "bsl/segments.h"

namespace kv58 {

// The check of a full programming run (runProgramming's BeforeEraseCheck), made in the run's
// own port opening so that no other transmitter can be connected between the check and the
// erase. It passes when the image holds nothing of Segment B; when the transmitter's Segment B
// is that same one (what the image leaves there, its missing bytes erased), erased, or on its
// way from erased to that one (a run cut off while programming it); when its
// intact Segment A has the serial number of the image's Segment A (the same transmitter, its
// calibration being rewritten); and when the loader refuses every password file and the erased
// password too, so that nothing can be read. (A run cut off after its erase leaves the password
// erased: that transmitter is read with the erased password and checked.) It refuses a
// transmitter that holds another, intact Segment B, and one whose Segment B cannot be read for
// another reason (a line that fails three times) rather than program it unchecked.
BeforeEraseCheck sameCalibration(const PasswordFileList& passwordFiles,
                                 const std::string& imageFile);
// The same for the image a run programs from memory.
BeforeEraseCheck sameCalibration(const PasswordFileList& passwordFiles, const LoadedImage& image);

}  // namespace kv58
