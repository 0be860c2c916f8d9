#include "bsl/segments.h"

#include <algorithm>

#include "base/critical_section.h"
#include "base/files.h"
#include "base/text.h"
#include "base/user_interface.h"
#include "bsl/bsl_link.h"
#include "bsl/programming.h"
#include "bsl/titxt.h"

namespace kv58 {

namespace {

// The texts an operation sets itself; the others come from endOperation().
struct OperationTexts {
    const char* portOpenFailed;
    const char* passwordFailed;
    const char* transferFailed;  // read failed, or the erase of a write failed
};

constexpr OperationTexts kReadProgramTexts{"ERROR: opening COM-Port failed (reading program)!",
                                           "ERROR: send password failed (reading program)!",
                                           nullptr};

struct SegmentInfo {
    MemoryArea area;
    char letter;
    OperationTexts read;
    OperationTexts write;
};

constexpr SegmentInfo kSegmentA{
    kSegmentAArea,
    'A',
    {"ERROR: opening COM-Port failed (reading data Segment A)!",
     "ERROR: send password failed (reading data Segment A)!", "ERROR: reading data (Segment A)!"},
    {"ERROR: opening COM-Port failed (writing data Segment A)!",
     "ERROR: send password failed (writing data Segment A)!",
     "ERROR: erase segment A (writing data)!"}};

constexpr SegmentInfo kSegmentB{
    kSegmentBArea,
    'B',
    {"ERROR: opening COM-Port failed (reading data Segment B)!",
     "ERROR: send password failed (reading data Segment B)!", "ERROR: reading data (Segment B)!"},
    {"ERROR: opening COM-Port failed (writing data Segment B)!",
     "ERROR: send password failed (writing data Segment B)!",
     "ERROR: erase segment B (writing data)!"}};

// Opens the port, enters the loader and unlocks it. On failure the port is closed again
// (endOperation after a failed search) and the operation's message is set.
bool startOperation(BslLink& link, const PasswordFileList& passwordFiles,
                    const OperationTexts& texts) {
    if (const LinkResult rc = link.openPort(); failed(rc)) {
        link.setOutcome(rc, texts.portOpenFailed);
        return false;
    }
    link.transport().enterBootstrapLoader(true);
    const LinkResult rc = unlockLoader(link, passwordFiles);
    if (!failed(rc))
        return true;
    static_cast<void>(link.endOperation(rc, true));
    link.setMessage(texts.passwordFailed);
    return false;
}

// One TX data block into `reply`; a reply with fewer bytes than asked for is invalid.
LinkResult readBlock(BslLink& link, uint16_t address, uint16_t length, Block& reply) {
    const LinkResult rc = link.bslCommand(kCmdTxDataBlock, address, length, nullptr, &reply);
    if (!failed(rc) && link.lastReplyLength() < length)
        return LinkResult::InvalidReply;
    return rc;
}

// Ends a failed transfer: endOperation's reset and port closing, then the operation's text.
bool failTransfer(BslLink& link, LinkResult rc, const std::string& text) {
    static_cast<void>(link.endOperation(rc, false));
    link.setMessage(text);
    return false;
}

bool readSegment(BslLink& link, const PasswordFileList& passwordFiles,
                 std::span<uint8_t> destination, const SegmentInfo& segment) {
    if (!startOperation(link, passwordFiles, segment.read))
        return false;
    const MemoryArea area = segment.area;
    link.reportProgress(0, area.length);
    Block reply{};
    if (const LinkResult rc = readBlock(link, area.address, area.length, reply); failed(rc))
        return failTransfer(link, rc, segment.read.transferFailed);
    static_cast<void>(link.closePort());  // the data are in; a close failure changes nothing
    const size_t count = std::min<size_t>(destination.size(), area.length);
    std::copy_n(reply.begin(), count, destination.begin());
    link.reportProgress(area.length, area.length);
    return true;
}

// Writes the temporary image of a segment write, the record of what the write programs (the
// run itself programs from memory). A file that cannot be created is shown in a message box;
// a file that cannot be written completely leaves the reason in `message`.
bool writeTemporaryImage(BslLink& link, const std::string& text, UserInterface& ui) {
    std::string reason;
    switch (replaceSharedFile(link.tempFile(), text, &reason)) {
        case FileWriteResult::Ok:
            return true;
        case FileWriteResult::CannotCreate:
            ui.messageBox(strprintf("Fehler beim \xD6"
                                    "ffnen der Zieldatei <%s>!",
                                    link.tempFile().c_str()),
                          MsgIcon::Exclamation, MsgButtons::Ok);
            // The caller shows the link's message next: the system's reason, never an empty
            // box or the message of an earlier step.
            link.setMessage(fileNotWritten(link.tempFile(), reason));
            return false;
        case FileWriteResult::WriteFailed:
            break;
    }
    link.setMessage(strprintf("ERROR: writing file \"%s\" failed!\n", link.tempFile().c_str()) +
                    fileNotWritten(link.tempFile(), reason));
    return false;
}

// In the opening of a write, before its erase: the transmitter still holds what the caller
// read from it.
bool sameTransmitter(BslLink& link, const SameTransmitter& check, const SegmentInfo& segment) {
    Block reply{};
    const LinkResult rc = readBlock(link, check.area.address, check.area.length, reply);
    if (failed(rc))
        return failTransfer(link, rc, segment.write.transferFailed);
    if (check.expected.size() <= check.area.length &&
        std::equal(check.expected.begin(), check.expected.end(), reply.begin()))
        return true;
    return failTransfer(link, LinkResult::VerifyFailed,
                        strprintf("ERROR: Segment %c is not the one read before: another "
                                  "transmitter is connected (writing data Segment %c)!",
                                  check.letter, segment.letter));
}

bool writeSegment(BslLink& link, const PasswordFileList& passwordFiles,
                  std::span<const uint8_t> data, UserInterface& ui, const SegmentInfo& segment,
                  const std::optional<SameTransmitter>& check) {
    if (data.empty() || data.size() > segment.area.length) {
        link.setMessage(strprintf("ERROR: %zu bytes do not fit segment %c (1 to %u)!", data.size(),
                                  segment.letter, segment.area.length));
        return false;
    }
    LoadedImage image{link.tempFile(),
                      formatTiTxtSection(segment.area.address, data) + tiTxtEndLine()};
    if (!writeTemporaryImage(link, image.text, ui))
        return false;
    if (!startOperation(link, passwordFiles, segment.write))
        return false;
    if (check && !sameTransmitter(link, *check, segment))
        return false;
    // The programming run learns the loader's version only after this erase; an old loader
    // without its patch at hand would be left with the segment erased.
    if (link.loaderVersion() == 0)
        static_cast<void>(readLoaderVersion(link));
    if (!patchAtHand(link)) {
        const std::string message = link.message();
        return failTransfer(link, LinkResult::FileOpenFailed, message);
    }
    const CriticalSection critical;
    const LinkResult erase =
        link.bslCommand(kCmdEraseSegment, segment.area.address, kEraseSegmentKey);
    if (failed(erase))
        return failTransfer(link, erase, segment.write.transferFailed);
    static_cast<void>(link.endOperation(erase, false));
    link.transport().setByteDelayMs(link.waitSeg());
    const bool written = runProgramming(link, ProgrammingMode::SegmentWrite, std::move(image));
    link.transport().setByteDelayMs(0);
    link.setPasswordFile(std::nullopt);
    link.forgetRunImage();
    return written;
}

}  // namespace

LinkResult unlockLoader(BslLink& link, const PasswordFileList& passwordFiles) {
    LinkResult last = LinkResult::Ok;
    int refused = 0, other = 0;  // answers of the loader; a file that cannot be opened is neither
    const size_t count = std::min(passwordFiles.size(), kPasswordSearchLimit);
    for (size_t i = 0; i < count && !passwordFiles[i].empty(); ++i) {
        link.setPasswordFile(passwordFiles[i]);
        last = link.transmitPassword(passwordFiles[i]);
        if (!failed(last)) {
            link.notePasswordSearch(false);
            return last;
        }
        if (last == LinkResult::Nak)
            ++refused;
        else if (last != LinkResult::FileOpenFailed)
            ++other;
    }
    link.notePasswordSearch(refused > 0 && other == 0);
    return failed(last) ? last : LinkResult::Nak;
}

bool readProgram(BslLink& link, const PasswordFileList& passwordFiles,
                 std::span<uint8_t, kProgramArea.length> destination) {
    if (!startOperation(link, passwordFiles, kReadProgramTexts))
        return false;
    std::array<uint8_t, kProgramArea.length> image{};
    link.reportProgress(0, kProgramArea.length);
    Block reply{};
    for (uint16_t offset = 0; offset < kProgramArea.length; offset += kProgramReadBlock) {
        const auto address = static_cast<uint16_t>(kProgramArea.address + offset);
        if (const LinkResult rc = readBlock(link, address, kProgramReadBlock, reply); failed(rc))
            return failTransfer(link, rc, strprintf("ERROR: reading program at %04X!", address));
        std::copy_n(reply.begin(), kProgramReadBlock, image.begin() + offset);
        link.reportProgress(offset + kProgramReadBlock, kProgramArea.length);
    }
    static_cast<void>(link.closePort());
    std::copy(image.begin(), image.end(), destination.begin());
    return true;
}

bool readSegmentA(BslLink& link, const PasswordFileList& passwordFiles,
                  std::span<uint8_t> destination) {
    return readSegment(link, passwordFiles, destination, kSegmentA);
}

bool readSegmentB(BslLink& link, const PasswordFileList& passwordFiles,
                  std::span<uint8_t> destination) {
    return readSegment(link, passwordFiles, destination, kSegmentB);
}

bool writeSegmentA(BslLink& link, const PasswordFileList& passwordFiles,
                   std::span<const uint8_t> data, UserInterface& ui,
                   const std::optional<SameTransmitter>& check) {
    return writeSegment(link, passwordFiles, data, ui, kSegmentA, check);
}

bool writeSegmentB(BslLink& link, const PasswordFileList& passwordFiles,
                   std::span<const uint8_t> data, UserInterface& ui,
                   const std::optional<SameTransmitter>& check) {
    return writeSegment(link, passwordFiles, data, ui, kSegmentB, check);
}

}  // namespace kv58
