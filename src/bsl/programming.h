// Programming runs: writing a TI-TXT image into the device through the bootstrap loader.
//
// A run is one device operation, from the port opening to endOperation():
//
//   entry sequence
//   [mass erase × 20]             full run only; the password is then the erased-device one
//   password                      BslLink::passwordFile (none: the erased-device password)
//   loader version (2 bytes at 0x0FFA)
//   [Load PC 0x0C22, password, loader patch "PATCH.TXT" programmed and verified]
//                                 only for loaders of version 1.10 and lower
//   erase check of the image      nothing is programmed over flash that is not erased (a
//                                 segment write whose erase did not take, or a transmitter
//                                 exchanged since the erase, is left as it is)
//   programming pass              paced by WaitPrg; the per-byte delay is 0 afterwards
//   verification pass             without delay
//   end                           full run: reset into the device's own program
//
// Steps before the programming pass run with whatever per-byte delay the caller set (a
// segment write sets WaitSeg). Loaders of version 1.10 and lower program flash correctly
// only through the loader patch: once it is loaded (patchActive), every data command of a
// block operation is entered through Load PC 0x0220. The link keeps needsPatch, patchActive,
// loaderVersion and runActions after the run; later operations read them.
//
// Progress goes to BslLink::progress as one count over the passes of the image (erase
// check, programming, verification): bytes done of image bytes times passes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bsl/titxt.h"

namespace kv58 {

class BslLink;

// The two kinds of run; the numbers are the mode numbers the system has always used.
enum class ProgrammingMode : int {
    SegmentWrite = 2,  // erase check, program and verify; no mass erase, no reset at the end
    FullRun = 3,       // mass erase, erase check, program, verify, reset into the program
};

constexpr int kMassEraseCycles = 20;

// One programming run of the link's temporary image (BslLink::tempFile, "TEMP.TXT"), of
// `imageFile`, or of an image in memory. A file is read once, at the start: every pass works
// from those bytes, so another run that replaces the file meanwhile cannot change what this
// one programs. The caller has set the port settings, the waits, BslLink::passwordFile for a
// segment write, and any per-byte delay it wants before the programming pass.
//
// Returns true on success. On failure BslLink::message() holds the text for the user
// ("ERROR: Opening COM-Port failed!" or the message of the failing result) and resultCode()
// the result. Before the port is opened, so that a full run never erases a device it cannot
// program: an image file that cannot be opened, or whose layout may not be programmed
// (bsl/image_check.h), fails the run with FileOpenFailed, and so does a loader patch that
// may be needed and cannot be opened (patchAtHand). From the port's opening to the end of the
// run, requests to end the program are held (base/critical_section.h).
[[nodiscard]] bool runProgramming(BslLink& link, ProgrammingMode mode);
[[nodiscard]] bool runProgramming(BslLink& link, ProgrammingMode mode,
                                  const std::string& imageFile);

// A check made in the run's own port opening, once the loader is entered and before anything
// is erased, so that the device it checks is the one the run then writes. It may unlock the
// loader and read; false ends the run there, nothing erased, with `refusal` as its message.
using BeforeEraseCheck = std::function<bool(BslLink& link, std::string& refusal)>;
[[nodiscard]] bool runProgramming(BslLink& link, ProgrammingMode mode, const std::string& imageFile,
                                  const BeforeEraseCheck& check);
[[nodiscard]] bool runProgramming(BslLink& link, ProgrammingMode mode, LoadedImage image,
                                  const BeforeEraseCheck& check = nullptr);

// Loaders of version 1.10 and older program flash only through the loader patch, and a run
// learns the version only after its mass erase. So before anything is erased the patch image
// must open when the loader is one of those or its version is not known yet. False with
// FileOpenFailed and a message naming the patch image.
[[nodiscard]] bool patchAtHand(BslLink& link);

// Reads the loader's version (an unlocked loader, in an open operation) and decides about the
// patch (BslLink::noteLoaderVersion). A failed read changes nothing: the decision of the last
// run stands. False when it failed.
bool readLoaderVersion(BslLink& link);

}  // namespace kv58
