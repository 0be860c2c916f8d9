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
// public members below.
//
// Result codes are those of bsl/link_result.h: 0 for success.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/clock.h"
#include "bsl/frame_transport.h"
#include "bsl/link_result.h"
#include "bsl/link_trace.h"
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
        WaitPrg = waitPrg;
        WaitSeg = waitSeg;
    }

    // openPort with the stored settings, 300 ms and factor 4: 0, 2 or 3.
    int openPort();
    int closePort() { return transport_.closePort(); }
    FrameTransport& transport() { return transport_; }
    const FrameTransport& transport() const { return transport_; }

    // --- Loader commands. ---

    // One loader command: synchronisation, then the frame. The write command's address and
    // length are made even (an odd address gets 0xFF in front of the data, an odd length
    // 0xFF behind it); the read command's likewise, without data. `data` holds the `length`
    // bytes of the password and write commands. When `reply` is given, the data of a reply
    // data frame are copied into it. Returns 99 without sending anything when the
    // synchronisation fails (`reply` then stays as it was); 1 when the normalised data
    // would not fit a frame.
    int bslCommand(uint8_t command, uint16_t address, uint16_t length, const Block* data = nullptr,
                   Block* reply = nullptr);
    // Data bytes the last bslCommand copied into its reply.
    size_t lastReplyLength() const { return lastReplyLength_; }

    // Enters the loader patch before one data command of a block operation when it is
    // active (Load PC 0x0220, data-change warning off); end restores the warning.
    int beginPatchedCommand();
    void endPatchedCommand();

    // Reads `length` bytes at `address` and checks them against dataBlock (BlockVerify: 98)
    // or against 0xFF (BlockEraseCheck: 97); 0, 97, 98 or a command result.
    int verifyBlock(uint16_t address, uint16_t length, int blockActions);
    // Applies `blockActions` to the `length` bytes of dataBlock at `address`: erase check,
    // write, verify; or, with BlockPassword, sends them as the password and nothing else.
    int programBlock(uint16_t address, uint16_t length, int blockActions);

    // Sends the password in the TI-TXT file, or with none the erased-device password
    // (32 bytes of 0xFF at 0xFFE0): 0, 7 when refused, 96 when the file cannot be opened.
    int transmitPassword(const std::optional<std::string>& passwordFileName);

    // Ends a device operation: the reset into the device's program when the last
    // programming run asked for it, `code` into resultCode and its message, closes the port.
    // Returns 0 when `code` is 0, else 1.
    int endOperation(int code, bool passwordStage);

    // Reads the TI-TXT file and applies programBlock(…, blockActions) to each block of at
    // most maxBlockSize bytes; stops at the first failing block. Returns resultCode: 0, 96,
    // or the failing block's code. Reports progress in image bytes.
    int processImageFile(const std::string& fileName, int blockActions);

    // --- Observers. ---
    void addTraceObserver(TraceObserver* observer) { transport_.addTraceObserver(observer); }
    void removeTraceObserver(TraceObserver* observer) { transport_.removeTraceObserver(observer); }
    ProgressFunction progress;  // bytes done of bytes planned; may be empty
    void reportProgress(long done, long total) const {
        if (progress)
            progress(done, total);
    }

    Clock& clock() { return clock_; }

    // --- Loader state, public for the device operations built on the link. ---
    std::string message;  // user text of the last link operation
    int resultCode = 0;
    int WaitPrg = 0;
    int WaitSeg = 2;
    int maxBlockSize = kDefaultMaxBlockSize;
    Block replyBlock{};
    Block dataBlock{};
    std::string patchFile = "PATCH.TXT";
    std::string tempFile = "TEMP.TXT";
    std::string imageFile;
    std::optional<std::string> passwordFile;  // none: the erased-device password
    std::string failedFile;                   // last image file that could not be opened
    bool needsPatch = false;
    bool patchActive = false;
    uint16_t loaderVersion = 0;
    int runActions = 0;

private:
    Clock& clock_;
    FrameTransport transport_;
    std::string portName_ = "COM1";
    LineSettings line_;
    size_t lastReplyLength_ = 0;
};

}  // namespace kv58
