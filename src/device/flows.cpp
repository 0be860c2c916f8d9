#include "device/flows.h"

#include <algorithm>

#include "base/files.h"
#include "base/text.h"
#include "bsl/programming.h"
#include "bsl/segments.h"
#include "bsl/titxt.h"
#include "device/backup.h"
#include "device/calibration_guard.h"
#include "device/failure_cause.h"
#include "device/link_settings.h"
#include "device/messages.h"
#include "device/restore_image.h"
#include "device/segment_state.h"
#include "device/way_back.h"

namespace kv58 {

namespace {

constexpr int32_t kCompareMask = 0xFFFF & ~0x8000;
constexpr int kPauseBeforeRereadMs = 250;

bool sameData(const TransmitterConfig& a, const TransmitterConfig& b) {
    return (a.nBitMaske & kCompareMask) == (b.nBitMaske & kCompareMask) &&
           a.nTempBis == b.nTempBis && a.nTempVon == b.nTempVon && a.strID == b.strID &&
           a.strVersion == b.strVersion;
}

constexpr const char* kPasswordsRefused =
    "The loader answers, but refuses the password of every password file. The password is the "
    "transmitter's interrupt vectors: a programming run that was cut off leaves them erased or "
    "half-written; otherwise the password files belong to another firmware.";

TransmitterState damageOf(SegmentState a, SegmentState b) {
    if (a != SegmentState::Intact && b != SegmentState::Intact)
        return TransmitterState::Unknown;
    if (a == SegmentState::Erased)
        return TransmitterState::SegmentAErased;
    if (a == SegmentState::Implausible)
        return TransmitterState::SegmentAHalfWritten;
    return TransmitterState::SegmentBErased;
}

}  // namespace

Flows::Flows(const Settings& settings, BslLink& link, UserInterface& ui, RunControl& run,
             TransmitterData& data, FlowHost& host, Clock& clock)
    : now(localTimeNow),
      settings_(settings),
      link_(link),
      ui_(ui),
      run_(run),
      data_(data),
      host_(host),
      clock_(clock) {
    link_.setProgressObserver([this](long done, long total) { ui_.infoProgress(done, total); });
}

void Flows::applyPortSettings() {
    kv58::applyPortSettings(link_, settings_);
    run_.setPort(settings_.Port, settings_.InvertDTR);
}

bool Flows::ReadDataKV58(bool reread) {
    ui_.infoOpen();
    ui_.infoSetText(text::kReadingFromKv58);
    run_.switchOff();
    applyPortSettings();
    const int attempts = std::max(1, settings_.MaxWriteCnt);
    bool ok = false;
    for (readAttempts_ = 0; readAttempts_ < attempts && !ok; ++readAttempts_)
        ok = readAttempt(reread);
    ui_.infoClose();
    if (ok) {
        data_.actual = decodeSegmentA(data_.segmentARead);
        if (reread) {
            compareWithNewConfiguration();
            checkProgram();
        }
        data_.newConfig = data_.actual;
        if (numericVersion(data_.segmentARead) < 100)
            host_.showWriteProgram(true);
        host_.showActualConfiguration();
    }
    host_.fillTransmitterTypes();
    if (!reread) {
        readDamage_.reset();
        if (ok)
            judgeRead();
        else if (link_.passwordsRefused())
            passwordRefused();
    }
    if (settings_.AutoDTR)
        run_.switchOn();
    return ok;
}

// What a plain read found: a segment that is not the transmitter's own is said at once, with
// the way back, so that nobody takes the configuration it decodes to for the real one.
void Flows::judgeRead() {
    const SegmentState a = classifySegmentA(data_.segmentARead);
    const SegmentState b = classifySegmentB(data_.segmentBRead);
    if (a == SegmentState::Intact && b == SegmentState::Intact)
        return;
    Outcome found;
    found.state = damageOf(a, b);
    found.wayBack = wayBackForSegments(settings_, data_.segmentARead, data_.segmentBRead);
    // The image a failed run of this transmitter left; else the last run's work image.
    if (found.wayBack.kind == WayBack::Kind::None)
        found.wayBack = imageWayBack(wayBackImageName(link_.tempFile(), data_.segmentARead));
    if (found.wayBack.kind == WayBack::Kind::None)
        found.wayBack = imageWayBack(link_.tempFile());
    readDamage_ = found;
    ui_.messageBox(outcomeSentence(found, wayBackProgram), MsgIcon::Exclamation);
}

void Flows::passwordRefused() {
    Outcome found;
    found.state = TransmitterState::Unknown;
    found.wayBack = imageWayBack(link_.tempFile());
    readDamage_ = found;
    ui_.messageBox(std::string(kPasswordsRefused) + "\n" + outcomeSentence(found, wayBackProgram),
                   MsgIcon::Exclamation);
}

bool Flows::readAttempt(bool reread) {
    const PasswordFileList passwords = settings_.passwordFileNames();
    data_.programCheck = true;
    ProgramImage& program = reread ? data_.checkProgram : data_.referenceProgram;
    program.fill(0);
    const bool programRead = readProgram(link_, passwords, program);
    // Only a program that arrived whole may serve as the reference of a check or a restore.
    if (!reread)
        data_.referenceValid = programRead;
    if (!programRead) {
        data_.programCheck = false;
        ui_.messageBox(text::kErrorReadingProgram, MsgIcon::Exclamation);
    }
    if (reread && data_.writeProgram)
        data_.programCheck = false;
    return readSegmentA(link_, passwords, data_.segmentARead) &&
           readSegmentB(link_, passwords, data_.segmentBRead);
}

void Flows::compareWithNewConfiguration() {
    const TransmitterConfig& a = data_.actual;
    const TransmitterConfig& n = data_.newConfig;
    rereadMismatch_ = !sameData(a, n);
    if (rereadMismatch_) {
        ui_.messageBox(strprintf(text::kCompareData, a.nBitMaske, n.nBitMaske & kCompareMask,
                                 a.nTempVon, n.nTempVon, a.nTempBis, n.nTempBis),
                       MsgIcon::None);
    }
}

void Flows::checkProgram() {
    if (!data_.programCheck || !data_.referenceValid)
        return;
    if (data_.referenceProgram == data_.checkProgram)
        return;
    ui_.messageBox(text::kProgramCheckFailed, MsgIcon::Exclamation);
    RestoreTransmitter();
}

void Flows::RestoreTransmitter() {
    ui_.infoOpen();
    ui_.infoSetText(text::kReadingUserdata);
    // The run programs this image from memory; the file is its record, which a run of another
    // transmitter in the same folder may replace meanwhile without harm.
    LoadedImage image{link_.tempFile(), restoreImage(data_.segmentBSaved, data_.segmentAWrite,
                                                     data_.referenceProgram)};
    const std::string& file = image.name;
    std::string reason;
    const FileWriteResult written = replaceSharedFile(file, image.text, &reason);
    if (written != FileWriteResult::Ok) {
        restoreImageNotWritten(written, file, reason);
        return;
    }
    // A transmitter exchanged since the write began must not receive this one's calibration.
    const BeforeEraseCheck check = sameCalibration(settings_.passwordFileNames(), image);
    if (!runProgramming(link_, ProgrammingMode::FullRun, std::move(image), check)) {
        ui_.messageBox(link_.message(), MsgIcon::Exclamation);
        restoreFailed_ = true;
    }
    ui_.infoClose();
}

void Flows::restoreImageNotWritten(FileWriteResult result, const std::string& file,
                                   const std::string& reason) {
    const bool created = result == FileWriteResult::WriteFailed;
    ui_.messageBox(strprintf(created ? text::kErrorWriteFile : text::kErrorOpenFile, file.c_str()),
                   MsgIcon::Exclamation);
    ui_.messageBox(fileNotWritten(file, reason), MsgIcon::Exclamation);
    restoreFailed_ = true;
    ui_.infoClose();
}

void Flows::beginWrite() {
    ui_.infoOpen();
    ui_.infoSetText(text::kReadingUserdata);
    applyPortSettings();
    link_.setWaits(settings_.WaitPrg, settings_.WaitSeg);
}

bool Flows::rereadAfterWrite() {
    ui_.infoClose();
    clock_.sleepMs(kPauseBeforeRereadMs);
    rereadMismatch_ = false;
    restoreFailed_ = false;
    if (ReadDataKV58(true))
        return true;
    ui_.messageBox(text::kErrorReadingData, MsgIcon::Exclamation);
    showReadFailureCause();
    return false;
}

void Flows::showReadFailureCause() {
    if (readDamage_)
        return;
    const std::string cause = failureCause(link_, false);
    if (!cause.empty())
        ui_.messageBox(cause, MsgIcon::Exclamation);
}

void Flows::showTransferFailureCause(const std::string& cause) {
    if (!cause.empty())
        ui_.messageBox(cause, MsgIcon::Exclamation);
}

void Flows::showOutcome(const Outcome& outcome) {
    const std::string sentence = outcomeSentence(outcome, wayBackProgram);
    if (!sentence.empty())
        ui_.messageBox(sentence, MsgIcon::Exclamation);
}

}  // namespace kv58
