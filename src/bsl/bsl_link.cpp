#include "bsl/bsl_link.h"

#include <algorithm>

#include "base/text.h"

namespace kv58 {

namespace {

constexpr uint32_t kBaudRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                   19200, 38400, 56000, 57600, 115200, 128000, 256000};
constexpr uint32_t kDefaultBaud = 9600;
constexpr uint8_t kErasedByte = 0xFF;
constexpr uint16_t kFlashStart = 0x1000;

bool changesFlash(uint8_t command, uint16_t address) {
    return command == kCmdEraseSegment || command == kCmdMassErase ||
           (command == kCmdRxDataBlock && address >= kFlashStart);
}

}  // namespace

BslLink::BslLink(Clock& clock) : clock_(clock), transport_(clock) {}

void BslLink::setBaudRate(uint32_t baud) {
    const bool known =
        std::find(std::begin(kBaudRates), std::end(kBaudRates), baud) != std::end(kBaudRates);
    line_.baud = known ? baud : kDefaultBaud;
}

void BslLink::setParity(const std::string& text) {
    switch (text.empty() ? '\0' : toUpperAscii(text[0])) {
        case 'O':
            line_.parity = Parity::Odd;
            break;
        case 'N':
            line_.parity = Parity::None;
            break;
        case 'M':
            line_.parity = Parity::Mark;
            break;
        case 'S':
            line_.parity = Parity::Space;
            break;
        default:
            line_.parity = Parity::Even;
            break;
    }
}

void BslLink::setStopBits(int code) {
    line_.stopBits = code == 15 ? StopBits::OneAndHalf : code == 2 ? StopBits::Two : StopBits::One;
}

LinkResult BslLink::openPort() {
    return transport_.openPort(portName_, kFrameTimeoutMs, kProlongFactor, line_);
}

LinkResult BslLink::bslCommand(uint8_t command, uint16_t address, uint16_t length,
                               const Block* data, Block* reply) {
    lastReplyLength_ = 0;
    // The data part: length bytes, made even for the write command.
    std::array<uint8_t, kBlockCapacity + 2> bytes{};
    size_t count = length;
    const bool carriesData = command == kCmdRxPassword || command == kCmdRxDataBlock;
    if (carriesData && count > kBlockCapacity)
        return LinkResult::InvalidReply;
    if (carriesData) {
        if (data) {
            std::copy_n(data->begin(), count, bytes.begin());
        } else {
            std::fill_n(bytes.begin(), count, kErasedByte);
        }
    }
    if (command == kCmdRxDataBlock) {
        if (address & 1) {
            std::copy_backward(bytes.begin(), bytes.begin() + count, bytes.begin() + count + 1);
            bytes[0] = kErasedByte;
            --address;
            ++count;
        }
        if (count & 1)
            bytes[count++] = kErasedByte;
        if (count > kBlockCapacity)
            return LinkResult::InvalidReply;
        length = static_cast<uint16_t>(count);
    } else if (command == kCmdTxDataBlock) {
        if (address & 1) {
            --address;
            ++length;
        }
        if (length & 1)
            ++length;
    }
    std::array<uint8_t, 4 + kBlockCapacity> payload{};
    payload[0] = static_cast<uint8_t>(address & 0xFF);
    payload[1] = static_cast<uint8_t>(address >> 8);
    payload[2] = static_cast<uint8_t>(length & 0xFF);
    payload[3] = static_cast<uint8_t>(length >> 8);
    const size_t payloadLength = carriesData ? 4 + count : 4;
    if (carriesData)
        std::copy_n(bytes.begin(), count, payload.begin() + 4);

    if (const LinkResult rc = transport_.synchronize(); failed(rc))
        return rc;
    if (changesFlash(command, address))
        ++flashCommandsSent_;
    const LinkResult rc = transport_.exchangeFrame(command, {payload.data(), payloadLength});
    const ReplyFrame& received = transport_.reply();
    if (reply && received.length > 0) {
        std::copy_n(received.data.begin(), received.length, reply->begin());
        lastReplyLength_ = received.length;
    }
    return rc;
}

LinkResult BslLink::beginPatchedCommand() {
    resultCode_ = LinkResult::Ok;
    message_.clear();
    if (!patchActive_)
        return LinkResult::Ok;
    if (const LinkResult rc = bslCommand(kCmdLoadPc, kPatchEntryAddress, 0); failed(rc))
        return rc;
    transport_.setDataChangeWarning(false);
    return LinkResult::Ok;
}

void BslLink::endPatchedCommand() {
    if (patchActive_)
        transport_.setDataChangeWarning(true);
}

LinkResult BslLink::verifyBlock(uint16_t address, uint16_t length, int blockActions) {
    resultCode_ = LinkResult::Ok;
    message_.clear();
    const bool verify = (blockActions & BlockVerify) != 0;
    const bool eraseCheck = (blockActions & BlockEraseCheck) != 0;
    if (!verify && !eraseCheck)
        return LinkResult::Ok;
    if (const LinkResult rc = beginPatchedCommand(); failed(rc))
        return rc;
    const LinkResult rc = bslCommand(kCmdTxDataBlock, address, length, nullptr, &replyBlock_);
    endPatchedCommand();
    if (failed(rc))
        return rc;
    // A block at an odd address is read from the even address below it.
    const size_t offset = address & 1u;
    if (lastReplyLength_ < offset + length)
        return LinkResult::InvalidReply;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t device = replyBlock_[offset + i];
        const unsigned at = static_cast<unsigned>(address + i);
        if (verify) {
            if (device != dataBlock_[i]) {
                message_ =
                    strprintf("Verification failed at %x (%x, %x)\n", at, device, dataBlock_[i]);
                return LinkResult::VerifyFailed;
            }
        } else if (device != kErasedByte) {
            message_ = strprintf("Erase Check failed at %x (%x)\n", at, device);
            return LinkResult::EraseCheckFailed;
        }
    }
    return LinkResult::Ok;
}

LinkResult BslLink::programBlock(uint16_t address, uint16_t length, int blockActions) {
    resultCode_ = LinkResult::Ok;
    message_.clear();
    if (blockActions & BlockPassword) {
        return bslCommand(kCmdRxPassword, address, length, &dataBlock_);
    }
    if (const LinkResult rc = verifyBlock(address, length, blockActions & BlockEraseCheck);
        failed(rc))
        return rc;
    if (blockActions & BlockProgram) {
        if (const LinkResult rc = beginPatchedCommand(); failed(rc))
            return rc;
        const LinkResult rc = bslCommand(kCmdRxDataBlock, address, length, &dataBlock_);
        endPatchedCommand();
        if (failed(rc))
            return rc;
    }
    return verifyBlock(address, length, blockActions & BlockVerify);
}

LinkResult BslLink::transmitPassword(const std::optional<std::string>& passwordFileName) {
    if (passwordFileName)
        return processImageFile(dataFile(*passwordFileName), BlockPassword);
    // A device after a mass erase: its interrupt vectors, the password, are all 0xFF.
    std::fill_n(dataBlock_.begin(), kPasswordLength, kErasedByte);
    resultCode_ = bslCommand(kCmdRxPassword, kPasswordAddress, kPasswordLength, &dataBlock_);
    return resultCode_;
}

bool BslLink::endOperation(LinkResult result, bool passwordStage) {
    if (runActions_ & RunResetAtEnd)
        transport_.enterBootstrapLoader(false);
    resultCode_ = result;
    message_ = linkMessage(result, passwordStage, failedFile_);
    // The outcome is the operation's; a failure to close the port adds nothing the user
    // could act on.
    static_cast<void>(transport_.closePort());
    return !failed(result);
}

LinkResult BslLink::imageFileMissing(const std::string& fileName) {
    failedFile_ = fileName;
    setOutcome(LinkResult::FileOpenFailed,
               linkMessage(LinkResult::FileOpenFailed, false, fileName));
    return LinkResult::FileOpenFailed;
}

void BslLink::beginRun(int runActions, LoadedImage image) {
    resultCode_ = LinkResult::Ok;
    message_.clear();
    runActions_ = runActions;
    runImage_ = std::move(image);
}

void BslLink::noteLoaderVersion(uint16_t version) {
    loaderVersion_ = version;
    // A patch entered on an earlier device must not be entered on this one: without the
    // patch in RAM, Load PC 0x0220 jumps into whatever RAM holds.
    needsPatch_ = version <= kLastPatchedLoader;
    patchActive_ = false;
    transport_.setDataChangeWarning(needsPatch_);
}

void BslLink::notePatchLoaded() {
    patchActive_ = true;
    needsPatch_ = false;
}

}  // namespace kv58
