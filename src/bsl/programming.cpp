#include "bsl/programming.h"

#include <algorithm>

#include "bsl/bsl_link.h"
#include "bsl/titxt.h"

namespace kv58 {

namespace {

constexpr const char* kPortOpenFailedText = "ERROR: Opening COM-Port failed!";

int runActionsFor(ProgrammingMode mode) {
    switch (mode) {
        case ProgrammingMode::SegmentWrite:
            return RunProgram | RunVerify;
        case ProgrammingMode::FullRun:
            return RunMassErase | RunEraseCheck | RunProgram | RunVerify | RunResetAtEnd;
    }
    return 0;
}

int passesOf(int runActions) {
    return ((runActions & RunEraseCheck) != 0) + ((runActions & RunProgram) != 0) +
           ((runActions & RunVerify) != 0);
}

// Bytes of the image, or -1 when it cannot be opened.
long imageBytes(const std::string& fileName, int maxBlockSize) {
    long total = 0;
    const int rc =
        readTiTxtFile(fileName, maxBlockSize, [&](uint16_t, std::span<const uint8_t> bytes) {
            total += static_cast<long>(bytes.size());
            return link::kOk;
        });
    return rc == link::kFileOpenFailed ? -1 : total;
}

// The progress of a run as one count over the passes of the image. Each pass of
// processImageFile counts from 0 to the image size; the loader patch is not counted.
class RunProgress {
public:
    RunProgress(BslLink& link, long bytesPerPass, int passes)
        : link_(link),
          outer_(link.progress),
          perPass_(bytesPerPass),
          total_(bytesPerPass * passes) {
        if (!outer_)
            return;
        link_.progress = [this](long done, long) {
            if (counting_)
                outer_(base_ + std::min(done, perPass_), total_);
        };
    }
    ~RunProgress() { link_.progress = outer_; }
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    // The next pass over the image begins; reports before the first pass are not counted.
    void nextPass() {
        base_ = perPass_ * passesStarted_++;
        counting_ = true;
    }

private:
    BslLink& link_;
    ProgressFunction outer_;
    long perPass_;
    long total_;
    long base_ = 0;
    int passesStarted_ = 0;
    bool counting_ = false;
};

// Ends the run through endOperation (message, reset when asked for, port closed).
int failRun(BslLink& link, int code, bool passwordStage) {
    link.endOperation(code, passwordStage);
    return 1;
}

int massErase(BslLink& link) {
    for (int cycle = 0; cycle < kMassEraseCycles; ++cycle) {
        if (const int rc = link.bslCommand(kCmdMassErase, kMassEraseAddress, kMassEraseKey)) {
            return rc;
        }
    }
    return link::kOk;
}

// Reads the loader version and decides about the patch. A failed read changes nothing: the
// decision of the last run stands.
void checkLoaderVersion(BslLink& link) {
    const int rc =
        link.bslCommand(kCmdTxDataBlock, kLoaderVersionAddress, 2, nullptr, &link.replyBlock);
    if (rc != link::kOk || link.lastReplyLength() < 2)
        return;
    link.loaderVersion = static_cast<uint16_t>(link.replyBlock[0] << 8 | link.replyBlock[1]);
    if (link.loaderVersion > kLastPatchedLoader) {
        // A patch entered on an earlier device must not be entered on this one: without the
        // patch in RAM, Load PC 0x0220 jumps into whatever RAM holds.
        link.needsPatch = false;
        link.patchActive = false;
        link.transport().setDataChangeWarning(false);
    } else {
        link.needsPatch = true;
        link.patchActive = false;
        link.transport().setDataChangeWarning(true);
    }
}

struct StepFailure {
    int code = link::kOk;
    bool passwordStage = false;
};

// Restarts the loader, unlocks it again and loads the patch into RAM.
StepFailure loadPatch(BslLink& link) {
    if (const int rc = link.bslCommand(kCmdLoadPc, kLoaderRestartAddress, 0))
        return {rc, false};
    if (const int rc = link.transmitPassword(link.passwordFile))
        return {rc, true};
    if (const int rc = link.processImageFile(link.patchFile, BlockProgram | BlockVerify)) {
        return {rc, false};
    }
    link.patchActive = true;
    link.needsPatch = false;
    return {};
}

// The passes over the image: erase check, programming (paced by WaitPrg), verification.
int imagePasses(BslLink& link, RunProgress& progress) {
    const std::string image = link.imageFile;
    if (link.runActions & RunEraseCheck) {
        progress.nextPass();
        if (const int rc = link.processImageFile(image, BlockEraseCheck))
            return rc;
    }
    if (link.runActions & RunProgram) {
        progress.nextPass();
        link.transport().setByteDelayMs(link.WaitPrg);
        const int rc = link.processImageFile(image, BlockProgram);
        link.transport().setByteDelayMs(0);
        if (rc)
            return rc;
    }
    if (link.runActions & RunVerify) {
        progress.nextPass();
        if (const int rc = link.processImageFile(image, BlockVerify))
            return rc;
    }
    return link::kOk;
}

}  // namespace

int runProgramming(BslLink& link, ProgrammingMode mode) {
    return runProgramming(link, mode, link.tempFile);
}

int runProgramming(BslLink& link, ProgrammingMode mode, const std::string& imageFile) {
    link.resultCode = link::kOk;
    link.message.clear();
    link.imageFile = imageFile;
    link.runActions = runActionsFor(mode);
    // Before the device is touched: a full run would otherwise erase it and then find
    // nothing to program.
    const long bytes = imageBytes(imageFile, link.maxBlockSize);
    if (bytes < 0) {
        link.failedFile = imageFile;
        link.resultCode = link::kFileOpenFailed;
        link.message = link::linkMessage(link::kFileOpenFailed, false, imageFile);
        return 1;
    }
    link.transport().setDataChangeWarning(true);
    if (const int rc = link.openPort()) {
        link.resultCode = rc;
        link.message = kPortOpenFailedText;
        return 1;
    }
    link.transport().enterBootstrapLoader(true);
    if (link.runActions & RunMassErase) {
        if (const int rc = massErase(link))
            return failRun(link, rc, false);
        link.passwordFile.reset();  // the device now has the erased-device password
    }
    if (const int rc = link.transmitPassword(link.passwordFile))
        return failRun(link, rc, true);
    checkLoaderVersion(link);
    RunProgress progress(link, bytes, passesOf(link.runActions));
    if (link.needsPatch) {
        if (const StepFailure f = loadPatch(link); f.code) {
            return failRun(link, f.code, f.passwordStage);
        }
    }
    if (const int rc = imagePasses(link, progress))
        return failRun(link, rc, false);
    link.endOperation(link::kOk, false);
    return 0;
}

}  // namespace kv58
