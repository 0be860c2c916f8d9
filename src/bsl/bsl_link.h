// BslLink: the bootstrap-loader link of the whole application.
//
// One object lives for the whole run. It holds the port settings, the frame transport, the
// loader commands built on it, the block operations that image files are applied with, and
// the loader state that persists between device operations (patch state, last run actions).
//
// A device operation is: openPort(), transport().enterBootstrapLoader(true), a password
// (transmitPassword), any number of loader commands, then endOperation() or closePort().
// The programming runs and the segment and program transfers are built on this class as
// free functions taking a BslLink& (bsl/programming.h, bsl/segments.h); they use only the
// public members below. The loader state and the outcome of the last operation change only
// through the link's own operations and the few named steps below, never from outside.
//
// Results are those of bsl/link_result.h.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/data_files.h"
#include "bsl/frame_transport.h"
#include "bsl/link_result.h"
#include "bsl/link_trace.h"
#include "bsl/titxt.h"
#include "serial/serial_port.h"

namespace kv58 {

using Block = std::array<uint8_t, kBlockCapacity>;

// Loader commands.
constexpr uint8_t kCmdRxPassword = 0x10;
constexpr uint8_t kCmdRxDataBlock = 0x12;  // write
constexpr uint8_t kCmdTxDataBlock = 0x14;  // read; the loader answers with a data frame
constexpr uint8_t kCmdEraseSegment = 0x16;
constexpr uint8_t kCmdMassErase = 0x18;
constexpr uint8_t kCmdLoadPc = 0x1A;

// Fixed arguments of the commands.
constexpr uint16_t kPasswordAddress = 0xFFE0;
constexpr uint16_t kPasswordLength = 32;
constexpr uint16_t kEraseSegmentKey = 0xA502;
constexpr uint16_t kMassEraseAddress = 0xFF00;
constexpr uint16_t kMassEraseKey = 0xA506;
constexpr uint16_t kLoaderRestartAddress = 0x0C22;
constexpr uint16_t kPatchEntryAddress = 0x0220;
constexpr uint16_t kLoaderVersionAddress = 0x0FFA;  // major version, then minor
constexpr uint16_t kLastPatchedLoader = 0x0110;     // 1.10: the newest loader that needs it

// Block actions: what the block operations do with each block of an image.
constexpr int BlockProgram = 1;     // write the block
constexpr int BlockVerify = 2;      // read it back and compare with dataBlock
constexpr int BlockEraseCheck = 4;  // read it and check that every byte is 0xFF
constexpr int BlockPassword = 8;    // send it as the loader password (other bits ignored)

// Run actions: the steps of a programming run; RunResetAtEnd is read by endOperation().
constexpr int RunMassErase = 1;
constexpr int RunEraseCheck = 2;
constexpr int RunProgram = 4;
constexpr int RunVerify = 8;
constexpr int RunResetAtEnd = 16;

// Block size limit of the image-file processing.
constexpr int kDefaultMaxBlockSize = 240;

// Frame time-out and prolong factor of every port opening of the system.
constexpr int kFrameTimeoutMs = 300;
constexpr int kProlongFactor = 4;

class BslLink {
public:
    explicit BslLink(Clock& clock);

    // --- Port settings: stored only, applied at the next openPort(). ---
    void setPortName(const std::string& name) { portName_ = name; }
    // One of 110 … 256000 (the usual rates); any other value sets 9600.
    void setBaudRate(uint32_t baud);
    void setDataBits(uint8_t bits) { line_.dataBits = bits; }
    // From the first character: E even, O odd, N none, M mark, S space (either case);
    // anything else, or an empty text, gives even parity.
    void setParity(const std::string& text);
    // 1 one stop bit, 15 one and a half, 2 two; any other number one.
    void setStopBits(int code);
    // Adapters that invert a control line: the link then drives it at the opposite level.
    void setInvertDtr(bool invert) { transport_.setInvertDtr(invert); }
    void setInvertRts(bool invert) { transport_.setInvertRts(invert); }

    const std::string& portName() const { return portName_; }
    const LineSettings& lineSettings() const { return line_; }

    // Per-byte delays of a programming pass and of a segment write, in milliseconds.
    void setWaits(int waitPrg, int waitSeg) {
        waitPrg_ = waitPrg;
        waitSeg_ = waitSeg;
    }
    int waitPrg() const { return waitPrg_; }
    int waitSeg() const { return waitSeg_; }

    // Block size limit of the image-file processing.
    void setMaxBlockSize(int bytes) { maxBlockSize_ = bytes; }
    int maxBlockSize() const { return maxBlockSize_; }

    // Where data files named relatively (password files, the loader patch) are looked for
    // after the working folder: the settings file's folder, the installation's data folder.
    void setDataFolders(std::vector<std::string> folders) { dataFolders_ = std::move(folders); }
    const std::vector<std::string>& dataFolders() const { return dataFolders_; }
    // The path to open for the data file `name` (base/data_files.h).
    std::string dataFile(const std::string& name) const { return findDataFile(name, dataFolders_); }

    // The loader patch image ("PATCH.TXT"), found as a data file, and the temporary image of
    // segment writes and restores ("TEMP.TXT"), in the working folder.
    void setPatchFile(const std::string& name) { patchFile_ = name; }
    std::string patchFile() const { return dataFile(patchFile_); }
    void setTempFile(const std::string& name) { tempFile_ = name; }
    const std::string& tempFile() const { return tempFile_; }

    // The password file of the next password transmission; none: the erased-device password.
    void setPasswordFile(std::optional<std::string> name) { passwordFile_ = std::move(name); }
    const std::optional<std::string>& passwordFile() const { return passwordFile_; }

    // openPort with the stored settings, 300 ms and factor 4: Ok, PortOpenFailed or
    // PortConfigFailed.
    LinkResult openPort();
    LinkResult closePort() { return transport_.closePort(); }
    FrameTransport& transport() { return transport_; }
    const FrameTransport& transport() const { return transport_; }

    // --- Loader commands. ---

    // One loader command: synchronisation, then the frame. The write command's address and
    // length are made even (an odd address gets 0xFF in front of the data, an odd length
    // 0xFF behind it); the read command's likewise, without data. `data` holds the `length`
    // bytes of the password and write commands. When `reply` is given, the data of a reply
    // data frame are copied into it. Returns NoSync without sending anything when the
    // synchronisation fails (`reply` then stays as it was); InvalidReply when the normalised
    // data would not fit a frame.
    LinkResult bslCommand(uint8_t command, uint16_t address, uint16_t length,
                          const Block* data = nullptr, Block* reply = nullptr);
    // Data bytes the last bslCommand copied into its reply.
    size_t lastReplyLength() const { return lastReplyLength_; }
    // Commands that may change the flash (erases, and writes at 0x1000 and above) whose
    // frames the link began to send since it was made. A caller compares the count before
    // and after an operation: when it has not moved, the flash cannot have changed.
    uint64_t flashCommandsSent() const { return flashCommandsSent_; }

    // Enters the loader patch before one data command of a block operation when it is
    // active (Load PC 0x0220, data-change warning off); end restores the warning.
    LinkResult beginPatchedCommand();
    void endPatchedCommand();

    // Reads `length` bytes at `address` and checks them against dataBlock (BlockVerify:
    // VerifyFailed) or against 0xFF (BlockEraseCheck: EraseCheckFailed); else Ok or the
    // command's result.
    LinkResult verifyBlock(uint16_t address, uint16_t length, int blockActions);
    // Applies `blockActions` to the `length` bytes of dataBlock at `address`: erase check,
    // write, verify; or, with BlockPassword, sends them as the password and nothing else.
    LinkResult programBlock(uint16_t address, uint16_t length, int blockActions);

    // Sends the password in the TI-TXT file, or with none the erased-device password
    // (32 bytes of 0xFF at 0xFFE0): Ok, Nak when refused, FileOpenFailed when the file cannot
    // be opened.
    LinkResult transmitPassword(const std::optional<std::string>& passwordFileName);

    // Ends a device operation: the reset into the device's program when the last
    // programming run asked for it, `result` into resultCode and its message, closes the
    // port. Returns true when `result` is Ok.
    [[nodiscard]] bool endOperation(LinkResult result, bool passwordStage);

    // Reads the TI-TXT file and applies programBlock(…, blockActions) to each block of at
    // most maxBlockSize bytes; stops at the first failing block. Returns (and keeps in
    // resultCode) Ok, FileOpenFailed, or the failing block's result. Reports progress in
    // image bytes.
    LinkResult processImageFile(const std::string& fileName, int blockActions);
    // The same for an image in memory (a programming run's own image).
    LinkResult processImage(const LoadedImage& image, int blockActions);

    // The block buffers: the data of the last reply data frame, and the data of the next
    // write or password command (and the expected data of a verification).
    const Block& replyBlock() const { return replyBlock_; }
    Block& dataBlock() { return dataBlock_; }

    // --- The outcome of the last link operation. ---

    // The user text of the last link operation; callers show it.
    const std::string& message() const { return message_; }
    LinkResult resultCode() const { return resultCode_; }
    // The last image file that could not be opened (the message of FileOpenFailed).
    const std::string& failedFile() const { return failedFile_; }
    // Operations built on the link set the outcome of their own steps: a result with its
    // message, or a message of their own in place of the link's (the same result kept).
    void setOutcome(LinkResult result, std::string message) {
        resultCode_ = result;
        message_ = std::move(message);
    }
    void setMessage(std::string message) { message_ = std::move(message); }
    // An image that cannot be opened: FileOpenFailed with its message, naming the file.
    LinkResult imageFileMissing(const std::string& fileName);

    // --- Loader state, kept between device operations. ---

    // The connected loader needs the patch and it is not loaded yet.
    bool needsPatch() const { return needsPatch_; }
    // The patch is in the device's RAM and is entered before every data command.
    bool patchActive() const { return patchActive_; }
    // Major version in the high byte, minor in the low byte; 0 until a run has read it.
    uint16_t loaderVersion() const { return loaderVersion_; }
    // The steps of the last programming run (Run* bits); RunResetAtEnd is read by
    // endOperation().
    int runActions() const { return runActions_; }
    // Whether the last password search of a device operation found a loader that refused the
    // password of every file it tried: its interrupt vectors are not those of the firmware
    // the files belong to (erased or half-programmed by a run that was cut off, or another
    // firmware).
    bool passwordsRefused() const { return passwordsRefused_; }
    void notePasswordSearch(bool allRefused) { passwordsRefused_ = allRefused; }
    // The image of the current (or last) programming run, read once at its start: every pass
    // works from these bytes, whatever happens to the file meanwhile.
    const std::string& imageFile() const { return runImage_.name; }
    const LoadedImage& runImage() const { return runImage_; }

    // A programming run begins with these steps and this image; a segment write forgets the
    // image when it is over.
    void beginRun(int runActions, LoadedImage image);
    void beginRun(int runActions, const std::string& imageName) {
        beginRun(runActions, LoadedImage{imageName, {}});
    }
    void forgetRunImage() { runImage_ = {}; }
    // The loader's version as a run read it: loaders of 1.10 and lower need the patch (and
    // one that an earlier device held is no longer there); newer ones need none.
    void noteLoaderVersion(uint16_t version);
    // The patch has been loaded into the device's RAM.
    void notePatchLoaded();

    // --- Observers. ---
    void addTraceObserver(TraceObserver* observer) { transport_.addTraceObserver(observer); }
    void removeTraceObserver(TraceObserver* observer) { transport_.removeTraceObserver(observer); }
    // Bytes done of bytes planned, for progress bars; empty: none.
    void setProgressObserver(ProgressFunction observer) { progress_ = std::move(observer); }
    const ProgressFunction& progressObserver() const { return progress_; }
    void reportProgress(long done, long total) const {
        if (progress_)
            progress_(done, total);
    }

    Clock& clock() { return clock_; }

private:
    Clock& clock_;
    FrameTransport transport_;
    std::string portName_ = "COM1";
    LineSettings line_;
    size_t lastReplyLength_ = 0;
    uint64_t flashCommandsSent_ = 0;
    ProgressFunction progress_;
    int waitPrg_ = 0;
    int waitSeg_ = 2;
    int maxBlockSize_ = kDefaultMaxBlockSize;
    Block replyBlock_{};
    Block dataBlock_{};
    std::vector<std::string> dataFolders_;
    std::string patchFile_ = "PATCH.TXT";
    std::string tempFile_ = "TEMP.TXT";
    std::optional<std::string> passwordFile_;
    std::string message_;
    LinkResult resultCode_ = LinkResult::Ok;
    std::string failedFile_;
    bool needsPatch_ = false;
    bool passwordsRefused_ = false;
    bool patchActive_ = false;
    uint16_t loaderVersion_ = 0;
    int runActions_ = 0;
    LoadedImage runImage_;
};

}  // namespace kv58
