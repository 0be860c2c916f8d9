#include "bsl/programming.h"

#include <algorithm>

#include "base/critical_section.h"
#include "base/files.h"
#include "base/text.h"
#include "bsl/bsl_link.h"
#include "bsl/image_check.h"
#include "bsl/titxt.h"

namespace kv58 {

namespace {

constexpr const char* kPortOpenFailedText = "ERROR: Opening COM-Port failed!";

int runActionsFor(ProgrammingMode mode) {
    switch (mode) {
        case ProgrammingMode::SegmentWrite:
            return RunEraseCheck | RunProgram | RunVerify;
        case ProgrammingMode::FullRun:
            return RunMassErase | RunEraseCheck | RunProgram | RunVerify | RunResetAtEnd;
    }
    return 0;
}

int passesOf(int runActions) {
    return ((runActions & RunEraseCheck) != 0) + ((runActions & RunProgram) != 0) +
           ((runActions & RunVerify) != 0);
}

// Bytes of the image, or -1 when it may not be programmed (the link's outcome then says why).
long checkedImageBytes(BslLink& link, const LoadedImage& image) {
    ImageLayout layout;
    readImageLayoutText(image.text, layout);
    if (const std::string problem = imageProblem(layout); !problem.empty()) {
        link.setOutcome(LinkResult::FileOpenFailed,
                        strprintf("ERROR: image \"%s\": %s!", image.name.c_str(), problem.c_str()));
        return -1;
    }
    return layout.bytes;
}

// The progress of a run as one count over the passes of the image. Each pass of
// processImageFile counts from 0 to the image size; the loader patch is not counted.
class RunProgress {
public:
    RunProgress(BslLink& link, long bytesPerPass, int passes)
        : link_(link),
          outer_(link.progressObserver()),
          perPass_(bytesPerPass),
          total_(bytesPerPass * passes) {
        if (!outer_)
            return;
        link_.setProgressObserver([this](long done, long) {
            if (counting_)
                outer_(base_ + std::min(done, perPass_), total_);
        });
    }
    ~RunProgress() { link_.setProgressObserver(outer_); }
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

LinkResult massErase(BslLink& link) {
    for (int cycle = 0; cycle < kMassEraseCycles; ++cycle) {
        if (const LinkResult rc = link.bslCommand(kCmdMassErase, kMassEraseAddress, kMassEraseKey);
            failed(rc))
            return rc;
    }
    return LinkResult::Ok;
}

struct StepFailure {
    LinkResult code = LinkResult::Ok;
    bool passwordStage = false;
};

// Restarts the loader, unlocks it again and loads the patch into RAM.
StepFailure loadPatch(BslLink& link) {
    if (const LinkResult rc = link.bslCommand(kCmdLoadPc, kLoaderRestartAddress, 0); failed(rc))
        return {rc, false};
    if (const LinkResult rc = link.transmitPassword(link.passwordFile()); failed(rc))
        return {rc, true};
    if (const LinkResult rc = link.processImageFile(link.patchFile(), BlockProgram | BlockVerify);
        failed(rc))
        return {rc, false};
    link.notePatchLoaded();
    return {};
}

// The passes over the image: erase check, programming (paced by WaitPrg), verification.
LinkResult imagePasses(BslLink& link, RunProgress& progress) {
    const LoadedImage& image = link.runImage();
    if (link.runActions() & RunEraseCheck) {
        progress.nextPass();
        if (const LinkResult rc = link.processImage(image, BlockEraseCheck); failed(rc))
            return rc;
    }
    if (link.runActions() & RunProgram) {
        progress.nextPass();
        link.transport().setByteDelayMs(link.waitPrg());
        const LinkResult rc = link.processImage(image, BlockProgram);
        link.transport().setByteDelayMs(0);
        if (failed(rc))
            return rc;
    }
    if (link.runActions() & RunVerify) {
        progress.nextPass();
        if (const LinkResult rc = link.processImage(image, BlockVerify); failed(rc))
            return rc;
    }
    return LinkResult::Ok;
}

// The run's steps after the port is open (and the loader entered, when `entered`); a failure
// names its step for endOperation.
StepFailure runSteps(BslLink& link, long bytes, bool entered) {
    if (!entered)
        link.transport().enterBootstrapLoader(true);
    if (link.runActions() & RunMassErase) {
        if (const LinkResult rc = massErase(link); failed(rc))
            return {rc, false};
        link.setPasswordFile(std::nullopt);  // the device now has the erased-device password
    }
    if (const LinkResult rc = link.transmitPassword(link.passwordFile()); failed(rc))
        return {rc, true};
    static_cast<void>(readLoaderVersion(link));
    RunProgress progress(link, bytes, passesOf(link.runActions()));
    if (link.needsPatch()) {
        if (const StepFailure f = loadPatch(link); failed(f.code))
            return f;
    }
    return {imagePasses(link, progress), false};
}

}  // namespace

bool runProgramming(BslLink& link, ProgrammingMode mode) {
    return runProgramming(link, mode, link.tempFile());
}

bool runProgramming(BslLink& link, ProgrammingMode mode, const std::string& imageFile) {
    return runProgramming(link, mode, imageFile, nullptr);
}

bool runProgramming(BslLink& link, ProgrammingMode mode, const std::string& imageFile,
                    const BeforeEraseCheck& check) {
    LoadedImage image;
    if (!loadImageFile(imageFile, image)) {
        link.beginRun(runActionsFor(mode), imageFile);
        static_cast<void>(link.imageFileMissing(imageFile));
        return false;
    }
    return runProgramming(link, mode, std::move(image), check);
}

bool runProgramming(BslLink& link, ProgrammingMode mode, LoadedImage image,
                    const BeforeEraseCheck& check) {
    link.beginRun(runActionsFor(mode), std::move(image));
    // Before the device is touched: a full run would otherwise erase it and then find
    // nothing it can program.
    const long bytes = checkedImageBytes(link, link.runImage());
    if (bytes < 0 || !patchAtHand(link))
        return false;
    link.transport().setDataChangeWarning(true);
    if (const LinkResult rc = link.openPort(); failed(rc)) {
        link.setOutcome(rc, kPortOpenFailedText);
        return false;
    }
    if (check) {
        link.transport().enterBootstrapLoader(true);
        std::string refusal;
        if (!check(link, refusal)) {
            static_cast<void>(link.endOperation(LinkResult::VerifyFailed, false));
            link.setMessage(refusal);
            return false;
        }
    }
    const CriticalSection critical;
    // endOperation: the message, the reset when the run asks for it, the port closed.
    const StepFailure f = runSteps(link, bytes, static_cast<bool>(check));
    return link.endOperation(f.code, f.passwordStage);
}

bool readLoaderVersion(BslLink& link) {
    Block version{};
    const LinkResult rc =
        link.bslCommand(kCmdTxDataBlock, kLoaderVersionAddress, 2, nullptr, &version);
    if (failed(rc) || link.lastReplyLength() < 2)
        return false;
    link.noteLoaderVersion(static_cast<uint16_t>(version[0] << 8 | version[1]));
    return true;
}

bool patchAtHand(BslLink& link) {
    const uint16_t version = link.loaderVersion();
    if ((version != 0 && version > kLastPatchedLoader) || fileReadable(link.patchFile()))
        return true;
    static_cast<void>(link.imageFileMissing(link.patchFile()));
    const char* why = version == 0 ? "the loader's version is only known after the first erase, "
                                     "and one of 1.10 or older needs it"
                                   : "the loader, 1.10 or older, needs it";
    link.setMessage(strprintf("ERROR: Unable to open input file \"%s\"! %s: nothing was erased.",
                              link.patchFile().c_str(), why));
    return false;
}

}  // namespace kv58
